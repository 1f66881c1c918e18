// Line and field splitting, trimming, decimal parsing and formatting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cal_types.h"
#include "text_util.h"

namespace {

std::vector<std::string> lines(std::string &text, int32_t length = -1)
{
    LineTable t;
    textSplitLines(text.data(), length < 0 ? static_cast<int32_t>(text.size()) : length, &t);
    std::vector<std::string> out;
    for (int i = 0; i < t.count; ++i) {
        EXPECT_EQ(t.starts[i][t.lengths[i]], 0) << "line " << i << " is terminated in place";
        out.emplace_back(t.starts[i], static_cast<size_t>(t.lengths[i]));
    }
    return out;
}

TEST(SplitLines, EndsAndBlankLines)
{
    std::string text = "a\r\n\r\nb\rc\n\n  \r\n";
    EXPECT_EQ(lines(text), (std::vector<std::string>{"a", "b", "c", "  "}));

    std::string crlfOnly = "\r\n\r\n\r\n";
    EXPECT_TRUE(lines(crlfOnly).empty());
}

TEST(SplitLines, LastLineWithoutEndIsNotRead)
{
    std::string text = "a\r\nbcd";
    EXPECT_EQ(lines(text), std::vector<std::string>{"a"});
}

TEST(SplitLines, ZeroByteEndsLineAndScan)
{
    std::string text("a\0b\r\n", 5);
    EXPECT_EQ(lines(text), std::vector<std::string>{"a"});
}

TEST(SplitLines, StopsAtLengthAnd128Lines)
{
    std::string text = "ab\r\ncd\r\n";
    EXPECT_EQ(lines(text, 5), std::vector<std::string>{"ab"});

    std::string many;
    for (int i = 0; i < 200; ++i) {
        many += "L" + std::to_string(i) + "\r\n";
    }
    std::vector<std::string> got = lines(many);
    ASSERT_EQ(got.size(), 128u);
    EXPECT_EQ(got.back(), "L127");
}

TEST(SplitLines, HugeTextWithFewLineEndsStaysBounded)
{
    // 100000 bytes without a line end, then a short line: positions would
    // not fit 16 bits, so nothing past the first 32767 bytes is looked at.
    std::string text(100000, 'x');
    text += "\r\nshort\r\n";
    EXPECT_TRUE(lines(text).empty());

    // A line that ends just inside the bound is still read.
    std::string edge(32765, 'y');
    edge += "\r\n";
    edge += std::string(50000, 'z');
    std::vector<std::string> got = lines(edge);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].size(), 32765u);
}

struct Fields {
    int16_t rc;
    std::vector<std::string> values;
};

Fields fields(std::string line)
{
    char *f[CAL_FIELD_MAX];
    int16_t count = 0;
    Fields out;
    out.rc = textSplitFields(line.data(), static_cast<int16_t>(line.size()), f, &count);
    for (int i = 0; i < count; ++i) {
        out.values.emplace_back(f[i]);
    }
    return out;
}

TEST(SplitFields, FieldsAreTrimmedAndCounted)
{
    Fields r = fields("1 , 2,3,4, abc1.dat ");
    EXPECT_EQ(r.rc, CAL_OK);
    EXPECT_EQ(r.values, (std::vector<std::string>{"1", "2", "3", "4", "abc1.dat"}));

    r = fields("\t1,   ,3,4,a b ");
    EXPECT_EQ(r.values, (std::vector<std::string>{"\t1", "", "3", "4", "a b"})) << "blanks only, not tabs";

    r = fields("1,2,3");
    EXPECT_EQ(r.rc, CAL_OK);
    EXPECT_EQ(r.values.size(), 3u);

    r = fields(",,,,");
    EXPECT_EQ(r.rc, CAL_OK);
    EXPECT_EQ(r.values, (std::vector<std::string>{"", "", "", "", ""}));
}

TEST(SplitFields, FifthCommaIsAnError)
{
    Fields r = fields("1,2,3,4,abc1.dat,x");
    EXPECT_EQ(r.rc, CAL_FAIL);
    EXPECT_EQ(r.values.size(), 5u);
}

TEST(ParseNumber, ReadingRules)
{
    struct Case {
        const char *text;
        int16_t rc;
        int32_t value;
    } cases[] = {
        {"0", CAL_OK, 0},           {"", CAL_OK, 0},           {"123", CAL_OK, 123},
        {"-", CAL_OK, -1},          {"-5", CAL_OK, -1},        {"7-", CAL_OK, -1},
        {"4294967295", CAL_OK, -1}, {"4294967296", CAL_OK, 0}, {"2147483648", CAL_OK, INT32_MIN},
        {"12a", CAL_FAIL, 99},      {"1 2", CAL_FAIL, 99},     {"+1", CAL_FAIL, 99},
    };
    for (const Case &c : cases) {
        int32_t v = 99;
        EXPECT_EQ(textParseNumber(c.text, &v), c.rc) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(TextCase, OnlyLettersFold)
{
    EXPECT_EQ(textLower('A'), 'a');
    EXPECT_EQ(textLower('Z'), 'z');
    // The neighbours of the letters and bytes above 127 stay as they are: a
    // fold by setting bit 5 would make '@' of '`', '[' of '{', 0xC0 of 0xE0.
    for (char c : {'@', '[', '`', '{', '0', '.', '~'}) {
        EXPECT_EQ(textLower(c), c) << c;
    }
    EXPECT_EQ(textLower(static_cast<char>(0xC0)), static_cast<char>(0xC0));
}

TEST(TextCase, SameNoCaseComparesNamesAsTheListDoes)
{
    EXPECT_TRUE(textSameNoCase("Table1.DAT", "table1.dat", 16, -1));
    EXPECT_FALSE(textSameNoCase("tab@e", "tab`e", 16, -1));
    EXPECT_FALSE(textSameNoCase("a[b", "a{b", 16, -1));
    EXPECT_FALSE(textSameNoCase("\xC0x", "\xE0x", 16, -1));
    // A text that ends before the other differs; where both end, the bytes
    // after the terminators never count.
    EXPECT_FALSE(textSameNoCase("map", "maps", 16, -1));
    const char a[8] = {'m', 'a', 'p', 0, 'x', 'x', 'x', 'x'};
    const char b[8] = {'M', 'A', 'P', 0, 'y', 'y', 'y', 'y'};
    EXPECT_TRUE(textSameNoCase(a, b, 8, -1));
    // Only the first n bytes, and never the one at skip.
    EXPECT_TRUE(textSameNoCase("table1.dat", "TABLE9.dat", 10, 5));
    EXPECT_FALSE(textSameNoCase("table1.dat", "TABLE9.dat", 10, 4));
    EXPECT_TRUE(textSameNoCase("abcX", "ABCy", 3, -1));
}

} // namespace
