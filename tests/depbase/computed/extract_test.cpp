// Value extraction (widths and the size protocol) and settings records.
#include <gtest/gtest.h>

#include <cstring>

#include "computed.h"
#include "extract.h"
#include "fake_platform.h"
#include "image_builder.h"
#include "test_record.h"

namespace {

class ExtractTest : public ::testing::Test {
protected:
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view{};
    ZMD_Env env{};
    TestRecord rec;

    // Extracts n into a buffer of cb bytes (pre-filled with 0xEE).
    int32_t extract(ZMD_Node n, uint32_t cb, std::vector<uint8_t> *buf, uint32_t *size)
    {
        view = b.view();
        env = fake.env(&view);
        buf->assign(cb + 8, 0xEE);
        return ZMD_ExtractValue(&env, rec.get(), cb, buf->data(), size, n);
    }
    std::vector<int32_t> ints(const std::vector<uint8_t> &buf, uint32_t size)
    {
        std::vector<int32_t> out(size / 4);
        std::memcpy(out.data(), buf.data(), out.size() * 4);
        return out;
    }
};

TEST_F(ExtractTest, TextIsWidenedWithItsNul)
{
    ZMD_Node n = b.text(0x0002, "1.50");
    std::vector<uint8_t> buf;
    uint32_t size = 0;
    ASSERT_EQ(extract(n, 10, &buf, &size), ZMD_OK);
    ASSERT_EQ(size, 10u);
    std::u16string text(5, u'?');
    std::memcpy(&text[0], buf.data(), 10);
    EXPECT_EQ(text, std::u16string(u"1.50") + u'\0');
    EXPECT_EQ(buf[10], 0xEE); // nothing beyond the size
}

// Every length, across the sizes the copy widens in blocks, with bytes above
// 0x7F (widened as unsigned) and nothing written beyond the size.
TEST_F(ExtractTest, TextOfEveryLengthIsWidenedUnitByUnit)
{
    for (uint32_t len = 0; len <= 40; ++len) {
        std::string s;
        for (uint32_t i = 0; i < len; ++i) {
            s += static_cast<char>(i % 3 == 2 ? 0x80 + 7 * i : 'a' + i % 26);
        }
        ZMD_Node n = b.text(0x0002, s);
        std::vector<uint8_t> buf;
        uint32_t size = 0;
        ASSERT_EQ(extract(n, 2 * (len + 1), &buf, &size), ZMD_OK) << len;
        ASSERT_EQ(size, 2 * (len + 1)) << len;
        std::u16string got(len + 1, u'?'), want;
        std::memcpy(&got[0], buf.data(), size);
        for (char c : s) {
            want += static_cast<char16_t>(static_cast<uint8_t>(c));
        }
        want += u'\0';
        EXPECT_EQ(got, want) << len;
        EXPECT_EQ(std::vector<uint8_t>(buf.begin() + size, buf.end()), std::vector<uint8_t>(8, 0xEE)) << len;
    }
}

TEST_F(ExtractTest, SmallIntegersAreWidenedBySign)
{
    std::vector<uint8_t> buf;
    uint32_t size = 0;
    ASSERT_EQ(extract(b.int8s(1, {-1, 1}), 8, &buf, &size), ZMD_OK);
    EXPECT_EQ(ints(buf, size), (std::vector<int32_t>{-1, 1}));
    ASSERT_EQ(extract(b.uint8s(1, {0xFF, 0x01}), 8, &buf, &size), ZMD_OK);
    EXPECT_EQ(ints(buf, size), (std::vector<int32_t>{255, 1}));
    ASSERT_EQ(extract(b.int16s(1, {0x8000, 0x7FFF}), 8, &buf, &size), ZMD_OK);
    EXPECT_EQ(ints(buf, size), (std::vector<int32_t>{-32768, 32767}));
    ASSERT_EQ(extract(b.uint16s(1, {0x8000, 0xFFFF}), 8, &buf, &size), ZMD_OK);
    EXPECT_EQ(ints(buf, size), (std::vector<int32_t>{32768, 65535}));
    ASSERT_EQ(extract(b.int32s(1, {INT32_MIN, 21000, -1}), 12, &buf, &size), ZMD_OK);
    EXPECT_EQ(ints(buf, size), (std::vector<int32_t>{INT32_MIN, 21000, -1}));
}

TEST_F(ExtractTest, BytesAreCopiedUnchangedNulsIncluded)
{
    const std::vector<uint8_t> cmd = {0x1B, 0x28, 0x00, 0x02, 0x00, 0xFF};
    b.bytePool = {9, 9}; // the value does not start at offset 0
    std::vector<uint8_t> buf;
    uint32_t size = 0;
    ASSERT_EQ(extract(b.bytes(1, cmd), 6, &buf, &size), ZMD_OK);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 6), cmd);
}

