// A warm KZCalibration call (the key is listed and its copy current) opens
// exactly the files the flow names, in its order, once each and read-only:
// the list file, the copy (presence and identification string) and the
// source (identification string). Each is read once, from its start, no
// size is asked beyond what the opens found, and nothing is positioned:
// the header and the identification string of the data files lie in the
// head read. It writes, creates and deletes nothing; every handle and
// block is given back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cal_platform.h"
#include "cal_types.h"
#include "list_file.h"
#include "calib_flow.h"
#include "flow_fixture.h"

namespace {

// Every file operation of a call, recorded on top of the real backend.
struct Recorder {
    CalPlatform table;
    const CalPlatform *real = calDefaultPlatform();
    std::vector<std::string> opens; // "r path" or "w path" (anything but read-only)
    std::vector<bool> throughLock;  // per open: given the token of its directory's lock
    int removes = 0, writes = 0, reads = 0, seeks = 0, sizes = 0, closes = 0, allocs = 0, frees = 0;

    static Recorder *self(void *ctx) { return static_cast<Recorder *>(ctx); }

    Recorder()
    {
        table = *real;
        table.ctx = this;
        table.open = [](void *ctx, CalHandle dir, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out,
                        int64_t *size) {
            std::string p;
            for (const KZ_WCHAR *c = path; *c; ++c) {
                p.push_back(static_cast<char>(*c));
            }
            self(ctx)->throughLock.push_back(dir != nullptr);
            self(ctx)->opens.push_back((kind == CAL_OPEN_READ || kind == CAL_OPEN_READ_FOLLOW ? "r " : "w ") + p);
            return self(ctx)->real->open(self(ctx)->real->ctx, dir, path, kind, out, size);
        };
        table.remove = [](void *ctx, const KZ_WCHAR *path) {
            ++self(ctx)->removes;
            return self(ctx)->real->remove(self(ctx)->real->ctx, path);
        };
        table.seek = [](void *ctx, CalHandle h, uint32_t off) {
            ++self(ctx)->seeks;
            return self(ctx)->real->seek(self(ctx)->real->ctx, h, off);
        };
        table.read = [](void *ctx, CalHandle h, void *buf, uint32_t n, uint32_t *got) {
            ++self(ctx)->reads;
            return self(ctx)->real->read(self(ctx)->real->ctx, h, buf, n, got);
        };
        table.write = [](void *ctx, CalHandle h, const void *buf, uint32_t n, uint32_t *put) {
            ++self(ctx)->writes;
            return self(ctx)->real->write(self(ctx)->real->ctx, h, buf, n, put);
        };
        table.size = [](void *ctx, CalHandle h, uint32_t *out) {
            ++self(ctx)->sizes;
            return self(ctx)->real->size(self(ctx)->real->ctx, h, out);
        };
        table.close = [](void *ctx, CalHandle h) {
            ++self(ctx)->closes;
            self(ctx)->real->close(self(ctx)->real->ctx, h);
        };
        table.toWide = [](void *ctx, const char *src, int n, KZ_WCHAR *dst, int cap) {
            return self(ctx)->real->toWide(self(ctx)->real->ctx, src, n, dst, cap);
        };
        table.alloc = [](void *ctx, size_t size) {
            ++self(ctx)->allocs;
            return self(ctx)->real->alloc(self(ctx)->real->ctx, size);
        };
        table.free = [](void *ctx, void *p) {
            ++self(ctx)->frees;
            self(ctx)->real->free(self(ctx)->real->ctx, p);
        };
    }
};

TEST(WarmCallFiles, OpensAndReadsTheListTheCopyAndTheSourceOnceAndWritesNothing)
{
    FlowScene s;
    s.writeSource(flowSource("KZ-CAL SAMPLE 1"));
    ASSERT_EQ(CAL_OK, s.call());
    const std::string copy = s.result();
    const std::string list = s.list();

    Recorder rec;
    ASSERT_EQ(CAL_OK, s.callOn(&rec.table));
    EXPECT_EQ(copy, s.result());
    const std::vector<std::string> want = {
        "r " + s.calib.file("abcde007.ini"),
        "r " + s.calib.file(copy),
        "r " + s.source.file("Table0.dat"),
    };
    EXPECT_EQ(want, rec.opens);
    // The list and the copy are opened in the locked calibration directory
    // through the lock's handle; the source's directory is the caller's.
    EXPECT_EQ(std::vector<bool>({true, true, false}), rec.throughLock);
    EXPECT_EQ(3, rec.reads);
    EXPECT_EQ(0, rec.seeks);
    EXPECT_EQ(0, rec.sizes) << "the sizes are those the opens found";
    EXPECT_EQ(0, rec.writes);
    EXPECT_EQ(0, rec.removes);
    EXPECT_EQ(static_cast<int>(rec.opens.size()), rec.closes);
    EXPECT_EQ(rec.allocs, rec.frees);
    EXPECT_EQ(list, s.list());
}

// For comparison, a cold call names the files it works on: the list (read),
// the source (read whole), the new copy (created, written, updated) and the
// list again (written); nothing outside the two directories.
TEST(WarmCallFiles, AColdCallTouchesOnlyItsOwnFiles)
{
    FlowScene s;
    s.writeSource(flowSource("KZ-CAL SAMPLE 1"));
    Recorder rec;
    ASSERT_EQ(CAL_OK, s.callOn(&rec.table));
    const std::string copy = s.result();
    for (const std::string &o : rec.opens) {
        const std::string path = o.substr(2);
        const bool known = path == s.calib.file("abcde007.ini") || path == s.calib.file(copy) ||
                           path == s.source.file("Table0.dat") || path == s.calib.file(CAL_TEMP_COPY_NAME) ||
                           path == s.calib.file(CAL_TEMP_LIST_NAME);
        EXPECT_TRUE(known) << o;
        if (path == s.source.file("Table0.dat")) {
            EXPECT_EQ('r', o[0]) << "the source is only read";
        }
    }
    EXPECT_GT(rec.writes, 0);
    EXPECT_EQ(rec.allocs, rec.frees);
}

} // namespace
