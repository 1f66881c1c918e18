// Walking a calibration data file with the table layer's functions: the
// directories as tableLocate reads them, the KZDB tables as the scan reads
// them, the KZHT tables as the update loads them and their curves as the
// update finds them.
#include "inspect_data.h"

#include <cstring>

#include "byte_order.h"
#include "cal_types.h"
#include "copy.h"
#include "inspect_mem.h"
#include "table_db.h"
#include "tagged_body.h"

namespace {

#define TABLE_IDS 65536 // every 16-bit directory id

// The first directory entry of each KZHT id: its index and table position
// (index -1: none), and which ids a KZDB table names.
struct EntryMap {
    int32_t index[TABLE_IDS];
    int32_t position[TABLE_IDS];
    uint8_t named[TABLE_IDS / 8];
};

struct Walk {
    TableWork *work;
    const InspectDataVisit *visit;
    EntryMap *map;
};

struct CurveCollect {
    InspectKzht *table;
    const uint8_t *body;
    int64_t bodyOffset;
};

void curveCollect(void *arg, int32_t slot, const uint8_t *curve)
{
    CurveCollect *c = static_cast<CurveCollect *>(arg);
    InspectKzht *t = c->table;
    if (t->curveCount >= TAGGED_PLANE_MAX) {
        return;
    }
    InspectCurve *out = &t->curves[t->curveCount++];
    out->slot = slot;
    out->offset = static_cast<uint32_t>(c->bodyOffset + (curve - c->body));
    inspectCurveAt(curve, CURVE_BYTES, 0, out->values);
}

// The head. CAL_FAIL when the file cannot hold a header.
int16_t headRead(Walk *w, InspectHead *head)
{
    FileRef *f = &w->work->tableFile.file;
    std::memset(head, 0, sizeof *head);
    head->size = fileSize(f);
    if (head->size < 0) {
        return CAL_ERR_FILE;
    }
    if (head->size < INSPECT_HEADER_SIZE) {
        return CAL_FAIL;
    }
    uint8_t word[4];
    if (fileSeek(f, 4) != CAL_OK || fileRead(f, word, 4) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    head->identPosition = wordRead(w->work->byteOrder, word);
    head->identBlockInside = static_cast<int64_t>(head->identPosition) + 8 <= head->size;
    IdentString ident;
    head->identReadable = identLocate(f, &ident) == CAL_OK;
    head->identOffset = head->identReadable ? ident.offset : 0;
    head->identLength = head->identReadable ? ident.length : 0;
    if (tableDirectoryRead(f, TABLE_KIND_KZDB, &head->kzdb) != CAL_OK && !head->kzdb.malformed) {
        return CAL_ERR_FILE;
    }
    if (tableDirectoryRead(f, TABLE_KIND_KZHT, &head->kzht) != CAL_OK && !head->kzht.malformed) {
        return CAL_ERR_FILE;
    }
    head->shared = head->kzdb.position == head->kzht.position;
    return CAL_OK;
}

// The record of a KZDB table the scan skips for its content.
void kzdbRuledOut(Walk *w, InspectKzdb *t)
{
    TableFile *tf = &w->work->tableFile;
    if (tf->request.notListed) {
        t->state = INSPECT_TABLE_ABSENT;
        return;
    }
    t->state = tf->request.malformed ? INSPECT_TABLE_DAMAGED : INSPECT_TABLE_MALFORMED;
    if (t->state == INSPECT_TABLE_MALFORMED && tableLoad(tf, "KZDB", t->id, TABLE_KIND_KZDB) == CAL_OK &&
        tf->loadedSize >= DB_HEADER_SIZE) {
        t->layout = static_cast<int32_t>(wordRead(w->work->byteOrder, tf->loadedBody) & 0xFFFF);
        t->records = static_cast<int32_t>(wordRead(w->work->byteOrder, tf->loadedBody + 4));
    }
    tableRelease(tf);
}

int16_t kzdbWalk(Walk *w)
{
    for (int n = 0; n < DB_DATABASE_COUNT; ++n) {
        InspectKzdb t;
        std::memset(&t, 0, sizeof t);
        t.id = static_cast<uint16_t>(DB_ID_BASE + kDatabaseNumbers[n]);
        t.layout = -1;
        uint8_t *header = nullptr, *records = nullptr;
        int16_t layout = 0;
        int16_t rc = tableDatabaseRead(w->work, t.id, &header, &records, &layout);
        if (rc == CAL_FAIL) {
            kzdbRuledOut(w, &t);
            w->visit->kzdb(w->visit->arg, &t);
            continue;
        }
        if (rc != CAL_OK) {
            return rc;
        }
        t.state = INSPECT_TABLE_READ;
        t.layout = static_cast<uint16_t>(layout);
        t.records = dbHeaderCount(header);
        int32_t recordSize = dbRecordSize(layout);
        t.idCount = recordSize > 0 && t.records > 0 ? t.records : 0;
        MemBlock ids;
        memInit(&ids, w->work->tableFile.file.platform);
        if (memAllocBlock(static_cast<uint32_t>(t.idCount) * 4, &ids) != CAL_OK) {
            tableRelease(&w->work->tableFile);
            return CAL_ERR_NO_MEMORY;
        }
        int32_t *out = static_cast<int32_t *>(ids.data);
        for (int32_t i = 0; i < t.idCount; ++i) {
            out[i] = dbRecordTableId(records + i * recordSize, layout);
        }
        t.kzhtIds = out;
        w->visit->kzdb(w->visit->arg, &t);
        memRelease(&ids);
        tableRelease(&w->work->tableFile);
    }
    return CAL_OK;
}

// The first entry of each KZHT id in the KZHT directory.
int16_t entriesMap(Walk *w, const TableDirectory *dir)
{
    for (int32_t i = 0; i < TABLE_IDS; ++i) {
        w->map->index[i] = -1;
    }
    if (dir->malformed || !dir->countInside) {
        return CAL_OK;
    }
    for (int32_t i = 0; i < dir->count; ++i) {
        int32_t tag = 0, pos = 0;
        uint16_t id = 0;
        if (tableDirectoryEntry(&w->work->tableFile.file, dir, i, &tag, &id, &pos) != CAL_OK) {
            return CAL_ERR_FILE;
        }
        if (tag == TABLE_KIND_KZHT && w->map->index[id] < 0) {
            w->map->index[id] = i;
            w->map->position[id] = pos;
        }
    }
    return CAL_OK;
}

int16_t kzhtRead(Walk *w, InspectKzht *t)
{
    TableWork *work = w->work;
    TableFile *tf = &work->tableFile;
    t->entryIndex = w->map->index[t->id];
    t->hasBuiltIn = curveTableHasBuiltIn(t->tableId);
    uint8_t *body = nullptr;
    int32_t size = 0;
    int16_t rc = curveTableLoad(work, t->tableId, &body, &size);
    if (rc != CAL_OK) {
        if (!tf->request.notListed && !tf->request.malformed) {
            return rc; // the host failed
        }
        t->state = tf->request.notListed ? INSPECT_TABLE_ABSENT : INSPECT_TABLE_DAMAGED;
        w->visit->kzht(w->visit->arg, t);
        return CAL_OK;
    }
    t->bytes = size;
    t->tagged = size >= 4 && wordRead(work->byteOrder, body) == TAGGED_BLOCK_MAGIC;
    if (t->tagged) {
        TaggedBody reader;
        taggedOpen(&reader, body, size, work->byteOrder);
        t->itemCount = reader.itemCount;
    }
    CurveCollect collect{t, body, static_cast<int64_t>(w->map->position[t->id]) + 4};
    if (curveBodyWalk(work->byteOrder, t->tableId, body, size, curveCollect, &collect) == CAL_OK) {
        t->state = INSPECT_TABLE_READ;
        t->planeCount = t->curveCount;
    } else {
        t->state = INSPECT_TABLE_MALFORMED;
        t->curveCount = 0;
    }
    w->visit->kzht(w->visit->arg, t);
    tableRelease(tf);
    return CAL_OK;
}

void kzhtInit(InspectKzht *t, int32_t tableId, bool named)
{
    std::memset(t, 0, sizeof *t);
    t->tableId = tableId;
    t->id = static_cast<uint16_t>(tableId & 0xFFFF);
    t->named = named;
}

int16_t kzhtWalk(Walk *w, const TableDirectory *dir)
{
    int16_t rc = entriesMap(w, dir);
    if (rc != CAL_OK) {
        return rc;
    }
    rc = tableIdsCollect(w->work);
    if (rc != CAL_OK && rc != CAL_FAIL) {
        return rc; // CAL_FAIL: the list is full, and the update stops there
    }
    const TableIdList &ids = w->work->tableIds;
    MemBlock tableBlock;
    memInit(&tableBlock, w->work->tableFile.file.platform);
    if (memAllocBlock(sizeof(InspectKzht), &tableBlock) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    InspectKzht *t = static_cast<InspectKzht *>(tableBlock.data);
    rc = CAL_OK;
    for (int16_t i = 0; i < ids.count && rc == CAL_OK; ++i) {
        if (ids.ids[i] >= 0 && ids.ids[i] < TABLE_IDS) {
            w->map->named[ids.ids[i] / 8] |= static_cast<uint8_t>(1u << (ids.ids[i] % 8));
        }
        kzhtInit(t, ids.ids[i], true);
        rc = kzhtRead(w, t);
    }
    for (int32_t i = 0; i < dir->count && rc == CAL_OK && !dir->malformed; ++i) {
        int32_t tag = 0, pos = 0;
        uint16_t id = 0;
        rc = tableDirectoryEntry(&w->work->tableFile.file, dir, i, &tag, &id, &pos);
        if (rc != CAL_OK || tag != TABLE_KIND_KZHT || w->map->index[id] != i ||
            (w->map->named[id / 8] >> (id % 8)) & 1) {
            continue;
        }
        kzhtInit(t, id, false);
        rc = kzhtRead(w, t);
    }
    memRelease(&tableBlock);
    return rc;
}

} // namespace

int16_t inspectDataFile(const CalPlatform *platform, const KZ_WCHAR *dir, const char *name, int16_t mode,
                        const InspectDataVisit *visit)
{
    MemBlock block;
    memInit(&block, platform);
    if (memAllocBlock(sizeof(TableWork) + sizeof(EntryMap), &block) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    Walk w;
    w.work = static_cast<TableWork *>(block.data);
    w.map = reinterpret_cast<EntryMap *>(static_cast<uint8_t *>(block.data) + sizeof(TableWork));
    w.visit = visit;
    tableWorkInit(w.work, platform, nullptr, nullptr);
    w.work->byteOrder = byteOrderFlag(byteOrderProbe());
    int16_t rc = fileOpenNamed(&w.work->tableFile.file, dir, name, mode);
    InspectHead head;
    if (rc == CAL_OK) {
        rc = headRead(&w, &head);
        if (rc == CAL_OK || rc == CAL_FAIL) {
            visit->head(visit->arg, &head);
        }
    }
    if (rc == CAL_OK) {
        rc = kzdbWalk(&w);
    }
    if (rc == CAL_OK) {
        rc = kzhtWalk(&w, &head.kzht);
    }
    tableWorkRelease(w.work);
    memRelease(&block);
    return rc;
}

int16_t inspectDataBytes(const CalPlatform *host, const uint8_t *data, uint32_t size, const InspectDataVisit *visit)
{
    InspectMemFile file;
    CalPlatform platform;
    inspectMemPlatform(&file, host, data, size, &platform);
    static const KZ_WCHAR kDir[] = {'.', 0};
    return inspectDataFile(&platform, kDir, "data", CAL_MODE_READ, visit);
}

bool inspectCurveAt(const uint8_t *data, uint32_t size, uint32_t offset, int16_t *values)
{
    if (static_cast<uint64_t>(offset) + CURVE_BYTES > size) {
        return false;
    }
    std::memcpy(values, data + offset, CURVE_BYTES);
    uint8_t flag = byteOrderFlag(byteOrderProbe());
    byteOrderConvert(static_cast<uint8_t>(flag | CONVERT_CURVE), values, CURVE_BYTES, 2);
    return true;
}
