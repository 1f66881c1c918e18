// KZCalibration from several threads and processes at once (the Concurrency
// tests also run under the tsan preset by scripts/tsan).
//
// Separate calibration directories: every thread gets exactly what a single
// thread gets. One shared calibration directory: calls are serialised by the
// directory's lock, so every answered copy is the one calibrated for its key,
// byte for byte, every list stays whole, and afterwards every key answers
// its own copy.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cal_harness.h"
#include "fake_platform.h"
#include "calibmod.h"
#include "flow_fixture.h"
#include "temp_dir.h"

namespace {

using kzfile::Bytes;

const int16_t kIds[6] = {-3, 0, 3, -3, 0, 0};
const int16_t kOtherIds[6] = {3, -3, 0, 3, 0, 0};

struct Call {
    CalibRequest request{7, 1, 1, 2, 3};
    CalibNames names{};
    int16_t ids[6];

    explicit Call(int16_t listNumber, int32_t param3 = 3, const int16_t *with = kIds)
    {
        request.listNumber = listNumber;
        request.param3 = param3;
        std::memcpy(ids, with, sizeof ids);
        std::memcpy(names.sourceName, "Table0.dat", 10);
        std::memcpy(names.listPrefix, "abcde", 5);
    }
    int16_t run(const TempDir &source, const TempDir &calib)
    {
        return KZCalibration(&request, &names, ids, source.wide(), calib.wide());
    }
    std::string result() const { return std::string(names.resultName, strnlen(names.resultName, 16)); }
};

class CalibmodConcurrency : public ::testing::Test {
protected:
    TempDir source;
    Bytes sourceBytes = flowSource("KZ-CAL SAMPLE 1");
    Bytes expected = expectedCopy(sourceBytes, kIds);
    Bytes expectedOther = expectedCopy(sourceBytes, kOtherIds);

    void SetUp() override { source.write("Table0.dat", std::string(sourceBytes.begin(), sourceBytes.end())); }
};

TEST_F(CalibmodConcurrency, SeparateDirectoriesGiveWhatOneThreadGets)
{
    const int kThreads = 4;
    const int kKeys = 6;
    std::vector<std::unique_ptr<TempDir>> dirs;
    for (int t = 0; t < kThreads; ++t) {
        dirs.emplace_back(new TempDir());
    }

    // What one thread gets: for key k the copy name, on the first call (a new
    // copy) and on the second (found).
    TempDir reference;
    std::vector<std::string> names;
    for (int k = 0; k < kKeys; ++k) {
        Call c(static_cast<int16_t>(k));
        ASSERT_EQ(CAL_OK, c.run(source, reference));
        names.push_back(c.result());
        ASSERT_EQ(CAL_OK, c.run(source, reference));
        ASSERT_EQ(names.back(), c.result());
    }
    const std::string referenceList = reference.read("abcde000.ini");

    std::atomic<int> faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const TempDir &dir = *dirs[t];
            for (int k = 0; k < kKeys; ++k) {
                for (int pass = 0; pass < 2; ++pass) {
                    Call c(static_cast<int16_t>(k));
                    if (c.run(source, dir) != CAL_OK || c.result() != names[k]) {
                        ++faults;
                    }
                }
                if (bytesOf(dir.read(names[k])) != expected) {
                    ++faults;
                }
            }
        });
    }
    for (auto &th : threads) {
        th.join();
    }
    EXPECT_EQ(0, faults.load());
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(referenceList, dirs[t]->read("abcde000.ini")) << "thread " << t;
        for (int k = 0; k < kKeys; ++k) {
            EXPECT_EQ(reference.read("abcde00" + std::to_string(k) + ".ini"),
                      dirs[t]->read("abcde00" + std::to_string(k) + ".ini"));
        }
    }
}

