// What the calibration directory may hold besides the module's own files:
// other lists naming copies, files that no list names, symbolic links,
// FIFOs, directories and a huge list. The module never touches another
// key's copy, never writes or answers anything outside the directory,
// never blocks, and reads only as much of a list as it parses.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <set>

#include "cal_harness.h"
#include "cal_types.h"
#include "calib_flow.h"
#include "list_file.h"
#include "fake_platform.h"
#include "flow_fixture.h"
#include "temp_dir.h"

namespace {

using kzfile::Bytes;

const char *kCandidates = "123456789abcdefghijklmnopqrstuvwxyz";
const unsigned kHangGuardSeconds = 20;

KeyedCall keyed(int16_t list, int32_t p1, size_t idSet)
{
    static const std::vector<std::vector<int16_t>> sets = distinctIdSets(flowSource("KZ-CAL 1"), 12);
    KeyedCall c;
    c.key = CalKey{list, p1, 0, 0};
    for (int i = 0; i < 6; ++i) {
        c.ids[i] = sets[idSet % sets.size()][static_cast<size_t>(i)];
    }
    return c;
}

struct FileFacts {
    bool exists = false;
    bool link = false;
    bool regular = false;
    std::string bytes;
    struct timespec mtime {};
    bool operator==(const FileFacts &o) const
    {
        return exists == o.exists && link == o.link && regular == o.regular && bytes == o.bytes &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

// What lstat says of path, with the bytes of a regular file.
FileFacts facts(const std::string &path)
{
    FileFacts f;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        return f;
    }
    f.exists = true;
    f.link = S_ISLNK(st.st_mode);
    f.regular = S_ISREG(st.st_mode);
    f.mtime = st.st_mtim;
    if (f.regular) {
        FILE *in = fopen(path.c_str(), "rb");
        char buf[4096];
        size_t n;
        while (in && (n = fread(buf, 1, sizeof buf, in)) > 0) {
            f.bytes.append(buf, n);
        }
        if (in) {
            fclose(in);
        }
    }
    return f;
}

class Confinement : public ::testing::Test {
protected:
    TempDir source;
    TempDir calib;
    TempDir outside; // stands for everything beyond the calibration directory
    Bytes src = flowSource("KZ-CAL 1");
    KeyedCall victim = keyed(7, 1, 0);

