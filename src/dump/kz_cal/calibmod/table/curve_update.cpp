// Rewriting the curves of one loaded KZHT body, plain or tagged.
#include "curve_update.h"

#include "byte_order.h"
#include "cal_types.h"
#include "tagged_body.h"

namespace {

// Planes of a plain body by table id; 0 for an id that has no plain form.
int16_t plainPlaneCount(int32_t tableId)
{
    if (tableId >= 1200 && tableId <= 1299) {
        return 4;
    }
    if (tableId >= 1300 && tableId <= 1399) {
        return 6;
    }
    if (tableId >= 1400 && tableId <= 1499) {
        return 7;
    }
    return 0;
}

} // namespace

int16_t plainTableUpdate(const TableWork *work, const BuiltInTable *table, int32_t tableId, uint8_t *body,
                         int32_t bodySize, const int16_t *ids, const int16_t *curveNumbers, int16_t slotCount)
{
    int16_t planes = plainPlaneCount(tableId);
    if (planes == 0) {
        return CAL_FAIL;
    }
    if (static_cast<int64_t>(planes) * CURVE_BYTES > bodySize) {
        return CAL_FAIL; // the body is shorter than its curves
    }
    for (int16_t i = 0; i < planes && i < slotCount; ++i) {
        builtInCurveCopy(work, table, body + CURVE_BYTES * i, ids[i], curveNumbers[i]);
    }
    return CAL_OK;
}

int16_t taggedTableUpdate(const TableWork *work, const BuiltInTable *table, uint8_t *body, int32_t bodySize,
                          const int16_t *ids, const int16_t *curveNumbers, int16_t slotCount)
{
    TaggedBody reader;
    TaggedPlanes planes;
    if (taggedOpen(&reader, body, bodySize, work->byteOrder) != CAL_OK ||
        taggedCollectPlanes(&reader, &planes) != CAL_OK) {
        return CAL_FAIL;
    }
    // Plane by plane: a plane that fails leaves the planes before it
    // rewritten.
    for (int32_t b = 0; b < planes.count; ++b) {
        TaggedPlane plane;
        if (taggedReadPlane(&reader, planes.positions[b], &plane) != CAL_OK) {
            return CAL_FAIL;
        }
        if (plane.slot < 0 || plane.slot >= slotCount) {
            continue; // no adjustment for this plane
        }
        builtInCurveCopy(work, table, plane.curve, ids[plane.slot], curveNumbers[plane.slot]);
    }
    return CAL_OK;
}

int16_t curveTableUpdateWith(const TableWork *work, const BuiltInTableList *list, int32_t tableId, uint8_t *body,
                             int32_t bodySize)
{
    int16_t ids[CAL_SLOT_MAX] = {0}, curveNumbers[CAL_SLOT_MAX] = {0}, slotCount = 0;
    adjustIdsUnpack(work->request, work->adjustIds, ids, curveNumbers, &slotCount);
    // A body too short for a first word cannot be tagged.
    bool tagged = bodySize >= 4 && wordRead(work->byteOrder, body) == TAGGED_BLOCK_MAGIC;
    for (int16_t t = 0; t < list->count; ++t) {
        const BuiltInTable *table = &list->tables[t];
        if (table->tableId != tableId) {
            continue;
        }
        int16_t rc = tagged ? taggedTableUpdate(work, table, body, bodySize, ids, curveNumbers, slotCount)
                            : plainTableUpdate(work, table, tableId, body, bodySize, ids, curveNumbers, slotCount);
        if (rc != CAL_OK) {
            return rc;
        }
    }
    return CAL_OK;
}

int16_t curveTableUpdate(const TableWork *work, int32_t tableId, uint8_t *body, int32_t bodySize)
{
    return curveTableUpdateWith(work, builtInTables(), tableId, body, bodySize);
}

int16_t curveBodyWalk(uint8_t byteOrder, int32_t tableId, uint8_t *body, int32_t bodySize, CurveVisit visit, void *arg)
{
    if (bodySize >= 4 && wordRead(byteOrder, body) == TAGGED_BLOCK_MAGIC) {
        TaggedBody reader;
        TaggedPlanes planes;
        if (taggedOpen(&reader, body, bodySize, byteOrder) != CAL_OK ||
            taggedCollectPlanes(&reader, &planes) != CAL_OK) {
            return CAL_FAIL;
        }
        for (int32_t b = 0; b < planes.count; ++b) {
            TaggedPlane plane;
            if (taggedReadPlane(&reader, planes.positions[b], &plane) != CAL_OK) {
                return CAL_FAIL;
            }
            visit(arg, plane.slot, plane.curve);
        }
        return CAL_OK;
    }
    int16_t planes = plainPlaneCount(tableId);
    if (planes == 0 || static_cast<int64_t>(planes) * CURVE_BYTES > bodySize) {
        return CAL_FAIL;
    }
    for (int16_t i = 0; i < planes; ++i) {
        visit(arg, i, body + CURVE_BYTES * i);
    }
    return CAL_OK;
}

bool curveTableHasBuiltIn(int32_t tableId)
{
    const BuiltInTableList *list = builtInTables();
    for (int16_t t = 0; t < list->count; ++t) {
        if (list->tables[t].tableId == tableId) {
            return true;
        }
    }
    return false;
}
