// A read-only platform seam over bytes held in memory, so that the table
// layer reads standard input or a buffer exactly as it reads a file.
#include "inspect_mem.h"

#include <cstring>

namespace {

InspectMemFile *memFile(void *ctx)
{
    return static_cast<InspectMemFile *>(ctx);
}

CalIo memOpen(void *ctx, CalHandle, const KZ_WCHAR *, CalOpenKind kind, CalHandle *out, int64_t *size)
{
    if (kind != CAL_OPEN_READ && kind != CAL_OPEN_READ_FOLLOW) {
        return CAL_IO_ERROR; // the bytes are never written
    }
    memFile(ctx)->position = 0;
    if (size != nullptr) {
        *size = memFile(ctx)->size;
    }
    *out = ctx;
    return CAL_IO_OK;
}

CalIo memRemove(void *, const KZ_WCHAR *)
{
    return CAL_IO_ERROR;
}

bool memSeek(void *ctx, CalHandle, uint32_t offset)
{
    memFile(ctx)->position = offset;
    return true;
}

bool memRead(void *ctx, CalHandle, void *buf, uint32_t count, uint32_t *got)
{
    InspectMemFile *m = memFile(ctx);
    uint32_t left = m->position < m->size ? m->size - m->position : 0;
    *got = count < left ? count : left;
    if (*got > 0) {
        std::memcpy(buf, m->data + m->position, *got);
    }
    m->position += *got;
    return true;
}

bool memWrite(void *, CalHandle, const void *, uint32_t, uint32_t *written)
{
    *written = 0;
    return false;
}

bool memSize(void *ctx, CalHandle, uint32_t *out)
{
    *out = memFile(ctx)->size;
    return true;
}

void memClose(void *, CalHandle) {}

bool memNo(void *, CalHandle)
{
    return false;
}

bool memTruncate(void *, CalHandle, uint32_t)
{
    return false;
}

bool memRename(void *, const KZ_WCHAR *, const KZ_WCHAR *)
{
    return false;
}

CalIo memListDir(void *, const KZ_WCHAR *, CalHandle, CalDirVisit, void *)
{
    return CAL_IO_ERROR;
}

bool memLock(void *, const KZ_WCHAR *, uint32_t, CalHandle *)
{
    return false;
}

void memUnlock(void *, CalHandle) {}

int memToWide(void *, const char *src, int srcLen, KZ_WCHAR *dst, int dstLen)
{
    int n = srcLen < dstLen ? srcLen : dstLen;
    for (int i = 0; i < n; ++i) {
        dst[i] = static_cast<KZ_WCHAR>(static_cast<unsigned char>(src[i]));
    }
    return n;
}

void *memAlloc(void *ctx, size_t size)
{
    const CalPlatform *host = memFile(ctx)->host;
    return host->alloc(host->ctx, size);
}

void memFree(void *ctx, void *p)
{
    const CalPlatform *host = memFile(ctx)->host;
    host->free(host->ctx, p);
}

bool memSyncDir(void *, const KZ_WCHAR *)
{
    return false;
}

} // namespace

void inspectMemPlatform(InspectMemFile *file, const CalPlatform *host, const uint8_t *data, uint32_t size,
                        CalPlatform *out)
{
    file->data = data;
    file->size = size;
    file->position = 0;
    file->host = calPlatformOr(host);
    std::memset(out, 0, sizeof *out);
    out->ctx = file;
    out->separator = '/';
    out->open = memOpen;
    out->remove = memRemove;
    out->seek = memSeek;
    out->read = memRead;
    out->write = memWrite;
    out->size = memSize;
    out->close = memClose;
    out->flush = memNo;
    out->flushStart = memNo;
    out->truncate = memTruncate;
    out->rename = memRename;
    out->listDir = memListDir;
    out->lock = memLock;
    out->unlock = memUnlock;
    out->toWide = memToWide;
    out->alloc = memAlloc;
    out->free = memFree;
    out->syncDir = memSyncDir;
}
