// The laid-out image: node 0, key order, sharing of trees, values and case
// strings, the driver tables, and answers of the engine over compiled
// sources.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "dbc.h"
#include "engine.h"
#include "computed.h"
#include "extract.h"

namespace {

DbcImage Compile(const std::string &text)
{
    DbcImage img;
    std::string errors;
    EXPECT_TRUE(DbcCompileText("t.zdb", text, &img, &errors)) << errors;
    return img;
}

uint32_t KeyNode(const DbcImage &img, uint16_t key)
{
    for (size_t i = 0; i < img.keys.size(); ++i) {
        if (img.keys[i] == key) {
            return img.keyNodes[i];
        }
    }
    ADD_FAILURE() << "no key " << key;
    return 0;
}

uint32_t Kind(const DbcImage &img, uint32_t node)
{
    return ZMD_NodeKindOf(img.nodes[node].w0);
}

// A platform for the engine: heap only; no printer, country 1.
void *Alloc(void *, size_t n)
{
    return std::calloc(1, n ? n : 1);
}
void Free(void *, void *p)
{
    std::free(p);
}
bool Open(void *, const ZMD_WCHAR *, void **)
{
    return false;
}
void Close(void *, void *) {}
bool Data(void *, void *, const ZMD_WCHAR *, void *, uint32_t, uint32_t *)
{
    return false;
}
void Time(void *, ZMD_LocalTime *t)
{
    *t = ZMD_LocalTime{2026, 1, 2, 3, 4, 5};
}
int Country(void *, char *buf, int cb)
{
    if (cb == 0) {
        return 2;
    }
    if (cb < 2) {
        return 0;
    }
    buf[0] = '1';
    buf[1] = 0;
    return 2;
}
const ZMD_Platform kPlatform{nullptr, Open, Close, Data, Time, Country, Alloc, Free};

// Asks the compiled image for key with the given integer and string settings.
int32_t Ask(const DbcImage &img, uint16_t key, std::vector<int32_t> ints, std::vector<const char *> strs,
            std::vector<uint8_t> *value)
{
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    ZMD_Env env{&view, &kPlatform};
    ZMD_SettingsRecord rec{nullptr,
                           0,
                           static_cast<uint32_t>(strs.size()),
                           strs.empty() ? nullptr : strs.data(),
                           static_cast<uint32_t>(ints.size()),
                           ints.empty() ? nullptr : ints.data(),
                           nullptr};
    ZMD_Node node{0, 0};
    int32_t r = ZMD_FindKey(&env, key, &rec, &node);
    if (r != ZMD_OK) {
        return r;
    }
    value->assign(256, 0);
    uint32_t size = 0;
    r = ZMD_ExtractValue(&env, &rec, 256, value->data(), &size, node);
    value->resize(r == ZMD_OK ? size : 0);
    return r;
}

std::vector<uint8_t> Int32s(std::initializer_list<int32_t> v)
{
    std::vector<uint8_t> out;
    for (int32_t x : v) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(x) >> (8 * i)));
        }
    }
    return out;
}

TEST(DbcLayout, NodeZeroListsTheTopNodesAndKeysAreSorted)
{
    DbcImage img = Compile("key 0x6001: int8 6\n"
                           "key 0x0004: int8 4\n"
                           "key 0x5008: all\n"
                           "key 0x1001 0x1002\n  list\n    @0x1001 int8 1\n    @0x1002 int8 2\n");
    ASSERT_EQ(img.keys, (std::vector<uint16_t>{0x0004, 0x1001, 0x1002, 0x5008, 0x6001}));
    EXPECT_EQ(Kind(img, 0), ZMD_KIND_LIST);
    EXPECT_EQ(ZMD_NodeOperand(img.nodes[0].w0), 1u);
    EXPECT_EQ(img.nodes[0].w1, 3u); // three distinct top nodes: 0x0004, the shared list, 0x6001
    EXPECT_EQ(KeyNode(img, 0x5008), 0u);
    EXPECT_EQ(KeyNode(img, 0x1001), KeyNode(img, 0x1002));
    for (uint16_t k : {0x0004, 0x1001, 0x6001}) {
        EXPECT_GE(KeyNode(img, k), 1u);
        EXPECT_LE(KeyNode(img, k), 3u);
    }
}

