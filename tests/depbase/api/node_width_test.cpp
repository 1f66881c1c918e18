// Node fields at the first value that needs their full width: an operand
// (node index or pool offset) of 0x10000 takes the 17th bit of the 24-bit
// operand, a count of 0x8000 the 16th bit of the count word.
#include <gtest/gtest.h>

#include <vector>

#include "access.h"
#include "fake_platform.h"
#include "image_builder.h"
#include "test_record.h"

namespace {

class NodeWidthTest : public ::testing::Test {
protected:
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view{};
    ZMD_Env env{};
    TestRecord rec{{0, 1}};
    std::vector<uint8_t> buf;
    uint32_t size = 0;

    int32_t ask(uint16_t key)
    {
        view = b.view();
        env = fake.env(&view);
        buf.assign(0x10000, 0xEE);
        size = 0;
        return ZMD_AccessDataBase(&env, ZMD_DB_ROOT, key, rec.get(), static_cast<uint32_t>(buf.size()), buf.data(),
                                  &size);
    }
};

// The answer's bytes start at offset 0x10000 of the byte pool.
TEST_F(NodeWidthTest, PoolOffsetOfSixtyFiveThousandFiveHundredThirtySix)
{
    b.bytes(0x0002, std::vector<uint8_t>(0x8000, 0x11));
    b.bytes(0x0002, std::vector<uint8_t>(0x8000, 0x22));
    ZMD_Node wide = b.bytes(0x0002, {0xAB, 0xCD});
    ASSERT_EQ(ZMD_NodeOperand(wide.w0), 0x10000u);
    b.addKey(0x0002, b.add(wide));
    ASSERT_EQ(ask(0x0002), ZMD_OK);
    ASSERT_EQ(size, 2u);
    EXPECT_EQ(buf[0], 0xAB);
    EXPECT_EQ(buf[1], 0xCD);
}

// The select's cases start at node 0x10002 and name nodes 0x10000 and
// 0x10001; node 2, where a 16-bit operand would land, is a case of its own.
TEST_F(NodeWidthTest, FirstCaseAtNodeSixtyFiveThousandFiveHundredThirtySix)
{
    b.reserve(0x10000);
    uint32_t wrong = b.add(b.bytes(0x0003, {0x01}));
    uint32_t right = b.add(b.bytes(0x0003, {0x02}));
    uint32_t firstCase = b.addRun({mk::caseEqualInt(right, 1), mk::caseDefault(wrong)});
    ASSERT_EQ(firstCase, 0x10002u);
    b.set(2, mk::caseDefault(wrong));
    b.addKey(0x0003, b.add(mk::selectInt(firstCase, 1, 2)));
    ASSERT_EQ(ask(0x0003), ZMD_OK);
    ASSERT_EQ(size, 1u);
    EXPECT_EQ(buf[0], 0x02);
}

// 0x8000 elements: a 15-bit count would answer nothing.
TEST_F(NodeWidthTest, CountOfThirtyTwoThousandSevenHundredSixtyEight)
{
    std::vector<uint8_t> bytes(0x8000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7);
    }
    b.addKey(0x0002, b.add(b.bytes(0x0002, bytes)));
    ASSERT_EQ(ask(0x0002), ZMD_OK);
    ASSERT_EQ(size, 0x8000u);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + size), bytes);
    EXPECT_EQ(buf[size], 0xEE);
}

} // namespace
