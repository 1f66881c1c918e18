// calibmod-cli check against the module: the same hostile directories go
// through a real KZCalibration call and through the check, and they must
// agree. An entry the check calls healthy is one a call for its key answers
// with its name without changing a file; every other entry is one such a
// call rebuilds, moves or drops. A repair never removes the list or the
// copy of an entry a call answers from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_types.h"
#include "calibmod.h"
#include "check_fixture.h"
#include "list_file.h"
#include "copy.h"

namespace {

class AgreementTest : public CalibDirTest {
protected:
    // Every name of the calibration directory with its kind and content.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> files;
        DIR *d = opendir(calibDir.c_str());
        while (dirent *e = d ? readdir(d) : nullptr) {
            std::string name = e->d_name;
            struct stat st;
            if (name == "." || name == ".." || lstat(calibPath(name).c_str(), &st) != 0) {
                continue;
            }
            files[name] = S_ISREG(st.st_mode) ? "file:" + read(name) : S_ISLNK(st.st_mode) ? "link" : "other";
        }
        if (d) {
            closedir(d);
        }
        return files;
    }

    void rebuild(const std::function<void()> &build)
    {
        ASSERT_EQ(system(("rm -rf '" + calibDir + "' && mkdir '" + calibDir + "'").c_str()), 0);
        build();
    }

    int call(const cli::ListLine &key, std::string *name)
    {
        CalibRequest request{key.listNumber, 1, key.param1, key.param2, key.param3};
        CalibNames names;
        std::memset(&names, 0, sizeof names);
        std::strcpy(names.sourceName, "Table0.dat");
        std::memcpy(names.listPrefix, "calib", 5);
        const int16_t ids[6] = {-3, -3, -3, -3, 0, 0};
        int rc = KZCalibration(&request, &names, ids, cli::wideDir(sourceDir).c_str(), cli::wideDir(calibDir).c_str());
        *name = std::string(names.resultName, strnlen(names.resultName, sizeof names.resultName));
        return rc;
    }

    // Builds the directory afresh for the check and for every read entry's
    // call, and compares the verdicts; then repairs and looks for the lists
    // and copies of the healthy entries.
    void expectAgreement(const char *what, const std::function<void()> &build)
    {
        SCOPED_TRACE(what);
        rebuild(build);
        const cli::DirReport report = scan();
        std::vector<std::string> kept;
        for (const cli::ListReport &l : report.lists) {
            for (const cli::EntryReport &e : l.entries) {
                const bool healthy =
                    e.copy.verdict == cli::COPY_HEALTHY && !e.duplicateName && !e.duplicateKey && !e.wrongList;
                if (healthy && e.line.read) {
                    kept.push_back(l.name);
                    kept.push_back(e.line.name);
                }
                // Only the list a call opens answers its keys.
                if (!e.line.read || l.name != cli::listFileName("calib", e.line.listNumber)) {
                    continue;
                }
                rebuild(build);
                const auto before = snapshot();
                std::string name;
                const bool untouched = call(e.line, &name) == CAL_OK && name == e.line.name && snapshot() == before;
                EXPECT_EQ(healthy, untouched)
                    << l.name << " line " << e.line.number << " (" << e.line.name << "): check says "
                    << cli::verdictName(e.copy.verdict) << (e.duplicateName ? " duplicate_name" : "")
                    << (e.duplicateKey ? " duplicate_key" : "");
            }
        }
        rebuild(build);
        const auto before = snapshot();
        cli::repairDirectory(scan());
        for (const std::string &name : kept) {
            if (before.count(name) && before.at(name) != "other") {
                EXPECT_TRUE(snapshot().count(name)) << "the repair removed " << name;
            }
        }
    }

    void append(const std::string &name, const std::string &bytes) const
    {
        std::ofstream(calibPath(name), std::ios::binary | std::ios::app) << bytes;
    }
};

