// The counting and failing platform for calibmod tests.
#include "fake_platform.h"

#include <csignal>

namespace {

FakePlatform *self(void *ctx)
{
    return static_cast<FakePlatform *>(ctx);
}

// The last component of a wide path, one byte per unit (tests name files in ASCII).
std::string baseName(const KZ_WCHAR *path)
{
    std::string name;
    for (const KZ_WCHAR *p = path; *p != 0; ++p) {
        if (*p == '/' || *p == '\\') {
            name.clear();
        } else {
            name.push_back(static_cast<char>(*p));
        }
    }
    return name;
}

std::string nameOf(const FakePlatform *f, CalHandle h)
{
    auto it = f->handleNames.find(h);
    return it == f->handleNames.end() ? std::string("?") : it->second;
}

// Counts one file operation; true when it is to fail. A process that is to
// be killed at this operation dies here, before the operation is done.
bool fileOpFails(FakePlatform *f, const char *what, const std::string &on = std::string())
{
    if (f->logOps) {
        f->opLog.push_back(on.empty() ? std::string(what) : std::string(what) + " " + on);
    }
    ++f->fileOps;
    if (f->killAtFileOp != 0 && f->fileOps == f->killAtFileOp) {
        raise(SIGKILL);
    }
    return f->failFileOpAt != 0 && f->fileOps == f->failFileOpAt;
}

// Counts one read or write; true when it is to come up one byte short.
bool ioIsShort(FakePlatform *f, long &ioCount)
{
    ++ioCount;
    return f->shortIoAt != 0 && ioCount == f->shortIoAt;
}

CalIo fakeOpen(void *ctx, CalHandle dir, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out, int64_t *size)
{
    FakePlatform *f = self(ctx);
    f->lastPath = path;
    if (kind != CAL_OPEN_READ && kind != CAL_OPEN_READ_FOLLOW) {
        f->touched.push_back(path);
    }
    if (fileOpFails(f, "open", baseName(path))) {
        return f->failedOpenIs;
    }
    CalIo io = f->real->open(f->real->ctx, dir, path, kind, out, size);
    if (io != CAL_IO_OK) {
        return io;
    }
    f->handleNames[*out] = baseName(path);
    ++f->opens;
    ++f->openHandles;
    return CAL_IO_OK;
}

CalIo fakeRemove(void *ctx, const KZ_WCHAR *path)
{
    FakePlatform *f = self(ctx);
    f->lastPath = path;
    f->touched.push_back(path);
    if (fileOpFails(f, "remove", baseName(path))) {
        return CAL_IO_ERROR;
    }
    CalIo io = f->real->remove(f->real->ctx, path);
    if (io == CAL_IO_OK) {
        ++f->removes;
    }
    return io;
}

bool fakeSeek(void *ctx, CalHandle h, uint32_t offset)
{
    FakePlatform *f = self(ctx);
    return !fileOpFails(f, "seek", nameOf(f, h)) && f->real->seek(f->real->ctx, h, offset);
}

bool fakeRead(void *ctx, CalHandle h, void *buf, uint32_t count, uint32_t *got)
{
    FakePlatform *f = self(ctx);
    if (fileOpFails(f, "read", nameOf(f, h))) {
        return false;
    }
    bool shortRead = ioIsShort(f, f->ioCalls) && count > 0;
    return f->real->read(f->real->ctx, h, buf, shortRead ? count - 1 : count, got);
}

bool fakeWrite(void *ctx, CalHandle h, const void *buf, uint32_t count, uint32_t *written)
{
    FakePlatform *f = self(ctx);
    if (fileOpFails(f, "write", nameOf(f, h))) {
        return false;
    }
    bool shortWrite = ioIsShort(f, f->ioCalls) && count > 0;
    if (!f->real->write(f->real->ctx, h, buf, shortWrite ? count - 1 : count, written)) {
        return false;
    }
    ++f->writes;
    return true;
}

CalCopy fakeCopyRange(void *ctx, CalHandle from, CalHandle to, uint32_t count, uint32_t *copied)
{
    FakePlatform *f = self(ctx);
    *copied = 0;
    if (fileOpFails(f, "copy", nameOf(f, from) + " " + nameOf(f, to))) {
        return CAL_COPY_FAILED;
    }
    ++f->copies;
    bool shortCopy = ioIsShort(f, f->ioCalls) && count > 1;
    if (f->noSystemCopyFrom != 0 && f->copies >= f->noSystemCopyFrom) {
        return CAL_COPY_UNSUPPORTED;
    }
    CalCopy done = f->real->copyRange(f->real->ctx, from, to, shortCopy ? 1 : count, copied);
    f->copied += static_cast<long>(*copied);
    return done;
}

bool fakeSize(void *ctx, CalHandle h, uint32_t *out)
{
    FakePlatform *f = self(ctx);
    return !fileOpFails(f, "size", nameOf(f, h)) && f->real->size(f->real->ctx, h, out);
}

void fakeClose(void *ctx, CalHandle h)
{
    FakePlatform *f = self(ctx);
    ++f->closes;
    --f->openHandles;
    f->handleNames.erase(h);
    f->real->close(f->real->ctx, h);
}

bool fakeFlush(void *ctx, CalHandle h)
{
    FakePlatform *f = self(ctx);
    return !fileOpFails(f, "flush", nameOf(f, h)) && (f->flushSkipsSync || f->real->flush(f->real->ctx, h));
}

bool fakeFlushStart(void *ctx, CalHandle h)
{
    FakePlatform *f = self(ctx);
    return !fileOpFails(f, "flushStart", nameOf(f, h)) && (f->flushSkipsSync || f->real->flushStart(f->real->ctx, h));
}

bool fakeTruncate(void *ctx, CalHandle h, uint32_t size)
{
    FakePlatform *f = self(ctx);
    return !fileOpFails(f, "truncate", nameOf(f, h)) && f->real->truncate(f->real->ctx, h, size);
}

bool fakeRename(void *ctx, const KZ_WCHAR *from, const KZ_WCHAR *to)
{
    FakePlatform *f = self(ctx);
    f->lastPath = to;
    f->touched.push_back(from);
    f->touched.push_back(to);
    if (fileOpFails(f, "rename", baseName(from) + " " + baseName(to)) || !f->real->rename(f->real->ctx, from, to)) {
        return false;
    }
    ++f->renames;
    return true;
}

bool fakeSyncDir(void *ctx, const KZ_WCHAR *dir)
{
    FakePlatform *f = self(ctx);
    return !fileOpFails(f, "syncDir") && (f->flushSkipsSync || f->real->syncDir(f->real->ctx, dir));
}

CalIo fakeListDir(void *ctx, const KZ_WCHAR *dir, CalHandle lock, CalDirVisit visit, void *arg)
{
    FakePlatform *f = self(ctx);
    if (fileOpFails(f, "listDir")) {
        return CAL_IO_ERROR;
    }
    return f->real->listDir(f->real->ctx, dir, lock, visit, arg);
}

bool fakeLock(void *ctx, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *out)
{
    FakePlatform *f = self(ctx);
    if (fileOpFails(f, "lock") || !f->real->lock(f->real->ctx, dir, f->lockWaitMs >= 0 ? f->lockWaitMs : waitMs, out)) {
        return false;
    }
    ++f->locksHeld;
    return true;
}

void fakeUnlock(void *ctx, CalHandle token)
{
    FakePlatform *f = self(ctx);
    --f->locksHeld;
    f->real->unlock(f->real->ctx, token);
}

int fakeToWide(void *ctx, const char *src, int srcLen, KZ_WCHAR *dst, int dstLen)
{
    FakePlatform *f = self(ctx);
    if (fileOpFails(f, "toWide")) {
        return 0;
    }
    return f->real->toWide(f->real->ctx, src, srcLen, dst, dstLen);
}

void *fakeAlloc(void *ctx, size_t size)
{
    FakePlatform *f = self(ctx);
    ++f->allocs;
    if ((f->failAllocAt != 0 && f->allocs == f->failAllocAt) ||
        (f->failAllocsFrom != 0 && f->allocs >= f->failAllocsFrom)) {
        return nullptr;
    }
    void *p = f->real->alloc(f->real->ctx, size);
    if (p != nullptr) {
        ++f->outstandingAllocs;
        f->blockSizes[p] = size;
        f->bytesOutstanding += static_cast<long long>(size);
        if (f->bytesOutstanding > f->peakBytes) {
            f->peakBytes = f->bytesOutstanding;
        }
    }
    return p;
}

void fakeFree(void *ctx, void *p)
{
    FakePlatform *f = self(ctx);
    if (p != nullptr) {
        --f->outstandingAllocs;
        auto it = f->blockSizes.find(p);
        if (it != f->blockSizes.end()) {
            f->bytesOutstanding -= static_cast<long long>(it->second);
            f->blockSizes.erase(it);
        }
    }
    f->real->free(f->real->ctx, p);
}

} // namespace

