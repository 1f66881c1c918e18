// The bounded reader of tagged KZHT bodies: every count and position is
// taken exactly up to the end of the body and refused one byte beyond it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "byte_order.h"
#include "cal_types.h"
#include "tagged_body.h"

namespace {

using Body = std::vector<uint8_t>;

void putWord(Body &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i)); // the files are little-endian
    }
}

uint8_t order()
{
    return byteOrderFlag(byteOrderProbe());
}

// A header with count items, all skip items, in a body of exactly the size
// they need (a heap block of that size, so a read past it is caught).
Body withItems(uint32_t count, size_t items)
{
    Body b(TAGGED_HEADER_SIZE + TAGGED_ITEM_SIZE * items, 0);
    putWord(b, 0, TAGGED_BLOCK_MAGIC);
    putWord(b, 8, count);
    for (size_t i = 0; i < items; ++i) {
        putWord(b, TAGGED_HEADER_SIZE + TAGGED_ITEM_SIZE * i, uint32_t{ITEM_SKIP} << 24);
    }
    return b;
}

// A well-formed plane at pos whose curve starts curveOffset bytes after it.
void putPlane(Body &b, size_t pos, uint32_t slot, uint32_t curveOffset)
{
    putWord(b, pos + 24, uint32_t{ITEM_PLANE_COUNT} << 24);
    putWord(b, pos + 28, slot);
    putWord(b, pos + 56, CURVE_DESCRIPTOR);
    putWord(b, pos + 60, curveOffset);
}

TEST(TaggedBody, ItemCountIsTakenUpToTheEndOfTheBodyAndNoFurther)
{
    TaggedBody reader;
    Body exact = withItems(3, 3);
    ASSERT_EQ(taggedOpen(&reader, exact.data(), static_cast<int32_t>(exact.size()), order()), CAL_OK);
    EXPECT_EQ(reader.itemCount, 3);
    TaggedPlanes planes;
    EXPECT_EQ(taggedCollectPlanes(&reader, &planes), CAL_OK);
    EXPECT_EQ(planes.count, 0) << "no plane count: nothing to rewrite";

    Body overByOne = withItems(4, 3);
    EXPECT_EQ(taggedOpen(&reader, overByOne.data(), static_cast<int32_t>(overByOne.size()), order()), CAL_FAIL);
    EXPECT_EQ(reader.itemCount, 0);

    // A count whose item bytes overflow 32 bits is still past the body.
    Body huge = withItems(0x20000001u, 1);
    EXPECT_EQ(taggedOpen(&reader, huge.data(), static_cast<int32_t>(huge.size()), order()), CAL_FAIL);

    for (uint32_t none : {0u, 0x80000000u, 0xFFFFFFFFu}) {
        Body b = withItems(none, 0);
        ASSERT_EQ(taggedOpen(&reader, b.data(), static_cast<int32_t>(b.size()), order()), CAL_OK) << none;
        EXPECT_EQ(reader.itemCount, 0) << none;
    }

    Body header = withItems(0, 0);
    EXPECT_EQ(taggedOpen(&reader, header.data(), TAGGED_HEADER_SIZE - 1, order()), CAL_FAIL);
}

TEST(TaggedBody, PlaneAndCurveMustLieWhollyInsideTheBody)
{
    const size_t pos = 24;
    const uint32_t curveOffset = TAGGED_PLANE_SIZE;
    Body b(pos + curveOffset + CURVE_BYTES, 0);
    putPlane(b, pos, 2, curveOffset);
    TaggedBody reader;
    ASSERT_EQ(taggedOpen(&reader, b.data(), static_cast<int32_t>(b.size()), order()), CAL_OK);
    TaggedPlane plane;
    ASSERT_EQ(taggedReadPlane(&reader, pos, &plane), CAL_OK) << "the curve ends at the last byte";
    EXPECT_EQ(plane.slot, 2);
    EXPECT_EQ(plane.curve, b.data() + pos + curveOffset);

    Body cut(b.begin(), b.end() - 1);
    ASSERT_EQ(taggedOpen(&reader, cut.data(), static_cast<int32_t>(cut.size()), order()), CAL_OK);
    EXPECT_EQ(taggedReadPlane(&reader, pos, &plane), CAL_FAIL) << "the curve runs one byte past the body";

    // A curve position that would wrap around in 32 bits points past the
    // body, never back into it.
    putPlane(b, pos, 2, 0xFFFFFFFFu);
    ASSERT_EQ(taggedOpen(&reader, b.data(), static_cast<int32_t>(b.size()), order()), CAL_OK);
    EXPECT_EQ(taggedReadPlane(&reader, pos, &plane), CAL_FAIL);

    // A plane that starts within the body but runs one byte past it is
    // refused before any of its words is read.
    Body tail(TAGGED_HEADER_SIZE + TAGGED_PLANE_SIZE, 0);
    ASSERT_EQ(taggedOpen(&reader, tail.data(), static_cast<int32_t>(tail.size()), order()), CAL_OK);
    EXPECT_EQ(taggedReadPlane(&reader, TAGGED_HEADER_SIZE + 1, &plane), CAL_FAIL);
    EXPECT_EQ(taggedReadPlane(&reader, 0xFFFFFFFFu, &plane), CAL_FAIL);
}

TEST(TaggedBody, PlaneCountIsCheckedOnceAgainstTheMost)
{
    auto collect = [](uint32_t planeCount, size_t planeItems, TaggedPlanes *planes) {
        Body b = withItems(static_cast<uint32_t>(1 + planeItems), 1 + planeItems);
        putWord(b, TAGGED_HEADER_SIZE, uint32_t{ITEM_PLANE_COUNT} << 24);
        putWord(b, TAGGED_HEADER_SIZE + 4, planeCount);
        for (size_t i = 0; i < planeItems; ++i) {
            size_t item = TAGGED_HEADER_SIZE + TAGGED_ITEM_SIZE * (1 + i);
            putWord(b, item, uint32_t{ITEM_PLANE} << 24);
            putWord(b, item + 4, static_cast<uint32_t>(100 + i));
        }
        TaggedBody reader;
        EXPECT_EQ(taggedOpen(&reader, b.data(), static_cast<int32_t>(b.size()), order()), CAL_OK);
        return taggedCollectPlanes(&reader, planes);
    };
    TaggedPlanes planes;
    ASSERT_EQ(collect(TAGGED_PLANE_MAX, TAGGED_PLANE_MAX, &planes), CAL_OK);
    ASSERT_EQ(planes.count, TAGGED_PLANE_MAX);
    for (int i = 0; i < TAGGED_PLANE_MAX; ++i) {
        EXPECT_EQ(planes.positions[i], static_cast<uint32_t>(100 + i)) << "in item order";
    }
    EXPECT_EQ(collect(TAGGED_PLANE_MAX + 1, 0, &planes), CAL_FAIL);
    EXPECT_EQ(collect(2, 3, &planes), CAL_FAIL) << "a plane item beyond the plane count";
    EXPECT_EQ(collect(3, 2, &planes), CAL_FAIL) << "a plane without its plane item";
}

} // namespace
