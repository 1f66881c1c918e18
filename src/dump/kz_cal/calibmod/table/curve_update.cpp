// Rewriting the curves of one loaded KZHT body, plain or tagged.
#include "curve_update.h"

#include "byte_order.h"
#include "cal_types.h"

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

// True when [offset, offset + length) lies inside a body of size bytes.
bool inside(int64_t offset, int64_t length, int32_t size)
{
    return offset >= 0 && offset + length <= size;
}

} // namespace

int16_t updatePlainTable(const CalibContext *ctx, const BuiltInTable *table, int32_t tableId, uint8_t *body,
                         int32_t bodySize, const int16_t *ids, const int16_t *curveNumbers, int16_t slotCount)
{
    int16_t planes = plainPlaneCount(tableId);
    if (planes == 0) {
        return CAL_FAIL;
    }
    if (!inside(0, static_cast<int64_t>(planes) * CURVE_BYTES, bodySize)) {
        return CAL_FAIL;
    }
    for (int16_t i = 0; i < planes && i < slotCount; ++i) {
        copyBuiltInCurve(ctx, table, body + CURVE_BYTES * i, ids[i], curveNumbers[i]);
    }
    return 0;
}

int16_t updateTaggedTable(const CalibContext *ctx, const BuiltInTable *table, uint8_t *body, int32_t bodySize,
                          const int16_t *ids, const int16_t *curveNumbers, int16_t slotCount)
{
    const uint8_t order = ctx->byteOrder;
    if (!inside(0, 16, bodySize)) {
        return CAL_FAIL;
    }
    int32_t itemCount = static_cast<int32_t>(readWord(order, body + 8));
    if (itemCount > 0 && !inside(16, static_cast<int64_t>(itemCount) * 8, bodySize)) {
        return CAL_FAIL;
    }

    bool countSet = false;
    int32_t planeCount = 0;
    int16_t collected = 0;
    uint32_t positions[TAGGED_PLANE_MAX];
    for (int32_t i = 0; i < itemCount; ++i) {
        const uint8_t *item = body + 16 + 8 * i;
        uint32_t tag = readWord(order, item) >> 24;
        uint32_t value = readWord(order, item + 4);
        if (tag == ITEM_PLANE_COUNT) {
            planeCount = static_cast<int32_t>(value);
            if (planeCount >= TAGGED_PLANE_MAX + 1) {
                return CAL_FAIL;
            }
            countSet = true;
        } else if (tag == ITEM_SKIP) {
            // nothing to do
        } else if (tag == ITEM_PLANE) {
            if (!countSet || collected >= planeCount) {
                return CAL_FAIL;
            }
            positions[collected++] = value;
        } else {
            return CAL_FAIL;
        }
    }
    if (!countSet || planeCount <= 0) {
        return 0;
    }
    // Every plane needs its plane item.
    if (collected < planeCount) {
        return CAL_FAIL;
    }

    for (int32_t b = 0; b < planeCount; ++b) {
        const int64_t pos = positions[b];
        if (!inside(pos, 64, bodySize)) {
            return CAL_FAIL;
        }
        uint8_t *plane = body + pos;
        if ((readWord(order, plane + 24) >> 24) != ITEM_PLANE_COUNT) {
            return CAL_FAIL;
        }
        int32_t slot = static_cast<int32_t>(readWord(order, plane + 28));
        if (readWord(order, plane + 56) != CURVE_DESCRIPTOR) {
            return CAL_FAIL;
        }
        uint32_t curvePos = readWord(order, plane + 60);
        if (!inside(pos + curvePos, CURVE_BYTES, bodySize)) {
            return CAL_FAIL;
        }
        if (slot < 0 || slot >= slotCount) {
            continue; // no adjustment for this plane
        }
        copyBuiltInCurve(ctx, table, plane + curvePos, ids[slot], curveNumbers[slot]);
    }
    return 0;
}

int16_t updateCurveTableWith(const CalibContext *ctx, const BuiltInTableList *list, int32_t tableId, uint8_t *body,
                             int32_t bodySize)
{
    int16_t ids[CAL_SLOT_MAX] = {0}, curveNumbers[CAL_SLOT_MAX] = {0}, slotCount = 0;
    unpackAdjustIds(ctx->request, ctx->adjustIds, ids, curveNumbers, &slotCount);
    // A body too short for a first word cannot be tagged.
    bool tagged = bodySize >= 4 && readWord(ctx->byteOrder, body) == TAGGED_BLOCK_MAGIC;
    for (int16_t t = 0; t < list->count; ++t) {
        const BuiltInTable *table = &list->tables[t];
        if (table->tableId != tableId) {
            continue;
        }
        int16_t rc = tagged ? updateTaggedTable(ctx, table, body, bodySize, ids, curveNumbers, slotCount)
                            : updatePlainTable(ctx, table, tableId, body, bodySize, ids, curveNumbers, slotCount);
        if (rc != 0) {
            return rc;
        }
    }
    return 0;
}

int16_t updateCurveTable(const CalibContext *ctx, int32_t tableId, uint8_t *body, int32_t bodySize)
{
    return updateCurveTableWith(ctx, builtInTables(), tableId, body, bodySize);
}
