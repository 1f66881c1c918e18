// A calibration data file as the module reads it: the header, the
// identification string, both directories, the 30 KZDB table databases and
// the KZHT tables they name, with their curves, walked with the table
// layer's own functions and answered as records for the tools to format.
#ifndef KZ_INSPECT_DATA_H
#define KZ_INSPECT_DATA_H

#include <cstdint>

#include "curve_update.h"
#include "file_layer.h"
#include "table_file.h"

// The header: the identification block position at byte 4, then the
// directory words at the kind tags; it ends after the KZHT directory word.
#define INSPECT_HEADER_SIZE   (TABLE_KIND_KZHT + 4)
#define INSPECT_CURVE_ENTRIES (CURVE_BYTES / 2)

#define INSPECT_TABLE_READ    0 // read as the module reads it
#define INSPECT_TABLE_ABSENT  1 // not in its directory
#define INSPECT_TABLE_DAMAGED 2 // its directory, size word or body lies beyond the end of the file
// KZDB: the body cannot hold its header or records (the scan skips it);
// KZHT: its curves cannot be walked (the update fails where it has built-ins).
#define INSPECT_TABLE_MALFORMED 3

struct InspectHead {
    int32_t size;           // of the file
    uint32_t identPosition; // the header word at 4
    bool identBlockInside;  // the block's first 8 bytes lie inside the file
    bool identReadable;     // identLocate: the text lies inside the file
    int32_t identOffset;    // the text: identLength bytes at identOffset
    int32_t identLength;
    bool shared; // both kinds share one directory
    TableDirectory kzdb, kzht;
};

struct InspectKzdb {
    uint16_t id;            // 1000 + a database number, in scan order
    int16_t state;          // INSPECT_TABLE_*
    int32_t layout;         // the low 16 bits of header word 0; -1 when the body cannot hold a header
    int32_t records;        // the stored record count; 0 when the body cannot hold a header
    int32_t idCount;        // READ: the records read
    const int32_t *kzhtIds; // READ: their KZHT ids, valid during the visit
};

struct InspectCurve {
    int32_t slot;    // tagged: the plane's stored slot; plain: the curve index
    uint32_t offset; // of its first byte in the file
    int16_t values[INSPECT_CURVE_ENTRIES];
};

struct InspectKzht {
    int32_t tableId;    // named: the whole 32-bit id of the KZDB record; else the directory id
    uint16_t id;        // the directory id (the low 16 bits)
    bool named;         // a KZDB table names it: the update loads it
    int16_t state;      // INSPECT_TABLE_*
    int32_t entryIndex; // its directory entry (the first of its id), -1 when there is none
    bool tagged;
    bool hasBuiltIn;    // the module has built-in curves for tableId
    int32_t bytes;      // the body size
    int32_t itemCount;  // tagged: the items inside the body
    int32_t planeCount; // the planes walked
    int16_t curveCount;
    InspectCurve curves[TAGGED_PLANE_MAX];
};

// Called with the head once, then each of the 30 KZDB tables in scan order,
// then the KZHT tables: the named ones in the order the update meets them,
// then those no KZDB table names, in directory order.
struct InspectDataVisit {
    void *arg;
    void (*head)(void *arg, const InspectHead *head);
    void (*kzdb)(void *arg, const InspectKzdb *table);
    void (*kzht)(void *arg, const InspectKzht *table);
};

// Opens name in dir (CAL_MODE_*), walks it and closes it. CAL_OK; CAL_FAIL
// when the file is too short for a header (the head is visited with its
// size, nothing else); CAL_ERR_FILE when it cannot be opened or the host
// fails a read (the walk stops there); CAL_ERR_NO_MEMORY.
int16_t inspectDataFile(const CalPlatform *platform, const KZ_WCHAR *dir, const char *name, int16_t mode,
                        const InspectDataVisit *visit);
// Walks size bytes held in memory through a read-only seam over them (host
// gives the memory; null: the default backend).
int16_t inspectDataBytes(const CalPlatform *host, const uint8_t *data, uint32_t size, const InspectDataVisit *visit);

// The curve stored at offset of the bytes, in host order; false (values
// untouched) when it does not lie inside them.
bool inspectCurveAt(const uint8_t *data, uint32_t size, uint32_t offset, int16_t *values);

#endif // KZ_INSPECT_DATA_H
