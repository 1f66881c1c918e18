// Consistency of the shipped content across keys and tables: the paper table
// in both margin variants, the print modes against the parameter set and the
// resolutions, the parameter-set blocks, the data blocks of key 0x1046, the
// strings the trees compare, and the cross references of the maintenance
// and status monitor keys.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "shipped_db.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slice(const Bytes &b, size_t from, size_t n)
{
    return Bytes(b.begin() + from, b.begin() + from + n);
}
uint16_t Le16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
Bytes PageFormat(int l, int w, const char *tail)
{
    return Cat({Hex("1B 28 70 08 00"),
                {static_cast<uint8_t>(l >> 8), static_cast<uint8_t>(l)},
                Hex("00 00"),
                {static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)},
                Hex(tail)});
}

struct PaperRow {
    int32_t id, nameValue, width, length;
    int32_t fullW, fullL, fullTop, fullLeft, fullPfL, fullPfW;
    int32_t normW, normL, normTop, normLeft, normPfL, normPfW;
    const char *normTail;
};
const PaperRow kPaper[] = {
    {11, 15712, 14800, 21000, 14120, 21000, 0, 340, 497, 334, 14120, 20200, 300, 340, 478, 334, "00 00"},
    {9, 15710, 21000, 29700, 20320, 29700, 0, 340, 702, 480, 20320, 28900, 300, 340, 683, 480, "00 00"},
    {13, 15717, 18200, 25700, 17520, 25700, 0, 340, 608, 414, 17520, 24900, 300, 340, 589, 414, "00 00"},
    {1, 15701, 21590, 27940, 20320, 27940, 0, 340, 660, 480, 20320, 27140, 300, 640, 642, 480, "00 07"},
    {5, 15705, 21590, 35560, 20320, 35560, 0, 340, 840, 480, 20320, 34760, 300, 640, 822, 480, "00 07"},
    {20, 15747, 10477, 24130, 9797, 24130, 0, 340, 570, 232, 9797, 21180, 300, 340, 501, 232, "00 00"},
    {27, 15748, 11000, 22000, 10320, 22000, 0, 340, 520, 244, 10320, 19050, 300, 340, 450, 244, "00 00"},
    {275, 15742, 11960, 21590, 11280, 21590, 0, 340, 510, 267, 10944, 16002, 2794, 508, 378, 259, "00 00"},
};
struct PlainSize {
    int32_t id, nameValue, width, length;
};
const PlainSize kOtherPaper[] = {{8, 15708, 29700, 42000},   {66, 15707, 42000, 59400},  {12, 15715, 25700, 36400},
                                 {257, 15714, 36400, 51500}, {3, 15719, 27940, 43180},   {24, 15743, 43180, 55880},
                                 {262, 15732, 34290, 43180}, {272, 15739, 22860, 33782}, {273, 15740, 22270, 35560},
                                 {274, 15741, 32900, 48300}};

// The start-of-page sequence for plain paper, colour, quality 2: 6 bytes,
// the 52-byte print mode block, then the page format command from byte 58.
IntSettings PlainPage(int32_t paper, int32_t margins)
{
    return {{28, paper}, {52, margins}, {5, 1}, {4, 1}, {9, 0}, {81, 0}, {8, 2}, {6, 1}, {7, 7}};
}

TEST(ShippedPaperTable, BothMarginVariants)
{
    ShippedDb db;
    for (const PaperRow &p : kPaper) {
        SCOPED_TRACE("paper " + std::to_string(p.id));
        EXPECT_EQ(db.ask(0x500E, {{28, p.id}}).ints(), (std::vector<int32_t>{p.nameValue}));
        EXPECT_EQ(db.ask(0x1003, {{28, p.id}}).ints(), (std::vector<int32_t>{p.width, p.length}));
        for (int32_t margins : {5, 0, 1, 6}) {
            const bool full = margins == 5;
            SCOPED_TRACE("setting 52 = " + std::to_string(margins));
            IntSettings s = {{28, p.id}, {52, margins}};
            EXPECT_EQ(db.ask(0x1001, s).ints(),
                      (std::vector<int32_t>{full ? p.fullW : p.normW, full ? p.fullL : p.normL}));
            EXPECT_EQ(db.ask(0x1002, s).ints(),
                      (std::vector<int32_t>{full ? p.fullTop : p.normTop, full ? p.fullLeft : p.normLeft}));
            EXPECT_EQ(db.ask(0x1033, s).ints(), (std::vector<int32_t>{p.fullPfL}));
            EXPECT_EQ(db.ask(0x1004, s).rc, ZMD_NOT_FOUND);
            Answer seq = db.ask(0x1019, PlainPage(p.id, margins));
            ASSERT_EQ(seq.rc, ZMD_OK);
            ASSERT_EQ(seq.size, 78u);
            EXPECT_EQ(Slice(seq.bytes, 58, 13),
                      full ? PageFormat(p.fullPfL, p.fullPfW, "00 00") : PageFormat(p.normPfL, p.normPfW, p.normTail));
        }
    }
}

