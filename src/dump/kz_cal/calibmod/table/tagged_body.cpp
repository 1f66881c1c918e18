// Reading a tagged KZHT body through checked positions.
#include "tagged_body.h"

#include "byte_order.h"
#include "cal_types.h"

namespace {

// True when [offset, offset + length) lies inside the body.
bool holds(const TaggedBody *reader, int64_t offset, int64_t length)
{
    return offset >= 0 && offset + length <= reader->size;
}

// The converted word at offset, which the caller has checked.
uint32_t wordAt(const TaggedBody *reader, int64_t offset)
{
    return wordRead(reader->byteOrder, reader->body + offset);
}

} // namespace

int16_t taggedOpen(TaggedBody *reader, uint8_t *body, int32_t size, uint8_t byteOrder)
{
    reader->body = body;
    reader->size = size;
    reader->byteOrder = byteOrder;
    reader->itemCount = 0;
    if (!holds(reader, 0, TAGGED_HEADER_SIZE)) {
        return CAL_FAIL;
    }
    int32_t count = static_cast<int32_t>(wordAt(reader, 8));
    if (count <= 0) {
        return CAL_OK; // no items
    }
    if (!holds(reader, TAGGED_HEADER_SIZE, static_cast<int64_t>(count) * TAGGED_ITEM_SIZE)) {
        return CAL_FAIL;
    }
    reader->itemCount = count;
    return CAL_OK;
}

int16_t taggedCollectPlanes(const TaggedBody *reader, TaggedPlanes *planes)
{
    planes->count = 0;
    bool countSet = false;
    int32_t planeCount = 0; // the last plane count set; at most TAGGED_PLANE_MAX
    int32_t collected = 0;  // never above planeCount when a plane item is taken
    for (int32_t i = 0; i < reader->itemCount; ++i) {
        const int64_t item = TAGGED_HEADER_SIZE + static_cast<int64_t>(TAGGED_ITEM_SIZE) * i;
        uint32_t tag = wordAt(reader, item) >> 24;
        uint32_t value = wordAt(reader, item + 4);
        if (tag == ITEM_PLANE_COUNT) {
            planeCount = static_cast<int32_t>(value);
            if (planeCount > TAGGED_PLANE_MAX) {
                return CAL_FAIL;
            }
            countSet = true;
        } else if (tag == ITEM_PLANE) {
            if (!countSet || collected >= planeCount) {
                return CAL_FAIL;
            }
            planes->positions[collected++] = value;
        } else if (tag != ITEM_SKIP) {
            return CAL_FAIL;
        }
    }
    if (!countSet || planeCount <= 0) {
        return CAL_OK;
    }
    if (collected < planeCount) {
        return CAL_FAIL; // every plane needs its plane item
    }
    planes->count = planeCount;
    return CAL_OK;
}

int16_t taggedReadPlane(const TaggedBody *reader, uint32_t position, TaggedPlane *plane)
{
    const int64_t pos = position;
    if (!holds(reader, pos, TAGGED_PLANE_SIZE)) {
        return CAL_FAIL;
    }
    if ((wordAt(reader, pos + 24) >> 24) != ITEM_PLANE_COUNT || wordAt(reader, pos + 56) != CURVE_DESCRIPTOR) {
        return CAL_FAIL;
    }
    const int64_t curve = pos + wordAt(reader, pos + 60);
    if (!holds(reader, curve, CURVE_BYTES)) {
        return CAL_FAIL;
    }
    plane->slot = static_cast<int32_t>(wordAt(reader, pos + 28));
    plane->curve = reader->body + curve;
    return CAL_OK;
}
