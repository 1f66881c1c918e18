// The file layer: opens, positioned reads and writes, size, recreation.
#include "file_layer.h"

#include <cstring>

#include "cal_types.h"
#include "file_path.h"

namespace {

const CalPlatform *hostOf(const FileRef *file)
{
    return calPlatformOr(file->platform);
}

// Builds the path and opens it with kind; the path is released before
// returning. CAL_OK, CAL_ERR_OPEN when nothing is at the name, else CAL_ERR_FILE.
int16_t pathOpen(FileRef *file, CalOpenKind kind)
{
    file->handle = nullptr;
    file->openSize = -1;
    FilePath path;
    int16_t rc = pathBuild(file, &path);
    if (rc == CAL_OK) {
        const CalPlatform *p = hostOf(file);
        CalHandle h = nullptr;
        int64_t size = -1;
        CalIo io = p->open(p->ctx, file->dirLock, path.path, kind, &h, &size);
        if (io == CAL_IO_OK && h != nullptr) {
            file->handle = h;
            file->openSize = size;
        } else {
            rc = io == CAL_IO_ABSENT ? CAL_ERR_OPEN : CAL_ERR_FILE;
        }
    }
    pathRelease(&path);
    return rc;
}

// The open kind of a file layer mode; false for an unknown mode.
bool kindOf(int16_t mode, CalOpenKind *kind)
{
    switch (mode) {
    case CAL_MODE_READ:
        *kind = CAL_OPEN_READ;
        return true;
    case CAL_MODE_READ_WRITE:
        *kind = CAL_OPEN_READ_WRITE;
        return true;
    case CAL_MODE_READ_SOURCE:
        *kind = CAL_OPEN_READ_FOLLOW;
        return true;
    case CAL_MODE_APPEND:
        *kind = CAL_OPEN_APPEND;
        return true;
    default:
        return false;
    }
}

} // namespace

void fileInit(FileRef *file, const CalPlatform *platform)
{
    memset(file->name, 0, sizeof file->name);
    file->handle = nullptr;
    file->openSize = -1;
    file->dir = nullptr;
    file->dirLock = nullptr;
    file->platform = platform;
}

void fileBindDir(FileRef *file, const KZ_WCHAR *dir, CalHandle lock)
{
    file->dir = dir;
    file->dirLock = dir != nullptr ? lock : nullptr;
}

void bufferedFileInit(BufferedFile *bf, const CalPlatform *platform)
{
    fileInit(&bf->file, platform);
    bf->length = 0;
    memInit(&bf->buffer, platform);
}

void fileAssign(FileRef *file, const KZ_WCHAR *dir, const char *name)
{
    if (dir != nullptr && dir != file->dir) {
        file->dir = dir;
        file->dirLock = nullptr; // the lock held is another directory's
    }
    memset(file->name, 0, sizeof file->name);
    if (name == nullptr) {
        return;
    }
    size_t len = strnlen(name, CAL_FILE_NAME_SIZE);
    if (len < CAL_FILE_NAME_SIZE) { // too long: left empty, so no open reaches a shortened name
        memcpy(file->name, name, len);
    }
}

int16_t fileOpenOrAbsent(FileRef *file, int16_t mode)
{
    CalOpenKind kind;
    if (!kindOf(mode, &kind)) {
        file->handle = nullptr;
        return CAL_ERR_FILE;
    }
    return pathOpen(file, kind);
}

int16_t fileOpen(FileRef *file, int16_t mode)
{
    return fileOpenOrAbsent(file, mode) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
}

int16_t fileCreateNew(FileRef *file, const KZ_WCHAR *dir, const char *name)
{
    fileAssign(file, dir, name);
    return pathOpen(file, CAL_OPEN_CREATE_NEW) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
}

void fileClose(FileRef *file)
{
    if (file->handle != nullptr) {
        const CalPlatform *p = hostOf(file);
        p->close(p->ctx, file->handle);
        file->handle = nullptr;
    }
}

int16_t fileSeek(FileRef *file, int32_t offset)
{
    if (file->handle == nullptr || offset < 0) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = hostOf(file);
    return p->seek(p->ctx, file->handle, static_cast<uint32_t>(offset)) ? CAL_OK : CAL_ERR_FILE;
}

int16_t fileRead(FileRef *file, void *buffer, int32_t count)
{
    if (file->handle == nullptr || count < 0 || (buffer == nullptr && count > 0)) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = hostOf(file);
    uint32_t got = 0;
    if (!p->read(p->ctx, file->handle, buffer, static_cast<uint32_t>(count), &got) ||
        got != static_cast<uint32_t>(count)) {
        return CAL_ERR_FILE;
    }
    return CAL_OK;
}

int16_t fileReadSome(FileRef *file, void *buffer, int32_t count, int32_t *got)
{
    *got = 0;
    if (file->handle == nullptr || count < 0 || (buffer == nullptr && count > 0)) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = hostOf(file);
    uint32_t n = 0;
    if (!p->read(p->ctx, file->handle, buffer, static_cast<uint32_t>(count), &n) || n > static_cast<uint32_t>(count)) {
        return CAL_ERR_FILE;
    }
    *got = static_cast<int32_t>(n);
    return CAL_OK;
}

