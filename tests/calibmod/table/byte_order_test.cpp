// Byte-order probe and swaps.
#include <gtest/gtest.h>

#include <vector>

#include "byte_order.h"

namespace {

std::vector<uint8_t> seq(int n)
{
    std::vector<uint8_t> v(n);
    for (int i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(i + 1);
    }
    return v;
}

TEST(ByteOrder, HostProbeAndFlag)
{
    EXPECT_EQ(0, byteOrderProbe()); // the development and target hosts are little-endian
    EXPECT_EQ(BYTE_ORDER_HOST, byteOrderFlag(byteOrderProbe()));
    EXPECT_EQ(BYTE_ORDER_SWAPPED, byteOrderFlag(1));
    EXPECT_EQ(BYTE_ORDER_HOST, byteOrderFlag(7));
}

TEST(ByteOrder, SwapUnitsAndPartialLengths)
{
    auto v = seq(6);
    bytesSwap(v.data(), 6, 4); // one whole group of four; the two bytes after it stay
    EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1, 5, 6}), v);

    v = seq(5);
    bytesSwap(v.data(), 5, 2); // two pairs; the odd byte stays
    EXPECT_EQ((std::vector<uint8_t>{2, 1, 4, 3, 5}), v);

    v = seq(8);
    bytesSwap(v.data(), 1, 2); // no whole pair
    bytesSwap(v.data(), 8, 3); // no such unit
    bytesSwap(v.data(), 3, 4); // no whole group
    bytesSwap(v.data(), -8, 4);
    bytesSwap(v.data(), 8, 0);
    EXPECT_EQ(seq(8), v);
}

TEST(ByteOrder, OnlySwappedSelectorsConvert)
{
    for (uint8_t selector : {0x11, 0x21, 0x10, 0x20, 0x02, 0x13, 0x32}) {
        auto v = seq(4);
        byteOrderConvert(selector, v.data(), 4, 4);
        EXPECT_EQ(seq(4), v) << int(selector);
    }
    auto v = seq(4);
    byteOrderConvert(0x12, v.data(), 4, 4);
    EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1}), v);
    v = seq(4);
    byteOrderConvert(0x22, v.data(), 4, 2); // the unit comes from the argument, not the selector
    EXPECT_EQ((std::vector<uint8_t>{2, 1, 4, 3}), v);
}

TEST(ByteOrder, ReadWordLeavesTheStoredBytes)
{
    const uint8_t stored[5] = {0, 0x16, 0x85, 0x17, 0x50}; // unaligned on purpose
    EXPECT_EQ(0x50178516u, wordRead(BYTE_ORDER_HOST, stored + 1));
    EXPECT_EQ(0x16851750u, wordRead(BYTE_ORDER_SWAPPED, stored + 1));
    EXPECT_EQ(0x16, stored[1]);
}

} // namespace