TEST(ShippedPaperTable, SizesWithoutPrintableArea)
{
    ShippedDb db;
    for (const PlainSize &p : kOtherPaper) {
        SCOPED_TRACE("paper " + std::to_string(p.id));
        EXPECT_EQ(db.ask(0x500E, {{28, p.id}}).ints(), (std::vector<int32_t>{p.nameValue}));
        EXPECT_EQ(db.ask(0x1003, {{28, p.id}}).ints(), (std::vector<int32_t>{p.width, p.length}));
        for (uint16_t key : {0x1001, 0x1002, 0x1004, 0x1033}) {
            EXPECT_EQ(db.ask(key, {{28, p.id}, {52, 0}}).rc, ZMD_NOT_FOUND) << std::hex << key;
        }
        // No page format command: the sequence goes without it.
        Answer seq = db.ask(0x1019, PlainPage(p.id, 0));
        ASSERT_EQ(seq.rc, ZMD_OK);
        EXPECT_EQ(seq.size, 65u);
    }
    // An id outside list 28 has nothing at all.
    for (uint16_t key : {0x1001, 0x1003, 0x1033, 0x500E}) {
        EXPECT_EQ(db.ask(key, {{28, 2}}).rc, ZMD_NOT_FOUND) << std::hex << key;
    }
}

TEST(ShippedPaperTable, UserDefinedSizeIsComputed)
{
    ShippedDb db;
    IntSettings s = PlainPage(256, 0);
    s.push_back({29, 10000});
    s.push_back({30, 15000});
    Answer seq = db.ask(0x1019, s);
    ASSERT_EQ(seq.rc, ZMD_OK);
    ASSERT_EQ(seq.size, 78u);
    EXPECT_EQ(Slice(seq.bytes, 58, 13), Hex("1B 28 70 08 00 01 50 00 00 00 DD 00 00"));
    EXPECT_EQ(db.ask(0x1033, {{28, 256}, {30, 15000}, {52, 0}}).bytes, Hex("50 01 00 00"));
    EXPECT_EQ(db.ask(0x500E, {{28, 256}}).ints(), (std::vector<int32_t>{15744}));
    EXPECT_EQ(db.ask(0x1003, {{28, 256}}).rc, ZMD_NOT_FOUND);
}

// The last byte of the ESC ( l command, part 5 of the start-of-page sequence.
TEST(ShippedPrintModes, PaperFeedByteByMediaAndMargins)
{
    const std::map<int32_t, uint8_t> bytes = {{1, 0x00},   {271, 0x07}, {281, 0x0D}, {277, 0x05}, {276, 0x06},
                                              {279, 0x0C}, {273, 0x03}, {2, 0x02},   {263, 0x08}};
    ShippedDb db;
    for (const auto &b : bytes) {
        for (int32_t margins : {0, 5}) {
            // Quality 3 is offered by every media.
            IntSettings s = {{28, 9}, {52, margins}, {5, b.first}, {4, 1}, {9, 0}, {81, 0}, {8, 3}, {6, 1}};
            Answer seq = db.ask(0x1019, s);
            ASSERT_EQ(seq.rc, ZMD_OK) << b.first;
            const Bytes tail = Slice(seq.bytes, seq.size - 7, 7);
            EXPECT_EQ(tail, Cat({Hex("1B 28 6C 02 00 34"), {margins == 5 ? uint8_t{0x0B} : b.second}}))
                << "media " << b.first << ", setting 52 = " << margins;
        }
    }
    // A media without a byte has no part 5 (and no print mode either).
    Answer seq = db.ask(0x1019, {{28, 9}, {52, 0}, {5, 258}, {4, 1}, {9, 0}, {81, 0}, {8, 3}, {6, 1}});
    ASSERT_EQ(seq.rc, ZMD_OK);
    EXPECT_EQ(seq.bytes,
              Cat({Hex("1B 28 62 01 00 01"), Hex("1B 28 70 08 00 02 AB 00 00 01 E0 00 00"), Hex("1B 28 6C 02 00 34")}));
}

