// The key lookup: a binary search over the ascending key table, with a
// first-match scan behind it for a table that is out of order.
#include <gtest/gtest.h>

#include "engine.h"
#include "fake_platform.h"
#include "image_builder.h"

namespace {

// A value node per key whose byte-pool bytes name the key's position.
struct Table {
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view{};

    explicit Table(const std::vector<uint16_t> &keys)
    {
        std::vector<uint32_t> tops;
        for (size_t i = 0; i < keys.size(); ++i) {
            tops.push_back(b.add(b.bytes(keys[i], {static_cast<uint8_t>(i)})));
        }
        for (size_t i = 0; i < keys.size(); ++i) {
            b.addKey(keys[i], tops[i]);
        }
        view = b.view();
    }
    // The position of the entry that answered the key, or -1 with the result.
    int Find(uint16_t key, int32_t *result = nullptr)
    {
        ZMD_Env env = fake.env(&view);
        ZMD_Node node{};
        int32_t r = ZMD_FindKey(&env, key, nullptr, &node);
        if (result) {
            *result = r;
        }
        return r == ZMD_OK ? b.bytePool.at(ZMD_NodeOperand(node.w0)) : -1;
    }
};

TEST(KeyLookup, EveryKeyOfAnAscendingTableAndNoOther)
{
    std::vector<uint16_t> keys;
    for (uint16_t k = 0x0002; k < 0x0200; k += 3) {
        keys.push_back(k);
    }
    Table t(keys);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(t.Find(keys[i]), static_cast<int>(i)) << "key 0x" << std::hex << keys[i];
    }
    int32_t r = 0;
    for (uint16_t missing : {0x0000, 0x0001, 0x0003, 0x01FF, 0x0200, 0xFFFF}) {
        EXPECT_EQ(t.Find(missing, &r), -1);
        EXPECT_EQ(r, ZMD_NO_KEY) << "key 0x" << std::hex << missing;
    }
}

TEST(KeyLookup, OneEntryAndTheFirstOfEqualKeys)
{
    Table one({0x0010});
    EXPECT_EQ(one.Find(0x0010), 0);
    EXPECT_EQ(one.Find(0x0011), -1);
    // Equal keys in an ascending table: the first one answers, as a scan's would.
    Table dup({0x0002, 0x0005, 0x0005, 0x0005, 0x0009});
    EXPECT_EQ(dup.Find(0x0005), 1);
}

TEST(KeyLookup, ATableOutOfOrderStillFindsItsKeys)
{
    const std::vector<uint16_t> keys = {0x0030, 0x0002, 0x0100, 0x0007, 0x0040};
    Table t(keys);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(t.Find(keys[i]), static_cast<int>(i)) << "key 0x" << std::hex << keys[i];
    }
    int32_t r = 0;
    EXPECT_EQ(t.Find(0x0008, &r), -1);
    EXPECT_EQ(r, ZMD_NO_KEY);
}

} // namespace
