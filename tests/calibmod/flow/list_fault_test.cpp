// Every file operation of a whole call failed in turn, and every read and
// write cut one byte short, in the states that write a list: a new entry
// (append), a new entry that recycles the oldest (rewrite) and a new list
// beside another list. Whatever fails, no entry is lost that the call did
// not replace, every list stays whole, the call answers its copy or the
// caller's own file, and afterwards every key answers its own copy. A
// failure to open or read the list ends the call with the list untouched.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "cal_harness.h"
#include "cal_types.h"
#include "fake_platform.h"
#include "flow_fixture.h"
#include "temp_dir.h"

namespace {

using kzfile::Bytes;

KeyedCall keyed(int16_t list, int32_t p1, int32_t p2, int32_t p3, size_t idSet)
{
    static const std::vector<std::vector<int16_t>> sets = distinctIdSets(flowSource("KZ-CAL 1"), 12);
    KeyedCall c;
    c.key = CalKey{list, p1, p2, p3};
    for (int i = 0; i < 6; ++i) {
        c.ids[i] = sets[idSet % sets.size()][static_cast<size_t>(i)];
    }
    return c;
}

std::string listName(int16_t list)
{
    char buf[16];
    snprintf(buf, sizeof buf, "abcde%03d.ini", list);
    return buf;
}

struct ListCase {
    const char *name;
    int listed;            // keys of list 7 made before the call (34 and the other list's: every candidate taken)
    bool replacesOldest;   // the call recycles the oldest of them
    const char *listWrite; // the file that the call's list write goes to
};

void PrintTo(const ListCase &c, std::ostream *os)
{
    *os << c.name;
}

const ListCase kCases[] = {
    {"NewList", 0, false, "~kz,list.tmp"},
    {"NewEntryAppends", 3, false, "abcde007.ini"},
    {"NewEntryRewrites", 34, true, "~kz,list.tmp"},
};

enum class Fault {
    FileOp,
    ShortIo
};

class ListFaults : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListFaults, NoEntryIsLostThatTheCallDidNotReplace)
{
    const ListCase &k = GetParam();
    TempDir source;
    TempDir prepared;
    const Bytes src = flowSource("KZ-CAL 1");
    source.write("Table0.dat", std::string(src.begin(), src.end()));
    // Another list's key besides those of the call's own list.
    std::vector<KeyedCall> listed{keyed(8, 1, 0, 0, 11)};
    for (int i = 0; i < k.listed; ++i) {
        listed.push_back(keyed(7, 100 + i, 0, 0, static_cast<size_t>(1 + i % 10)));
    }
    for (const KeyedCall &c : listed) {
        ASSERT_EQ(CAL_OK, calibrateKey(nullptr, c, source.wide(), prepared.wide()).rc);
    }
    const DirSnapshot before = snapshotDir(prepared.path());
    const DirLists listsBefore = readDirLists(prepared.path());
    for (const KeyedCall &c : listed) {
        ASSERT_NE("", listsBefore.nameOf(listName(c.key.listNumber), c.key));
    }
    const KeyedCall victim = keyed(7, 1, 2, 3, 0);
    const size_t replaced = k.replacesOldest ? 1 : listed.size(); // listed[1] is the oldest of list 7