struct ModeRow {
    int32_t media, quality, pass;
    int a, c;
};
// The 25 print modes of each colour mode with their block A and C indices.
const ModeRow kModes[] = {
    {1, 2, 1, 0, 0},   {1, 3, 1, 0, 1},   {1, 4, 2, 1, 2},   {1, 4, 1, 0, 2},    {1, 5, 2, 2, 3},
    {1, 5, 1, 3, 3},   {271, 1, 1, 4, 4}, {271, 2, 1, 4, 0}, {271, 3, 1, 4, 1},  {271, 4, 1, 4, 2},
    {281, 1, 1, 5, 4}, {281, 2, 1, 5, 0}, {277, 1, 1, 6, 4}, {277, 2, 1, 6, 0},  {277, 3, 1, 6, 1},
    {276, 1, 1, 7, 4}, {276, 2, 1, 7, 0}, {279, 1, 1, 8, 4}, {279, 2, 1, 8, 0},  {279, 3, 1, 8, 1},
    {273, 3, 1, 9, 1}, {2, 3, 1, 10, 1},  {2, 4, 1, 10, 2},  {263, 3, 1, 11, 1}, {263, 4, 1, 11, 2},
};

// Every print mode of the parameter set has its print mode block, whose
// resolution is the one of key 0x1008 and of its parameter-set block A; the
// blocks of all 50 modes are 28 distinct ones of 25 or 52 bytes.
TEST(ShippedPrintModes, BlocksAgreeWithResolutionsAndParameterSets)
{
    ShippedDb db;
    std::set<Bytes> blocks;
    for (int32_t mono : {0, 1}) {
        for (const ModeRow &m : kModes) {
            SCOPED_TRACE("media " + std::to_string(m.media) + ", quality " + std::to_string(m.quality) + ", pass " +
                         std::to_string(m.pass) + ", mono " + std::to_string(mono));
            IntSettings s = {{28, 9}, {52, 0},        {5, m.media}, {4, 1}, {9, mono},
                             {81, 0}, {8, m.quality}, {6, m.pass},  {7, 7}};
            Answer seq = db.ask(0x1019, s);
            ASSERT_EQ(seq.rc, ZMD_OK);
            ASSERT_TRUE(seq.size == 6 + 25 + 13 + 7 || seq.size == 6 + 52 + 13 + 7) << seq.size;
            const Bytes block = Slice(seq.bytes, 6, seq.size - 26);
            blocks.insert(block);
            ASSERT_EQ(Slice(block, 0, 5), Hex("1B 28 63 03 00"));
            ASSERT_EQ(Slice(block, 8, 5), Hex("1B 28 64 04 00"));
            ASSERT_EQ(Slice(block, 17, 3), Hex("1B 28 74"));
            EXPECT_EQ(Le16(&block[20]) + 22u, block.size());
            const int32_t res = block[13] << 8 | block[14];
            EXPECT_EQ(block[15] << 8 | block[16], res);
            EXPECT_TRUE(res == 600 || res == 300);
            EXPECT_EQ(res == 300, m.quality == 5);
            EXPECT_EQ(db.ask(0x1008, s).ints(), (std::vector<int32_t>{res, res}));

            Answer ps = db.ask(0x101E, s);
            ASSERT_EQ(ps.rc, ZMD_OK);
            ASSERT_EQ(ps.size, 192u);
            const uint8_t *a = ps.bytes.data();
            for (int i = 9; i < 13; ++i) {
                EXPECT_EQ(Le16(a + 2 * i), res) << "block A value " << i;
            }
            EXPECT_EQ(Slice(ps.bytes, 0, 48), Bytes(ZMD_ShippedImage()->blocksA + 48 * (m.a + 12 * mono),
                                                    ZMD_ShippedImage()->blocksA + 48 * (m.a + 12 * mono + 1)));
            EXPECT_EQ(Slice(ps.bytes, 88, 36),
                      Bytes(ZMD_ShippedImage()->blocksC + 36 * m.c, ZMD_ShippedImage()->blocksC + 36 * (m.c + 1)));

            // The quality is one that key 0x1016 offers for the media.
            Answer q = db.ask(0x1016, s);
            ASSERT_EQ(q.rc, ZMD_OK);
            bool offered = false;
            for (size_t i = 0; i < q.size / 20; ++i) {
                offered = offered || Le32(&q.bytes[20 * i]) == static_cast<uint32_t>(m.quality);
            }
            EXPECT_TRUE(offered);
        }
    }
    EXPECT_EQ(blocks.size(), 28u);
}

