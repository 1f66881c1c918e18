// A call killed at every file operation in turn. A forked child makes one
// KZCalibration call on the test platform, which kills it (SIGKILL) at the
// n-th file operation, for every n until the call runs to its end. After
// each kill: every list parses and keeps every entry the call did not
// replace; the next call for the key answers what a fresh directory gives
// it (or the caller's own file with CAL_ERR_FILE) and leaves no temporary
// file; every other listed key still answers its own copy.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>

#include "cal_harness.h"
#include "cal_types.h"
#include "fake_platform.h"
#include "flow_fixture.h"
#include "temp_dir.h"

namespace {

using kzfile::Bytes;

const char *kCandidates = "123456789abcdefghijklmnopqrstuvwxyz";

// The id sets that keys of a scene cycle through; each gives its own copy.
const std::vector<std::vector<int16_t>> &idSets()
{
    static const std::vector<std::vector<int16_t>> sets = distinctIdSets(flowSource("KZ-CAL 1"), 12);
    return sets;
}

KeyedCall keyed(int16_t list, int32_t p1, int32_t p2, int32_t p3, size_t idSet)
{
    KeyedCall c;
    c.key.listNumber = list;
    c.key.param1 = p1;
    c.key.param2 = p2;
    c.key.param3 = p3;
    const std::vector<int16_t> &ids = idSets()[idSet % idSets().size()];
    for (int i = 0; i < 6; ++i) {
        c.ids[i] = ids[static_cast<size_t>(i)];
    }
    return c;
}

std::string listName(int16_t list)
{
    char buf[16];
    snprintf(buf, sizeof buf, "abcde%03d.ini", list);
    return buf;
}

// A directory state to kill a call in, and the call.
struct CrashScene {
    TempDir source;
    TempDir calib;
    KeyedCall victim = keyed(7, 1, 2, 3, 0);
    std::vector<KeyedCall> listed; // keys listed before the call
    bool mayReplaceOldest = false; // the call recycles the oldest similar entry of its list

    CrashScene() { setSource("KZ-CAL 1"); }
    void setSource(const std::string &ident)
    {
        Bytes b = flowSource(ident);
        source.write("Table0.dat", std::string(b.begin(), b.end()));
    }
    Bytes sourceBytes() const { return bytesOf(source.read("Table0.dat")); }
    // A key made listed by a real call.
    void add(const KeyedCall &c)
    {
        CallResult r = calibrateKey(nullptr, c, source.wide(), calib.wide());
        if (r.rc != CAL_OK) {
            throw std::runtime_error("preparing a scene failed");
        }
        listed.push_back(c);
    }
};

struct CrashCase {
    const char *name;
    std::function<void(CrashScene &)> prepare;
};

void PrintTo(const CrashCase &c, std::ostream *os)
{
    *os << c.name;
}

const CrashCase kCases[] = {
    {"NewList", [](CrashScene &s) { s.add(keyed(8, 1, 0, 0, 1)); }},
    {"NewEntry",
     [](CrashScene &s) {
         s.add(keyed(7, 9, 0, 0, 1));
         s.add(keyed(7, 9, 0, 1, 2));
         s.add(keyed(8, 1, 0, 0, 3));
     }},
    {"RefreshStale",
     [](CrashScene &s) {
         s.add(keyed(7, 9, 0, 0, 1));
         s.add(s.victim);
         s.add(keyed(8, 1, 0, 0, 3));
         s.listed.erase(s.listed.begin() + 1); // the victim itself is the key refreshed
         s.setSource("KZ-CAL 2");              // every copy is stale now
     }},
    {"RefreshMissing",
     [](CrashScene &s) {
         s.add(keyed(7, 9, 0, 0, 1));
         s.add(s.victim);
         s.add(keyed(8, 1, 0, 0, 3));
         s.listed.erase(s.listed.begin() + 1);
         s.calib.remove("table2.dat");
     }},
    {"RewriteRecycling",
     [](CrashScene &s) {
         // 35 similar entries: every candidate is taken, the oldest gives way.
         for (int i = 0; i < 35; ++i) {
             s.add(keyed(7, 100 + i, 0, 0, static_cast<size_t>(1 + i % 11)));
         }
         s.mayReplaceOldest = true;
     }},
    {"OrphanReuse",
     [](CrashScene &s) {
         // Nine listed copies, every other candidate held by a file no list names.
         for (int i = 0; i < 9; ++i) {
             s.add(keyed(7, 100 + i, 0, 0, static_cast<size_t>(1 + i)));
         }
         for (const char *c = kCandidates + 9; *c; ++c) {
             s.calib.write(std::string("table") + *c + ".dat", "left by a stopped call");
         }
     }},
};

class CrashHarness : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashHarness, EveryKillPointLeavesEveryKeyItsOwnCopy)
{
    const CrashCase &k = GetParam();
    CrashScene scene;
    k.prepare(scene);
    const DirSnapshot before = snapshotDir(scene.calib.path());
    const DirLists listsBefore = readDirLists(scene.calib.path());
    ASSERT_EQ("", listsBefore.problem);
    for (const KeyedCall &c : scene.listed) {
        ASSERT_NE("", listsBefore.nameOf(listName(c.key.listNumber), c.key));
    }
    const Bytes source = scene.sourceBytes();

