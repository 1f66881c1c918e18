// A bounded reader over a tagged KZHT body.
//
// Layout (words converted with the context's byte order; the stored bytes
// are never touched): the magic at 0, the item count at 8, then from 16 the
// 8-byte items, a tag in the top byte of the first word and a value in the
// second. A plane count item (ITEM_PLANE_COUNT) sets the number of planes,
// each plane item (ITEM_PLANE) gives a plane's position in the body. A plane
// is 64 bytes: its slot word at 24 (tagged ITEM_PLANE_COUNT), its slot at 28,
// CURVE_DESCRIPTOR at 56 and at 60 its curve's position from the plane.
//
// Every count is checked once against what holds it (the item count against
// the body, the plane count against TAGGED_PLANE_MAX), and every position
// against the body before a byte there is read.
#ifndef KZ_TAGGED_BODY_H
#define KZ_TAGGED_BODY_H

#include <cstdint>

#include "curve_update.h"

#define TAGGED_HEADER_SIZE 16
#define TAGGED_ITEM_SIZE   8
#define TAGGED_PLANE_SIZE  64

struct TaggedBody {
    uint8_t *body;
    int32_t size;
    uint8_t byteOrder; // TableWork::byteOrder
    int32_t itemCount; // items inside the body; 0 when the stored count is 0 or less
};

// The plane positions of a tagged body, in item order.
struct TaggedPlanes {
    int32_t count; // 0 to TAGGED_PLANE_MAX
    uint32_t positions[TAGGED_PLANE_MAX];
};

// One plane read from its plane item.
struct TaggedPlane {
    int32_t slot;   // as stored; the caller tells whether it was unpacked
    uint8_t *curve; // CURVE_BYTES inside the body
};

// Binds the reader to the body and checks the header and the item count.
// CAL_OK, or CAL_FAIL when the body cannot hold the header or its items.
int16_t taggedOpen(TaggedBody *reader, uint8_t *body, int32_t size, uint8_t byteOrder);
// Walks the items and collects the plane positions. CAL_OK (count 0 when no
// plane count is set or the last one set is 0 or less), or CAL_FAIL for an
// unknown tag, a plane count above TAGGED_PLANE_MAX, a plane item before any
// plane count or beyond the plane count then set, or fewer plane items than
// the last plane count.
int16_t taggedCollectPlanes(const TaggedBody *reader, TaggedPlanes *planes);
// Reads the plane at position. CAL_OK, or CAL_FAIL when the plane or its
// curve runs past the body, its slot word is not tagged ITEM_PLANE_COUNT or
// its descriptor is not CURVE_DESCRIPTOR.
int16_t taggedReadPlane(const TaggedBody *reader, uint32_t position, TaggedPlane *plane);

#endif // KZ_TAGGED_BODY_H