TEST_F(ExtractTest, SizeProtocol)
{
    ZMD_Node n = b.int32s(1, {1, 2, 3});
    std::vector<uint8_t> buf;
    uint32_t size = 0;
    EXPECT_EQ(extract(n, 11, &buf, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(buf[0], 0xEE); // too small a buffer is not written
    EXPECT_EQ(extract(n, 12, &buf, &size), ZMD_OK);
    EXPECT_EQ(size, 12u);
    size = 0;
    EXPECT_EQ(ZMD_ExtractValue(&env, rec.get(), 1000, nullptr, &size, n), ZMD_MORE_DATA);
    EXPECT_EQ(size, 12u);
}

TEST_F(ExtractTest, EmptyValue)
{
    ZMD_Node n = b.bytes(1, {});
    b.bytePool = {0};
    std::vector<uint8_t> buf;
    uint32_t size = 77;
    view = b.view();
    env = fake.env(&view);
    EXPECT_EQ(ZMD_ExtractValue(&env, rec.get(), 0, nullptr, &size, n), ZMD_MORE_DATA);
    EXPECT_EQ(size, 0u);
    size = 77;
    EXPECT_EQ(extract(n, 0, &buf, &size), ZMD_OK);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buf[0], 0xEE);
}

TEST_F(ExtractTest, NotAValueKindLeavesTheSizeAlone)
{
    for (uint32_t kind : {0u, 8u, 11u, 17u, 19u, 21u, 22u, 255u}) {
        uint32_t size = 77;
        std::vector<uint8_t> buf;
        EXPECT_EQ(extract(mk::node(kind, 0, ZMD_MakeW1(1, 0)), 16, &buf, &size), ZMD_ERROR) << kind;
        EXPECT_EQ(size, 77u);
        EXPECT_EQ(ZMD_ExtractValue(&env, rec.get(), 0, nullptr, &size, mk::node(kind, 0, 0)), ZMD_ERROR);
        EXPECT_EQ(size, 77u);
    }
}

TEST_F(ExtractTest, NullSizeWordIsAnError)
{
    ZMD_Node n = b.text(1, "x");
    view = b.view();
    env = fake.env(&view);
    uint8_t buf[8] = {0xEE, 0xEE};
    EXPECT_EQ(ZMD_ExtractValue(&env, rec.get(), sizeof buf, buf, nullptr, n), ZMD_ERROR);
    EXPECT_EQ(buf[0], 0xEE);
    EXPECT_EQ(ZMD_ExtractValue(&env, rec.get(), 0, nullptr, nullptr, n), ZMD_ERROR);
}

TEST_F(ExtractTest, UnservedComputedType)
{
    // A type number no computed value serves: size 0 on a size query,
    // ZMD_NOT_FOUND (size untouched) on a fetch.
    ZMD_Node n = mk::computed(1, 0xFFFF);
    std::vector<uint8_t> buf;
    uint32_t size = 77;
    view = b.view();
    env = fake.env(&view);
    EXPECT_EQ(ZMD_ExtractValue(&env, rec.get(), 0, nullptr, &size, n), ZMD_MORE_DATA);
    EXPECT_EQ(size, 0u);
    size = 77;
    EXPECT_EQ(extract(n, 16, &buf, &size), ZMD_NOT_FOUND);
    EXPECT_EQ(size, 77u);
}

// --- settings records ---------------------------------------------------

class RecordTest : public ::testing::Test {
protected:
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view = b.view();
    ZMD_Env env = fake.env(&view);
};

TEST_F(RecordTest, Shapes)
{
    const ZMD_RecordShape want[] = {{1, 1}, {0, 95}, {5, 13}, {0, 1}, {0, 4}, {8, 16}};
    for (uint32_t db = 0; db < 6; ++db) {
        ZMD_RecordShape s{};
        ASSERT_TRUE(ZMD_GetRecordShape(db, &s));
        EXPECT_EQ(s.cStrings, want[db].cStrings);
        EXPECT_EQ(s.cInts, want[db].cInts);
        ZMD_SettingsRecord *r = ZMD_CreateSettingsRecord(&env, db, nullptr);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->cStrings, want[db].cStrings);
        EXPECT_EQ(r->cInts, want[db].cInts);
        EXPECT_EQ(r->ppszStrings == nullptr, want[db].cStrings == 0);
        EXPECT_EQ(r->pnInts == nullptr, want[db].cInts == 0);
        for (uint32_t i = 0; i < r->cInts; ++i) {
            EXPECT_EQ(r->pnInts[i], 0);
        }
        for (uint32_t i = 0; i < r->cStrings; ++i) {
            EXPECT_EQ(r->ppszStrings[i], nullptr);
        }
        // Every entry is writable without touching another.
        for (uint32_t i = 0; i < r->cInts; ++i) {
            r->pnInts[i] = -1;
        }
        for (uint32_t i = 0; i < r->cStrings; ++i) {
            r->ppszStrings[i] = "s";
        }
        EXPECT_EQ(r->cInts, want[db].cInts);
        ZMD_FreeSettingsRecord(&env, r);
    }
    ZMD_RecordShape s{};
    EXPECT_FALSE(ZMD_GetRecordShape(6, &s));
    EXPECT_EQ(fake.allocCalls, 6);
    EXPECT_EQ(fake.outstanding(), 0u);
    EXPECT_EQ(fake.badFrees, 0);
}

