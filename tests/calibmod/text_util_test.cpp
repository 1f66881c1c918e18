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
    splitLines(text.data(), length < 0 ? static_cast<int32_t>(text.size()) : length, &t);
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
    out.rc = splitFields(line.data(), static_cast<int16_t>(line.size()), f, &count);
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
        EXPECT_EQ(parseNumber(c.text, &v), c.rc) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

} // namespace
