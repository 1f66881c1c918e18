// The KZDB table database of a calibration data file and the scan that
// collects the KZHT tables it names.
//
// A KZDB body is a 12-byte header (record layout in the low 16 bits of word
// 0, signed record count in word 1, word 2 unused) followed by packed
// records of one of three layouts. The one field read from a record is the
// id of the KZHT table it refers to.
#ifndef KZ_TABLE_DB_H
#define KZ_TABLE_DB_H

#include <cstdint>

#include "table_work.h"

#define DB_KIND_0         0 // 164-byte records; KZHT id: 32-bit word at 64
#define DB_KIND_1         1 // 296-byte records; KZHT id: 32-bit word at 36
#define DB_KIND_2         2 // 300-byte records; KZHT id: signed 16-bit field at 22

#define DB_HEADER_SIZE    12
#define DB_DATABASE_COUNT 30
#define DB_ID_BASE        1000

// The record size of a layout, or 0 for a layout of no defined size.
int32_t dbRecordSize(int16_t layout);

// The 30 database numbers in scan order; KZDB table ids are 1000 + number.
extern const int16_t kDatabaseNumbers[DB_DATABASE_COUNT];

// Loads the KZDB table dbId into the context's table file record, converts
// its header and records to host order, and hands out the header, the first
// record and the layout. The body stays loaded; the caller releases it with
// tableRelease. Codes: CAL_OK; CAL_FAIL when the file's content rules the table
// out (nothing stays loaded): it is not in the directory, the file is too
// short for the directory's header word, its directory, size word or body
// runs past the end of the file, or its body cannot hold its header or its
// records. Otherwise the failure of tableLoad: CAL_ERR_NO_MEMORY, or
// CAL_ERR_FILE for a size, seek or read that the host failed.
int16_t tableDatabaseRead(TableWork *work, uint16_t dbId, uint8_t **header, uint8_t **records, int16_t *layout);

// The stored record count of a header that tableDatabaseRead converted.
int32_t dbHeaderCount(const uint8_t *header);
// The KZHT id of a record that tableDatabaseRead converted.
int32_t dbRecordTableId(const uint8_t *record, int16_t layout);

// Rebuilds the context's table-id list from the 30 KZDB tables: distinct
// KZHT ids in the order first met. Tables that are absent or malformed
// (every CAL_FAIL of tableDatabaseRead) are skipped and leave no trace. 0;
// CAL_FAIL when the 256th distinct id is met (the list is full);
// CAL_ERR_NO_MEMORY when memory runs out and CAL_ERR_FILE when the host
// fails a size, seek or read: the scan stops there.
int16_t tableIdsCollect(TableWork *work);

#endif // KZ_TABLE_DB_H
