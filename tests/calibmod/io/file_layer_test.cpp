// The file and memory layer over a real directory, through the counting platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_types.h"
#include "fake_platform.h"
#include "file_layer.h"
#include "mem_block.h"
#include "temp_dir.h"

namespace {

class FileLayerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(fake.openHandles, 0) << "a file was left open";
        EXPECT_EQ(fake.outstandingAllocs, 0) << "a buffer was left allocated";
    }
    void initBuffered(BufferedFile *bf) { bufferedFileInit(bf, fake.platform()); }

    FakePlatform fake;
    TempDir dir;
};

TEST_F(FileLayerTest, MemBlockLifecycle)
{
    MemBlock b;
    memInit(&b, fake.platform());
    void *out = reinterpret_cast<void *>(1);
    ASSERT_EQ(memAlloc(8, &b, &out), CAL_OK);
    EXPECT_EQ(out, b.handle);
    EXPECT_EQ(static_cast<char *>(out)[7], 0) << "zero-filled";
    EXPECT_EQ(fake.outstandingAllocs, 1);
    memRelease(&b); // an allocation through an out pointer is the block's too
    EXPECT_EQ(b.handle, nullptr);
    EXPECT_EQ(fake.outstandingAllocs, 0);

    // A block in use is not allocated again.
    ASSERT_EQ(memAllocBlock(4, &b), CAL_OK);
    long before = fake.allocs;
    EXPECT_EQ(memAllocBlock(4, &b), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(fake.allocs, before);
    memRelease(&b);
    EXPECT_EQ(b.data, nullptr) << "a released block is empty";
    EXPECT_EQ(b.handle, nullptr);
    memRelease(&b); // the block is empty now: nothing more happens
    EXPECT_EQ(fake.outstandingAllocs, 0);

    // Released, the block takes a new allocation without a reset between.
    ASSERT_EQ(memAllocBlock(4, &b), CAL_OK);
    memRelease(&b);
    EXPECT_EQ(fake.outstandingAllocs, 0);

    fake.failAllocAt = fake.allocs + 1;
    out = reinterpret_cast<void *>(1);
    EXPECT_EQ(memAlloc(4, &b, &out), CAL_ERR_NO_MEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(b.handle, nullptr);
}

TEST_F(FileLayerTest, OpenNeverCreatesAndClosesOnce)
{
    FileRef f;
    fileInit(&f, fake.platform());
    EXPECT_EQ(fileOpenNamed(&f, dir.wide(), "missing.dat", CAL_MODE_READ), CAL_ERR_FILE);
    EXPECT_EQ(fileOpenNamed(&f, dir.wide(), "missing.dat", CAL_MODE_READ_WRITE), CAL_ERR_FILE);
    EXPECT_FALSE(dir.exists("missing.dat"));

    dir.write("a.dat", "abc");
    EXPECT_EQ(fileOpenNamed(&f, dir.wide(), "a.dat", 4), CAL_ERR_FILE) << "no fifth mode";
    ASSERT_EQ(fileOpenForUpdate(&f, dir.wide(), "a.dat"), CAL_OK);
    fileClose(&f);
    fileClose(&f);
    EXPECT_EQ(fake.closes, 1);
}

TEST_F(FileLayerTest, PathIsBuiltWithOneSeparatorEachTime)
{
    FileRef f;
    fileInit(&f, fake.platform());
    dir.write("a.dat", "abc");
    ASSERT_EQ(fileOpenNamed(&f, dir.wide(), "a.dat", CAL_MODE_READ), CAL_OK);
    fileClose(&f);
    EXPECT_EQ(fake.lastPath, toWideString(dir.path() + "/a.dat"));

    // A trailing separator is kept: the path then holds two, passed on unchanged.
    std::basic_string<KZ_WCHAR> trailing = toWideString(dir.path() + "/");
    ASSERT_EQ(fileOpenNamed(&f, trailing.c_str(), "a.dat", CAL_MODE_READ), CAL_OK);
    fileClose(&f);
    EXPECT_EQ(fake.lastPath, toWideString(dir.path() + "//a.dat"));
}

TEST_F(FileLayerTest, NamesThatWouldLeaveTheDirectoryAreRefused)
{
    std::string sub = dir.makeSubdir("sub");
    std::basic_string<KZ_WCHAR> subWide = toWideString(sub);
    dir.write("outside.dat", "x");
    FileRef f;
    fileInit(&f, fake.platform());
    for (const char *name : {"../outside.dat", "..\\outside.dat", "c:x", ".", "..", ""}) {
        EXPECT_EQ(fileOpenNamed(&f, subWide.c_str(), name, CAL_MODE_READ), CAL_ERR_FILE) << name;
        EXPECT_EQ(fileCreateNew(&f, subWide.c_str(), name), CAL_ERR_FILE) << name;
        EXPECT_EQ(fileRemoveIfPresent(&f, subWide.c_str(), name), CAL_ERR_FILE) << name;
    }
    EXPECT_EQ(dir.read("outside.dat"), "x");
    EXPECT_EQ(fake.opens, 0);

    // No directory, and a name too long for the record.
    EXPECT_EQ(fileOpenNamed(&f, nullptr, "a.dat", CAL_MODE_READ), CAL_ERR_FILE);
    std::string longName(40, 'n');
    dir.write(longName.substr(0, 31), "x");
    EXPECT_EQ(fileOpenNamed(&f, dir.wide(), longName.c_str(), CAL_MODE_READ), CAL_ERR_FILE);
}

TEST_F(FileLayerTest, NonAsciiNamesPassThroughAsBytes)
{
    const char name[] = "t\xe9st\xc3\xa9.dat"; // one Latin-1 byte, one UTF-8 pair
    FileRef f;
    fileInit(&f, fake.platform());
    ASSERT_EQ(fileCreateNew(&f, dir.wide(), name), CAL_OK);
    fileClose(&f);
    EXPECT_TRUE(dir.exists(name));
    EXPECT_EQ(dir.list().size(), 1u);
}

TEST_F(FileLayerTest, ReadHeadReadsExactlyAndTellsAbsence)
{
    BufferedFile bf;
    initBuffered(&bf);
    dir.write("d.bin", std::string("a\0b\r\n", 5));
    ASSERT_EQ(fileReadHead(&bf, dir.wide(), "d.bin", 16), CAL_OK);
    EXPECT_EQ(bf.length, 5);
    EXPECT_EQ(std::string(static_cast<char *>(bf.buffer.data), 5), std::string("a\0b\r\n", 5));
    memRelease(&bf.buffer);

    // Only the first limit bytes are read.
    ASSERT_EQ(fileReadHead(&bf, dir.wide(), "d.bin", 3), CAL_OK);
    EXPECT_EQ(bf.length, 3);
    memRelease(&bf.buffer);

    dir.write("empty.bin", "");
    ASSERT_EQ(fileReadHead(&bf, dir.wide(), "empty.bin", 16), CAL_OK);
    EXPECT_EQ(bf.length, 0);
    memRelease(&bf.buffer);

    EXPECT_EQ(fileReadHead(&bf, dir.wide(), "missing.bin", 16), CAL_ERR_OPEN);
    EXPECT_EQ(bf.buffer.data, nullptr);

    // A block still in use is not overwritten.
    ASSERT_EQ(memAllocBlock(1, &bf.buffer), CAL_OK);
    EXPECT_EQ(fileReadHead(&bf, dir.wide(), "d.bin", 16), CAL_ERR_NO_MEMORY);
    memRelease(&bf.buffer);
    EXPECT_EQ(fake.outstandingAllocs, 0);
    EXPECT_EQ(fake.openHandles, 0);
}

// The head of a file shorter than the limit is read at the size its open
// found: one read, into a buffer of the text and a zero byte; a file of the
// limit or longer gives the limit. A host that does not tell the size at
// the open reads up to the limit as before.
TEST_F(FileLayerTest, ReadHeadReadsOnceAtTheSizeTheOpenFound)
{
    const int32_t limit = 8;
    for (bool sizeKnown : {true, false}) {
        CalPlatform host = fake.table;
        if (!sizeKnown) {
            host.open = [](void *ctx, CalHandle dir, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out,
                           int64_t *size) {
                CalIo io = static_cast<FakePlatform *>(ctx)->table.open(ctx, dir, path, kind, out, size);
                if (size != nullptr) {
                    *size = -1;
                }
                return io;
            };
        }
        for (int32_t n : {0, 1, limit - 1, limit, limit + 1, 100}) {
            dir.write("h.bin", std::string(static_cast<size_t>(n), 'x'));
            BufferedFile bf;
            bufferedFileInit(&bf, &host);
            fake.resetCounts();
            ASSERT_EQ(fileReadHead(&bf, dir.wide(), "h.bin", limit), CAL_OK) << n;
            const int32_t want = n < limit ? n : limit;
            EXPECT_EQ(bf.length, want) << n;
            EXPECT_EQ(std::string(static_cast<char *>(bf.buffer.data), static_cast<size_t>(want)),
                      std::string(static_cast<size_t>(want), 'x'));
            if (sizeKnown) {
                EXPECT_EQ(fake.ioCalls, n == 0 ? 0 : 1) << n << ": no read to meet the end";
                const size_t bytes = fake.blockSizes[bf.buffer.data];
                EXPECT_EQ(bytes, static_cast<size_t>(n < limit ? n + 1 : limit)) << n;
                if (n < limit) {
                    EXPECT_EQ(static_cast<char *>(bf.buffer.data)[n], 0) << n;
                }
            } else {
                EXPECT_EQ(fake.blockSizes[bf.buffer.data], static_cast<size_t>(limit)) << n;
            }
            memRelease(&bf.buffer);
        }
    }
    EXPECT_EQ(fake.outstandingAllocs, 0);
    EXPECT_EQ(fake.openHandles, 0);
}

// A listing through the held lock reads the directory from its start each
// time (the lock's descriptor is rewound, not reopened), sees what was
// created since, and leaves the lock held and open.
TEST_F(FileLayerTest, ListingThroughTheLockRewindsAndKeepsTheLock)
{
    dir.write("a.dat", "1");
    CalHandle lock = nullptr;
    ASSERT_EQ(dirLock(fake.platform(), dir.wide(), 0, &lock), CAL_OK);
    auto names = [&](CalHandle through) {
        std::vector<std::string> seen;
        auto visit = [](void *arg, const char *name) {
            static_cast<std::vector<std::string> *>(arg)->push_back(name);
            return true;
        };
        EXPECT_EQ(dirList(fake.platform(), dir.wide(), through, visit, &seen), CAL_OK);
        std::sort(seen.begin(), seen.end());
        return seen;
    };
    EXPECT_EQ(names(lock), std::vector<std::string>({"a.dat"}));
    EXPECT_EQ(names(lock), std::vector<std::string>({"a.dat"})) << "a second listing starts afresh";
    dir.write("b.dat", "2");
    EXPECT_EQ(names(lock), std::vector<std::string>({"a.dat", "b.dat"}));
    EXPECT_EQ(names(nullptr), names(lock));
    // The lock is still held: another holder cannot take it.
    CalHandle other = nullptr;
    EXPECT_EQ(dirLock(fake.platform(), dir.wide(), 0, &other), CAL_ERR_FILE);
    dirUnlock(fake.platform(), lock);
    ASSERT_EQ(dirLock(fake.platform(), dir.wide(), 0, &other), CAL_OK);
    dirUnlock(fake.platform(), other);
}

// A record bound to a held lock opens the names of the locked directory
// through it, telling absence, links and directories as an open by the path
// does; a name assigned in another directory is opened there, not in the
// locked one.
TEST_F(FileLayerTest, OpensThroughTheLockFindTheFilesOfTheLockedDirectoryOnly)
{
    TempDir other;
    dir.write("a.dat", "here");
    other.write("a.dat", "there!");
    dir.makeSubdir("sub");
    ASSERT_EQ(0, symlink(other.file("a.dat").c_str(), dir.file("link.dat").c_str()));
    CalHandle lock = nullptr;
    ASSERT_EQ(dirLock(fake.platform(), dir.wide(), 0, &lock), CAL_OK);

    FileRef f;
    fileInit(&f, fake.platform());
    fileBindDir(&f, dir.wide(), lock);
    ASSERT_EQ(fileOpenNamed(&f, dir.wide(), "a.dat", CAL_MODE_READ), CAL_OK);
    EXPECT_EQ(fileSizeAtOpen(&f), 4);
    fileClose(&f);
    EXPECT_EQ(fileProbe(&f, dir.wide(), "a.dat"), CAL_PROBE_REGULAR);
    EXPECT_EQ(fileProbe(&f, dir.wide(), "none.dat"), CAL_PROBE_ABSENT);
    EXPECT_EQ(fileProbe(&f, dir.wide(), "link.dat"), CAL_PROBE_FAILED) << "a link is not followed";
    EXPECT_EQ(fileOpenNamed(&f, dir.wide(), "sub", CAL_MODE_READ), CAL_ERR_FILE);
    EXPECT_EQ(f.dirLock, lock) << "names of the same directory keep the lock";

    ASSERT_EQ(fileOpenNamed(&f, other.wide(), "a.dat", CAL_MODE_READ), CAL_OK);
    EXPECT_EQ(fileSizeAtOpen(&f), 6) << "the file of the other directory, not the locked one's";
    fileClose(&f);
    dirUnlock(fake.platform(), lock);
}

TEST_F(FileLayerTest, ShortWriteIsAFailure)
{
    FileRef f;
    fileInit(&f, fake.platform());
    dir.write("t.bin", "");
    const char data[] = "line\r\n";
    ASSERT_EQ(fileOpenForUpdate(&f, dir.wide(), "t.bin"), CAL_OK);
    fake.shortIoAt = 1;
    EXPECT_EQ(fileWrite(&f, data, 6), CAL_ERR_FILE);
    fileClose(&f);
}

TEST_F(FileLayerTest, EveryFailingStepOfTheCompositesIsReported)
{
    dir.write("d.bin", "0123456789");
    for (long n = 1;; ++n) {
        fake.resetCounts();
        fake.failFileOpAt = n;
        BufferedFile bf;
        initBuffered(&bf);
        int16_t rc = fileReadHead(&bf, dir.wide(), "d.bin", 16);
        memRelease(&bf.buffer);
        if (fake.fileOps < n) {
            EXPECT_EQ(rc, CAL_OK);
            break;
        }
        EXPECT_TRUE(rc == CAL_ERR_OPEN || rc == CAL_ERR_FILE) << "op " << n << " rc " << rc;
        EXPECT_EQ(fake.openHandles, 0) << "op " << n;
    }
    for (long n = 1;; ++n) {
        fake.resetCounts();
        fake.failAllocAt = n;
        FileRef f;
        fileInit(&f, fake.platform());
        int16_t rc = fileProbe(&f, dir.wide(), "d.bin");
        if (fake.allocs < n) {
            EXPECT_EQ(rc, CAL_PROBE_REGULAR);
            break;
        }
        EXPECT_EQ(rc, CAL_ERR_FILE) << "alloc " << n;
        EXPECT_EQ(fake.outstandingAllocs, 0) << "alloc " << n;
    }
}

TEST_F(FileLayerTest, ReadsAreExactAndDirectoriesAreNotFiles)
{
    FileRef f;
    fileInit(&f, fake.platform());
    char b[4];
    dir.write("a.bin", "abcd");
    ASSERT_EQ(fileOpenNamed(&f, dir.wide(), "a.bin", CAL_MODE_READ), CAL_OK);
    EXPECT_EQ(fileSize(&f), 4);
    ASSERT_EQ(fileSeek(&f, 2), CAL_OK);
    EXPECT_EQ(fileRead(&f, b, 3), CAL_ERR_FILE) << "only two bytes are left";
    EXPECT_EQ(fileWrite(&f, b, 1), CAL_ERR_FILE) << "opened read-only";
    fileClose(&f);
    EXPECT_EQ(fileRead(&f, b, 1), CAL_ERR_FILE) << "closed";

    dir.makeSubdir("sub");
    EXPECT_EQ(fileOpenNamed(&f, dir.wide(), "sub", CAL_MODE_READ), CAL_ERR_FILE);
}

} // namespace