TEST(ShippedParameterSet, Blocks)
{
    const ZMD_ImageView *img = ZMD_ShippedImage();
    ShippedDb db;
    Answer table = db.ask(0x1042);
    ASSERT_EQ(table.rc, ZMD_OK);
    const std::string tableName = table.text();
    Bytes nameField(20, 0);
    std::copy(tableName.begin(), tableName.end(), nameField.begin());

    const int variants[] = {0, 0, 0, 0, 16, 26, 22, 21, 24, 18, 1, 8};
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE("block A" + std::to_string(i));
        const uint8_t *a = img->blocksA + 48 * i;
        const int j = i % 12;
        const uint16_t res = (j == 2 || j == 3) ? 300 : 600;
        const uint16_t expected[14] = {122,
                                       static_cast<uint16_t>(variants[j]),
                                       31,
                                       256,
                                       0,
                                       0,
                                       0,
                                       static_cast<uint16_t>(j == 1 || j == 2 ? 0 : 1),
                                       static_cast<uint16_t>(i / 12),
                                       res,
                                       res,
                                       res,
                                       res,
                                       2};
        for (int k = 0; k < 14; ++k) {
            EXPECT_EQ(Le16(a + 2 * k), expected[k]) << "value " << k;
        }
        EXPECT_EQ(Bytes(a + 28, a + 48), nameField);
    }
    const uint16_t q[] = {5, 10, 15, 20, 0};
    for (int i = 0; i < 5; ++i) {
        const uint8_t *c = img->blocksC + 36 * i;
        EXPECT_EQ(Le16(c), 13u);
        EXPECT_EQ(Le16(c + 2), 7u);
        EXPECT_EQ(Le16(c + 4), 3u);
        EXPECT_EQ(Le16(c + 6), q[i]);
        EXPECT_EQ(Le32(c + 8), 21590u);
        EXPECT_EQ(Le32(c + 12), 27940u);
        EXPECT_EQ(Le32(c + 16), 1u);
        EXPECT_EQ(Bytes(c + 20, c + 36), Bytes(16, 0));
    }
    EXPECT_EQ(Bytes(img->blocksB, img->blocksB + 40), Bytes(40, 0));
    EXPECT_EQ(Bytes(img->blocksD, img->blocksD + 48), Bytes(48, 0));

    // The rows: settings 4 and 81 are 1 and 0 throughout; the second half
    // repeats the first for monochrome with block A index plus 12.
    ASSERT_EQ(img->counts.selectionRows, 50u);
    for (int r = 0; r < 50; ++r) {
        const ZMD_SelectionRow &row = img->selectionRows[r];
        const ModeRow &m = kModes[r % 25];
        SCOPED_TRACE("row " + std::to_string(r));
        EXPECT_EQ(row.selector[0], 1);
        EXPECT_EQ(row.selector[1], r / 25);
        EXPECT_EQ(row.selector[2], m.media);
        EXPECT_EQ(row.selector[3], m.quality);
        EXPECT_EQ(row.selector[4], m.pass);
        EXPECT_EQ(row.selector[5], 0);
        EXPECT_EQ(row.block[0], m.a + 12 * (r / 25));
        EXPECT_EQ(row.block[1], 0);
        EXPECT_EQ(row.block[2], m.c);
        EXPECT_EQ(row.block[3], 0);
    }
    // A combination no row lists.
    EXPECT_EQ(db.ask(0x101E, {{4, 1}, {9, 0}, {5, 1}, {8, 1}, {6, 1}, {81, 0}}).rc, ZMD_NOT_FOUND);
}

TEST(ShippedDataBlocks, TwoBlocksDifferingIn25Bytes)
{
    ShippedDb db;
    const Bytes first = db.ask(0x1046, {{5, 1}}).bytes;
    const Bytes second = db.ask(0x1046, {{5, 271}}).bytes;
    ASSERT_EQ(first.size(), 533u);
    ASSERT_EQ(second.size(), 533u);
    int differ = 0;
    for (size_t i = 0; i < 533; ++i) {
        differ += first[i] != second[i];
    }
    EXPECT_EQ(differ, 25);
    for (int32_t media : {262, 263, 275, 278, 383}) {
        EXPECT_EQ(db.ask(0x1046, {{5, media}}).bytes, first) << media;
    }
    for (int32_t media : {0, 2, 258, 273, 276, 277, 279, 281}) {
        EXPECT_EQ(db.ask(0x1046, {{5, media}}).bytes, second) << media;
    }
}