    std::set<std::string> faulted; // the operations on lists that were failed
    long injected = 0;
    for (Fault fault : {Fault::FileOp, Fault::ShortIo}) {
        for (long n = 1;; ++n) {
            TempDir calib;
            restoreDir(calib.path(), before);
            FakePlatform fake;
            fake.flushSkipsSync = true;
            fake.logOps = true;
            if (fault == Fault::FileOp) {
                fake.failFileOpAt = n;
            }
            if (fault == Fault::ShortIo) {
                fake.shortIoAt = n;
            }
            CallResult r = calibrateKey(fake.platform(), victim, source.wide(), calib.wide());
            const bool clean = fault == Fault::FileOp ? fake.fileOps < n : fake.ioCalls < n;
            std::string op;
            if (fault == Fault::FileOp && !clean) {
                op = fake.opLog[static_cast<size_t>(n - 1)];
            }
            const std::string at = std::string(k.name) + (fault == Fault::FileOp ? " failed " : " short io ") +
                                   std::to_string(n) + " " + op;
            if (op.find(".ini") != std::string::npos || op.find("~kz,list") != std::string::npos) {
                faulted.insert(op.substr(0, op.find(' ')) + " " +
                               (op.find("~kz,list") != std::string::npos ? "temporary list" : "list"));
            }
            EXPECT_EQ(0, fake.openHandles) << at;
            EXPECT_EQ(0, fake.outstandingAllocs) << at;

            if (r.rc == CAL_OK) {
                EXPECT_EQ(freshCopy(src, victim.ids), bytesOf(calib.read(r.name))) << at << ": " << r.name;
            } else {
                EXPECT_EQ(CAL_ERR_FILE, r.rc) << at;
                EXPECT_EQ(failureName(victim), r.nameBytes) << at;
            }
            // Failing to open or read the list itself: the list is left as it was.
            if (r.rc != CAL_OK && (op == "open abcde007.ini" || op == "read abcde007.ini") && fake.firstOp(op) == n) {
                EXPECT_EQ("", snapshotDiff(before, snapshotDir(calib.path()))) << at;
            }
            DirLists lists = readDirLists(calib.path());
            EXPECT_EQ("", lists.problem) << at;
            for (size_t i = 0; i < listed.size(); ++i) {
                if (i == replaced) {
                    continue;
                }
                const CalKey &key = listed[i].key;
                EXPECT_EQ(listsBefore.nameOf(listName(key.listNumber), key),
                          lists.nameOf(listName(key.listNumber), key))
                    << at << ": entry " << key.str();
            }
            if (clean) {
                EXPECT_EQ(CAL_OK, r.rc) << at;
                break;
            }
            ++injected;
            // Afterwards every key answers its own copy: the ones kept, the
            // call's key, then the one it may have replaced.
            std::vector<size_t> order;
            for (size_t i = 0; i < listed.size(); ++i) {
                if (i != replaced) {
                    order.push_back(i);
                }
            }
            for (size_t i : order) {
                CallResult o = calibrateQuick(listed[i], source.wide(), calib.wide());
                ASSERT_EQ(CAL_OK, o.rc) << at << ": key " << listed[i].key.str();
                EXPECT_EQ(freshCopy(src, listed[i].ids), bytesOf(calib.read(o.name))) << at << ": " << o.name;
            }
            CallResult again = calibrateQuick(victim, source.wide(), calib.wide());
            ASSERT_EQ(CAL_OK, again.rc) << at;
            EXPECT_EQ(freshCopy(src, victim.ids), bytesOf(calib.read(again.name))) << at;
            if (replaced < listed.size()) {
                CallResult o = calibrateQuick(listed[replaced], source.wide(), calib.wide());
                ASSERT_EQ(CAL_OK, o.rc) << at;
                EXPECT_EQ(freshCopy(src, listed[replaced].ids), bytesOf(calib.read(o.name))) << at;
            }
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
    }
    // The sweep reached every kind of list operation the call makes.
    for (const char *want : {"open list", "read list", "open temporary list"}) {
        if (std::string(want) == "open temporary list" && std::string(k.listWrite) != "~kz,list.tmp") {
            continue;
        }
        EXPECT_TRUE(faulted.count(want)) << want;
    }
    const std::string write =
        std::string("write ") + (std::string(k.listWrite) == "abcde007.ini" ? "list" : "temporary list");
    EXPECT_TRUE(faulted.count(write)) << write;
    std::string seen;
    for (const std::string &f : faulted) {
        seen += f + "; ";
    }
    printf("list faults %s: %ld faults; list operations among them: %s\n", k.name, injected, seen.c_str());
}

INSTANTIATE_TEST_SUITE_P(States, ListFaults, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ListCase> &i) { return std::string(i.param.name); });

// Too many open files (or any refusal but "not there") when the list is
// opened: the call answers the caller's own file and changes nothing; it
// never starts a new list over the entries.
TEST(ListFailSafe, ARefusedListOpenAnswersTheCallersFileAndChangesNothing)
{
    TempDir source;
    TempDir calib;
    const Bytes src = flowSource("KZ-CAL 1");
    source.write("Table0.dat", std::string(src.begin(), src.end()));
    const KeyedCall listedKey = keyed(7, 9, 0, 0, 1);
    ASSERT_EQ(CAL_OK, calibrateKey(nullptr, listedKey, source.wide(), calib.wide()).rc);
    const DirSnapshot before = snapshotDir(calib.path());

    for (const KeyedCall &c : {keyed(7, 1, 2, 3, 0), listedKey}) {
        // Where the list is opened, found on a copy of the directory.
        TempDir scratch;
        restoreDir(scratch.path(), before);
        FakePlatform probe;
        probe.logOps = true;
        calibrateKey(probe.platform(), c, source.wide(), scratch.wide());
        const long listOpen = probe.firstOp("open abcde007.ini");
        ASSERT_GT(listOpen, 0);

        FakePlatform fake;
        fake.failFileOpAt = listOpen;
        fake.failedOpenIs = CAL_IO_ERROR;
        CallResult r = calibrateKey(fake.platform(), c, source.wide(), calib.wide());
        EXPECT_EQ(CAL_ERR_FILE, r.rc) << c.key.str();
        EXPECT_EQ(failureName(c), r.nameBytes) << c.key.str();
        EXPECT_EQ("", snapshotDiff(before, snapshotDir(calib.path()))) << c.key.str();
        EXPECT_EQ(0, fake.writes);
    }
    // Once the open succeeds again, the listed key is found.
    CallResult r = calibrateKey(nullptr, listedKey, source.wide(), calib.wide());
    EXPECT_EQ(CAL_OK, r.rc);
    EXPECT_EQ("table1.dat", r.name);
}

} // namespace
