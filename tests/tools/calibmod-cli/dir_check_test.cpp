// calibmod-cli check: each fault it names, found in a directory made to hold
// it, and a repair after which a normal call leaves the directory healthy.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_types.h"
#include "calibmod.h"
#include "check_fixture.h"
#include "list_file.h"
#include "copy.h"

namespace {

ino_t inodeOf(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST_F(CalibDirTest, HealthyDirectoryIsReportedSoAndLeftUntouchedByRepair)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    ASSERT_EQ(calibrate(1), CAL_OK);
    cli::DirReport r = scan();
    EXPECT_EQ(r.problems, 0) << entryProblems(r);
    ASSERT_EQ(r.lists.size(), 1u);
    ASSERT_EQ(r.lists[0].entries.size(), 2u);
    EXPECT_EQ(r.lists[0].entries[0].copy.source, "Table0.dat");
    const std::string list = read("calib001.ini");
    const ino_t copy = inodeOf(calibPath("table1.dat")), listNode = inodeOf(calibPath("calib001.ini"));
    cli::RepairResult fixed = cli::repairDirectory(r);
    EXPECT_TRUE(fixed.removed.empty());
    EXPECT_TRUE(fixed.rewritten.empty());
    EXPECT_EQ(read("calib001.ini"), list);
    EXPECT_EQ(inodeOf(calibPath("table1.dat")), copy);
    EXPECT_EQ(inodeOf(calibPath("calib001.ini")), listNode);
}

TEST_F(CalibDirTest, MissingCopy)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    ASSERT_EQ(calibrate(1), CAL_OK);
    ASSERT_EQ(unlink(calibPath("table1.dat").c_str()), 0);
    EXPECT_EQ(entryProblems(scan()), "1:missing");
    const ino_t healthy = inodeOf(calibPath("table2.dat"));
    repairAndRebuild({0, 1});
    EXPECT_EQ(inodeOf(calibPath("table2.dat")), healthy); // the healthy entry's copy was never touched
}

TEST_F(CalibDirTest, SymbolicLinkInPlaceOfACopy)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    ASSERT_EQ(unlink(calibPath("table1.dat").c_str()), 0);
    ASSERT_EQ(symlink((sourceDir + "/Table0.dat").c_str(), calibPath("table1.dat").c_str()), 0);
    EXPECT_EQ(entryProblems(scan()), "1:not_regular");
    repairAndRebuild({0});
    struct stat st;
    ASSERT_EQ(lstat(calibPath("table1.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(access((sourceDir + "/Table0.dat").c_str(), R_OK), 0); // the link went, not what it pointed at
}

TEST_F(CalibDirTest, StaleCopy)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    std::string copy = read("table1.dat");
    copy[kzfile::getU32(sample, 4) + 8] ^= 0x20; // one letter of the identification string
    write("table1.dat", copy);
    EXPECT_EQ(entryProblems(scan()), "1:stale");
    repairAndRebuild({0});
}

TEST_F(CalibDirTest, CopyIdenticalToItsSourceWasNeverCalibrated)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    write("table1.dat", std::string(sample.begin(), sample.end()));
    EXPECT_EQ(entryProblems(scan()), "1:uncalibrated");
    repairAndRebuild({0});
    EXPECT_NE(read("table1.dat"), std::string(sample.begin(), sample.end()));
}

TEST_F(CalibDirTest, NameListedByTwoLists)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    write("calib002.ini", "2,0,0,0,table1.dat\r\n");
    cli::DirReport r = scan();
    EXPECT_EQ(entryProblems(r), "1:duplicate_name 1:duplicate_name");
    cli::RepairResult fixed = cli::repairDirectory(r);
    EXPECT_FALSE(fixed.failed);
    EXPECT_EQ(calibrate(0), CAL_OK);
    EXPECT_EQ(calibrate(0, nullptr, 2), CAL_OK);
    cli::DirReport after = scan();
    EXPECT_EQ(after.problems, 0) << entryProblems(after);
}