    void SetUp() override { source.write("Table0.dat", std::string(src.begin(), src.end())); }
    CallResult call(const KeyedCall &c) { return calibrateKey(nullptr, c, source.wide(), calib.wide()); }
    CallResult call() { return call(victim); }
    // The call in a forked child: a call that blocks fails the test (ended
    // by the guard) instead of hanging it. The code comes back as the exit
    // status: 0 CAL_OK, 1 CAL_ERR_FILE with the caller's own name, 2 otherwise.
    int callGuarded(const KeyedCall &c)
    {
        ChildStatus st = runInChild(
            [&] {
                CallResult r = call(c);
                if (r.rc == CAL_OK) {
                    return 0;
                }
                return r.rc == CAL_ERR_FILE && r.nameBytes == failureName(c) ? 1 : 2;
            },
            kHangGuardSeconds);
        EXPECT_TRUE(st.exited) << "the call did not return (signal " << st.signal << ")";
        return st.exited ? st.code : -1;
    }
    const Bytes &copyFor(const KeyedCall &c) { return freshCopy(src, c.ids); }
    void link(const std::string &target, const std::string &name)
    {
        ASSERT_EQ(0, symlink(target.c_str(), calib.file(name).c_str())) << name;
    }
};

// ---- Other lists and unlisted files -------------------------------------

TEST_F(Confinement, ANameThatAnotherListNamesIsNeverGiven)
{
    // The other list names all 35 candidates: no name is left for the new
    // key, which gets the caller's own file; every other copy stays as it is.
    std::vector<KeyedCall> others;
    for (int i = 0; i < 35; ++i) {
        others.push_back(keyed(8, 100 + i, static_cast<size_t>(1 + i % 11)));
        ASSERT_EQ(CAL_OK, call(others.back()).rc);
    }
    DirSnapshot before = snapshotDir(calib.path());
    CallResult r = call();
    EXPECT_EQ(CAL_ERR_FILE, r.rc);
    EXPECT_EQ(failureName(victim), r.nameBytes);
    EXPECT_EQ("", snapshotDiff(before, snapshotDir(calib.path())));

    // With one of them gone from the other list, the new key takes that name.
    std::string list8 = calib.read("abcde008.ini");
    const std::string freed = "8,134,0,0,tablez.dat\r\n";
    ASSERT_NE(std::string::npos, list8.find(freed));
    calib.write("abcde008.ini", list8.substr(0, list8.size() - freed.size()));
    calib.remove("tablez.dat");
    before = snapshotDir(calib.path());
    r = call();
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ("tablez.dat", r.name);
    EXPECT_EQ(copyFor(victim), bytesOf(calib.read(r.name)));
    for (const auto &f : before) {
        EXPECT_EQ(f.second, calib.read(f.first)) << f.first;
    }
    for (size_t i = 0; i + 1 < others.size(); ++i) {
        CallResult o = call(others[i]);
        ASSERT_EQ(CAL_OK, o.rc);
        EXPECT_EQ(copyFor(others[i]), bytesOf(calib.read(o.name))) << o.name;
    }
}

TEST_F(Confinement, AnOrphanIsReusedAndTwoKeysDoNotEvictEachOther)
{
    // One listed key; every other candidate held by a file that no list names.
    const KeyedCall first = keyed(7, 9, 1);
    ASSERT_EQ(CAL_OK, call(first).rc);
    for (const char *c = kCandidates + 1; *c; ++c) {
        calib.write(std::string("table") + *c + ".dat", "orphan");
    }
    CallResult r = call();
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ("table2.dat", r.name) << "the first orphan";
    EXPECT_EQ(copyFor(victim), bytesOf(calib.read(r.name)));
    for (int round = 0; round < 3; ++round) {
        CallResult a = call(first);
        CallResult b = call();
        ASSERT_EQ(CAL_OK, a.rc);
        ASSERT_EQ(CAL_OK, b.rc);
        EXPECT_EQ("table1.dat", a.name);
        EXPECT_EQ("table2.dat", b.name);
        EXPECT_EQ(copyFor(first), bytesOf(calib.read(a.name)));
        EXPECT_EQ(copyFor(victim), bytesOf(calib.read(b.name)));
    }
    EXPECT_EQ("orphan", calib.read("table3.dat"));
    EXPECT_EQ("", readDirLists(calib.path()).problem);
}

// ---- Symbolic links ------------------------------------------------------

TEST_F(Confinement, AListThatIsALinkIsNeitherReadNorWritten)
{
    outside.write("elsewhere.ini", "7,9,0,0,table5.dat\r\n");
    const FileFacts target = facts(outside.file("elsewhere.ini"));
    link(outside.file("elsewhere.ini"), "abcde007.ini");
    for (const KeyedCall &c : {victim, keyed(7, 9, 1)}) {
        CallResult r = call(c);
        EXPECT_EQ(CAL_ERR_FILE, r.rc);
        EXPECT_EQ(failureName(c), r.nameBytes);
    }
    EXPECT_TRUE(target == facts(outside.file("elsewhere.ini")));
    EXPECT_TRUE(facts(calib.file("abcde007.ini")).link);
    EXPECT_EQ(std::vector<std::string>{"abcde007.ini"}, calib.list()) << "no copy made";
    EXPECT_EQ(std::vector<std::string>{"elsewhere.ini"}, outside.list());
}

TEST_F(Confinement, ACandidateThatIsALinkIsPassedOver)
{
    outside.write("victim.dat", "outside");
    const FileFacts target = facts(outside.file("victim.dat"));
    link(outside.file("victim.dat"), "table1.dat");    // to a file outside
    link(outside.file("not-there.dat"), "table2.dat"); // dangling
    link(outside.path(), "table3.dat");                // to a directory outside
    CallResult r = call();
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ("table4.dat", r.name);
    EXPECT_EQ(copyFor(victim), bytesOf(calib.read(r.name)));
    EXPECT_TRUE(target == facts(outside.file("victim.dat")));
    EXPECT_EQ(std::vector<std::string>{"victim.dat"}, outside.list()) << "nothing created outside";
    for (const char *n : {"table1.dat", "table2.dat", "table3.dat"}) {
        EXPECT_TRUE(facts(calib.file(n)).link) << n;
    }
}

TEST_F(Confinement, AListedCopyThatIsALinkIsReplacedNotAnswered)
{
    // Outside: the source itself (its identification string, uncalibrated)
    // and a perfectly calibrated copy; each in turn stands at the listed name.
    ASSERT_EQ(CAL_OK, call().rc);
    ASSERT_EQ("table1.dat", call().name);
    outside.write("uncalibrated.dat", std::string(src.begin(), src.end()));
    const Bytes &good = copyFor(victim);
    outside.write("calibrated.dat", std::string(good.begin(), good.end()));
    for (const char *target : {"uncalibrated.dat", "calibrated.dat"}) {
        const FileFacts before = facts(outside.file(target));
        calib.remove("table1.dat");
        link(outside.file(target), "table1.dat");
        CallResult r = call();
        ASSERT_EQ(CAL_OK, r.rc) << target;
        EXPECT_EQ("table1.dat", r.name) << target;
        const FileFacts now = facts(calib.file("table1.dat"));
        EXPECT_TRUE(now.regular) << target << ": still a link";
        EXPECT_EQ(std::string(good.begin(), good.end()), now.bytes) << target;
        EXPECT_TRUE(before == facts(outside.file(target))) << target << " was touched";
    }
}

TEST_F(Confinement, AHardLinkedCopyIsReplacedWithoutWritingThroughIt)
{
    // A stale copy that shares its file with a name outside: the refresh
    // makes a new file, the outside name keeps the old bytes.
    ASSERT_EQ(CAL_OK, call().rc);
    ASSERT_EQ(0, ::link(calib.file("table1.dat").c_str(), outside.file("shared.dat").c_str()));
    const FileFacts before = facts(outside.file("shared.dat"));
    Bytes changed = flowSource("KZ-CAL 2");
    source.write("Table0.dat", std::string(changed.begin(), changed.end()));
    CallResult r = call();
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ(freshCopy(changed, victim.ids), bytesOf(calib.read(r.name)));
    EXPECT_TRUE(before == facts(outside.file("shared.dat")));
}

TEST_F(Confinement, ALinkAtATemporaryNameIsRemovedAndItsTargetUntouched)
{
    outside.write("target.tmp", "outside");
    const FileFacts target = facts(outside.file("target.tmp"));
    link(outside.file("target.tmp"), CAL_TEMP_COPY_NAME);
    link(outside.file("target.tmp"), CAL_TEMP_LIST_NAME);
    CallResult r = call();
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ(copyFor(victim), bytesOf(calib.read(r.name)));
    EXPECT_TRUE(target == facts(outside.file("target.tmp")));
    EXPECT_EQ((std::vector<std::string>{"abcde007.ini", "table1.dat"}), calib.list());
}

// ---- FIFOs and directories ----------------------------------------------

TEST_F(Confinement, FifosNeverBlockACall)
{
    // At the list's name: the list cannot be read, the caller's own file.
    ASSERT_EQ(0, mkfifo(calib.file("abcde007.ini").c_str(), 0600));
    EXPECT_EQ(1, callGuarded(victim));
    ASSERT_EQ(0, unlink(calib.file("abcde007.ini").c_str()));

    // At a candidate's name: passed over.
    ASSERT_EQ(0, mkfifo(calib.file("table1.dat").c_str(), 0600));
    EXPECT_EQ(0, callGuarded(victim));
    CallResult r = call();
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ("table2.dat", r.name);

    // At the listed copy's name: stale, replaced by a regular file.
    ASSERT_EQ(0, unlink(calib.file("table2.dat").c_str()));
    ASSERT_EQ(0, mkfifo(calib.file("table2.dat").c_str(), 0600));
    EXPECT_EQ(0, callGuarded(victim));
    EXPECT_TRUE(facts(calib.file("table2.dat")).regular);
    EXPECT_EQ(copyFor(victim), bytesOf(calib.read("table2.dat")));

    // At another list's name: its copies are unknown, so no new name is given.
    ASSERT_EQ(0, mkfifo(calib.file("abcde008.ini").c_str(), 0600));
    EXPECT_EQ(1, callGuarded(keyed(7, 9, 1)));
    EXPECT_EQ(0, callGuarded(victim)) << "a listed key is still answered";

    // As the source: no copy.
    TempDir fifoSource;
    ASSERT_EQ(0, mkfifo(fifoSource.file("Table0.dat").c_str(), 0600));
    ChildStatus st = runInChild(
        [&] {
            CallResult f = calibrateKey(nullptr, keyed(9, 1, 2), fifoSource.wide(), calib.wide());
            return f.rc == CAL_ERR_FILE ? 1 : 0;
        },
        kHangGuardSeconds);
    EXPECT_TRUE(st.exited && st.code == 1) << "signal " << st.signal;
}

TEST_F(Confinement, ADirectoryAtACopyNameIsNeverACopy)
{
    // A candidate: passed over.
    ASSERT_EQ(0, mkdir(calib.file("table1.dat").c_str(), 0700));
    calib.write("table1.dat/inside", "kept");
    CallResult r = call();
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ("table2.dat", r.name);
    EXPECT_EQ(copyFor(victim), bytesOf(calib.read(r.name)));

    // The listed copy: it cannot be replaced, so the caller's own file; the
    // directory and what it holds stay, and no temporary file is left.
    calib.remove("table2.dat");
    ASSERT_EQ(0, mkdir(calib.file("table2.dat").c_str(), 0700));
    const DirSnapshot before = snapshotDir(calib.path());
    r = call();
    EXPECT_EQ(CAL_ERR_FILE, r.rc);
    EXPECT_EQ(failureName(victim), r.nameBytes);
    EXPECT_EQ("", snapshotDiff(before, snapshotDir(calib.path())));
    EXPECT_EQ("kept", calib.read("table1.dat/inside"));
    EXPECT_EQ((std::vector<std::string>{"abcde007.ini", "table1.dat", "table2.dat"}), calib.list());
}

// ---- A huge list ---------------------------------------------------------

TEST_F(Confinement, AGibibyteListIsReadOnlyAsFarAsItIsParsed)
{
    const KeyedCall listedKey = keyed(7, 9, 1);
    ASSERT_EQ(CAL_OK, call(listedKey).rc);
    // The list, then zeros up to 1 GiB (sparse: no disk space taken); the
    // other list the same.
    const long long kSize = 1LL << 30;
    for (const char *name : {"abcde007.ini", "abcde008.ini"}) {
        if (std::string(name) == "abcde008.ini") {
            calib.write(name, "8,1,0,0,table5.dat\r\n");
        }
        int fd = open(calib.file(name).c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(0, ftruncate(fd, static_cast<off_t>(kSize)));
        close(fd);
    }
    FakePlatform fake;
    CallResult r = calibrateKey(fake.platform(), listedKey, source.wide(), calib.wide());
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ("table1.dat", r.name);
    EXPECT_LT(fake.peakBytes, 256 * 1024) << "a found key";
    printf("1 GiB list: a found key took at most %lld bytes of the heap\n", fake.peakBytes);
    EXPECT_EQ(0, fake.writes);

    // A new key: the other list's names are read from its head too, and the
    // listed entry is kept.
    fake.resetCounts();
    ChildStatus st = runInChild(
        [&] {
            CallResult n = calibrateKey(fake.platform(), victim, source.wide(), calib.wide());
            // The peak comes back in the status: whole 64 KiB blocks.
            if (n.rc != CAL_OK || n.name != "table2.dat") {
                return 255;
            }
            return static_cast<int>(std::min<long long>(254, fake.peakBytes / 65536));
        },
        kHangGuardSeconds);
    ASSERT_TRUE(st.exited) << "signal " << st.signal;
    ASSERT_NE(255, st.code);
    EXPECT_LT(st.code, 4) << "at most 256 KiB for a new key";
    CallResult again = call(listedKey);
    EXPECT_EQ(CAL_OK, again.rc);
    EXPECT_EQ("table1.dat", again.name);
    CallResult n = call();
    EXPECT_EQ(CAL_OK, n.rc);
    EXPECT_EQ("table2.dat", n.name);
    EXPECT_EQ(copyFor(victim), bytesOf(calib.read(n.name)));
    struct stat other;
    ASSERT_EQ(0, stat(calib.file("abcde008.ini").c_str(), &other));
    EXPECT_EQ(kSize, static_cast<long long>(other.st_size)) << "the other list untouched";
    // The own list was rewritten (it was not read to its end) with its entry kept.
    DirLists lists = readDirLists(calib.path());
    EXPECT_EQ("table1.dat", lists.nameOf("abcde007.ini", listedKey.key));
    EXPECT_EQ("table2.dat", lists.nameOf("abcde007.ini", victim.key));
}

} // namespace

namespace {

// Lists written before names were kept apart may name one copy for two
// keys (in one list or in two). The copy can hold only one key's curves, and
// which one cannot be told: each key is given a copy of its own, and every
// answer is the key's own curves, whichever key calls first.
class SharedName : public Confinement {
protected:
    const KeyedCall a = keyed(7, 1, 1);
    const KeyedCall b = keyed(8, 2, 2);
    const KeyedCall c = keyed(7, 2, 3); // a's list, another key