TEST_F(AgreementTest, HostileDirectoriesGetTheCallsVerdict)
{
    const std::string line0 = "1,0,0,0,table1.dat\r\n", line1 = "1,1,0,0,table2.dat\r\n";
    auto two = [&] {
        ASSERT_EQ(calibrate(0), CAL_OK);
        ASSERT_EQ(calibrate(1), CAL_OK);
    };
    expectAgreement("healthy", two);
    expectAgreement("one name for two keys", [&] {
        two();
        write("calib001.ini", line0 + "1,1,0,0,table1.dat\r\n");
    });
    expectAgreement("one key twice", [&] {
        two();
        write("calib001.ini", line0 + "1,0,0,0,table2.dat\r\n");
    });
    expectAgreement("a truncated copy", [&] {
        two();
        ASSERT_EQ(truncate(calibPath("table2.dat").c_str(), 100), 0);
    });
    expectAgreement("a copy of another size", [&] {
        two();
        append("table2.dat", "x");
    });
    expectAgreement("a partial last line", [&] {
        two();
        write("calib001.ini", line0 + "1,1,0,0,table2.dat");
    });
    expectAgreement("a zero byte", [&] {
        two();
        write("calib001.ini", line0 + std::string("\0", 1) + line1);
    });
    expectAgreement("a FIFO at a copy name", [&] {
        two();
        unlink(calibPath("table2.dat").c_str());
        ASSERT_EQ(mkfifo(calibPath("table2.dat").c_str(), 0644), 0);
    });
    expectAgreement("a symbolic link at a copy name", [&] {
        two();
        unlink(calibPath("table2.dat").c_str());
        ASSERT_EQ(symlink("table1.dat", calibPath("table2.dat").c_str()), 0);
    });
    expectAgreement("temporaries and the lock file", [&] {
        two();
        write(CAL_TEMP_COPY_NAME, "half a copy");
        write(CAL_TEMP_LIST_NAME, "1,0,0,0,tab");
        write("~kz,lock", "");
    });
}

TEST_F(AgreementTest, MoreLinesThanACallReads)
{
    expectAgreement("130 lines", [&] {
        ASSERT_EQ(calibrate(0), CAL_OK);
        std::string text = "1,0,0,0,table1.dat\r\n";
        for (int k = 1; k < 130; ++k) {
            text += "1," + std::to_string(k) + ",0,0,t" + std::to_string(k) + ".dat\r\n";
        }
        write("calib001.ini", text);
    });
}

// A list whose name ends in ".INI" is a list to the module (as on Windows,
// where it is the list of its number): its names are never given to another
// key, and the check reads it as a list, so the repair keeps it and its copy.
TEST_F(AgreementTest, UpperCaseListIsAListToBoth)
{
    auto build = [&] {
        std::string name;
        ASSERT_EQ(calibrate(0, &name, 7), CAL_OK);
        ASSERT_EQ(name, "table1.dat");
        ASSERT_EQ(rename(calibPath("calib007.ini").c_str(), calibPath("calib007.INI").c_str()), 0);
    };
    expectAgreement("calib007.INI", build);
    rebuild(build);
    cli::DirReport r = scan();
    ASSERT_EQ(r.lists.size(), 1u);
    EXPECT_EQ(r.lists[0].name, "calib007.INI");
    EXPECT_TRUE(r.orphans.empty());
    EXPECT_EQ(r.problems, 0) << entryProblems(r);
    cli::RepairResult fixed = cli::repairDirectory(r);
    EXPECT_TRUE(fixed.removed.empty());
    EXPECT_EQ(read("calib007.INI"), "7,0,0,0,table1.dat\r\n");
    // A call of that list takes its names as taken, as the check does.
    const std::string copy = read("table1.dat");
    std::string name;
    ASSERT_EQ(calibrate(0, &name, 7), CAL_OK);
    EXPECT_NE(name, "table1.dat");
    EXPECT_EQ(read("table1.dat"), copy);
}

} // namespace
