// The POSIX backend of the calibmod platform seam (Linux development builds).
//
// Paths arrive as UTF-16 (directory, separator '/', name) and are converted
// to UTF-8. The name part reaches UTF-16 through toWide, which keeps ASCII
// and carries every other byte as U+DC00 + byte; the conversion here turns
// those back into the byte, so names are passed through as bytes. Open modes
// map to O_RDONLY / O_RDWR / O_WRONLY; share modes are not emulated: calls on
// one calibration directory are serialised by the directory lock instead.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_platform.h"

namespace {

// Writes the UTF-8 form of the NUL-terminated UTF-16 path into a new
// malloc'ed string. Null on invalid UTF-16 (a lone surrogate other than the
// escaped bytes) or without memory.
char *pathToUtf8(const KZ_WCHAR *path)
{
    size_t units = 0;
    while (path[units] != 0) {
        ++units;
    }
    char *out = static_cast<char *>(malloc(units * 3 + 1)); // 3 bytes per unit at most
    if (out == nullptr) {
        return nullptr;
    }
    size_t n = 0;
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = path[i];
        if (c >= 0xDC80 && c <= 0xDCFF) { // an escaped byte of the name
            out[n++] = static_cast<char>(c - 0xDC00);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(path[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            free(out);
            return nullptr;
        }
        if (c < 0x80) {
            out[n++] = static_cast<char>(c);
        } else if (c < 0x800) {
            out[n++] = static_cast<char>(0xC0 | (c >> 6));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[n++] = static_cast<char>(0xE0 | (c >> 12));
            out[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else { // a pair takes two units and gives four bytes
            out[n++] = static_cast<char>(0xF0 | (c >> 18));
            out[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    out[n] = 0;
    return out;
}

int fdOf(CalHandle h)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(h)) - 1;
}
CalHandle handleOf(int fd)
{
    return reinterpret_cast<CalHandle>(static_cast<intptr_t>(fd) + 1);
}

// The result of a failed system call: only "no such file" is absence.
CalIo failure()
{
    return errno == ENOENT ? CAL_IO_ABSENT : CAL_IO_ERROR;
}

CalIo posixOpen(void *, CalHandle dir, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out, int64_t *size)
{
    // O_NONBLOCK: a FIFO or device at the name must not hang the call; it is
    // refused below as not a regular file. O_NOFOLLOW: a link at the name is
    // never followed out of the directory.
    int flags = O_NONBLOCK | O_NOFOLLOW;
    switch (kind) {
    case CAL_OPEN_READ:
        flags |= O_RDONLY;
        break;
    case CAL_OPEN_READ_WRITE:
        flags |= O_RDWR;
        break;
    case CAL_OPEN_PROBE_WRITE:
        flags |= O_WRONLY;
        break;
    case CAL_OPEN_CREATE_NEW:
        flags |= O_RDWR | O_CREAT | O_EXCL;
        break;
    case CAL_OPEN_APPEND:
        flags |= O_RDWR | O_APPEND;
        break;
    case CAL_OPEN_READ_FOLLOW:
        flags = O_NONBLOCK | O_RDONLY;
        break;
    default:
        return CAL_IO_ERROR;
    }
    char *p = pathToUtf8(path);
    if (p == nullptr) {
        return CAL_IO_ERROR;
    }
    // Under a held lock the name is opened in the directory the lock holds
    // open: the same file, without the walk of the directory's path.
    const char *name = p;
    int at = AT_FDCWD;
    if (dir != nullptr) {
        const char *slash = strrchr(p, '/');
        name = slash != nullptr ? slash + 1 : p;
        at = fdOf(dir);
    }
    int fd;
    do {
        fd = openat(at, name, flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    CalIo io = fd < 0 ? failure() : CAL_IO_OK;
    free(p);
    if (fd < 0) {
        return io;
    }
    // Like CreateFileW on a plain disk file: a directory, FIFO or device does
    // not count as an open file.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return CAL_IO_ERROR;
    }
    if (size != nullptr) {
        *size = static_cast<int64_t>(st.st_size);
    }
    // O_NONBLOCK stays set: it has no effect on a regular file, the only
    // kind kept (its reads, writes and copies complete as without it), and
    // clearing it would cost two more system calls on every open.
    *out = handleOf(fd);
    return CAL_IO_OK;
}

CalIo posixRemove(void *, const KZ_WCHAR *path)
{
    char *p = pathToUtf8(path);
    if (p == nullptr) {
        return CAL_IO_ERROR;
    }
    CalIo io = unlink(p) == 0 ? CAL_IO_OK : failure();
    free(p);
    return io;
}

bool posixSeek(void *, CalHandle h, uint32_t offset)
{
    return lseek(fdOf(h), static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(-1);
}

bool posixRead(void *, CalHandle h, void *buf, uint32_t count, uint32_t *got)
{
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = read(fdOf(h), static_cast<char *>(buf) + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            *got = done;
            return false;
        }
        if (n == 0) {
            break; // end of file
        }
        done += static_cast<uint32_t>(n);
    }
    *got = done;
    return true;
}

bool posixWrite(void *, CalHandle h, const void *buf, uint32_t count, uint32_t *written)
{
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = write(fdOf(h), static_cast<const char *>(buf) + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            *written = done;
            return n == 0; // no progress without an error: report the short count
        }
        done += static_cast<uint32_t>(n);
    }
    *written = done;
    return true;
}

bool posixSize(void *, CalHandle h, uint32_t *out)
{
    struct stat st;
    if (fstat(fdOf(h), &st) != 0 || st.st_size < 0 || st.st_size >= 0xFFFFFFFFLL) {
        return false;
    }
    *out = static_cast<uint32_t>(st.st_size);
    return true;
}

void posixClose(void *, CalHandle h)
{
    close(fdOf(h));
}

// fdatasync writes the file's data through to the device, with the size
// and block map needed to read it back (a flush that only reached the page
// cache would be lost with the power); only times and other attributes that
// no read needs are left to the system's own pace.
bool posixFlush(void *, CalHandle h)
{
    int rc;
    do {
        rc = fdatasync(fdOf(h));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Queues the file's dirty pages for writing and returns: the device works
// while the caller goes on, and the flush then waits for what is left.
bool posixFlushStart(void *, CalHandle h)
{
#if defined(__linux__)
    return sync_file_range(fdOf(h), 0, 0, SYNC_FILE_RANGE_WRITE) == 0;
#else
    (void)h;
    return true;
#endif
}

bool posixTruncate(void *, CalHandle h, uint32_t size)
{
    int rc;
    do {
        rc = ftruncate(fdOf(h), static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool posixRename(void *, const KZ_WCHAR *from, const KZ_WCHAR *to)
{
    char *a = pathToUtf8(from);
    char *b = pathToUtf8(to);
    bool ok = a != nullptr && b != nullptr && rename(a, b) == 0;
    free(a);
    free(b);
    return ok;
}

// A rename, creation or removal is a change of the directory, not of the
// file: it is durable only once the directory itself is synced. A file
// system that cannot sync a directory (EINVAL) has nothing more to write.
bool posixSyncDir(void *, const KZ_WCHAR *dir)
{
    char *p = pathToUtf8(dir);
    if (p == nullptr) {
        return false;
    }
    int fd;
    do {
        fd = open(p, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    free(p);
    if (fd < 0) {
        return false;
    }
    int rc;
    do {
        rc = fsync(fd);
    } while (rc != 0 && errno == EINTR);
    bool ok = rc == 0 || errno == EINVAL;
    close(fd);
    return ok;
}

// copy_file_range copies inside the kernel: the data does not pass through
// the process, and a file system with shared extents (btrfs, XFS) shares the
// blocks instead of writing them. A kernel or file system that cannot copy
// between the two files (across file systems on older kernels, a kernel
// before 4.5, a file system without the operation) answers one of the codes
// below before anything is copied, and the caller copies through a buffer.
CalCopy posixCopyRange(void *, CalHandle from, CalHandle to, uint32_t count, uint32_t *copied)
{
    *copied = 0;
#if defined(__linux__)
    ssize_t n;
    do {
        n = copy_file_range(fdOf(from), nullptr, fdOf(to), nullptr, count, 0);
    } while (n < 0 && errno == EINTR);
    if (n >= 0) {
        *copied = static_cast<uint32_t>(n);
        return CAL_COPY_DONE;
    }
    if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) {
        return CAL_COPY_UNSUPPORTED;
    }
    return CAL_COPY_FAILED;
#else
    (void)from;
    (void)to;
    (void)count;
    return CAL_COPY_UNSUPPORTED;
#endif
}

#if defined(__linux__)
// Opens the directory at the wide path for reading its names; -1 on failure.
int dirOpen(const KZ_WCHAR *dir)
{
    char *p = pathToUtf8(dir);
    if (p == nullptr) {
        return -1;
    }
    int fd;
    do {
        fd = open(p, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    free(p);
    return fd;
}

// The names are read straight from a descriptor of the directory into a
// buffer of the stack (getdents64): no directory stream, no heap buffer and
// no fstat of the directory, as opendir would take. A held lock is itself
// such a descriptor (posixLock): it is rewound and read, and stays open.
CalIo posixListDir(void *, const KZ_WCHAR *dir, CalHandle lock, CalDirVisit visit, void *arg)
{
    int fd = lock != nullptr ? fdOf(lock) : dirOpen(dir);
    if (fd < 0) {
        return CAL_IO_ERROR; // the directory itself must be there
    }
    if (lock != nullptr && lseek(fd, 0, SEEK_SET) != 0) {
        return CAL_IO_ERROR;
    }
    alignas(8) char names[8192];
    CalIo io = CAL_IO_OK;
    for (bool more = true; more;) {
        ssize_t n = getdents64(fd, names, sizeof names);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            io = n < 0 ? CAL_IO_ERROR : CAL_IO_OK;
            break;
        }
        for (ssize_t at = 0; at < n && more;) {
            const struct dirent64 *e = reinterpret_cast<const struct dirent64 *>(names + at);
            at += e->d_reclen;
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) {
                more = visit(arg, e->d_name);
            }
        }
    }
    if (lock == nullptr) {
        close(fd);
    }
    return io;
}
#else
CalIo posixListDir(void *, const KZ_WCHAR *dir, CalHandle, CalDirVisit visit, void *arg)
{
    char *p = pathToUtf8(dir);
    if (p == nullptr) {
        return CAL_IO_ERROR;
    }
    DIR *d = opendir(p);
    CalIo io = d == nullptr ? failure() : CAL_IO_OK;
    free(p);
    if (d == nullptr) {
        return io == CAL_IO_ABSENT ? CAL_IO_ERROR : io; // the directory itself must be there
    }
    for (;;) {
        errno = 0;
        struct dirent *e = readdir(d);
        if (e == nullptr) {
            if (errno != 0) {
                io = CAL_IO_ERROR;
            }
            break;
        }
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) {
            continue;
        }
        if (!visit(arg, e->d_name)) {
            break;
        }
    }
    closedir(d);
    return io;
}
#endif

// The lock of a directory is an flock on a descriptor of the directory
// itself: no lock file, released by the system when a holder dies. Each
// call opens its own descriptor, so threads of one process exclude each
// other as processes do.
bool posixLock(void *, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *out)
{
    char *p = pathToUtf8(dir);
    if (p == nullptr) {
        return false;
    }
    int fd;
    do {
        fd = open(p, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    free(p);
    if (fd < 0) {
        return false;
    }
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    long pauseUs = 200;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            *out = handleOf(fd);
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            break;
        }
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        long long elapsedMs = (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000LL;
        if (elapsedMs >= static_cast<long long>(waitMs)) {
            break;
        }
        usleep(static_cast<useconds_t>(pauseUs));
        pauseUs = pauseUs < 20000 ? pauseUs * 2 : 20000;
    }
    close(fd);
    return false;
}

void posixUnlock(void *, CalHandle token)
{
    int fd = fdOf(token);
    flock(fd, LOCK_UN);
    close(fd);
}

int posixToWide(void *, const char *src, int srcLen, KZ_WCHAR *dst, int dstLen)
{
    if (srcLen <= 0 || dstLen < srcLen) {
        return 0;
    }
    for (int i = 0; i < srcLen; ++i) {
        unsigned char b = static_cast<unsigned char>(src[i]);
        dst[i] = static_cast<KZ_WCHAR>(b < 0x80 ? b : 0xDC00 + b);
    }
    return srcLen;
}

void *posixAlloc(void *, size_t size)
{
    return calloc(size == 0 ? 1 : size, 1);
}
void posixFree(void *, void *p)
{
    free(p);
}

const CalPlatform kPosixPlatform = {
    nullptr,     u'/',        posixOpen,  posixRemove,   posixSeek,    posixRead,      posixWrite,
    posixSize,   posixClose,  posixFlush, posixTruncate, posixRename,  posixListDir,   posixLock,
    posixUnlock, posixToWide, posixAlloc, posixFree,     posixSyncDir, posixCopyRange, posixFlushStart,
};

} // namespace

const CalPlatform *calDefaultPlatform()
{
    return &kPosixPlatform;
}