    // Calls the keys in order, two rounds; every CAL_OK must be the key's
    // own copy, and nothing else than -138 with the caller's name may come.
    void callAll(std::initializer_list<const KeyedCall *> keys)
    {
        for (int round = 0; round < 2; ++round) {
            for (const KeyedCall *k : keys) {
                CallResult r = call(*k);
                ASSERT_EQ(CAL_OK, r.rc) << "key " << k->key.str() << " round " << round;
                EXPECT_TRUE(copyFor(*k) == bytesOf(calib.read(r.name)))
                    << "key " << k->key.str() << " round " << round << " answered " << r.name
                    << ", which holds another key's curves";
            }
        }
    }
    // The names the keys end with: one each.
    void expectNamesApart(std::initializer_list<const KeyedCall *> keys)
    {
        std::set<std::string> names;
        for (const KeyedCall *k : keys) {
            names.insert(call(*k).name);
        }
        EXPECT_EQ(keys.size(), names.size());
    }
};

TEST_F(SharedName, OneNameListedByTwoListsIsNotAnsweredToBoth)
{
    calib.write("abcde007.ini", "7,1,0,0,table1.dat\r\n");
    calib.write("abcde008.ini", "8,2,0,0,table1.dat\r\n");
    callAll({&a, &b});
    expectNamesApart({&a, &b});
    // Each list names its own key's copy, once.
    DirLists lists = readDirLists(calib.path());
    EXPECT_NE(lists.nameOf("abcde007.ini", a.key), lists.nameOf("abcde008.ini", b.key));
}

TEST_F(SharedName, WhicheverKeyComesFirstTheOtherIsNotAnsweredTheFirstsCurves)
{
    // The shared copy holds a's curves; b calls first, then a, and the
    // other way round in a second directory.
    for (int order = 0; order < 2; ++order) {
        calib.write("abcde007.ini", "7,1,0,0,table1.dat\r\n");
        calib.write("abcde008.ini", "8,2,0,0,table1.dat\r\n");
        const Bytes &first = copyFor(a);
        calib.write("table1.dat", std::string(first.begin(), first.end()));
        if (order == 0) {
            callAll({&b, &a});
        } else {
            callAll({&a, &b});
        }
        for (const std::string &n : calib.list()) {
            calib.remove(n);
        }
    }
}

TEST_F(SharedName, OneNameListedTwiceInOneListIsNotAnsweredToBoth)
{
    const Bytes &first = copyFor(a);
    calib.write("table1.dat", std::string(first.begin(), first.end()));
    calib.write("abcde007.ini", "7,1,0,0,table1.dat\r\n7,2,0,0,table1.dat\r\n");
    callAll({&c, &a});
    expectNamesApart({&a, &c});
    // Both keys are listed once, in the one list.
    DirLists lists = readDirLists(calib.path());
    EXPECT_EQ(call(a).name, lists.nameOf("abcde007.ini", a.key));
    EXPECT_EQ(call(c).name, lists.nameOf("abcde007.ini", c.key));
}

TEST_F(SharedName, ALaterLineOfTheSameKeySharesNothing)
{
    // The first line of a key wins; a later line of the same key naming the
    // same copy is no other key, and the call is answered from the list.
    ASSERT_EQ(CAL_OK, call(a).rc);
    const std::string list = calib.read("abcde007.ini");
    calib.write("abcde007.ini", list + list);
    CallResult r = call(a);
    ASSERT_EQ(CAL_OK, r.rc);
    EXPECT_EQ("table1.dat", r.name);
    EXPECT_EQ(list + list, calib.read("abcde007.ini")) << "the list was rewritten";
}

// Calibration never changes a file's size: a listed copy cut short, which
// still carries the identification string, is made again.
TEST_F(Confinement, AListedCopyOfAnotherSizeIsMadeAgain)
{
    ASSERT_EQ(CAL_OK, call().rc);
    const std::string whole = calib.read("table1.dat");
    for (const std::string &changed : {whole.substr(0, whole.size() / 2), whole + std::string(512, '\0')}) {
        calib.write("table1.dat", changed);
        CallResult r = call();
        ASSERT_EQ(CAL_OK, r.rc);
        EXPECT_EQ("table1.dat", r.name);
        EXPECT_TRUE(copyFor(victim) == bytesOf(calib.read(r.name))) << changed.size() << " bytes answered as they were";
    }
}

} // namespace

namespace {

// List names differ in case between two prefixes; on a file system that
// tells case apart they are two lists, and the copies one of them names are
// not the other's to reuse.
TEST_F(Confinement, AListWhoseNameDiffersOnlyInCaseIsAnotherList)
{
    KeyedCall upper = keyed(7, 9, 1);
    upper.prefix = "ABCDE";
    ASSERT_EQ(CAL_OK, call(upper).rc);
    ASSERT_TRUE(calib.exists("ABCDE007.INI") || calib.exists("ABCDE007.ini"));
    if (calib.exists("abcde007.ini")) {
        GTEST_SKIP() << "the file system does not tell case apart";
    }
    ASSERT_EQ("table1.dat", call(upper).name);
    // Every other candidate held by a file that no list names.
    for (const char *c = kCandidates + 1; *c; ++c) {
        calib.write(std::string("table") + *c + ".dat", "orphan");
    }
    CallResult r = call();
    if (r.rc == CAL_OK) {
        EXPECT_NE("table1.dat", r.name) << "the other list's copy was taken";
        EXPECT_TRUE(copyFor(victim) == bytesOf(calib.read(r.name)));
    }
    CallResult u = call(upper);
    ASSERT_EQ(CAL_OK, u.rc);
    EXPECT_TRUE(copyFor(upper) == bytesOf(calib.read(u.name))) << "the other list's key answered " << u.name;
}

} // namespace