TEST(DbcLayout, KeyRootedAtNodeZeroFindsValuesOfAnyTree)
{
    DbcImage img = Compile("key 0x5008: all\n"
                           "key 0x1001\n  list\n    int8 1\n    @0x5008 bytes 1B 40\n");
    std::vector<uint8_t> v;
    ASSERT_EQ(Ask(img, 0x5008, std::vector<int32_t>(95, 0), {}, &v), ZMD_OK);
    EXPECT_EQ(v, (std::vector<uint8_t>{0x1B, 0x40}));
}

TEST(DbcLayout, IdenticalValuesAndCaseStringsAreStoredOnce)
{
    DbcImage img = Compile("key 0x2001\n  select_string str 1\n    case \"CL\": int8 5\n    case \"NO\": int8 7\n"
                           "key 0x2002\n  select_string str 1\n    case \"CL\": int8 5, 7\n    case \"\": int8 7\n");
    // "CL" once, "NO" once, the empty string takes no room.
    EXPECT_EQ(std::string(img.caseStringPool.begin(), img.caseStringPool.end()), "CLNO");
    int caseStringNodes = 0;
    for (const ZMD_Node &n : img.nodes) {
        if (ZMD_NodeKindOf(n.w0) == ZMD_KIND_BYTES && ZMD_NodeHigh(n.w1) == 0) {
            ++caseStringNodes;
        }
    }
    EXPECT_EQ(caseStringNodes, 3);
    // 5, 7 and 5, 7: the byte pool holds 5 and 7 once each.
    EXPECT_EQ(img.bytePool.size(), 2u);
}

TEST(DbcLayout, SharedTreeIsLaidOutOnce)
{
    DbcImage img = Compile(
        "key 0x1001\n  select_int int 28\n    case 9: use big\n    case 11: use big\n"
        "key 0x1002\n  select_int int 5\n    case 1: use big\n"
        "tree big\n  select_int int 52\n    case 5\n      list\n        @0x1001 int8 1\n        @0x1002 int8 2\n"
        "    default: @0x1001 int8 3\n"
        "key 0x5008: all\n");
    uint32_t first = ZMD_NodeOperand(img.nodes[KeyNode(img, 0x1001)].w0);
    uint32_t other = ZMD_NodeOperand(img.nodes[KeyNode(img, 0x1002)].w0);
    // Both cases of 0x1001 and the case of 0x1002 point at one select_int node.
    EXPECT_EQ(ZMD_NodeOperand(img.nodes[first].w0), ZMD_NodeOperand(img.nodes[first + 1].w0));
    EXPECT_EQ(ZMD_NodeOperand(img.nodes[first].w0), ZMD_NodeOperand(img.nodes[other].w0));
    int selects = 0;
    for (const ZMD_Node &n : img.nodes) {
        if (ZMD_NodeKindOf(n.w0) == ZMD_KIND_SELECT_INT) {
            ++selects;
        }
    }
    EXPECT_EQ(selects, 3);
}

