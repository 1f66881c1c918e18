// Decoding delivered values and command bytes for people and scripts; the
// decoders never read beyond the bytes they are given.
#include <gtest/gtest.h>

#include "dbc_format.h"
#include "image.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> v)
{
    std::vector<uint8_t> out;
    for (int x : v) {
        out.push_back(static_cast<uint8_t>(x));
    }
    return out;
}

std::string Value(DbcValueForm form, const std::vector<uint8_t> &b)
{
    return DbcFormatValue(form, b.data(), static_cast<uint32_t>(b.size()));
}

TEST(DbcFormat, IntegersTextAreaAndItems)
{
    EXPECT_EQ(Value(DBC_FORM_INTS, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0})), "-1, 1");
    EXPECT_EQ(Value(DBC_FORM_UINTS, Bytes({0xFF, 0xFF, 0xFF, 0xFF})), "4294967295");
    EXPECT_EQ(Value(DBC_FORM_INTS, Bytes({1, 0, 0, 0, 7, 8})), "1 + 07 08"); // a ragged tail is shown, not read past
    EXPECT_EQ(Value(DBC_FORM_TEXT, Bytes({'1', 0, '.', 0, '5', 0, 0, 0})), "\"1.5\"");
    EXPECT_EQ(Value(DBC_FORM_TEXT, Bytes({'a', 0, '"', 0})), "\"a\\\"\" (no NUL)");
    EXPECT_EQ(Value(DBC_FORM_TEXT, Bytes({'a', 1, 0, 0})), "\"a\" (characters beyond 8 bits)");
    EXPECT_EQ(Value(DBC_FORM_AREA, Bytes({0x54, 1, 0, 0, 0x60, 0x4F, 0, 0, 0x2C, 1, 0, 0, 0xE4, 0x70, 0, 0})),
              "left 340, width 20320, top 300, length 28900");
    EXPECT_EQ(Value(DBC_FORM_AREA, Bytes({1, 2})), "01 02");
    EXPECT_EQ(Value(DBC_FORM_LIST, Bytes({11, 0, 0, 0, 0x92, 0x3D, 0, 0, 0x60, 0x3D, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 9})),
              "[id 11 name 0x3D92 v1 15712 v2 0 default 1]");
    EXPECT_EQ(Value(DBC_FORM_BYTES, Bytes({0x1B, 'K', 'Z', 'L', 'S', '\n', 0})), "1B \"KZLS\\n\" 00");
}

TEST(DbcFormat, FormOfEachNodeKind)
{
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_INT16_ARRAY, 2), DBC_FORM_INTS);
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_UINT16_ARRAY, 2), DBC_FORM_UINTS);
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_TEXT, 5), DBC_FORM_TEXT);
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_BYTES, 5), DBC_FORM_BYTES);
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_COMPUTED, 1), DBC_FORM_BYTES); // page format command
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_COMPUTED, 2), DBC_FORM_AREA);
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_COMPUTED, 3), DBC_FORM_AREA);
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_COMPUTED, 4), DBC_FORM_UINTS); // page length
    EXPECT_EQ(DbcFormOfNode(ZMD_KIND_COMPUTED, 6), DBC_FORM_BYTES);
    EXPECT_STREQ(DbcKindName(ZMD_KIND_SELECT_PRINTER_DATA), "SELECT_PRINTER_DATA");
    EXPECT_STREQ(DbcKindName(22), "?");
    EXPECT_EQ(DbcResultName(-4), "ZMD_BAD_RECORD");
    EXPECT_EQ(DbcResultName(3), "ZMD_NO_KEY");
    EXPECT_EQ(DbcResultName(17), "17");
}

TEST(DbcFormat, AnnotatedCommands)
{
    std::vector<uint8_t> b =
        Bytes({0x1B, '(', 'p', 8,    0,   2,   0xAB, 0,   0,   1,   0xE0, 0,   0,    0x1B, '@', 0x1B, '[',  'K',
               2,    0,   0,   0x1F, 'K', 'Z', 'L',  'S', 'T', 'A', 'R',  'T', '\n', 'X',  '=', '1',  '\n', 0x0C});
    EXPECT_EQ(DbcAnnotateCommands(b.data(), static_cast<uint32_t>(b.size()), "  "),
              "  1B 28 70 08 00  ESC ( p, 8 bytes: 02 AB 00 00 01 E0 00 00\n"
              "  1B 40  ESC @ (reset)\n"
              "  1B 5B 4B 02 00  ESC [ K, 2 bytes: 00 1F\n"
              "  \"KZLSTART\\n\"\n"
              "  \"X=1\\n\"\n"
              "  0C\n");
    // A length that runs past the end is not followed.
    std::vector<uint8_t> cut = Bytes({0x1B, '(', 'c', 9, 0, 1, 2});
    EXPECT_EQ(DbcAnnotateCommands(cut.data(), static_cast<uint32_t>(cut.size()), ""), "1B 28 63 09 00 01 02\n");
    EXPECT_EQ(DbcAnnotateCommands(nullptr, 0, ""), "");
}

TEST(DbcFormat, HexDumpAndJsonStrings)
{
    std::vector<uint8_t> b(18, 0xAB);
    EXPECT_EQ(DbcHexDump(b.data(), 18, "> "), "> AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB\n> AB AB\n");
    EXPECT_EQ(DbcJsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
}

} // namespace