TEST_F(CalibDirTest, NameListedTwiceInOneList)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    write("calib001.ini", read("calib001.ini") + "1,5,0,0,table1.dat\r\n");
    EXPECT_EQ(entryProblems(scan()), "1:duplicate_name 2:duplicate_name");
    repairAndRebuild({0, 5});
}

TEST_F(CalibDirTest, DuplicateKeyAndEntryOfAnotherListNumber)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    write("table7.dat", read("table1.dat"));
    write("table8.dat", read("table1.dat"));
    write("calib001.ini", read("calib001.ini") + "1,0,0,0,table7.dat\r\n3,9,0,0,table8.dat\r\n");
    EXPECT_EQ(entryProblems(scan()), "2:duplicate_key 3:wrong_list");
    const ino_t healthy = inodeOf(calibPath("table1.dat"));
    repairAndRebuild({0});
    EXPECT_EQ(read("calib001.ini"), "1,0,0,0,table1.dat\r\n");
    EXPECT_EQ(inodeOf(calibPath("table1.dat")), healthy);
    EXPECT_NE(access(calibPath("table7.dat").c_str(), F_OK), 0);
}

TEST_F(CalibDirTest, MalformedLineMakesTheListUnusableAndRepairKeepsTheGoodLines)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    ASSERT_EQ(calibrate(1), CAL_OK);
    const std::string good = read("calib001.ini");
    write("calib001.ini", good + "8,1,2\r\n");
    cli::DirReport r = scan();
    EXPECT_FALSE(r.lists[0].usable);
    EXPECT_EQ(entryProblems(r), "3:malformed");
    cli::RepairResult fixed = cli::repairDirectory(r);
    EXPECT_EQ(fixed.rewritten, std::vector<std::string>{"calib001.ini"});
    EXPECT_EQ(read("calib001.ini"), good);
    EXPECT_NE(access(calibPath(CAL_TEMP_LIST_NAME).c_str(), F_OK), 0);
    EXPECT_EQ(scan().problems, 0);
}

TEST_F(CalibDirTest, LinesTheModuleNeverReads)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    write("table5.dat", read("table1.dat"));
    write("calib001.ini", read("calib001.ini") + "1,5,0,0,table5.dat"); // no line end
    cli::DirReport r = scan();
    EXPECT_EQ(entryProblems(r), "2:unread");
    ASSERT_EQ(r.lists[0].badLines.size(), 1u);
    EXPECT_EQ(r.lists[0].badLines[0].unread, "it has no line end");
    repairAndRebuild({0, 5});
    EXPECT_EQ(read("calib001.ini").find("table5.dat1,"), std::string::npos);
}

TEST_F(CalibDirTest, OrphansAndLeftoversOfAnInterruptedCall)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    write("table9.dat", read("table1.dat"));
    write(CAL_TEMP_COPY_NAME, "half a copy");
    write(CAL_TEMP_LIST_NAME, "1,0,0,0,tab");
    cli::DirReport r = scan();
    EXPECT_EQ(r.orphans, std::vector<std::string>{"table9.dat"});
    EXPECT_EQ(r.temporaries.size(), 2u);
    EXPECT_EQ(r.problems, 3);
    repairAndRebuild({0});
    EXPECT_NE(access(calibPath("table9.dat").c_str(), F_OK), 0);
}

// A directory shared with Windows callers holds their lock file: it is no
// orphan, and a repair leaves it where it is.
TEST_F(CalibDirTest, TheWindowsLockFileIsPartOfAHealthyDirectory)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    write(cli::kLockFileName, "");
    write("table9.dat", read("table1.dat"));
    cli::DirReport r = scan();
    EXPECT_EQ(r.orphans, std::vector<std::string>{"table9.dat"});
    EXPECT_TRUE(r.temporaries.empty());
    EXPECT_EQ(r.problems, 1);
    cli::RepairResult fixed = cli::repairDirectory(r);
    EXPECT_EQ(fixed.removed, std::vector<std::string>{"table9.dat"});
    EXPECT_EQ(access(calibPath(cli::kLockFileName).c_str(), F_OK), 0);
    EXPECT_EQ(scan().problems, 0);
}

