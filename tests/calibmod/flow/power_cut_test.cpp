// The power cut at every file operation of a call, and right after it.
//
// The call runs on the power-cut platform, which knows what the system was
// asked to sync. The power goes at the n-th file operation (or at the first
// one after the call returned); a restart finds the synced state plus a
// random, seeded part of what was not synced, files torn at sector bounds.
// Then: every entry complete before the call is still listed and its copy
// unchanged; a call that had returned CAL_OK still has its copy; the next
// call for the key answers its own copy (or a sound CAL_ERR_FILE); every
// other key answers its own copy; and the lists end strictly sound.
#include <gtest/gtest.h>

#include <cstdio>

#include "cal_harness.h"
#include "cal_types.h"
#include "crash_scenes.h"
#include "file_layer.h"
#include "power_cut.h"
#include "temp_dir.h"

namespace {

using kzfile::Bytes;

const int kSeeds = 5; // restarts per cut point, each choosing differently

// The entries of the list text's whole lines that parse; a line the cut
// tore (or zeros in its place) is left out.
std::vector<ListedEntry> linesWhole(const std::string &text)
{
    std::vector<ListedEntry> out;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::vector<ListedEntry> one;
        std::string why;
        if (parseListText(text.substr(at, end + 2 - at), &one, &why)) {
            out.insert(out.end(), one.begin(), one.end());
        }
    }
    return out;
}

std::string nameListed(const TempDir &calib, const CalKey &key)
{
    for (const ListedEntry &e : linesWhole(calib.read(crashListName(key.listNumber)))) {
        if (e.key == key) {
            return e.name;
        }
    }
    return "";
}

// File layer: a file made under a temporary name, flushed and renamed,
// survives a power cut after the rename returns; without the flush, or
// cut before the rename is synced, the restart can find it lost or torn.
// (This is what keeps the sweep below from passing on a model that makes
// everything durable.)
class PowerCutFiles : public ::testing::Test {
protected:
    // Writes 3000 bytes under "~new.tmp", flushes them when flush is set,
    // and renames them over "a.dat", on the power-cut platform. The code of
    // the rename (which syncs the directory).
    int16_t make(PowerCut &pc, bool flush)
    {
        FileRef f;
        fileInit(&f, pc.platform());
        EXPECT_EQ(CAL_OK, fileCreateNew(&f, dir.wide(), "~new.tmp"));
        EXPECT_EQ(CAL_OK, fileWrite(&f, fresh.data(), static_cast<int32_t>(fresh.size())));
        if (flush) {
            EXPECT_EQ(CAL_OK, fileFlush(&f));
        }
        fileClose(&f);
        return fileRenameNamed(pc.platform(), dir.wide(), "~new.tmp", "a.dat");
    }

    TempDir dir;
    const std::string old = std::string(700, 'o');
    const std::string fresh = std::string(3000, 'n');
};

TEST_F(PowerCutFiles, FlushedAndRenamedSurvivesEveryCut)
{
    for (uint64_t seed = 1; seed <= 16; ++seed) {
        dir.write("a.dat", old);
        dir.remove("~new.tmp"); // a restart may have brought it back
        PowerCut pc(dir.path());
        ASSERT_EQ(CAL_OK, make(pc, true));
        EXPECT_EQ(1, pc.fileSyncs);
        EXPECT_GE(pc.dirSyncs, 1);
        pc.powerCut(seed);
        EXPECT_EQ(fresh, dir.read("a.dat")) << "seed " << seed;
        EXPECT_FALSE(dir.exists("~new.tmp")) << "seed " << seed;
    }
}

TEST_F(PowerCutFiles, UnflushedOrUnsyncedCanBeLost)
{
    int lostData = 0;
    int lostRename = 0;
    for (uint64_t seed = 1; seed <= 16; ++seed) {
        dir.write("a.dat", old);
        dir.remove("~new.tmp"); // a restart may have brought it back
        PowerCut pc(dir.path());
        ASSERT_EQ(CAL_OK, make(pc, false));
        EXPECT_EQ(0, pc.fileSyncs);
        pc.powerCut(seed);
        lostData += dir.read("a.dat") != fresh;
    }
    long lastOp = 0; // the directory's sync, the last operation of the rename
    {
        dir.write("a.dat", old);
        dir.remove("~new.tmp"); // a restart may have brought it back
        PowerCut pc(dir.path());
        ASSERT_EQ(CAL_OK, make(pc, true));
        lastOp = pc.fileOps;
        dir.remove("a.dat");
    }
    for (uint64_t seed = 1; seed <= 16; ++seed) {
        dir.write("a.dat", old);
        dir.remove("~new.tmp"); // a restart may have brought it back
        PowerCut pc(dir.path());
        pc.cutAt = lastOp;
        EXPECT_EQ(CAL_ERR_FILE, make(pc, true));
        pc.powerCut(seed);
        std::string a = dir.read("a.dat");
        EXPECT_TRUE(a == old || a == fresh) << "seed " << seed << ": the flushed copy torn";
        lostRename += a == old;
    }
    EXPECT_GT(lostData, 0) << "unflushed data always survived: the model keeps what was never synced";
    EXPECT_GT(lostRename, 0) << "an unsynced rename always survived";
}