int16_t fileCopySome(FileRef *from, FileRef *to, int32_t count, int32_t *got)
{
    *got = 0;
    if (from->handle == nullptr || to->handle == nullptr || count < 0) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = hostOf(from);
    uint32_t n = 0;
    CalCopy done = p->copyRange(p->ctx, from->handle, to->handle, static_cast<uint32_t>(count), &n);
    if (done == CAL_COPY_UNSUPPORTED && n == 0) {
        return CAL_FAIL;
    }
    if (done != CAL_COPY_DONE || n > static_cast<uint32_t>(count)) {
        return CAL_ERR_FILE;
    }
    *got = static_cast<int32_t>(n);
    return CAL_OK;
}

int16_t fileFlush(FileRef *file)
{
    if (file->handle == nullptr) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = hostOf(file);
    return p->flush(p->ctx, file->handle) ? CAL_OK : CAL_ERR_FILE;
}

void fileFlushStart(FileRef *file)
{
    if (file->handle != nullptr) {
        const CalPlatform *p = hostOf(file);
        p->flushStart(p->ctx, file->handle); // a hint: a refusal leaves the whole flush to fileFlush
    }
}

int16_t fileTruncate(FileRef *file, int32_t size)
{
    if (file->handle == nullptr || size < 0) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = hostOf(file);
    return p->truncate(p->ctx, file->handle, static_cast<uint32_t>(size)) ? CAL_OK : CAL_ERR_FILE;
}

int16_t fileWrite(FileRef *file, const void *buffer, int32_t count)
{
    if (file->handle == nullptr || count < 0 || (buffer == nullptr && count > 0)) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = hostOf(file);
    uint32_t written = 0;
    // A short write is a failure: on a full disk it would leave a truncated
    // copy or list line behind while reporting success.
    if (!p->write(p->ctx, file->handle, buffer, static_cast<uint32_t>(count), &written) ||
        written != static_cast<uint32_t>(count)) {
        return CAL_ERR_FILE;
    }
    return CAL_OK;
}

int32_t fileSize(FileRef *file)
{
    if (file->handle == nullptr) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = hostOf(file);
    uint32_t size = 0;
    if (!p->size(p->ctx, file->handle, &size) || size > 0x7FFFFFFFu) {
        return CAL_ERR_FILE;
    }
    return static_cast<int32_t>(size);
}

int32_t fileSizeAtOpen(FileRef *file)
{
    if (file->handle == nullptr) {
        return CAL_ERR_FILE;
    }
    if (file->openSize >= 0) {
        return file->openSize <= 0x7FFFFFFF ? static_cast<int32_t>(file->openSize) : CAL_ERR_FILE;
    }
    return fileSize(file);
}

int16_t fileOpenNamed(FileRef *file, const KZ_WCHAR *dir, const char *name, int16_t mode)
{
    fileAssign(file, dir, name);
    return fileOpen(file, mode);
}

int16_t fileOpenForUpdate(FileRef *file, const KZ_WCHAR *dir, const char *name)
{
    return fileOpenNamed(file, dir, name, CAL_MODE_READ_WRITE);
}

CalProbe fileProbe(FileRef *file, const KZ_WCHAR *dir, const char *name)
{
    fileAssign(file, dir, name);
    FilePath path;
    CalProbe rc = CAL_PROBE_FAILED;
    if (pathBuild(file, &path) == CAL_OK) {
        const CalPlatform *p = hostOf(file);
        CalHandle h = nullptr;
        CalIo io = p->open(p->ctx, file->dirLock, path.path, CAL_OPEN_READ, &h, nullptr);
        if (io == CAL_IO_OK && h != nullptr) {
            p->close(p->ctx, h);
            rc = CAL_PROBE_REGULAR;
        } else {
            rc = io == CAL_IO_ABSENT ? CAL_PROBE_ABSENT : CAL_PROBE_FAILED;
        }
    }
    pathRelease(&path);
    return rc;
}

int16_t fileReadHead(BufferedFile *bf, const KZ_WCHAR *dir, const char *name, int32_t limit)
{
    bf->length = 0;
    fileAssign(&bf->file, dir, name);
    int16_t rc = fileOpenOrAbsent(&bf->file, CAL_MODE_READ);
    if (rc != CAL_OK) {
        return rc;
    }
    // A file the open found shorter than limit is read at that size: one
    // read that needs no second one to meet the end, into a buffer of the
    // text and a terminator. An unknown size reads up to limit.
    int32_t want = limit;
    if (bf->file.openSize >= 0 && bf->file.openSize < limit) {
        want = static_cast<int32_t>(bf->file.openSize);
    }
    uint32_t bytes = static_cast<uint32_t>(want < limit ? want + 1 : limit);
    if (limit <= 0 || memAllocBlock(bytes, &bf->buffer) != CAL_OK) {
        rc = CAL_ERR_NO_MEMORY;
    } else if (want > 0) {
        int32_t got = 0;
        rc = fileReadSome(&bf->file, bf->buffer.data, want, &got);
        bf->length = rc == CAL_OK ? got : 0;
    }
    fileClose(&bf->file);
    return rc;
}