    // The oldest similar entry of the victim's list, which a recycling call replaces.
    size_t oldest = scene.listed.size();
    if (scene.mayReplaceOldest) {
        oldest = 0;
    }

    long kills = 0;
    int fileErrors = 0;
    for (long n = 1;; ++n) {
        TempDir calib;
        restoreDir(calib.path(), before);
        const KeyedCall victim = scene.victim;
        ChildStatus child = runInChild(
            [&] {
                FakePlatform fake;
                fake.flushSkipsSync = true;
                fake.killAtFileOp = n;
                CallResult r = calibrateKey(fake.platform(), victim, scene.source.wide(), calib.wide());
                return r.rc == CAL_OK ? 0 : 1;
            },
            60);
        const std::string at = std::string(k.name) + " kill at file operation " + std::to_string(n);
        if (child.exited) {
            EXPECT_EQ(0, child.code) << at << ": the call ran to its end and failed";
            break;
        }
        ASSERT_EQ(SIGKILL, child.signal) << at;
        ++kills;

        // Right after the kill: every list whole, every entry that the call
        // does not replace still there under its name.
        DirLists lists = readDirLists(calib.path());
        EXPECT_EQ("", lists.problem) << at;
        for (size_t i = 0; i < scene.listed.size(); ++i) {
            if (i == oldest) {
                continue;
            }
            const CalKey &key = scene.listed[i].key;
            const std::string list = listName(key.listNumber);
            EXPECT_EQ(listsBefore.nameOf(list, key), lists.nameOf(list, key)) << at << ": entry " << key.str();
        }

        // The next call for the key: its copy, or the caller's own file.
        CallResult next = calibrateQuick(victim, scene.source.wide(), calib.wide());
        if (next.rc == CAL_OK) {
            EXPECT_EQ(freshCopy(source, victim.ids), bytesOf(calib.read(next.name))) << at << ": " << next.name;
        } else {
            ++fileErrors;
            EXPECT_EQ(CAL_ERR_FILE, next.rc) << at;
            EXPECT_EQ(failureName(victim), next.nameBytes) << at;
        }
        for (const std::string &name : readDirLists(calib.path()).otherNames) {
            EXPECT_EQ(std::string::npos, name.find("~kz,")) << at << ": " << name << " left behind";
        }

        // Every other listed key answers its own copy; the replaced one last,
        // since calling it recycles another.
        std::vector<size_t> order;
        for (size_t i = 0; i < scene.listed.size(); ++i) {
            if (i != oldest) {
                order.push_back(i);
            }
        }
        if (oldest < scene.listed.size()) {
            order.push_back(oldest);
        }
        for (size_t i : order) {
            const KeyedCall &other = scene.listed[i];
            CallResult r = calibrateQuick(other, scene.source.wide(), calib.wide());
            ASSERT_EQ(CAL_OK, r.rc) << at << ": key " << other.key.str();
            EXPECT_EQ(freshCopy(source, other.ids), bytesOf(calib.read(r.name)))
                << at << ": key " << other.key.str() << " answered " << r.name;
        }
        // And the key itself again, now that the others have been called.
        CallResult again = calibrateQuick(victim, scene.source.wide(), calib.wide());
        ASSERT_EQ(CAL_OK, again.rc) << at;
        EXPECT_EQ(freshCopy(source, victim.ids), bytesOf(calib.read(again.name))) << at;
        EXPECT_EQ("", readDirLists(calib.path()).problem) << at;
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
    EXPECT_GT(kills, 10) << "the call was killed at every file operation it makes";
    RecordProperty("kill_points", static_cast<int>(kills));
    RecordProperty("next_call_file_errors", fileErrors);
    printf("crash %s: %ld kill points, next call CAL_ERR_FILE %d times\n", k.name, kills, fileErrors);
}

INSTANTIATE_TEST_SUITE_P(States, CrashHarness, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CrashCase> &i) { return std::string(i.param.name); });

} // namespace
