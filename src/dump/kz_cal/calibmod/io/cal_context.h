// CalibContext: the state of one KZCalibration call.
//
// Taken zero-filled from the global heap after the request has been
// validated, released with every buffer it owns before the call returns.
#ifndef KZ_CAL_CONTEXT_H
#define KZ_CAL_CONTEXT_H

#include <cstdint>

#include "cal_platform.h"
#include "calibmod.h"
#include "file_layer.h"
#include "list_entry.h"
#include "mem_block.h"
#include "table_work.h"

// The list file's name: five prefix bytes, up to ten digits (a negative
// listNumber is written as its unsigned 32-bit value), ".ini", a terminator.
#define CAL_LIST_NAME_SIZE 20

struct CalibContext {
    const CalibRequest *request;
    CalibNames *names;
    const int16_t *adjustIds;
    const KZ_WCHAR *sourceDir;
    const KZ_WCHAR *calibDir;
    uint8_t byteOrder; // 1: numbers in the files are in host order; 2: swapped on reading and writing
    int16_t state;     // CAL_STATE_*
    char listFileName[CAL_LIST_NAME_SIZE];
    BufferedFile listFile; // while the list is parsed its buffer holds the text
    int16_t entryCount;
    ListEntry *entries; // entryCount parsed entries, owned by entryBlock
    MemBlock entryBlock;
    // The list text holds bytes its parse did not see (a zero byte, lines
    // beyond the 128th or past the scanned length): a line appended to it
    // would not be read back, so the list is rewritten.
    bool listPartial;
    // The last line of the list text has no line end, so it was not read:
    // CAL_OPEN_LINE_NONE, CAL_OPEN_LINE_GOOD (parsed into openLine) or
    // CAL_OPEN_LINE_BAD.
    int16_t openLineState;
    ListEntry openLine;
    // The name the key's line gave while another line named it too (empty
    // when there is none): the key is given a name of its own, and what the
    // name holds, made for one key of them at most, is removed.
    char sharedName[CAL_NAME_SIZE];
    char chosenNameBuf[CAL_NAME_SIZE]; // the copy that answers this request
    char *chosenName;                  // points to chosenNameBuf
    TableWork table;                   // used only by the table update
    const CalPlatform *platform;       // the host this call runs on
    CalHandle dirLock;                 // the calibration directory's lock while held, else null
};

// Fills a zero-filled context for one call: the five arguments, the host
// (null: the default backend) bound to every file and block of the context,
// byteOrder 1, no entries, empty names, chosenName -> chosenNameBuf.
void contextInit(CalibContext *ctx, const CalPlatform *platform, const CalibRequest *request, CalibNames *names,
                 const int16_t *adjustIds, const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir);
// Frees what the context owns (the entry array, a list text or table body
// still held) and leaves it holding nothing; the context itself is not freed.
void contextReleaseBuffers(CalibContext *ctx);

#endif // KZ_CAL_CONTEXT_H