FakePlatform::FakePlatform() : real(calDefaultPlatform())
{
    table.ctx = this;
    table.separator = real->separator;
    table.open = fakeOpen;
    table.remove = fakeRemove;
    table.seek = fakeSeek;
    table.read = fakeRead;
    table.write = fakeWrite;
    table.size = fakeSize;
    table.close = fakeClose;
    table.flush = fakeFlush;
    table.truncate = fakeTruncate;
    table.rename = fakeRename;
    table.listDir = fakeListDir;
    table.lock = fakeLock;
    table.unlock = fakeUnlock;
    table.toWide = fakeToWide;
    table.alloc = fakeAlloc;
    table.free = fakeFree;
    table.syncDir = fakeSyncDir;
    table.copyRange = fakeCopyRange;
    table.flushStart = fakeFlushStart;
}

void FakePlatform::resetCounts()
{
    allocs = fileOps = opens = closes = removes = writes = ioCalls = renames = copies = copied = 0;
    failAllocAt = failFileOpAt = shortIoAt = failAllocsFrom = killAtFileOp = noSystemCopyFrom = 0;
    failedOpenIs = CAL_IO_ERROR;
    touched.clear();
    opLog.clear();
    peakBytes = bytesOutstanding;
}

long FakePlatform::firstOp(const std::string &prefix) const
{
    for (size_t i = 0; i < opLog.size(); ++i) {
        if (opLog[i].compare(0, prefix.size(), prefix) == 0) {
            return static_cast<long>(i + 1);
        }
    }
    return 0;
}