TEST(DbcLayout, ValueEncodingAsTheEngineReadsIt)
{
    DbcImage img = Compile("key 0x0002: text \"1.50\"\n"
                           "key 0x0004: int8 -1, 1\n"
                           "key 0x0005: uint8 255, 1\n"
                           "key 0x0006: int16 -32768\n"
                           "key 0x0007: uint16 32768\n"
                           "key 0x0009: int32 -2147483648, 2147483647\n"
                           "key 0x000A: bytes 1B 28 70 08 00 be16(683) 00 00 le16(480) \"A\\n\" u8(7) zeros(2)\n");
    std::vector<uint8_t> v;
    ASSERT_EQ(Ask(img, 0x0002, {0}, {nullptr}, &v), ZMD_OK);
    EXPECT_EQ(v, (std::vector<uint8_t>{'1', 0, '.', 0, '5', 0, '0', 0, 0, 0}));
    ASSERT_EQ(Ask(img, 0x0004, {0}, {nullptr}, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({-1, 1}));
    ASSERT_EQ(Ask(img, 0x0005, {0}, {nullptr}, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({255, 1}));
    ASSERT_EQ(Ask(img, 0x0006, {0}, {nullptr}, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({-32768}));
    ASSERT_EQ(Ask(img, 0x0007, {0}, {nullptr}, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({32768}));
    ASSERT_EQ(Ask(img, 0x0009, {0}, {nullptr}, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({-2147483647 - 1, 2147483647}));
    ASSERT_EQ(Ask(img, 0x000A, {0}, {nullptr}, &v), ZMD_OK);
    EXPECT_EQ(v, (std::vector<uint8_t>{0x1B, 0x28, 0x70, 0x08, 0x00, 0x02, 0xAB, 0x00, 0x00, 0xE0, 0x01, 'A', '\n', 7,
                                       0, 0}));
}

TEST(DbcLayout, BranchesChooseAsWritten)
{
    DbcImage img =
        Compile("key 0x2013\n  select_masked int 2 mask 0xFF00\n    case 0x0100: int8 1\n    default: int8 0\n"
                "key 0x2036\n  select_int int 10\n    case 81: int8 2\n    case 1..2147483647: int8 1\n"
                "key 0x2001\n  select_string str 1\n    case \"CL\": int8 0\n    case \"\": int8 9\n"
                "key 0x2002\n  switch int 7\n    when 11: int8 11\n    when 13\n      int8 13\n    int8 99\n");
    std::vector<int32_t> ints(13, 0);
    std::vector<const char *> strs(5, nullptr);
    std::vector<uint8_t> v;
    ints[2] = 0x01FF;
    ASSERT_EQ(Ask(img, 0x2013, ints, strs, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({1}));
    ints[10] = 0;
    EXPECT_EQ(Ask(img, 0x2036, ints, strs, &v), ZMD_NOT_FOUND);
    ints[10] = 81;
    ASSERT_EQ(Ask(img, 0x2036, ints, strs, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({2}));
    ints[10] = 82;
    ASSERT_EQ(Ask(img, 0x2036, ints, strs, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({1}));
    ASSERT_EQ(Ask(img, 0x2001, ints, strs, &v), ZMD_OK); // null string: the empty case
    EXPECT_EQ(v, Int32s({9}));
    strs[1] = "CLX";
    EXPECT_EQ(Ask(img, 0x2001, ints, strs, &v), ZMD_NOT_FOUND);
    strs[1] = "CL";
    ASSERT_EQ(Ask(img, 0x2001, ints, strs, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({0}));
    ints[7] = 13;
    ASSERT_EQ(Ask(img, 0x2002, ints, strs, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({13}));
    ints[7] = 5;
    ASSERT_EQ(Ask(img, 0x2002, ints, strs, &v), ZMD_OK);
    EXPECT_EQ(v, Int32s({99}));
}

TEST(DbcLayout, DriverTables)
{
    DbcImage img = Compile(
        "key 0x1001: int8 1\n"
        "catalogue 28\n  11 0x3D92\n  9, 0x3D90\ncatalogue 4\n  1 0x3A9A\n"
        "sequence 0x1019\n  part: bytes 1B 28 62 01 00 01\n  part\n    select_int int 52\n      case 5: bytes 0B\n"
        "sequence 0x101B\n  part: bytes 1B 40\n"
        "selection\n  row 1 0 1 2 1 0 -> 1 0 0 0\n"
        "block A 0\n  zeros(48)\nblock A 1\n  le16(122) zeros(26) field(20, \"KZ.TBL\")\n"
        "block B 0\n  zeros(40)\nblock C 0\n  zeros(36)\nblock D 0\n  zeros(48)\n");
    EXPECT_EQ(img.listNumbers, (std::vector<uint16_t>{28, 4}));
    EXPECT_EQ(img.listLengths, (std::vector<uint16_t>{2, 1}));
    EXPECT_EQ(img.listStarts, (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(img.listIds, (std::vector<uint16_t>{11, 9, 1}));
    EXPECT_EQ(img.listNameIds, (std::vector<uint32_t>{0x3D92, 0x3D90, 0x3A9A}));
    EXPECT_EQ(img.seqKeys, (std::vector<uint16_t>{0x1019, 0x101B}));
    EXPECT_EQ(img.seqPartCounts, (std::vector<uint16_t>{2, 1}));
    EXPECT_EQ(img.seqStarts, (std::vector<uint32_t>{0, 2}));
    ASSERT_EQ(img.seqParts.size(), 3u);
    EXPECT_EQ(Kind(img, img.seqParts[1]), ZMD_KIND_SELECT_INT);
    // Part roots are top nodes too, so node 0 reaches every 0x5008 value.
    for (uint32_t p : img.seqParts) {
        EXPECT_LE(p, img.nodes[0].w1);
    }
    ASSERT_EQ(img.selectionRows.size(), 1u);
    EXPECT_EQ(img.selectionRows[0].selector[2], 1);
    EXPECT_EQ(img.selectionRows[0].block[0], 1);
    ASSERT_EQ(img.blocksA.size(), 96u);
    EXPECT_EQ(img.blocksA[48], 122);
    EXPECT_EQ(std::memcmp(&img.blocksA[76], "KZ.TBL\0\0", 8), 0);
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    EXPECT_EQ(view.counts.blocksA, 2u);
    EXPECT_EQ(view.counts.blocksD, 1u);
    EXPECT_EQ(view.counts.listEntries, 3u);
}

TEST(DbcLayout, KeyIndexSpansEachDatabaseFromItsLowestToItsHighestKeyWithATreeOrRule)
{
    DbcImage img = Compile("key 0x0004: int8 4\nkey 0x0002: int8 2\n"
                           "key 0x1003: int8 3\n"
                           "sequence 0x1019\n  part: bytes 1B 40\nquery 0x1019 sequence\n"
                           "key 0x6001: int8 6\n");
    ASSERT_EQ(img.keyRanges.size(), 16u);
    const ZMD_KeyRange expected[] = {{0x0002, 3, 0}, {0x1003, 0x17, 3}, {0, 0, 26},     {0, 0, 26},
                                     {0, 0, 26},     {0, 0, 26},        {0x6001, 1, 26}};
    for (size_t r = 0; r < 16; ++r) {
        const ZMD_KeyRange want = r < 7 ? expected[r] : ZMD_KeyRange{0, 0, 27};
        EXPECT_EQ(img.keyRanges[r].first, want.first) << "range " << r;
        EXPECT_EQ(img.keyRanges[r].count, want.count) << "range " << r;
        EXPECT_EQ(img.keyRanges[r].slotStart, want.slotStart) << "range " << r;
    }
    ASSERT_EQ(img.keySlots.size(), 27u);
    ASSERT_EQ(img.ruleSlots.size(), 27u);
    const uint16_t none = ZMD_NO_SLOT;
    EXPECT_EQ(std::vector<uint16_t>(img.keySlots.begin(), img.keySlots.begin() + 4),
              (std::vector<uint16_t>{0, none, 1, 2}));
    EXPECT_EQ(img.keySlots[3 + 0x16], none) << "the sequence has no tree";
    EXPECT_EQ(img.ruleSlots[3 + 0x16], 0u);
    EXPECT_EQ(img.keySlots[26], 3u);
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    EXPECT_EQ(view.counts.keyRanges, 16u);
    EXPECT_EQ(view.counts.keySlots, 27u);
    EXPECT_NE(DbcWriteCpp(img, "t.zdb").find("kKeyRanges, kKeySlots, kRuleSlots,"), std::string::npos);

    // A hand-made image without an index is viewed without one.
    img.keyRanges.clear();
    DbcMakeView(img, &view);
    EXPECT_EQ(view.keyRanges, nullptr);
    EXPECT_EQ(view.keySlots, nullptr);
    EXPECT_EQ(view.ruleSlots, nullptr);
    EXPECT_NE(DbcWriteCpp(img, "t.zdb").find("nullptr, nullptr, nullptr,"), std::string::npos);
}

TEST(DbcLayout, EmptyTablesHaveBasesAndZeroCounts)
{
    DbcImage img = Compile("key 0x0004: int8 1\n");
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    EXPECT_NE(view.seqKeys, nullptr);
    EXPECT_NE(view.blocksA, nullptr);
    EXPECT_EQ(view.counts.seqKeys, 0u);
    EXPECT_EQ(view.counts.caseStringPool, 0u);
}

TEST(DbcLayout, WrittenCppNamesEveryTableAndCount)
{
    DbcImage img = Compile("key 0x0002: text \"1.50\"\nkey 0x5008: all\n");
    std::string cpp = DbcWriteCpp(img, "t.zdb");
    EXPECT_NE(cpp.find("Generated by dbc from t.zdb"), std::string::npos);
    EXPECT_NE(cpp.find("{0x08000001u, 0x00000001u}, // 0: LIST 1 at 1"), std::string::npos);
    EXPECT_NE(cpp.find("{0x07000000u, 0x00020005u}"), std::string::npos);
    EXPECT_NE(cpp.find("const ZMD_ImageView *ZMD_ShippedImage() { return &kImage; }"), std::string::npos);
    EXPECT_EQ(DbcWriteCpp(img, "t.zdb"), cpp); // deterministic
}

} // namespace
