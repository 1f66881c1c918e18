// The table layer's record: what the update of one copy needs of the
// request (mode and adjustment ids), the byte order of the files, the
// opened copy with at most one loaded table body, and the list of distinct
// KZHT table ids.
#ifndef KZ_TABLE_WORK_H
#define KZ_TABLE_WORK_H

#include <cstdint>

#include "cal_platform.h"
#include "calibmod.h"
#include "file_layer.h"
#include "mem_block.h"

#define CAL_TABLE_ID_MAX 256

// One table asked for by kind and id, with the body read for it.
struct TableRequest {
    char kindName[8]; // "KZDB" or "KZHT"; travels for identification only
    uint16_t tableId; // 16-bit id in the table directory
    int32_t kindTag;  // 8 (KZDB) or 20 (KZHT): also the header offset of its directory
    // Set by tableLocate when it answers CAL_ERR_FILE although the host did
    // not fail: the file's content rules the table out. notListed: the
    // directory has no entry for it. malformed: a header word, the
    // directory, the size word or the body lies beyond the end of the file,
    // or the stored size is negative.
    uint8_t notListed;
    uint8_t malformed;
    uint8_t *body;      // the body read, null when none
    int32_t bodySize;   // its size in bytes
    MemBlock bodyBlock; // owns the body buffer
};

// A directory as read once for a run of loads and stores on one open file
// (tableCacheBegin): its header word, count and entries as stored, and the
// file's size when it was read.
struct TableDirCache {
    uint8_t held;      // 0: nothing is held, the other fields mean nothing
    int32_t kindTag;   // the kind it was read for
    int32_t fileBytes; // the file's size then
    int32_t position;  // the header word at the kind tag
    int32_t count;     // the stored entry count
    MemBlock entries;  // count entries of TABLE_DIR_ENTRY_SIZE bytes (none for a count of 0 or less)
};

#define CAL_TABLE_DIR_CACHES 2 // one per kind: KZDB and KZHT

// The opened copy and its one loaded body.
struct TableFile {
    FileRef file;
    TableRequest request;
    uint8_t *loadedBody; // null when no body is loaded
    int32_t loadedSize;
    // Set between tableCacheBegin and tableCacheEnd: loads and stores find
    // tables through directories read once instead of once per table.
    uint8_t cacheOn;
    TableDirCache dirs[CAL_TABLE_DIR_CACHES];
};

// The distinct KZHT table ids, in the order first met.
struct TableIdList {
    int16_t count;
    int32_t ids[CAL_TABLE_ID_MAX];
};

struct TableWork {
    const CalibRequest *request; // its mode chooses the slots; null for a reader that updates nothing
    const int16_t *adjustIds;    // borrowed from the caller, as request
    uint8_t byteOrder;           // 1: numbers in the files are in host order; 2: swapped (byte_order.h)
    TableFile tableFile;
    TableIdList tableIds;
};

// Fills a zero-filled record: request and ids (either may be null when no
// curve is updated), byte order 1, no file, no body, no ids, everything
// bound to the host (null: the default backend).
void tableWorkInit(TableWork *work, const CalPlatform *platform, const CalibRequest *request, const int16_t *adjustIds);
// Frees a body still loaded and closes the file; the record holds nothing
// afterwards and may be released again.
void tableWorkRelease(TableWork *work);

#endif // KZ_TABLE_WORK_H
