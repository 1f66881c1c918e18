// Allocation of copy names: the examples, recycling, and names already on disk.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cal_call.h"
#include "cal_types.h"
#include "calib_flow.h"
#include "list_file.h"
#include "fake_platform.h"
#include "list_file.h"
#include "name_alloc.h"
#include "temp_dir.h"

namespace {

const char kCandidates[] = "123456789abcdefghijklmnopqrstuvwxyz";

class NameAllocTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(fake.openHandles, 0); }
    // Decides over the given list text for a call with the given source.
    CalCall &decideOver(const std::string &text, const char *source = "Table0.dat")
    {
        if (!text.empty()) {
            dir.write("abcde007.ini", text);
        }
        call_.reset(new CalCall(fake.platform(), dir.wide(), source));
        EXPECT_EQ(listDecide(&call_->ctx.list), CAL_OK);
        return *call_;
    }

    FakePlatform fake;
    TempDir dir;
    std::unique_ptr<CalCall> call_;
};

TEST_F(NameAllocTest, CopyLowerFindsTheVariedPosition)
{
    char out[16];
    int16_t length = 0;
    int16_t varied = 0;
    nameCopyLower(out, "Table0.dat", &length, &varied);
    EXPECT_STREQ(out, "table0.dat");
    EXPECT_EQ(length, 10);
    EXPECT_EQ(varied, 5);

    nameCopyLower(out, "A.B.C", &length, &varied);
    EXPECT_EQ(varied, 2) << "the last '.' counts";
    nameCopyLower(out, ".dat", &length, &varied);
    EXPECT_EQ(varied, -1);
    nameCopyLower(out, "nodot", &length, &varied);
    EXPECT_EQ(varied, -1);
    nameCopyLower(out, "0123456789abc.ef", &length, &varied);
    EXPECT_EQ(length, 16) << "no terminator in 16";
}

TEST_F(NameAllocTest, Examples)
{
    CalCall &fresh = decideOver("");
    EXPECT_EQ(fresh.ctx.list.state, CAL_STATE_NEW_LIST);
    EXPECT_STREQ(fresh.ctx.list.chosenName, "table1.dat");

    CalCall &noSimilar = decideOver("1,0,0,0,other1.dat\r\n");
    EXPECT_EQ(noSimilar.ctx.list.state, CAL_STATE_NEW_ENTRY);
    EXPECT_STREQ(noSimilar.ctx.list.chosenName, "table1.dat");

    CalCall &two = decideOver("1,0,0,0,table1.dat\r\n2,0,0,0,TABLE2.dat\r\n");
    EXPECT_STREQ(two.ctx.list.chosenName, "table3.dat");

    CalCall &map = decideOver("", "Map.dat");
    EXPECT_STREQ(map.ctx.list.chosenName, "ma1.dat");
}

TEST_F(NameAllocTest, SimilarMeansEqualButForTheVariedPosition)
{
    // Longer names that agree in the source's positions are similar too;
    // names that differ elsewhere are not.
    CalCall &c = decideOver("1,0,0,0,table1.datx\r\n2,0,0,0,tablf2.dat\r\n3,0,0,0,Table3.DAT\r\n");
    int16_t similar[CAL_SIMILAR_MAX];
    EXPECT_EQ(nameCollectSimilar(&c.ctx.list, 10, 5, similar), 2);
    EXPECT_EQ(similar[0], 0);
    EXPECT_EQ(similar[1], 2);
    EXPECT_STREQ(c.ctx.list.chosenName, "table2.dat");
}

std::string allCandidates(char oldest)
{
    std::string text = "1,0,0,0,unrelated1.dat\r\n";
    // The oldest similar entry uses `oldest` in upper case; the others follow in order.
    text += "2,0,0,0,table" + std::string(1, static_cast<char>(oldest - 'a' + 'A')) + ".dat\r\n";
    for (const char *p = kCandidates; *p; ++p) {
        if (*p != oldest) {
            text += "3," + std::to_string(p - kCandidates) + ",0,0,table" + std::string(1, *p) + ".dat\r\n";
        }
    }
    return text;
}

TEST_F(NameAllocTest, AllCandidatesTakenRecyclesTheOldest)
{
    std::string text = allCandidates('q');
    CalCall &c = decideOver(text);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
    EXPECT_STREQ(c.ctx.list.chosenName, "tableQ.dat") << "its character as stored";
    EXPECT_EQ(c.ctx.list.entries[1].lineNo, CAL_LINE_DROPPED);

    ASSERT_EQ(listUpdate(&c.ctx.list), CAL_OK);
    std::string expected = text;
    expected.erase(expected.find("2,0,0,0,tableQ.dat\r\n"), 20);
    expected += "7,1,2,3,tableQ.dat\r\n";
    EXPECT_EQ(dir.read("abcde007.ini"), expected);
}

TEST_F(NameAllocTest, ExistingFilesAreTakenInANewList)
{
    // Another list's copies share the directory: they are not overwritten.
    dir.write("table1.dat", "other list");
    dir.write("table2.dat", "other list");
    CalCall &c = decideOver("");
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_LIST);
    EXPECT_STREQ(c.ctx.list.chosenName, "table3.dat");

    for (const char *p = kCandidates; *p; ++p) {
        dir.write(std::string("table") + *p + ".dat", "x");
    }
    CalCall &full = decideOver("");
    EXPECT_STREQ(full.ctx.list.chosenName, "table1.dat") << "all exist, no list names them: the first orphan";

    // Another list names every candidate: no name is left for a new list.
    std::string other;
    for (const char *p = kCandidates; *p; ++p) {
        other += std::string("9,0,0,0,table") + *p + ".dat\r\n";
    }
    dir.write("other001.ini", other);
    CalCall none(fake.platform(), dir.wide());
    EXPECT_EQ(listDecide(&none.ctx.list), CAL_ERR_FILE);
}

