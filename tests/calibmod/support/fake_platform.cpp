// The counting and failing platform for calibmod tests.
#include "fake_platform.h"

namespace {

FakePlatform *self(void *ctx) { return static_cast<FakePlatform *>(ctx); }

// Counts one file operation; true when it is to fail.
bool fileOpFails(FakePlatform *f) {
    ++f->fileOps;
    return f->failFileOpAt != 0 && f->fileOps == f->failFileOpAt;
}

// Counts one read or write; true when it is to come up one byte short.
bool ioIsShort(FakePlatform *f, long &ioCount) {
    ++ioCount;
    return f->shortIoAt != 0 && ioCount == f->shortIoAt;
}

bool fakeOpen(void *ctx, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out) {
    FakePlatform *f = self(ctx);
    f->lastPath = path;
    if (kind != CAL_OPEN_READ) {
        f->touched.push_back(path);
    }
    if (fileOpFails(f)) {
        return false;
    }
    if (!f->real->open(f->real->ctx, path, kind, out)) {
        return false;
    }
    ++f->opens;
    ++f->openHandles;
    return true;
}

bool fakeRemove(void *ctx, const KZ_WCHAR *path) {
    FakePlatform *f = self(ctx);
    f->lastPath = path;
    f->touched.push_back(path);
    if (fileOpFails(f)) {
        return false;
    }
    if (!f->real->remove(f->real->ctx, path)) {
        return false;
    }
    ++f->removes;
    return true;
}

bool fakeSeek(void *ctx, CalHandle h, uint32_t offset) {
    FakePlatform *f = self(ctx);
    return !fileOpFails(f) && f->real->seek(f->real->ctx, h, offset);
}

bool fakeRead(void *ctx, CalHandle h, void *buf, uint32_t count, uint32_t *got) {
    FakePlatform *f = self(ctx);
    if (fileOpFails(f)) {
        return false;
    }
    bool shortRead = ioIsShort(f, f->ioCalls) && count > 0;
    return f->real->read(f->real->ctx, h, buf, shortRead ? count - 1 : count, got);
}

bool fakeWrite(void *ctx, CalHandle h, const void *buf, uint32_t count, uint32_t *written) {
    FakePlatform *f = self(ctx);
    if (fileOpFails(f)) {
        return false;
    }
    bool shortWrite = ioIsShort(f, f->ioCalls) && count > 0;
    if (!f->real->write(f->real->ctx, h, buf, shortWrite ? count - 1 : count, written)) {
        return false;
    }
    ++f->writes;
    return true;
}

bool fakeSize(void *ctx, CalHandle h, uint32_t *out) {
    FakePlatform *f = self(ctx);
    return !fileOpFails(f) && f->real->size(f->real->ctx, h, out);
}

void fakeClose(void *ctx, CalHandle h) {
    FakePlatform *f = self(ctx);
    ++f->closes;
    --f->openHandles;
    f->real->close(f->real->ctx, h);
}

int fakeToWide(void *ctx, const char *src, int srcLen, KZ_WCHAR *dst, int dstLen) {
    FakePlatform *f = self(ctx);
    if (fileOpFails(f)) {
        return 0;
    }
    return f->real->toWide(f->real->ctx, src, srcLen, dst, dstLen);
}

void *fakeAlloc(void *ctx, size_t size) {
    FakePlatform *f = self(ctx);
    ++f->allocs;
    if ((f->failAllocAt != 0 && f->allocs == f->failAllocAt) ||
        (f->failAllocsFrom != 0 && f->allocs >= f->failAllocsFrom)) {
        return nullptr;
    }
    void *p = f->real->alloc(f->real->ctx, size);
    if (p != nullptr) {
        ++f->outstandingAllocs;
    }
    return p;
}

void fakeFree(void *ctx, void *p) {
    FakePlatform *f = self(ctx);
    if (p != nullptr) {
        --f->outstandingAllocs;
    }
    f->real->free(f->real->ctx, p);
}

} // namespace

FakePlatform::FakePlatform() : real(calDefaultPlatform()) {
    table.ctx = this;
    table.separator = real->separator;
    table.open = fakeOpen;
    table.remove = fakeRemove;
    table.seek = fakeSeek;
    table.read = fakeRead;
    table.write = fakeWrite;
    table.size = fakeSize;
    table.close = fakeClose;
    table.toWide = fakeToWide;
    table.alloc = fakeAlloc;
    table.free = fakeFree;
}

void FakePlatform::resetCounts() {
    allocs = fileOps = opens = closes = removes = writes = ioCalls = 0;
    failAllocAt = failFileOpAt = shortIoAt = failAllocsFrom = 0;
    touched.clear();
}