// The strings each key's tree compares, gathered from the image.
void CollectCaseStrings(const ZMD_ImageView *img, uint32_t n, std::set<std::string> &out, int depth = 0)
{
    ASSERT_LT(n, img->counts.nodes);
    ASSERT_LT(depth, 64) << "the tree is too deep";
    const ZMD_Node node = img->nodes[n];
    const uint32_t kind = ZMD_NodeKindOf(node.w0), op = ZMD_NodeOperand(node.w0), cnt = ZMD_NodeLow(node.w1);
    switch (kind) {
    case ZMD_KIND_LIST:
    case ZMD_KIND_SWITCH:
    case ZMD_KIND_WHEN:
    case ZMD_KIND_SELECT_INT:
    case ZMD_KIND_SELECT_STRING:
    case ZMD_KIND_SELECT_PRINTER_DATA:
    case ZMD_KIND_SELECT_COUNTRY:
        for (uint32_t i = 0; i < cnt; ++i) {
            CollectCaseStrings(img, op + i, out, depth + 1);
        }
        break;
    case ZMD_KIND_SELECT_MASKED: {
        const ZMD_Node mask = img->nodes[op];
        for (uint32_t i = 0; i < cnt; ++i) {
            CollectCaseStrings(img, ZMD_NodeOperand(mask.w0) + i, out, depth + 1);
        }
        break;
    }
    case ZMD_KIND_CASE_STRING: {
        const ZMD_Node s = img->nodes[node.w1];
        out.insert(std::string(img->caseStringPool + ZMD_NodeOperand(s.w0), ZMD_NodeLow(s.w1)));
        CollectCaseStrings(img, op, out, depth + 1);
        break;
    }
    case ZMD_KIND_CASE_EQUAL:
    case ZMD_KIND_CASE_DEFAULT:
    case ZMD_KIND_CASE_RANGE:
        CollectCaseStrings(img, op, out, depth + 1);
        break;
    default:
        break;
    }
}

TEST(ShippedStrings, ComparedStringsByKey)
{
    std::set<std::string> codes = {"SSR", "SFA", "RDC", "RST", "TLN", "FEP", "BST", "ECH", "PID", "TRB", "CHD", "CIL",
                                   "SPS", "OPT", "LVR", "MID", "HCU", "DJS", "DBS", "DWS", "DOC", "DSC", "CIR"};
    const std::map<uint16_t, std::set<std::string>> expected = {
        {0x0012, codes},
        {0x2001, {"CL", "NO", "", "Cleaning", "RollerCleaning", "TestPrint"}},
        {0x2002, {"CL"}},
        {0x2009, {"ZMD RX-410", "RX-410", "ZMD RX-430", "RX-430"}},
        {0x200C, {"CL"}},
        {0x200F, {"CL", "NO", "UK"}},
        {0x201F, {"GAL,N", "GAL,W", "", "TestPrint"}},
        {0x202D, {"Cleaning", "RollerCleaning", "TestPrint", "ChangeHead", "ChangeTank"}},
        {0x6001, {"CL"}},
        {0x6002, {"NO", "UK"}},
        {0x6003, {"NO", "UK", "DS", "OF"}},
        {0x6004, {"NO", "UK"}},
        {0x6005, {"NO", "DS", "CC", "CL", "DP", "EJ", "LD", "PR", "ID", "OB", "SL", "WU", "TP"}},
        {0x6007, {"CL", "NO", "UK"}},
        {0x6008, {"CL"}},
        {0x600C, {"GAL,N", "GAL,W"}},
    };
    const ZMD_ImageView *img = ZMD_ShippedImage();
    std::set<std::string> all;
    for (uint32_t i = 0; i < img->counts.keys; ++i) {
        if (img->keys[i] == 0x5008) {
            continue;
        }
        std::set<std::string> got;
        CollectCaseStrings(img, img->keyNodes[i], got);
        auto it = expected.find(img->keys[i]);
        EXPECT_EQ(got, it == expected.end() ? std::set<std::string>{} : it->second)
            << std::hex << "key 0x" << img->keys[i];
        all.insert(got.begin(), got.end());
    }
    // Each compared string is stored once in the pool.
    size_t total = 0;
    for (const std::string &s : all) {
        total += s.size();
    }
    EXPECT_LE(img->counts.caseStringPool, total);
}

