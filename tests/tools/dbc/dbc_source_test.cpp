// Reading the source: tokens, numbers, byte data, comments and line ends.
#include <gtest/gtest.h>

#include "dbc.h"
#include "dbc_lex.h"

namespace {

std::vector<uint8_t> Data(const std::string &line, std::string *errors = nullptr)
{
    DbcProgram prog;
    prog.fileNames.push_back("t.zdb");
    std::vector<DbcLine> lines;
    DbcLexSource(&prog, 0, line, &lines);
    std::vector<uint8_t> out;
    if (!lines.empty()) {
        DbcParseByteData(&prog, DbcLoc{0, 1}, lines[0].toks, 0, &out);
    }
    if (errors) {
        *errors = ToolErrorsText(prog.found, "dbc");
    } else {
        EXPECT_EQ(ToolErrorsText(prog.found, "dbc"), "");
    }
    return out;
}

TEST(DbcSource, ByteDataItems)
{
    EXPECT_EQ(Data("1B5B4B 02"), (std::vector<uint8_t>{0x1B, 0x5B, 0x4B, 0x02}));
    EXPECT_EQ(Data("\"A\\x00\\\\\" 0c"), (std::vector<uint8_t>{'A', 0, '\\', 0x0C}));
    EXPECT_EQ(Data("be16(600, 1) le16(600) be32(1) le32(-1)"),
              (std::vector<uint8_t>{2, 0x58, 0, 1, 0x58, 2, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Data("u8(52, 255) zeros(3) field(4, \"ab\")"), (std::vector<uint8_t>{52, 255, 0, 0, 0, 'a', 'b', 0, 0}));
    // "be16" followed by "(" is the function even though it reads as hex.
    EXPECT_EQ(Data("be16 (1)"), (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(Data("be"), (std::vector<uint8_t>{0xBE}));
    std::string errors;
    Data("1B2", &errors);
    EXPECT_NE(errors.find("'1B2' is not hex bytes"), std::string::npos);
    Data("be16(600", &errors);
    EXPECT_NE(errors.find("malformed argument list of be16()"), std::string::npos);
    Data("frob(1)", &errors);
    EXPECT_NE(errors.find("unknown function frob()"), std::string::npos);
    Data("u8(256)", &errors);
    EXPECT_NE(errors.find("does not fit in 8 bits"), std::string::npos);
    Data("zeros(-1)", &errors);
    EXPECT_NE(errors.find("count out of range"), std::string::npos);
}

TEST(DbcSource, Numbers)
{
    int64_t v = 0;
    EXPECT_TRUE(DbcParseInt("0x3D92", &v));
    EXPECT_EQ(v, 0x3D92);
    EXPECT_TRUE(DbcParseInt("-2147483648", &v));
    EXPECT_EQ(v, -2147483648LL);
    EXPECT_TRUE(DbcParseInt("0XFF", &v));
    EXPECT_EQ(v, 255);
    for (const char *bad : {"", "-", "0x", "1e5", "12a", "0x1G", "99999999999999999999"}) {
        EXPECT_FALSE(DbcParseInt(bad, &v)) << bad;
    }
}

TEST(DbcSource, CommentsCrLfAndHashInsideStrings)
{
    DbcImage img;
    std::string errors;
    ASSERT_TRUE(DbcCompileText("t.zdb",
                               "# heading\r\n"
                               "key 0x0002: text \"a#b\"   # trailing comment\r\n"
                               "\r\n"
                               "key 0x0003:text \"x\"\r\n",
                               &img, &errors))
        << errors;
    ASSERT_EQ(img.bytePool.size(), 6u);
    EXPECT_EQ(std::string(img.bytePool.begin(), img.bytePool.begin() + 4), std::string("a#b\0", 4));
}

TEST(DbcSource, KeyShapesOfTheNotation)
{
    DbcImage img;
    std::string errors;
    // Block forms: a key whose tree is on the next line, a case target below
    // the case, a value continued on indented lines, a when with one child.
    ASSERT_TRUE(DbcCompileText("t.zdb",
                               "key 0x3003\n"
                               "  int16 1, 2\n"
                               "    3 4,\n"
                               "    5\n"
                               "key 0x1007\n"
                               "  switch int 9\n"
                               "    when 0: int8 24\n"
                               "    when 1\n"
                               "      select_int int 4\n"
                               "        case 1\n"
                               "          int8 8\n",
                               &img, &errors))
        << errors;
    EXPECT_EQ(img.int16Pool, (std::vector<uint16_t>{1, 2, 3, 4, 5}));
    ASSERT_EQ(img.keys.size(), 2u);
}

} // namespace