TEST_F(CalibDirTest, CopyWithoutASourceIsReportedButKept)
{
    ASSERT_EQ(calibrate(0), CAL_OK);
    write("other1.dat", read("table1.dat"));
    write("calib001.ini", read("calib001.ini") + "1,3,0,0,other1.dat\r\n");
    EXPECT_EQ(entryProblems(scan()), "2:no_source");
    cli::RepairResult fixed = cli::repairDirectory(scan());
    EXPECT_EQ(fixed.left.size(), 1u);
    EXPECT_EQ(access(calibPath("other1.dat").c_str(), F_OK), 0);
}

TEST_F(CalibDirTest, LockIsTheModulesAndItsWaitIsBounded)
{
    int held = open(calibDir.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    std::string error;
    EXPECT_EQ(cli::lockDirectory(calibDir, 100, &error), nullptr);
    EXPECT_NE(error.find("still held by another call"), std::string::npos) << error;
    // A call of the module waits for the same lock; released, everyone gets it.
    flock(held, LOCK_UN);
    void *lock = cli::lockDirectory(calibDir, 100, &error);
    EXPECT_NE(lock, nullptr) << error;
    cli::unlockDirectory(lock);
    close(held);
    EXPECT_EQ(cli::lockDirectory(root + "/nowhere", 100, &error), nullptr);
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST(ListRead, ReadsLinesAsTheModuleDoes)
{
    cli::ListText t = cli::readListText(" 1 , 2,3,4, abc1.dat\r\n\r\n1,-,3,4,abc2.dat\n1,,3,4,abc3.dat\r"
                                        "1,2,3,4,abc1.dat,x\r\n1,2\r\n   \r\n1,2,3,4,abc4.dat");
    ASSERT_EQ(t.lines.size(), 7u);
    EXPECT_TRUE(t.lines[0].wellFormed);
    EXPECT_EQ(t.lines[0].name, "abc1.dat");
    EXPECT_EQ(t.lines[1].param1, -1);
    EXPECT_EQ(t.lines[2].param1, 0);
    EXPECT_EQ(t.lines[3].problem, "more than five fields");
    EXPECT_EQ(t.lines[4].problem, "2 fields instead of five");
    EXPECT_FALSE(t.lines[5].wellFormed); // blanks only: a line, and malformed
    EXPECT_FALSE(t.lines[6].read);
    EXPECT_FALSE(t.usable);

    std::string many;
    for (int i = 0; i < 130; ++i) {
        many += "1," + std::to_string(i) + ",0,0,t1.dat\r\n";
    }
    cli::ListText m = cli::readListText(many + std::string("\0", 1) + "1,1,1,1,t2.dat\r\n");
    ASSERT_EQ(m.lines.size(), 131u);
    EXPECT_TRUE(m.lines[127].read);
    EXPECT_FALSE(m.lines[128].read);
    EXPECT_FALSE(m.lines[130].read);
    EXPECT_TRUE(m.usable);
    cli::ListText z = cli::readListText(std::string("1,1,1,1,t1.dat\0", 15) + "\r\n1,2,2,2,t2.dat\r\n");
    EXPECT_TRUE(z.lines[0].read);
    EXPECT_FALSE(z.lines[1].read);
    EXPECT_EQ(z.lines[1].unread, "it follows a zero byte, where the module stops reading");

    EXPECT_TRUE(cli::isListFileName("calib001.ini"));
    EXPECT_TRUE(cli::isListFileName("ab,de4294967295.ini"));
    EXPECT_FALSE(cli::isListFileName("calib01.ini"));
    EXPECT_FALSE(cli::isListFileName("calib00x.ini"));
    EXPECT_EQ(cli::listFileName("calib", -1), "calib4294967295.ini");
}

} // namespace
