// The POSIX backend keeps a caller's printer store file open between queries:
// every rewrite of the file (in place, whatever its size and times, or by a
// rename), its removal, a change of its mode and whatever replaces it is
// seen at the next query, as a fresh open would see it; nothing kept leaks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <thread>
#include <vector>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform.h"

namespace {

class KeptStoreTest : public ::testing::Test {
protected:
    const ZMD_Platform *p = ZMD_DefaultPlatform();
    std::string dir, path;
    std::string oldDir;
    bool hadDir = false;

    void SetUp() override
    {
        char tmpl[] = "/tmp/zmd-kept-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        path = dir + "/P.conf";
        const char *v = std::getenv("ZMD_PRINTER_DIR");
        hadDir = v != nullptr;
        oldDir = v ? v : "";
        setenv("ZMD_PRINTER_DIR", dir.c_str(), 1);
    }
    void TearDown() override
    {
        if (hadDir) {
            setenv("ZMD_PRINTER_DIR", oldDir.c_str(), 1);
        } else {
            unsetenv("ZMD_PRINTER_DIR");
        }
        std::string cmd = "chmod -R u+rwx '" + dir + "' && rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    // Writes the file anew (truncated in place, the same file).
    void write(const std::string &file, const std::string &content)
    {
        FILE *f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(content.c_str(), f);
        std::fclose(f);
    }
    void *open()
    {
        void *h = nullptr;
        return p->openPrinter(p->ctx, reinterpret_cast<const ZMD_WCHAR *>(u"P"), &h) ? h : nullptr;
    }
    // One query's read of value B through a hold of its own; -1: no value.
    int32_t query(void *h)
    {
        ZMD_PrinterHold hold{h, nullptr};
        uint8_t data[4] = {};
        uint32_t needed = 0;
        const bool ok =
            p->getHeldPrinterData(p->ctx, &hold, reinterpret_cast<const ZMD_WCHAR *>(u"B"), data, 4, &needed);
        p->releaseHold(p->ctx, &hold);
        int32_t v = -1;
        if (ok) {
            std::memcpy(&v, data, 4);
        }
        return v;
    }
};

// The descriptors this process has open.
int OpenDescriptors()
{
    DIR *d = opendir("/proc/self/fd");
    if (!d) {
        return -1;
    }
    int n = 0;
    while (readdir(d)) {
        ++n;
    }
    closedir(d);
    return n;
}

TEST_F(KeptStoreTest, EveryRewriteIsSeenAtTheNextQuery)
{
    write(path, "QuietMode = 1\nB = 10\n");
    void *h = open();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(query(h), 10);
    EXPECT_EQ(query(h), 10) << "the kept store answers while it is the file";

    // In place, the same size, its modification time put back: only the bytes tell.
    struct stat before;
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "11", 2, 18), 2);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(futimens(fd, times), 0);
    close(fd);
    struct stat after;
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    ASSERT_EQ(after.st_size, before.st_size);
    ASSERT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(query(h), 11);
    // Back again at once (within the same tick of the file system's clock, as a rule).
    write(path, "QuietMode = 1\nB = 10\n");
    EXPECT_EQ(query(h), 10);

    // By a rename over it, the same size.
    write(dir + "/new", "QuietMode = 1\nB = 12\n");
    ASSERT_EQ(std::rename((dir + "/new").c_str(), path.c_str()), 0);
    EXPECT_EQ(query(h), 12);

    // Longer, shorter, emptied.
    write(path, "QuietMode = 1\nB = 12\nB = 99\n# and a comment\n");
    EXPECT_EQ(query(h), 12);
    write(path, "B = 13\n");
    EXPECT_EQ(query(h), 13);
    write(path, "");
    EXPECT_EQ(query(h), -1);
    write(path, "B = 14\n");
    EXPECT_EQ(query(h), 14);

    // Removed, then back.
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(query(h), -1);
    write(path, "B = 15\n");
    EXPECT_EQ(query(h), 15);

    // A file the process may no longer open answers as a fresh open would
    // (root opens it whatever its mode).
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    const int fresh = ::open(path.c_str(), O_RDONLY);
    EXPECT_EQ(query(h), fresh >= 0 ? 15 : -1);
    if (fresh >= 0) {
        close(fresh);
    }
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(query(h), 15);
    p->closePrinter(p->ctx, h);
}