// ---- One shared calibration directory: a storm of calls -----------------
//
// Workers (forked processes, or threads of this process) call KZCalibration
// on one calibration directory: keys that every worker shares (source
// Table0.dat of a shared source directory, never changed) and keys of the
// worker's own (its own source, own<w>0.dat, whose identification string it
// changes every few calls, so that its copies go stale and are refreshed;
// more own keys than candidates, so that its lists are rewritten to recycle
// names). Every key has its own adjustment ids. Right after each call the
// worker reads the answered file and compares it byte for byte with what a
// fresh directory gives the key. No timing is asserted: a call that cannot
// get the directory's lock within its wait answers CAL_ERR_FILE with the
// caller's own file, which is counted, not failed.

const int kSharedKeys = 12;
const int kOwnKeys = 40;   // more than the 35 candidates of a copy name
const int kFlipEvery = 20; // own calls between two changes of the own source

long envLong(const char *name, long fallback)
{
    const char *v = getenv(name);
    return v && *v ? strtol(v, nullptr, 10) : fallback;
}

struct StormTally {
    long calls = 0, ok = 0, fileErrors = 0, otherCodes = 0, badFailureName = 0;
    long missing = 0, shortCopy = 0, uncalibrated = 0, wrong = 0;
    long sharedNameChanged = 0; // a shared key answered under two names
    long ownCopiesMade = 0;     // own calls answered with a file made anew (refresh, new or recycled name)
    char sharedNames[kSharedKeys][16] = {};
    char firstProblem[256] = {};

    long bad() const
    {
        return otherCodes + badFailureName + missing + shortCopy + uncalibrated + wrong + sharedNameChanged;
    }
    void note(const std::string &what)
    {
        if (firstProblem[0] == 0) {
            snprintf(firstProblem, sizeof firstProblem, "%s", what.c_str());
        }
    }
    void add(const StormTally &o)
    {
        calls += o.calls, ok += o.ok, fileErrors += o.fileErrors, otherCodes += o.otherCodes;
        badFailureName += o.badFailureName, missing += o.missing, shortCopy += o.shortCopy;
        uncalibrated += o.uncalibrated, wrong += o.wrong, sharedNameChanged += o.sharedNameChanged;
        ownCopiesMade += o.ownCopiesMade;
        if (firstProblem[0] == 0) {
            memcpy(firstProblem, o.firstProblem, sizeof firstProblem);
        }
    }
};

bool readWhole(const std::string &path, Bytes *out, ino_t *inode = nullptr)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    struct stat st;
    if (inode != nullptr) {
        *inode = fstat(fileno(f), &st) == 0 ? st.st_ino : 0;
    }
    out->clear();
    unsigned char buf[8192];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        out->insert(out->end(), buf, buf + n);
    }
    fclose(f);
    return true;
}

void writeWhole(const std::string &path, const Bytes &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr) {
        throw std::runtime_error("cannot write " + path);
    }
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

struct StormPlan {
    int workers;
    TempDir sharedSource;
    TempDir calib;
    std::vector<std::unique_ptr<TempDir>> ownSource;
    Bytes sharedBytes;
    std::vector<Bytes> ownBytes[2]; // [variant][worker]
    std::vector<KeyedCall> shared;
    std::vector<std::vector<KeyedCall>> own;
    std::vector<Bytes> sharedExpected;
    std::vector<std::vector<Bytes>> ownExpected[2]; // [variant][worker][key]