class PowerCutSweep : public ::testing::TestWithParam<CrashCase> {};

TEST_P(PowerCutSweep, EveryCutPointLeavesEveryKeyItsOwnCopy)
{
    const CrashCase &k = GetParam();
    CrashScene scene;
    k.prepare(scene);
    const DirSnapshot before = snapshotDir(scene.calib.path());
    const DirLists listsBefore = readDirLists(scene.calib.path());
    ASSERT_EQ("", listsBefore.problem);
    const Bytes source = scene.sourceBytes();
    const KeyedCall &victim = scene.victim;
    const size_t oldest = scene.mayReplaceOldest ? 0 : scene.listed.size();

    long cuts = 0;
    long restarts = 0;
    long changesChecked = -1; // the state of the last cut point restarted from
    bool finished = false;
    for (long n = 1; !finished; ++n) {
        for (int s = 0; s < kSeeds; ++s) {
            TempDir calib;
            restoreDir(calib.path(), before);
            PowerCut pc(calib.path());
            pc.cutAt = n;
            CallResult r = calibrateKey(pc.platform(), victim, scene.source.wide(), calib.wide());
            const bool during = pc.powerGone;
            const uint64_t seed = static_cast<uint64_t>(n) * 7919u + static_cast<uint64_t>(s);
            const std::string at = std::string(k.name) +
                                   (during ? " cut at file operation " : " cut after the call, at ") +
                                   std::to_string(n) + " seed " + std::to_string(seed) + ", unsynced:" + pc.unsynced();
            EXPECT_EQ(0, pc.openHandles) << at << ": a file left open";
            if (!during) {
                finished = true;
                ASSERT_EQ(CAL_OK, r.rc) << at;
            }
            if (s == 0) {
                cuts += during ? 1 : 0;
                // No change since the last cut point restarted from: a
                // restart finds what it found there.
                if (during && pc.changes == changesChecked) {
                    break;
                }
                changesChecked = pc.changes;
            }
            pc.powerCut(seed);
            ++restarts;

            // Nothing complete before the call is lost: its line and its copy.
            for (size_t i = 0; i < scene.listed.size(); ++i) {
                if (i == oldest) {
                    continue;
                }
                const CalKey &key = scene.listed[i].key;
                const std::string name = listsBefore.nameOf(crashListName(key.listNumber), key);
                EXPECT_EQ(name, nameListed(calib, key)) << at << ": entry " << key.str();
                EXPECT_EQ(before.at(name), calib.read(name)) << at << ": copy " << name << " of " << key.str();
            }
            // A call that returned CAL_OK keeps its answer.
            if (!during) {
                EXPECT_EQ(r.name, nameListed(calib, victim.key)) << at;
                EXPECT_EQ(freshCopy(source, victim.ids), bytesOf(calib.read(r.name))) << at << ": " << r.name;
            }

            // The next call for the key: its copy, or the caller's own file.
            CallResult next = calibrateQuick(victim, scene.source.wide(), calib.wide());
            if (next.rc == CAL_OK) {
                EXPECT_EQ(freshCopy(source, victim.ids), bytesOf(calib.read(next.name))) << at << ": " << next.name;
            } else {
                EXPECT_EQ(CAL_ERR_FILE, next.rc) << at;
                EXPECT_EQ(failureName(victim), next.nameBytes) << at;
            }
            if (!during) {
                EXPECT_EQ(r.name, next.name) << at;
            }
            // Every other key answers its own copy, the recycled one last.
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
                CallResult o = calibrateQuick(other, scene.source.wide(), calib.wide());
                ASSERT_EQ(CAL_OK, o.rc) << at << ": key " << other.key.str();
                EXPECT_EQ(freshCopy(source, other.ids), bytesOf(calib.read(o.name)))
                    << at << ": key " << other.key.str() << " answered " << o.name;
            }
            CallResult again = calibrateQuick(victim, scene.source.wide(), calib.wide());
            ASSERT_EQ(CAL_OK, again.rc) << at;
            EXPECT_EQ(freshCopy(source, victim.ids), bytesOf(calib.read(again.name))) << at;
            const DirLists lists = readDirLists(calib.path());
            EXPECT_EQ("", lists.problem) << at;
            for (const std::string &name : lists.otherNames) {
                EXPECT_EQ(std::string::npos, name.find("~kz,")) << at << ": " << name << " left behind";
            }
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
    }
    EXPECT_GT(cuts, 10) << "the power was cut at every file operation of the call";
    RecordProperty("cut_points", static_cast<int>(cuts));
    printf("power cut %s: %ld cut points, %ld restarts\n", k.name, cuts, restarts);
}

INSTANTIATE_TEST_SUITE_P(States, PowerCutSweep, ::testing::ValuesIn(crashCases()),
                         [](const ::testing::TestParamInfo<CrashCase> &i) { return std::string(i.param.name); });

} // namespace
