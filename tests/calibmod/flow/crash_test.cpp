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
#include "crash_scenes.h"
#include "fake_platform.h"
#include "flow_fixture.h"
#include "temp_dir.h"

namespace {

using kzfile::Bytes;

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
        ASSERT_NE("", listsBefore.nameOf(crashListName(c.key.listNumber), c.key));
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
            const std::string list = crashListName(key.listNumber);
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

INSTANTIATE_TEST_SUITE_P(States, CrashHarness, ::testing::ValuesIn(crashCases()),
                         [](const ::testing::TestParamInfo<CrashCase> &i) { return std::string(i.param.name); });

} // namespace