    explicit StormPlan(int w) : workers(w)
    {
        sharedBytes = flowSource("KZ-CAL SAMPLE 1");
        writeWhole(sharedSource.file("Table0.dat"), sharedBytes);
        const std::vector<std::vector<int16_t>> ids = distinctIdSets(sharedBytes, 80);
        auto withIds = [&](KeyedCall c, size_t set) {
            for (int i = 0; i < 6; ++i) {
                c.ids[i] = ids[set % ids.size()][static_cast<size_t>(i)];
            }
            return c;
        };
        for (int s = 0; s < kSharedKeys; ++s) {
            KeyedCall c;
            c.key = CalKey{static_cast<int16_t>(s % 3), 1, s, 0};
            c = withIds(c, static_cast<size_t>(s));
            shared.push_back(c);
            sharedExpected.push_back(freshCopy(sharedBytes, c.ids));
        }
        for (int t = 0; t < workers; ++t) {
            ownSource.emplace_back(new TempDir);
            own.emplace_back();
            for (int v = 0; v < 2; ++v) {
                ownBytes[v].push_back(flowSource("KZ-OWN " + std::to_string(t) + (v ? " B" : " A")));
                ownExpected[v].emplace_back();
            }
            for (int o = 0; o < kOwnKeys; ++o) {
                KeyedCall c;
                c.key = CalKey{static_cast<int16_t>(o % 3), 2, t, o};
                c.sourceName = "own" + std::to_string(t) + "0.dat";
                c = withIds(c, static_cast<size_t>(kSharedKeys + o + 7 * t));
                own.back().push_back(c);
                for (int v = 0; v < 2; ++v) {
                    ownExpected[v].back().push_back(freshCopy(ownBytes[v][t], c.ids));
                }
            }
            writeWhole(ownSource.back()->file(own.back()[0].sourceName), ownBytes[0][t]);
        }
    }

    // One worker's calls; touches only its own source and the shared directory.
    // With sync, through the export (every new copy and list synced to disk);
    // without, on a test platform whose flush skips the sync, which keeps the
    // default run short on a busy disk.
    StormTally work(int w, long calls, bool sync) const
    {
        StormTally tally;
        FakePlatform quick;
        quick.flushSkipsSync = true;
        uint32_t rng = 2654435761u * static_cast<uint32_t>(w + 1);
        auto next = [&rng] { return rng = rng * 1664525u + 1013904223u, rng >> 8; };
        int variant = 0;
        long ownCalls = 0;
        std::vector<ino_t> ownInode(kOwnKeys, 0);
        const std::string ownPath = ownSource[static_cast<size_t>(w)]->file(own[static_cast<size_t>(w)][0].sourceName);
        for (long i = 0; i < calls; ++i) {
            const bool isShared = next() % 2 == 0;
            if (!isShared && ++ownCalls % kFlipEvery == 0) {
                variant = 1 - variant;
                writeWhole(ownPath, ownBytes[variant][static_cast<size_t>(w)]);
            }
            const size_t k = next() % (isShared ? kSharedKeys : kOwnKeys);
            const KeyedCall &c = isShared ? shared[k] : own[static_cast<size_t>(w)][k];
            const Bytes &want = isShared ? sharedExpected[k] : ownExpected[variant][static_cast<size_t>(w)][k];
            const Bytes &src = isShared ? sharedBytes : ownBytes[variant][static_cast<size_t>(w)];
            const TempDir &srcDir = isShared ? sharedSource : *ownSource[static_cast<size_t>(w)];
            quick.resetCounts();
            CallResult r = calibrateKey(sync ? nullptr : quick.platform(), c, srcDir.wide(), calib.wide());
            ++tally.calls;
            const std::string at = "worker " + std::to_string(w) + " call " + std::to_string(i) + " key " + c.key.str();
            if (r.rc == CAL_ERR_FILE) {
                ++tally.fileErrors;
                if (r.nameBytes != failureName(c)) {
                    ++tally.badFailureName;
                    tally.note(at + ": CAL_ERR_FILE with " + r.name);
                }
                continue;
            }
            if (r.rc != CAL_OK) {
                ++tally.otherCodes;
                tally.note(at + ": code " + std::to_string(r.rc));
                continue;
            }
            ++tally.ok;
            Bytes got;
            ino_t inode = 0;
            if (!readWhole(calib.file(r.name), &got, &inode)) {
                ++tally.missing;
                tally.note(at + ": " + r.name + " missing");
            } else if (got != want) {
                long *kind = got.size() < want.size() ? &tally.shortCopy
                             : got == src             ? &tally.uncalibrated
                                                      : &tally.wrong;
                ++*kind;
                tally.note(at + ": " + r.name + " is not its copy");
            }
            if (!isShared && inode != ownInode[k]) {
                ++tally.ownCopiesMade;
                ownInode[k] = inode;
            }
            if (isShared) {
                char *seen = tally.sharedNames[k];
                if (seen[0] == 0) {
                    snprintf(seen, 16, "%s", r.name.c_str());
                } else if (r.name != seen) {
                    ++tally.sharedNameChanged;
                    tally.note(at + ": answered " + r.name + ", before " + seen);
                }
            }
        }
        return tally;
    }

