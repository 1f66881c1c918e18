// The list file: its name, the reading rules, the decision and the writing rules.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cal_call.h"
#include "cal_types.h"
#include "calib_flow.h"
#include "list_file.h"
#include "fake_platform.h"
#include "list_file.h"
#include "temp_dir.h"

namespace {

class ListFileTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(fake.openHandles, 0) << "a file was left open"; }
    // A call for key (7, 1, 2, 3) with the source Table0.dat; list abcde007.ini.
    CalCall &call(const char *source = "Table0.dat", const char *prefix = "abcde")
    {
        call_.reset(new CalCall(fake.platform(), dir.wide(), source, prefix));
        return *call_;
    }
    // Decides, checks that only the entry array is left, and returns the code.
    int16_t decide(CalCall &c)
    {
        int16_t rc = listDecide(&c.ctx.list);
        EXPECT_EQ(fake.outstandingAllocs, c.ctx.list.entries != nullptr ? 1 : 0) << "the list text is released";
        EXPECT_EQ(c.ctx.list.listFile.buffer.data, nullptr);
        return rc;
    }
    std::string list() const { return dir.read("abcde007.ini"); }

    FakePlatform fake;
    TempDir dir;
    std::unique_ptr<CalCall> call_;
};

TEST_F(ListFileTest, ListFileNames)
{
    struct Case {
        int16_t number;
        const char *name;
    } cases[] = {
        {5, "abcde005.ini"},       {7, "abcde007.ini"}, {42, "abcde042.ini"},        {1234, "abcde1234.ini"},
        {32767, "abcde32767.ini"}, {0, "abcde000.ini"}, {-1, "abcde4294967295.ini"}, {-32768, "abcde4294934528.ini"}};
    for (const Case &k : cases) {
        CalCall &c = call();
        c.request.listNumber = k.number;
        ASSERT_TRUE(listBuildName(&c.ctx.list));
        EXPECT_STREQ(c.ctx.list.listFileName, k.name);
    }
}

TEST_F(ListFileTest, UnusablePrefixIsARequestError)
{
    for (const char *prefix : {"ab", "ab/cd", "..\\ab", "a:bcd"}) {
        CalCall &c = call("Table0.dat", prefix);
        EXPECT_FALSE(listBuildName(&c.ctx.list)) << prefix;
        EXPECT_EQ(decide(c), CAL_ERR_REQUEST) << prefix;
        EXPECT_EQ(c.ctx.list.state, CAL_STATE_NONE);
    }
    EXPECT_EQ(fake.fileOps, 0);
}

TEST_F(ListFileTest, NoListFileGivesANewList)
{
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_LIST);
    EXPECT_STREQ(c.ctx.list.chosenName, "table1.dat");
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    EXPECT_EQ(list(), "7,1,2,3,table1.dat\r\n");
}

TEST_F(ListFileTest, EmptyListIsRecreatedWithOneLine)
{
    dir.write("abcde007.ini", "");
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_LIST);
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    EXPECT_EQ(list(), "7,1,2,3,table1.dat\r\n");
}

TEST_F(ListFileTest, LineEndsOnlyGiveANewEntryAppended)
{
    dir.write("abcde007.ini", "\r\n\r\n");
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
    EXPECT_EQ(c.ctx.list.entryCount, 0);
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    EXPECT_EQ(list(), "\r\n\r\n7,1,2,3,table1.dat\r\n");
}

TEST_F(ListFileTest, UnterminatedLastLineIsEndedBeforeAnAppend)
{
    dir.write("abcde007.ini", "1,0,0,0,a1.dat\r\n9,9,9,9,x1.dat");
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
    EXPECT_EQ(c.ctx.list.entryCount, 1) << "the last line without an end is not read";
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    EXPECT_EQ(list(), "1,0,0,0,a1.dat\r\n9,9,9,9,x1.dat\r\n7,1,2,3,table1.dat\r\n");

    // The next call reads all three lines and finds its entry.
    CalCall &again = call();
    ASSERT_EQ(decide(again), CAL_OK);
    EXPECT_EQ(again.ctx.list.state, CAL_STATE_FOUND);
    EXPECT_EQ(again.ctx.list.entryCount, 3);
    EXPECT_STREQ(again.ctx.list.chosenName, "table1.dat");
}

TEST_F(ListFileTest, UnterminatedLastLineIsDroppedWhenEndingItWouldHideTheNewLine)
{
    // 127 read lines, the unended 128th, then the new line would be the
    // 129th, which no reader records.
    std::string text;
    for (int i = 0; i < 127; ++i) {
        text += "100," + std::to_string(i) + ",0,0,x1.dat\r\n";
    }
    dir.write("abcde007.ini", text + "9,9,9,9,y1.dat");
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    ASSERT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    const std::string made = c.ctx.list.chosenName;
    CalCall &again = call(); // ends the first call
    ASSERT_EQ(decide(again), CAL_OK);
    EXPECT_EQ(again.ctx.list.state, CAL_STATE_FOUND);
    EXPECT_EQ(again.ctx.list.chosenName, made);
}