// A write through a shared mapping to a page it has already dirtied changes
// the bytes and leaves the file's times as they were: only the bytes tell.
TEST_F(KeptStoreTest, AWriteThatLeavesTheFileTimesIsSeen)
{
    write(path, "B = 10\n");
    const int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    void *mapped = mmap(nullptr, 7, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    char *text = static_cast<char *>(mapped);
    text[5] = '1'; // the page is dirty from here on
    void *h = open();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(query(h), 11);
    EXPECT_EQ(query(h), 11);
    struct stat before, after;
    ASSERT_EQ(fstat(fd, &before), 0);
    text[5] = '2';
    ASSERT_EQ(fstat(fd, &after), 0);
    EXPECT_EQ(query(h), 12);
    text[5] = '3';
    EXPECT_EQ(query(h), 13);
    if (before.st_ctim.tv_sec != after.st_ctim.tv_sec || before.st_ctim.tv_nsec != after.st_ctim.tv_nsec) {
        std::printf("note: the write moved the change time here (the page was written back)\n");
    }
    p->closePrinter(p->ctx, h);
    munmap(mapped, 7);
    close(fd);
}

// What replaces a kept file is checked as a fresh open checks it: a FIFO, a
// directory, a link (to a device or to a good store file) or a file beyond
// 1 MiB is no printer data, and nothing blocks.
TEST_F(KeptStoreTest, WhatReplacesAKeptFileIsCheckedAsAtOpen)
{
    struct Shape {
        const char *what;
        void (*make)(const std::string &dir, const std::string &path);
    };
    const Shape shapes[] = {
        {"a FIFO without a writer",
         [](const std::string &, const std::string &path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
        {"a link to /dev/zero",
         [](const std::string &, const std::string &path) { ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0); }},
        {"a directory", [](const std::string &, const std::string &path) { ASSERT_EQ(mkdir(path.c_str(), 0700), 0); }},
        {"a link to a store file",
         [](const std::string &dir, const std::string &path) {
             FILE *f = std::fopen((dir + "/Real.conf").c_str(), "w");
             ASSERT_NE(f, nullptr);
             std::fputs("B = 3\n", f);
             std::fclose(f);
             ASSERT_EQ(symlink("Real.conf", path.c_str()), 0);
         }},
        {"one byte more than 1 MiB",
         [](const std::string &, const std::string &path) {
             std::string text = "B = 4\n";
             text.resize(1024 * 1024 + 1, '#');
             FILE *f = std::fopen(path.c_str(), "w");
             ASSERT_NE(f, nullptr);
             ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
             std::fclose(f);
         }},
    };
    for (const Shape &shape : shapes) {
        SCOPED_TRACE(shape.what);
        write(path, "B = 2\n");
        void *h = open();
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(query(h), 2);
        EXPECT_EQ(query(h), 2);
        ASSERT_EQ(std::remove(path.c_str()), 0);
        shape.make(dir, path);
        EXPECT_EQ(query(h), -1);
        EXPECT_EQ(query(h), -1);
        p->closePrinter(p->ctx, h);
        std::string cmd = "rm -rf '" + path + "' '" + dir + "/Real.conf'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
}

// Two queries on one handle at once each read the store; what they keep
// goes back to the printer (one kept, the other freed), and closing the
// printer closes every file it kept.
TEST_F(KeptStoreTest, OverlappingQueriesAndCloseLeaveNothingOpen)
{
    const int baseline = OpenDescriptors();
    if (baseline < 0) {
        GTEST_SKIP() << "no /proc/self/fd";
    }
    write(path, "B = 5\n");
    void *h = open();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(query(h), 5);
    ZMD_PrinterHold first{h, nullptr}, second{h, nullptr};
    uint8_t data[4] = {};
    uint32_t needed = 0;
    const ZMD_WCHAR *name = reinterpret_cast<const ZMD_WCHAR *>(u"B");
    ASSERT_TRUE(p->getHeldPrinterData(p->ctx, &first, name, data, 4, &needed));
    EXPECT_EQ(data[0], 5);
    write(path, "B = 6\n");
    ASSERT_TRUE(p->getHeldPrinterData(p->ctx, &second, name, data, 4, &needed));
    EXPECT_EQ(data[0], 6);
    ASSERT_TRUE(p->getHeldPrinterData(p->ctx, &first, name, data, 4, &needed));
    EXPECT_EQ(data[0], 5) << "a hold keeps what its first read took";
    p->releaseHold(p->ctx, &second);
    p->releaseHold(p->ctx, &first);
    EXPECT_EQ(query(h), 6);
    EXPECT_EQ(OpenDescriptors(), baseline + 1) << "one store file kept open";
    p->closePrinter(p->ctx, h);
    EXPECT_EQ(OpenDescriptors(), baseline);

    // A printer opened for one query keeps nothing once closed either.
    void *once = open();
    ASSERT_NE(once, nullptr);
    ZMD_PrinterHold forQuery{once, nullptr, true};
    ASSERT_TRUE(p->getHeldPrinterData(p->ctx, &forQuery, name, data, 4, &needed));
    p->releaseHold(p->ctx, &forQuery);
    p->closePrinter(p->ctx, once);
    EXPECT_EQ(OpenDescriptors(), baseline);
}

// Queries on one handle from several threads at once: each takes what is
// kept or reads afresh, and gives back whole; none sees another's store.
TEST_F(KeptStoreTest, QueriesFromSeveralThreadsOnOneHandle)
{
    write(path, "B = 7\n");
    void *h = open();
    ASSERT_NE(h, nullptr);
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, h, t, &wrong] {
            for (int i = 0; i < 300; ++i) {
                wrong[t] += query(h) != 7;
            }
        });
    }
    for (std::thread &t : threads) {
        t.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
    p->closePrinter(p->ctx, h);
}

} // namespace