    // After the storm: every list sound, no temporary file, every shared key
    // listed once under the name every worker was given, and one call at a
    // time, every key answers its own copy.
    void checkAfter(const StormTally &total, const std::vector<StormTally> &each) const
    {
        DirLists lists = readDirLists(calib.path());
        EXPECT_EQ("", lists.problem);
        for (const std::string &n : lists.otherNames) {
            EXPECT_EQ(std::string::npos, n.find("~kz,")) << n;
        }
        for (int s = 0; s < kSharedKeys; ++s) {
            std::string name;
            for (const StormTally &t : each) {
                if (t.sharedNames[s][0] == 0) {
                    continue;
                }
                if (name.empty()) {
                    name = t.sharedNames[s];
                }
                EXPECT_EQ(name, t.sharedNames[s]) << "shared key " << s << ": two names in two workers";
            }
            const CalKey &key = shared[static_cast<size_t>(s)].key;
            char list[16];
            snprintf(list, sizeof list, "abcde%03d.ini", key.listNumber);
            if (!name.empty()) {
                EXPECT_EQ(name, lists.nameOf(list, key)) << "shared key " << s;
            }
        }
        (void)total;
        for (int t = 0; t < workers; ++t) {
            writeWhole(ownSource[static_cast<size_t>(t)]->file(own[static_cast<size_t>(t)][0].sourceName),
                       ownBytes[0][static_cast<size_t>(t)]);
        }
        for (int s = 0; s < kSharedKeys; ++s) {
            CallResult r = calibrateKey(nullptr, shared[static_cast<size_t>(s)], sharedSource.wide(), calib.wide());
            ASSERT_EQ(CAL_OK, r.rc);
            Bytes got;
            EXPECT_TRUE(readWhole(calib.file(r.name), &got) && got == sharedExpected[static_cast<size_t>(s)])
                << "shared key " << s << " afterwards: " << r.name;
        }
        for (int t = 0; t < workers; ++t) {
            for (int o = 0; o < kOwnKeys; ++o) {
                const KeyedCall &c = own[static_cast<size_t>(t)][static_cast<size_t>(o)];
                CallResult r = calibrateKey(nullptr, c, ownSource[static_cast<size_t>(t)]->wide(), calib.wide());
                ASSERT_EQ(CAL_OK, r.rc);
                Bytes got;
                EXPECT_TRUE(readWhole(calib.file(r.name), &got) &&
                            got == ownExpected[0][static_cast<size_t>(t)][static_cast<size_t>(o)])
                    << "worker " << t << " key " << o << " afterwards: " << r.name;
            }
        }
        EXPECT_EQ("", readDirLists(calib.path()).problem);
    }
};

void report(const char *how, bool sync, int workers, const StormTally &t, const StormPlan &plan)
{
    DirLists lists = readDirLists(plan.calib.path());
    size_t lines = 0;
    for (const auto &l : lists.lists) {
        lines += l.second.size();
    }
    printf("storm (%s, %s): %ld calls from %d workers: %ld CAL_OK, %ld CAL_ERR_FILE, %ld other codes; answered copies "
           "missing %ld, short %ld, uncalibrated %ld, another's %ld; shared keys renamed %ld; own calls answered "
           "a copy made anew %ld; %zu lists, %zu lines, %zu other files\n",
           how, sync ? "export, synced" : "flush without sync", t.calls, workers, t.ok, t.fileErrors, t.otherCodes,
           t.missing, t.shortCopy, t.uncalibrated, t.wrong, t.sharedNameChanged, t.ownCopiesMade, lists.lists.size(),
           lines, lists.otherNames.size());
}