TEST_F(ListFileTest, UnterminatedLastLineIsDroppedByARewrite)
{
    // The unended line was never read: it carries the request key, and ended
    // and kept it would answer the next call instead of the new entry.
    dir.write("abcde007.ini", "1,0,0,0,a1.dat\r\n7,1,2,3,x1.dat");
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
    EXPECT_EQ(c.ctx.list.entryCount, 1) << "the last line without an end is not read";
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    EXPECT_EQ(list(), "1,0,0,0,a1.dat\r\n7,1,2,3,table1.dat\r\n");

    // The next call finds its entry.
    CalCall &again = call();
    ASSERT_EQ(decide(again), CAL_OK);
    EXPECT_EQ(again.ctx.list.state, CAL_STATE_FOUND);
    EXPECT_EQ(again.ctx.list.entryCount, 2);
    EXPECT_STREQ(again.ctx.list.chosenName, "table1.dat");
}

TEST_F(ListFileTest, ReadingRules)
{
    dir.write("abcde007.ini", "1,0,0,0,a1.dat\r\n\r\n\n"
                              " 2 , 5,6 ,7,  B1.dat  \n"
                              "3,-,,-5,c1.dat\r"
                              "7,1,2,3,Found9.dat\r\n");
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    ASSERT_EQ(c.ctx.list.entryCount, 4);
    const ListEntry *e = c.ctx.list.entries;
    EXPECT_EQ(e[0].lineNo, 1);
    EXPECT_EQ(e[1].lineNo, 2) << "blank lines are not counted";
    EXPECT_EQ(e[1].listNumber, 2);
    EXPECT_EQ(e[1].param1, 5);
    EXPECT_EQ(e[1].param2, 6);
    EXPECT_EQ(e[1].param3, 7);
    EXPECT_STREQ(e[1].name, "B1.dat");
    EXPECT_EQ(e[2].param1, -1);
    EXPECT_EQ(e[2].param2, 0);
    EXPECT_EQ(e[2].param3, -1);
    EXPECT_EQ(e[3].lineNo, 4);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_FOUND);
    EXPECT_STREQ(c.ctx.list.chosenName, "Found9.dat") << "the name as written in the list";
    EXPECT_EQ(fake.writes, 0);
}

TEST_F(ListFileTest, FirstMatchingEntryWinsOnAllFourKeyFields)
{
    dir.write("abcde007.ini",
              "7,1,2,4,x1.dat\r\n"
              "65543,1,2,3,first1.dat\r\n" // listNumber is kept as its low 16 bits
              "7,1,2,3,second1.dat\r\n");
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_FOUND);
    EXPECT_STREQ(c.ctx.list.chosenName, "first1.dat");
}

TEST_F(ListFileTest, MalformedLinesMakeANewList)
{
    const char *bad[] = {
        "1,2,3,4,abc1.dat,x",       // a fifth comma
        "1,2,3",                    // three fields
        "   ",                      // blanks only
        "1,2a,3,4,abc1.dat",        // not a number
        "1,2,3,4,",                 // no name
        "1,2,3,4,0123456789abcdef", // 16 characters
        "1,2,3,4,../evil.dat",
        "1,2,3,4,..\\evil.dat",
        "1,2,3,4,c:evil.dat",
        "1,2,3,4,.",
        "1,2,3,4,..",
    };
    for (const char *line : bad) {
        dir.write("abcde007.ini", std::string("7,1,2,3,table5.dat\r\n") + line + "\r\n");
        CalCall &c = call();
        ASSERT_EQ(decide(c), CAL_OK) << line;
        EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_LIST) << line;
        EXPECT_EQ(c.ctx.list.entryCount, 0) << line;
        EXPECT_EQ(c.ctx.list.entries, nullptr) << line;
        EXPECT_STREQ(c.ctx.list.chosenName, "table1.dat") << line;
    }
    // The list is then written anew with the new line only.
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    EXPECT_EQ(list(), "7,1,2,3,table1.dat\r\n");
    // A fifteen-character name is fine.
    dir.write("abcde007.ini", "7,1,2,3,0123456789abcde\r\n");
    CalCall &ok = call();
    ASSERT_EQ(decide(ok), CAL_OK);
    EXPECT_EQ(ok.ctx.list.state, CAL_STATE_FOUND);
}

