// The copy of the source made by the system (copyRange) where it can, and
// through the module's buffer where it cannot or stops: the copy installed
// and the list written are the same byte for byte whichever way the bytes
// went, a failed copy leaves nothing behind, the copy is flushed after its
// tables are written and before its rename, and the heap does not grow with
// the file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cal_platform.h"
#include "cal_types.h"
#include "calib_flow.h"
#include "fake_platform.h"
#include "flow_fixture.h"

namespace {

using kzfile::Bytes;

// The flow's source with padding after its tables, so that a copy takes
// several system copies or buffer chunks.
Bytes paddedSource(size_t extra)
{
    Bytes b = flowSource("KZ-CAL PAD");
    for (size_t i = 0; i < extra; ++i) {
        b.push_back(static_cast<uint8_t>(i * 7 + (i >> 9)));
    }
    return b;
}

struct Outcome {
    int16_t rc;
    Bytes copy;
    std::string list;
    std::vector<std::string> files; // of the calibration directory
};

// A cold call on a fresh scene whose platform is set up by arm.
template <typename Arm> Outcome coldCall(size_t extra, Arm arm, FakePlatform &fake)
{
    FlowScene s;
    s.writeSource(paddedSource(extra));
    arm(fake);
    Outcome o;
    o.rc = s.callOn(fake.platform());
    EXPECT_EQ(s.sourceBytes(), paddedSource(extra)) << "the source is only read";
    if (o.rc == CAL_OK) {
        o.copy = s.calibFile(s.result());
        EXPECT_EQ(s.expected(), o.copy);
    }
    o.list = s.list();
    o.files = s.calib.list();
    EXPECT_EQ(0, fake.openHandles);
    EXPECT_EQ(0, fake.outstandingAllocs);
    return o;
}

// The ioCalls numbers (what shortIoAt counts) of the system copies of a
// cold call with the given padding, and the outcome of that call.
std::vector<long> copyIoNumbers(size_t extra, Outcome *outcome)
{
    FakePlatform fake;
    fake.logOps = true;
    *outcome = coldCall(
        extra, [](FakePlatform &) {}, fake);
    std::vector<long> at;
    long io = 0;
    for (const std::string &op : fake.opLog) {
        const bool isCopy = op.compare(0, 5, "copy ") == 0;
        io += isCopy || op.compare(0, 5, "read ") == 0 || op.compare(0, 6, "write ") == 0;
        if (isCopy) {
            at.push_back(io);
        }
    }
    return at;
}

// However the bytes travel (by the system whole, by the buffer whole, by
// the system for one byte and then by the buffer from there, or by the
// system and then by the buffer at the end), the same copy and list are
// written.
TEST(SystemCopy, EveryWayOfCopyingWritesTheSameFiles)
{
    const size_t extra = 3 * CAL_COPY_CHUNK + 123;
    Outcome want;
    const std::vector<long> copyAt = copyIoNumbers(extra, &want);
    ASSERT_EQ(CAL_OK, want.rc);
    ASSERT_FALSE(copyAt.empty()) << "this host copies inside the system";

    struct Way {
        const char *name;
        long noSystemCopyFrom;
        long shortIoAt;
    };
    const Way ways[] = {
        {"buffer only", 1, 0},
        {"one system byte, then the buffer", 2, copyAt[0]},
        {"system, then the buffer at the end", 2, 0},
    };
    for (const Way &w : ways) {
        FakePlatform fake;
        Outcome got = coldCall(
            extra,
            [&w](FakePlatform &f) {
                f.noSystemCopyFrom = w.noSystemCopyFrom;
                f.shortIoAt = w.shortIoAt;
            },
            fake);
        EXPECT_EQ(CAL_OK, got.rc) << w.name;
        EXPECT_EQ(want.copy, got.copy) << w.name;
        EXPECT_EQ(want.list, got.list) << w.name;
        EXPECT_EQ(want.files, got.files) << w.name;
    }
}

// Every system copy made short in turn (one byte instead of the rest): the
// loop goes on from where the short one stopped, and the copy is the same.
TEST(SystemCopy, ShortSystemCopiesAreContinued)
{
    const size_t extra = CAL_COPY_CHUNK + 17;
    Outcome want;
    const std::vector<long> copyAt = copyIoNumbers(extra, &want);
    ASSERT_EQ(CAL_OK, want.rc);
    ASSERT_FALSE(copyAt.empty());
    for (long n : copyAt) {
        FakePlatform fake;
        Outcome got = coldCall(
            extra, [n](FakePlatform &f) { f.shortIoAt = n; }, fake);
        EXPECT_EQ(CAL_OK, got.rc) << "short copy at io " << n;
        EXPECT_EQ(want.copy, got.copy) << "short copy at io " << n;
        EXPECT_EQ(want.list, got.list) << "short copy at io " << n;
        if (n != copyAt.back()) { // the last one finds the end: short or not, it copies nothing
            EXPECT_GT(fake.copies, static_cast<long>(copyAt.size())) << "the copy went on after the short one";
        }
    }
}

// A system copy that fails (a full disk, an I/O error) fails the call: no
// temporary file, no list, no copy, and nothing is left open or allocated.
TEST(SystemCopy, AFailedSystemCopyLeavesNothing)
{
    FakePlatform probe;
    probe.logOps = true;
    ASSERT_EQ(CAL_OK, coldCall(
                          1000, [](FakePlatform &) {}, probe)
                          .rc);
    const long copyOp = probe.firstOp("copy Table0.dat ~kz,copy.tmp");
    ASSERT_GT(copyOp, 0) << "the copy is a file operation of the seam";

    FakePlatform fake;
    const Outcome got = coldCall(
        1000, [copyOp](FakePlatform &f) { f.failFileOpAt = copyOp; }, fake);
    EXPECT_EQ(CAL_ERR_FILE, got.rc);
    EXPECT_TRUE(got.files.empty()) << got.files.size() << " files, the first " << got.files[0];
    EXPECT_TRUE(got.list.empty());
}

// The order that makes the copy appear complete or not at all: created
// under the temporary name, copied, its tables written, flushed, then
// renamed onto its name.
TEST(SystemCopy, CopiedThenTablesWrittenThenFlushedThenRenamed)
{
    FakePlatform fake;
    ASSERT_EQ(CAL_OK, coldCall(
                          1000, [](FakePlatform &f) { f.logOps = true; }, fake)
                          .rc);
    const std::string temp = CAL_TEMP_COPY_NAME;
    long lastTempWrite = 0;
    for (size_t i = 0; i < fake.opLog.size(); ++i) {
        if (fake.opLog[i] == "write " + temp) {
            lastTempWrite = static_cast<long>(i + 1);
        }
    }
    const long created = fake.firstOp("open " + temp);
    const long copied = fake.firstOp("copy Table0.dat " + temp);
    const long flushed = fake.firstOp("flush " + temp);
    const long renamed = fake.firstOp("rename " + temp + " ");
    ASSERT_GT(created, 0);
    EXPECT_LT(created, copied);
    EXPECT_LT(copied, lastTempWrite) << "the tables are written over the copied bytes";
    EXPECT_LT(lastTempWrite, flushed);
    EXPECT_LT(flushed, renamed);
}

// The module holds the same heap for a 64 KiB and an 8 MiB source, with
// the system copy and without it (the buffer is one chunk).
TEST(SystemCopy, PeakHeapIsFlatInTheFileSize)
{
    for (long noSystem : {0L, 1L}) {
        long long peak[2] = {0, 0};
        const size_t extras[2] = {64 * 1024, 8 * 1024 * 1024};
        for (int i = 0; i < 2; ++i) {
            FakePlatform fake;
            ASSERT_EQ(CAL_OK, coldCall(
                                  extras[i], [noSystem](FakePlatform &f) { f.noSystemCopyFrom = noSystem; }, fake)
                                  .rc);
            peak[i] = fake.peakBytes;
        }
        EXPECT_EQ(peak[0], peak[1]) << (noSystem ? "buffer copy" : "system copy");
        EXPECT_LT(peak[1], 512 * 1024);
    }
}

// The POSIX backend's copy: bytes land at the destination's position and
// both positions advance; between file systems that cannot copy to each
// other it answers "unsupported" (never a failure) and the call still
// makes the same copy.
TEST(SystemCopy, BackendCopiesFromAndToTheCurrentPositions)
{
    const CalPlatform *p = calDefaultPlatform();
    TempDir dir;
    dir.write("from.dat", "0123456789");
    const std::basic_string<KZ_WCHAR> from = toWideString(dir.file("from.dat"));
    const std::basic_string<KZ_WCHAR> to = toWideString(dir.file("to.dat"));
    CalHandle a = nullptr;
    CalHandle b = nullptr;
    ASSERT_EQ(CAL_IO_OK, p->open(p->ctx, nullptr, from.c_str(), CAL_OPEN_READ_FOLLOW, &a, nullptr));
    ASSERT_EQ(CAL_IO_OK, p->open(p->ctx, nullptr, to.c_str(), CAL_OPEN_CREATE_NEW, &b, nullptr));
    uint32_t n = 0;
    ASSERT_TRUE(p->write(p->ctx, b, "ab", 2, &n));
    ASSERT_TRUE(p->seek(p->ctx, a, 3));
    uint32_t copied = 99;
    const CalCopy done = p->copyRange(p->ctx, a, b, 4, &copied);
    if (done == CAL_COPY_DONE) {
        EXPECT_EQ(4u, copied);
        ASSERT_TRUE(p->write(p->ctx, b, "z", 1, &n));
        char rest[8] = {};
        uint32_t got = 0;
        ASSERT_TRUE(p->read(p->ctx, a, rest, sizeof rest, &got));
        EXPECT_EQ("789", std::string(rest, got));
        EXPECT_EQ(CAL_COPY_DONE, p->copyRange(p->ctx, a, b, 4, &copied));
        EXPECT_EQ(0u, copied) << "the end of the source";
    } else {
        EXPECT_EQ(CAL_COPY_UNSUPPORTED, done);
        EXPECT_EQ(0u, copied);
    }
    p->close(p->ctx, a);
    p->close(p->ctx, b);
    if (done == CAL_COPY_DONE) {
        EXPECT_EQ("ab3456z", dir.read("to.dat"));
    }
}

TEST(SystemCopy, SourceOnAnotherFileSystemIsCopiedTheSame)
{
    struct stat shm;
    struct stat tmp;
    if (stat("/dev/shm", &shm) != 0 || !S_ISDIR(shm.st_mode) || stat("/tmp", &tmp) != 0 || shm.st_dev == tmp.st_dev) {
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    char tmpl[] = "/dev/shm/kz-copy-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        GTEST_SKIP() << "/dev/shm is not writable";
    }
    const std::string srcDir = tmpl;
    FlowScene s;
    const Bytes source = paddedSource(CAL_COPY_CHUNK + 5);
    {
        const std::string path = srcDir + "/Table0.dat";
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(static_cast<ssize_t>(source.size()), write(fd, source.data(), source.size()));
        close(fd);
    }
    s.writeSource(source); // the expected copy is worked out from this one
    const std::basic_string<KZ_WCHAR> srcWide = toWideString(srcDir);
    FakePlatform fake;
    const int16_t rc = flowCalibrate(fake.platform(), &s.request, &s.names, s.ids, srcWide.c_str(), s.calib.wide());
    unlink((srcDir + "/Table0.dat").c_str());
    rmdir(srcDir.c_str());
    ASSERT_EQ(CAL_OK, rc);
    EXPECT_EQ(s.expected(), s.calibFile(s.result()));
    EXPECT_EQ(0, fake.openHandles);
}

} // namespace
