// Reading the KZDB table database and collecting the KZHT table ids.
#include "table_db.h"

#include <cstring>

#include "byte_order.h"
#include "cal_types.h"
#include "table_file.h"

const int16_t kDatabaseNumbers[DB_DATABASE_COUNT] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  12,  13,  14,
                                                     15, 16, 17, 18, 20, 21, 22, 24, 25, 26, 27, 100, 101, 102, 128};

namespace {

// A stretch of a record layout converted with one unit width.
struct Stretch {
    int16_t offset;
    int16_t length;
    int16_t unit;
};

const Stretch kKind0[] = {{0, 104, 4}, {152, 8, 4}};
const Stretch kKind1[] = {{0, 108, 4}, {156, 8, 4}};
const Stretch kKind2[] = {{0, 4, 4}, {4, 20, 2}, {24, 68, 4}, {140, 8, 4}, {280, 20, 2}};

void recordConvert(uint8_t selector, uint8_t *record, int16_t layout)
{
    const Stretch *s = nullptr;
    int n = 0;
    if (layout == DB_KIND_0) {
        s = kKind0;
        n = 2;
    } else if (layout == DB_KIND_1) {
        s = kKind1;
        n = 2;
    } else if (layout == DB_KIND_2) {
        s = kKind2;
        n = 5;
    }
    for (int i = 0; i < n; ++i) {
        byteOrderConvert(selector, record + s[i].offset, s[i].length, s[i].unit);
    }
}

int32_t headerWord(const uint8_t *header, int index)
{
    int32_t w;
    std::memcpy(&w, header + 4 * index, 4);
    return w;
}

} // namespace

int32_t dbRecordTableId(const uint8_t *record, int16_t layout)
{
    if (layout == DB_KIND_2) {
        int16_t id;
        std::memcpy(&id, record + 22, 2);
        return id;
    }
    int32_t id;
    std::memcpy(&id, record + (layout == DB_KIND_0 ? 64 : 36), 4);
    return id;
}

int32_t dbHeaderCount(const uint8_t *header)
{
    return headerWord(header, 1);
}

int32_t dbRecordSize(int16_t layout)
{
    switch (layout) {
    case DB_KIND_0:
        return 164;
    case DB_KIND_1:
        return 296;
    case DB_KIND_2:
        return 300;
    default:
        return 0;
    }
}

int16_t tableDatabaseRead(TableWork *work, uint16_t dbId, uint8_t **header, uint8_t **records, int16_t *layout)
{
    TableFile *tf = &work->tableFile;
    int16_t rc = tableLoad(tf, "KZDB", dbId, TABLE_KIND_KZDB);
    if (rc != CAL_OK) {
        return tf->request.notListed || tf->request.malformed ? CAL_FAIL : rc;
    }

    uint8_t *body = tf->loadedBody;
    int32_t size = tf->loadedSize;
    uint8_t selector = static_cast<uint8_t>(work->byteOrder | CONVERT_WORDS);
    int16_t kind = 0;
    int32_t count = 0;
    int32_t recordSize = 0;
    rc = CAL_FAIL; // a body too short for its header
    if (size >= DB_HEADER_SIZE) {
        byteOrderConvert(selector, body, DB_HEADER_SIZE, 4);
        kind = static_cast<int16_t>(headerWord(body, 0) & 0xFFFF);
        count = dbHeaderCount(body);
        recordSize = dbRecordSize(kind);
        // Records are counted with a signed 16-bit index and must lie inside
        // the body; a count that does not fit makes the table unreadable.
        bool fits = recordSize <= 0 || count <= 0 ||
                    (count <= 32767 && DB_HEADER_SIZE + static_cast<int64_t>(count) * recordSize <= size);
        rc = fits ? CAL_OK : CAL_FAIL;
    }
    if (rc != CAL_OK) {
        tableRelease(tf); // ruled out by its content: nothing stays loaded
        return rc;
    }
    *header = body;
    *records = body + DB_HEADER_SIZE;
    *layout = kind;
    if (recordSize > 0) {
        for (int16_t i = 0; i < count; ++i) {
            recordConvert(selector, body + DB_HEADER_SIZE + i * recordSize, kind);
        }
    }
    return CAL_OK;
}

int16_t tableIdsCollect(TableWork *work)
{
    TableIdList *list = &work->tableIds;
    list->count = 0;
    bool full = false;
    for (int n = 0; n < DB_DATABASE_COUNT && !full; ++n) {
        uint8_t *header = nullptr, *records = nullptr;
        int16_t layout = 0;
        int16_t rc = tableDatabaseRead(work, static_cast<uint16_t>(DB_ID_BASE + kDatabaseNumbers[n]), &header, &records,
                                       &layout);
        if (rc == CAL_FAIL) {
            continue; // not listed, or malformed in the file
        }
        if (rc != CAL_OK) {
            return rc;
        }
        int32_t recordSize = dbRecordSize(layout);
        int32_t count = recordSize > 0 ? dbHeaderCount(header) : 0;
        for (int32_t i = 0; i < count && !full; ++i) {
            int32_t id = dbRecordTableId(records + i * recordSize, layout);
            bool known = false;
            for (int16_t j = 0; j < list->count && !known; ++j) {
                known = list->ids[j] == id;
            }
            if (known) {
                continue;
            }
            list->ids[list->count++] = id;
            full = list->count >= CAL_TABLE_ID_MAX;
        }
        tableRelease(&work->tableFile);
    }
    return full ? CAL_FAIL : CAL_OK;
}