TEST_F(RecordTest, DriverRecordFromTenIntegers)
{
    TestRecord src({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {"ignored"});
    src.hPrinter = reinterpret_cast<void *>(0x55);
    src.dwReserved = 0xCAFE;
    src.setPrinterName("P");
    ZMD_SettingsRecord *r = ZMD_CreateSettingsRecord(&env, ZMD_DB_DRV, src.get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->cInts, 95u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(r->pnInts[i], i + 1);
    }
    for (int i = 10; i < 95; ++i) {
        EXPECT_EQ(r->pnInts[i], 0);
    }
    EXPECT_EQ(r->cStrings, 0u);
    EXPECT_EQ(r->ppszStrings, nullptr);
    EXPECT_EQ(r->hPrinter, reinterpret_cast<void *>(0x55));
    EXPECT_EQ(r->dwReserved, 0xCAFEu);
    EXPECT_EQ(r->pwszPrinterName, nullptr);
    ZMD_FreeSettingsRecord(&env, r);
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(RecordTest, StringPointersAreCopiedUpToTheShape)
{
    const char *strings[10] = {"a", "b", nullptr, "d", "e", "f", "g", "h", "i", "j"};
    TestRecord many({}, std::vector<const char *>(strings, strings + 10));
    ZMD_SettingsRecord *r = ZMD_CreateSettingsRecord(&env, ZMD_DB_SM, many.get());
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->cStrings, 8u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(r->ppszStrings[i], strings[i]); // the same pointers
    }
    EXPECT_EQ(r->cInts, 16u);
    ZMD_FreeSettingsRecord(&env, r);

    TestRecord few({7}, {"x"});
    r = ZMD_CreateSettingsRecord(&env, ZMD_DB_LM, few.get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->ppszStrings[0], few.strings[0]);
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(r->ppszStrings[i], nullptr);
    }
    EXPECT_EQ(r->pnInts[0], 7);
    EXPECT_EQ(r->pnInts[1], 0);
    ZMD_FreeSettingsRecord(&env, r);
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(RecordTest, SourceWithCountsButNoArrays)
{
    ZMD_SettingsRecord src{};
    src.cInts = 5;
    src.cStrings = 5;
    ZMD_SettingsRecord *r = ZMD_CreateSettingsRecord(&env, ZMD_DB_LM, &src);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->pnInts[4], 0);
    EXPECT_EQ(r->ppszStrings[4], nullptr);
    ZMD_FreeSettingsRecord(&env, r);
}

TEST_F(RecordTest, UnknownDatabaseAndNoMemoryGiveNull)
{
    EXPECT_EQ(ZMD_CreateSettingsRecord(&env, 6, nullptr), nullptr);
    EXPECT_EQ(ZMD_CreateSettingsRecord(&env, 0xFFFFFFFFu, nullptr), nullptr);
    EXPECT_EQ(fake.allocCalls, 0);
    fake.failAllocAt = 1;
    EXPECT_EQ(ZMD_CreateSettingsRecord(&env, ZMD_DB_ROOT, nullptr), nullptr);
    ZMD_FreeSettingsRecord(&env, nullptr);
    EXPECT_EQ(fake.freeCalls, 0);
    EXPECT_EQ(fake.outstanding(), 0u);
}

} // namespace