TEST(ShippedStatusMonitor, VariantsOfTheStatusDisplay)
{
    ShippedDb db;
    std::set<Bytes> seen;
    for (const char *mode : {"CL", "NO"}) {
        for (int32_t code = -1; code <= 40; ++code) {
            for (int32_t detail : {0, 1}) {
                // Only the codes the status monitor knows have a display.
                Answer a = db.ask(0x6001, {{5, code}, {9, detail}}, {{1, mode}});
                ASSERT_TRUE(a.rc == ZMD_OK || a.rc == ZMD_NOT_FOUND) << a.rc;
                if (a.rc == ZMD_OK) {
                    seen.insert(a.bytes);
                }
            }
        }
    }
    EXPECT_EQ(seen.size(), 43u);

    // The items of key 0x600F are value names of root key 0x0008.
    std::vector<int32_t> items = db.ask(0x600F).ints();
    ASSERT_EQ(items.size(), 22u);
    EXPECT_EQ(items[0], 21);
    for (size_t i = 1; i < items.size(); ++i) {
        EXPECT_EQ(db.ask(0x0008, {{0, items[i]}}).rc, ZMD_OK) << items[i];
    }
}

TEST(ShippedMaintenance, CrossReferences)
{
    ShippedDb db;
    // Options: their on and off words exist, their items are value names.
    std::vector<int32_t> options = db.ask(0x3009).ints();
    ASSERT_EQ(options.size(), 24u);
    for (size_t r = 0; r < 4; ++r) {
        EXPECT_EQ(db.ask(0x300B, {{0, options[6 * r + 1]}}).rc, ZMD_OK);
        EXPECT_EQ(db.ask(0x300B, {{0, options[6 * r + 2]}}).rc, ZMD_OK);
        EXPECT_EQ(db.ask(0x0008, {{0, options[6 * r + 3]}}).rc, ZMD_OK);
    }
    // The step table begins and ends as the functions expect, and holds a
    // sequence for every function of key 0x3001.
    std::vector<int32_t> steps = db.ask(0x3003).ints();
    ASSERT_EQ(steps.size(), 189u);
    EXPECT_EQ(std::vector<int32_t>(steps.begin(), steps.begin() + 18),
              (std::vector<int32_t>{1, 100, 0, 10, 1, 0, 5, 0, 9999, 13, 3, 6, 3, 16901, 2, 999, 0, 0}));
    EXPECT_EQ(std::vector<int32_t>(steps.end() - 9, steps.end()),
              (std::vector<int32_t>{1, 9999, 0, 999, 0, 0, 0, 0, 0}));
    std::set<int32_t> sequences;
    for (size_t r = 0; r < 21; ++r) {
        if (steps[9 * r] == 1) {
            sequences.insert(steps[9 * r + 1]);
        }
    }
    for (int32_t s : {100, 200, 500, 900, 1000, 1100, 1200, 1101, 1102, 1201, 9901, 9999}) {
        EXPECT_TRUE(sequences.count(s)) << s;
    }
    std::vector<int32_t> functions = db.ask(0x3001).ints();
    for (size_t r = 0; r < 7; ++r) {
        EXPECT_TRUE(sequences.count(functions[10 * r + 9])) << functions[10 * r + 9];
    }

    // Registration records: the sample first, and every eighth value a word.
    for (int32_t cls : {1, 2}) {
        std::vector<int32_t> recs = db.ask(0x300C, {{0, cls}}).ints();
        ASSERT_EQ(recs.size(), cls == 1 ? 112u : 128u);
        if (cls == 1) {
            EXPECT_EQ(
                std::vector<int32_t>(recs.begin(), recs.begin() + 16),
                (std::vector<int32_t>{13118, 13119, 13105, 13117, 0, -3, 7, 1121, 1207, -35, -30, -7, 0, 20, 4, 0}));
        }
        for (size_t r = 0; r < recs.size() / 16; ++r) {
            const int32_t word = recs[16 * r + 7];
            const std::set<int32_t> regi = {0, 1121, 1122, 1123, 1124, 1131, 1132, 1133, 1141, 1142};
            EXPECT_TRUE(regi.count(word)) << word;
        }
    }
    EXPECT_EQ(db.ask(0x300C, {{0, 3}}).rc, ZMD_NOT_FOUND);
}

} // namespace
