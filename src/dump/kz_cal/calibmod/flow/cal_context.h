// CalibContext: the state of one KZCalibration call, made of the records
// each layer works on.
//
// Taken zero-filled from the global heap after the request has been
// validated, released with every buffer it owns before the call returns.
#ifndef KZ_CAL_CONTEXT_H
#define KZ_CAL_CONTEXT_H

#include <cstdint>

#include "cal_platform.h"
#include "calibmod.h"
#include "copy.h"
#include "list_state.h"
#include "table_work.h"

struct CalibContext {
    const CalibRequest *request;
    CalibNames *names;
    const int16_t *adjustIds;
    const KZ_WCHAR *sourceDir;
    const KZ_WCHAR *calibDir;
    const CalPlatform *platform; // the host this call runs on
    ListState list;              // the list file, the decision and the chosen name
    TableWork table;             // the table update of the copy
    CopyJob copy;                // the source, list.chosenName and table
    CalHandle dirLock;           // the calibration directory's lock while held, else null
};

// Fills a zero-filled context for one call: the five arguments, the host
// (null: the default backend) bound to every file and block of the
// context, each layer's record filled (table byte order 1, no entries,
// empty names), the copy job naming list.chosenName and the table work.
void contextInit(CalibContext *ctx, const CalPlatform *platform, const CalibRequest *request, CalibNames *names,
                 const int16_t *adjustIds, const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir);
// Frees what the context owns (the entry array, a list text or table body
// still held) and leaves it holding nothing; the context itself is not freed.
void contextReleaseBuffers(CalibContext *ctx);

#endif // KZ_CAL_CONTEXT_H