void expectClean(const StormTally &t)
{
    EXPECT_EQ(0, t.bad()) << t.firstProblem;
    EXPECT_EQ(0, t.otherCodes);
    EXPECT_EQ(0, t.badFailureName);
    EXPECT_EQ(0, t.missing);
    EXPECT_EQ(0, t.shortCopy);
    EXPECT_EQ(0, t.uncalibrated);
    EXPECT_EQ(0, t.wrong);
    EXPECT_EQ(0, t.sharedNameChanged);
    EXPECT_GT(t.ok, 0);
}

// CALIBMOD_STORM_CALLS (calls in all, default 1200) and CALIBMOD_STORM_PROCS
// (default 4) make the storm larger, CALIBMOD_STORM_SYNC=1 makes it call the
// export itself; scripts/calibmod-storm runs a long one.
TEST_F(CalibmodConcurrency, StormOfProcessesOnOneDirectoryAnswersEveryKeyItsOwnCopy)
{
    const int workers = static_cast<int>(std::max(4L, envLong("CALIBMOD_STORM_PROCS", 4)));
    const long calls = std::max(static_cast<long>(workers), envLong("CALIBMOD_STORM_CALLS", 1200)) / workers;
    const bool sync = envLong("CALIBMOD_STORM_SYNC", 0) != 0;
    StormPlan plan(workers);

    // Forked here, with one thread; each child sends its tally through a pipe.
    std::vector<int> pids, pipes;
    for (int w = 0; w < workers; ++w) {
        int fd[2];
        ASSERT_EQ(0, pipe(fd));
        const unsigned guard = static_cast<unsigned>(120 + calls / 10);
        pids.push_back(startChild(
            [&, w, fd] {
                close(fd[0]);
                StormTally t = plan.work(w, calls, sync);
                ssize_t n = write(fd[1], &t, sizeof t);
                return n == static_cast<ssize_t>(sizeof t) ? 0 : 3;
            },
            guard));
        close(fd[1]);
        pipes.push_back(fd[0]);
    }
    StormTally total;
    std::vector<StormTally> each(static_cast<size_t>(workers));
    for (int w = 0; w < workers; ++w) {
        size_t got = 0;
        char *into = reinterpret_cast<char *>(&each[static_cast<size_t>(w)]);
        ssize_t n;
        while (got < sizeof(StormTally) &&
               (n = read(pipes[static_cast<size_t>(w)], into + got, sizeof(StormTally) - got)) > 0) {
            got += static_cast<size_t>(n);
        }
        close(pipes[static_cast<size_t>(w)]);
        ChildStatus st = waitChild(pids[static_cast<size_t>(w)]);
        EXPECT_TRUE(st.exited && st.code == 0) << "worker " << w << " ended with signal " << st.signal;
        ASSERT_EQ(sizeof(StormTally), got) << "worker " << w << " sent no tally";
        total.add(each[static_cast<size_t>(w)]);
    }
    report("processes", sync, workers, total, plan);
    expectClean(total);
    EXPECT_EQ(workers * calls, total.calls);
    plan.checkAfter(total, each);
}

// The same from threads of one process (the lock is taken per call, not per
// process); under ThreadSanitizer with scripts/tsan.
TEST_F(CalibmodConcurrency, StormOfThreadsOnOneDirectoryAnswersEveryKeyItsOwnCopy)
{
    const int workers = 4;
    const long calls = std::max(4L, envLong("CALIBMOD_STORM_THREAD_CALLS", 400)) / workers;
    const bool sync = envLong("CALIBMOD_STORM_SYNC", 0) != 0;
    StormPlan plan(workers);
    std::vector<StormTally> each(static_cast<size_t>(workers));
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] { each[static_cast<size_t>(w)] = plan.work(w, calls, sync); });
    }
    for (auto &th : threads) {
        th.join();
    }
    StormTally total;
    for (const StormTally &t : each) {
        total.add(t);
    }
    report("threads", sync, workers, total, plan);
    expectClean(total);
    plan.checkAfter(total, each);
}

} // namespace