TEST_F(NameAllocTest, ExistingFilesAreTakenForANewEntry)
{
    dir.write("table2.dat", "another list's copy");
    CalCall &c = decideOver("1,0,0,0,table1.dat\r\n");
    EXPECT_STREQ(c.ctx.list.chosenName, "table3.dat");

    // Unlisted files take no name from a new entry: the first of them is
    // reused before any entry of the list gives way.
    for (const char *p = kCandidates; *p; ++p) {
        dir.write(std::string("table") + *p + ".dat", "x");
    }
    const char *own = "5,0,0,0,unrelated1.dat\r\n6,0,0,0,tablez.dat\r\n7,0,0,0,table4.dat\r\n";
    CalCall &orphan = decideOver(own);
    EXPECT_STREQ(orphan.ctx.list.chosenName, "table1.dat");
    EXPECT_EQ(orphan.ctx.list.entries[1].lineNo, 2);

    // Another list names every other candidate: the oldest similar entry of
    // this list is recycled, never the other list's copy.
    std::string other;
    for (const char *p = kCandidates; *p; ++p) {
        if (*p != 'z' && *p != '4') {
            other += std::string("9,0,0,0,TABLE") + *p + ".dat\r\n"; // names compare without case
        }
    }
    dir.write("other001.ini", other);
    CalCall &full = decideOver(own);
    EXPECT_STREQ(full.ctx.list.chosenName, "tablez.dat");
    EXPECT_EQ(full.ctx.list.entries[1].lineNo, CAL_LINE_DROPPED);
    EXPECT_EQ(full.ctx.list.entries[2].lineNo, 3);

    // The other list names the oldest entry's copy too: the next oldest gives way.
    dir.write("other001.ini", other + "9,1,1,1,tablez.dat\r\n");
    CalCall &shared = decideOver(own);
    EXPECT_STREQ(shared.ctx.list.chosenName, "table4.dat");
    EXPECT_EQ(shared.ctx.list.entries[1].lineNo, 2);
    EXPECT_EQ(shared.ctx.list.entries[2].lineNo, CAL_LINE_DROPPED);
}

TEST_F(NameAllocTest, SourceNamesWithoutACopyNameAreRefused)
{
    for (const char *source : {"nodot", ".dat", "0123456789abcdef", "a/b.dat", "x:y.dat"}) {
        call_.reset(new CalCall(fake.platform(), dir.wide(), source));
        EXPECT_EQ(listDecide(&call_->ctx.list), CAL_ERR_REQUEST) << source;
        EXPECT_EQ(call_->ctx.list.state, CAL_STATE_NONE) << source;
        EXPECT_STREQ(call_->ctx.list.chosenName, "") << source;
    }
    EXPECT_TRUE(dir.list().empty());
}

// A copy name must read back from its list line as written; one that would
// not (a comma splits it, blanks at its ends are trimmed) is refused before
// a line is written, so the list never turns malformed.
TEST_F(NameAllocTest, SourceNamesWhoseCopyNameWouldNotReadBackAreRefused)
{
    for (const char *source : {"a,b.dat", "..,3", " lead.dat", "x.da ", "x.da\r"}) {
        call_.reset(new CalCall(fake.platform(), dir.wide(), source));
        EXPECT_EQ(listDecide(&call_->ctx.list), CAL_ERR_REQUEST) << source;
    }
    for (const char *name : {"a,1.dat", " a1.dat", "a1.dat ", "a1\n.dat"}) {
        EXPECT_FALSE(listNameIsSafe(name)) << name;
    }
    EXPECT_TRUE(listNameIsSafe("a 1.dat"));
    EXPECT_TRUE(dir.list().empty());
}

} // namespace

namespace {

// Every candidate but the last taken, each way a name can be taken: the
// 35th, 'z', is still given, and nothing is recycled.
TEST_F(NameAllocTest, TheLastCandidateIsGivenWhenOnlyItIsFree)
{
    std::string own;
    std::string other;
    for (const char *p = kCandidates; p[1] != 0; ++p) {
        const std::string name = std::string("table") + *p + ".dat";
        const long i = p - kCandidates;
        if (i % 3 == 0) {
            own += "4," + std::to_string(i) + ",0,0," + name + "\r\n"; // a similar entry of this list
        } else if (i % 3 == 1) {
            other += "9," + std::to_string(i) + ",0,0," + name + "\r\n"; // another list's copy
            dir.write(name, "listed elsewhere");
        } else {
            dir.write(name, "x");
            other += "9," + std::to_string(i) + ",1,0," + name + "\r\n";
        }
    }
    dir.write("other009.ini", other);
    CalCall &c = decideOver(own);
    EXPECT_EQ(c.ctx.list.state, CAL_STATE_NEW_ENTRY);
    EXPECT_STREQ(c.ctx.list.chosenName, "tablez.dat");
    for (int16_t i = 0; i < c.ctx.list.entryCount; ++i) {
        EXPECT_NE(c.ctx.list.entries[i].lineNo, CAL_LINE_DROPPED) << "entry " << i;
    }
}

} // namespace
