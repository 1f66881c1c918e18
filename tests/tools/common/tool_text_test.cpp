// Escaped echoes and the ordered, limited error lists of the tools.
#include <gtest/gtest.h>

#include "tool_text.h"

namespace {

TEST(ToolEscape, KeepsPrintableTextAndEscapesEveryOtherByte)
{
    EXPECT_EQ(ToolEscape("calib001.ini"), "calib001.ini");
    EXPECT_EQ(ToolEscape(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(ToolEscape("tab\there\r\n\x1b[2J\x7f"), "tab\\x09here\\x0D\\x0A\\x1B[2J\\x7F");
    // Well-formed UTF-8 of printable characters stays; broken sequences,
    // overlong forms, surrogates and C1 controls do not.
    EXPECT_EQ(ToolEscape("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"), "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC");
    EXPECT_EQ(ToolEscape("\xC3"), "\\xC3");
    EXPECT_EQ(ToolEscape("\xC3("), "\\xC3(");
    EXPECT_EQ(ToolEscape("\xC0\xAF"), "\\xC0\\xAF");
    EXPECT_EQ(ToolEscape("\xED\xA0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(ToolEscape("\xC2\x85"), "\\xC2\\x85");
    EXPECT_EQ(ToolEscape("\xFF\xFE"), "\\xFF\\xFE");
    EXPECT_EQ(ToolEscapeLines("a\x01\nb\n"), "a\\x01\nb\n");
}

TEST(ToolErrors, PrintsInLineOrderAtMostTwentyThenSaysHowManyMore)
{
    ToolErrors e;
    EXPECT_EQ(ToolErrorsText(e, "t"), "");
    ToolErrorAdd(&e, 1, 3, "b:3: later file");
    ToolErrorAdd(&e, 0, 9, "a:9: second");
    ToolErrorAdd(&e, 0, 2, "a:2: first");
    ToolErrorAdd(&e, 0, 9, "a:9: third, found after second on its line");
    EXPECT_EQ(ToolErrorsText(e, "t"), "a:2: first\na:9: second\na:9: third, found after second on its line\n"
                                      "b:3: later file\n");
    ToolErrors many;
    for (int line = 30; line >= 1; --line) {
        ToolErrorAdd(&many, 0, line, "f:" + std::to_string(line) + ": bad \x01");
    }
    std::string text = ToolErrorsText(many, "t");
    std::string want;
    for (int line = 1; line <= 20; ++line) {
        want += "f:" + std::to_string(line) + ": bad \\x01\n";
    }
    EXPECT_EQ(text, want + "t: too many errors (10 more not shown)\n");
}

TEST(ToolErrors, CutsALongLineAtAWholeCharacter)
{
    ToolErrors e;
    ToolErrorAdd(&e, 0, 1, "f:1: " + std::string(1000, '\x02'));
    std::string text = ToolErrorsText(e, "t");
    EXPECT_LE(text.size(), kToolErrorWidth + 8);
    EXPECT_EQ(text.substr(text.size() - 8), "\\x02...\n");
}

} // namespace