TEST_F(ListFileTest, NegativeValuesAreWrittenUnsignedAndReadBack)
{
    CalCall &c = call();
    c.request.listNumber = -1;
    c.request.param1 = -1;
    c.request.param3 = INT32_MIN;
    ASSERT_EQ(decide(c), CAL_OK);
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    EXPECT_EQ(dir.read("abcde4294967295.ini"), "4294967295,4294967295,2,2147483648,table1.dat\r\n");

    CalCall &again = call();
    again.request.listNumber = -1;
    again.request.param1 = -1;
    again.request.param3 = INT32_MIN;
    ASSERT_EQ(decide(again), CAL_OK);
    EXPECT_EQ(again.ctx.list.state, CAL_STATE_FOUND);
}

TEST_F(ListFileTest, FormatLine)
{
    char buf[CAL_LINE_BUFFER];
    int16_t n = listFormatLine(buf, sizeof buf, -1, -1, -1, -1, "abcdefghijk1.da");
    EXPECT_EQ(n, 61) << "the longest line";
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)),
              "4294967295,4294967295,4294967295,4294967295,abcdefghijk1.da\r\n");
    EXPECT_EQ(buf[n], 0);
    EXPECT_EQ(listFormatLine(buf, 20, 1, 2, 3, 4, "a1.dat"), 0) << "too small a buffer";
}

TEST_F(ListFileTest, OnlyTheFirst128LinesAreRead)
{
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "100," + std::to_string(i) + ",0,0,x" + std::to_string(i % 10) + ".dat\r\n";
    }
    dir.write("abcde007.ini", text);
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    EXPECT_EQ(c.ctx.list.entryCount, 128);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    // Appended as line 201 the new entry would never be read: the list is
    // written anew with the newest 127 of the lines read and the new line.
    std::string expected;
    for (int i = 1; i < 128; ++i) {
        expected += "100," + std::to_string(i) + ",0,0,x" + std::to_string(i % 10) + ".dat\r\n";
    }
    EXPECT_EQ(list(), expected + "7,1,2,3,table1.dat\r\n");
    CalCall &again = call();
    ASSERT_EQ(decide(again), CAL_OK);
    EXPECT_EQ(again.ctx.list.state, CAL_STATE_FOUND);
}

// Text that the reader stops at or cannot end well: a line appended after it
// would be lost or would spoil the list, so the list is written anew.
TEST_F(ListFileTest, ListWithUnreadTextIsRewrittenNotAppended)
{
    const std::string cases[] = {
        std::string("1,0,0,0,a1.dat\r\n\0garbage\r\n", 26), // a zero byte ends the reading
        "1,0,0,0,a1.dat\r\nnot a line",                     // an unended last line that is no line
        "1,0,0,0,a1.dat\r\n2,0,0,0,table1.dat",             // one naming the copy about to be made
        "1,0,0,0,a1.dat\r\n2,0,0,0,TABLE1.DAT",             // the same name in other case
    };
    for (const std::string &text : cases) {
        dir.write("abcde007.ini", text);
        CalCall &c = call();
        ASSERT_EQ(decide(c), CAL_OK);
        ASSERT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
        ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
        EXPECT_EQ(list(), "1,0,0,0,a1.dat\r\n7,1,2,3,table1.dat\r\n");
        CalCall &again = call();
        ASSERT_EQ(decide(again), CAL_OK);
        EXPECT_EQ(again.ctx.list.state, CAL_STATE_FOUND);
        EXPECT_STREQ(again.ctx.list.chosenName, "table1.dat");
    }
}

TEST_F(ListFileTest, RewriteKeepsTheReadLinesInOrderAndAddsTheNewOneLast)
{
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "100," + std::to_string(i) + ",0,0,x" + std::to_string(i % 10) + ".dat\r\n";
    }
    dir.write("abcde007.ini", text);
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    c.ctx.list.entries[5].lineNo = CAL_LINE_DROPPED;
    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    std::string expected;
    for (int i = 0; i < 128; ++i) {
        if (i != 5) {
            expected += "100," + std::to_string(i) + ",0,0,x" + std::to_string(i % 10) + ".dat\r\n";
        }
    }
    EXPECT_EQ(list(), expected + "7,1,2,3,table1.dat\r\n");
}

TEST_F(ListFileTest, AppendNeedsTheListToStillExist)
{
    dir.write("abcde007.ini", "1,0,0,0,a1.dat\r\n");
    CalCall &c = call();
    ASSERT_EQ(decide(c), CAL_OK);
    ASSERT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
    dir.remove("abcde007.ini");
    EXPECT_EQ(listUpdate(&c.ctx.list), CAL_ERR_FILE);
    EXPECT_FALSE(dir.exists("abcde007.ini"));
}

} // namespace
