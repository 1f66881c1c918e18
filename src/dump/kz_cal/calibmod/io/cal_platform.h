// The platform seam of calibmod: everything the module needs of the host.
//
// One table of functions. The shipped export uses calDefaultPlatform() (the
// Win32 backend on Windows, the POSIX backend elsewhere); tests pass their own
// table to count or fail the n-th allocation or file operation.
//
// There is no global "current platform": the table pointer travels with the
// data. CalibContext::platform is the one a call runs on; every FileRef and
// MemBlock carries the pointer it was initialised with (fileInit, memInit),
// so the file and memory layer never needs the context. A null pointer in a
// FileRef or MemBlock means the default backend.
#ifndef KZ_CAL_PLATFORM_H
#define KZ_CAL_PLATFORM_H

#include <cstddef>
#include <cstdint>

#include "calibmod.h"

// An open file of the host: a HANDLE on Windows, a descriptor plus one on
// POSIX. Null is never an open file.
typedef void *CalHandle;

// How a file is opened. Every kind opens only a regular file, never blocks
// (a FIFO or device at the name does not hang the call) and, but for
// CAL_OPEN_READ_FOLLOW, never follows a symbolic link or reparse point at
// the name: a link there is "not a regular file".
enum CalOpenKind {
    CAL_OPEN_READ = 0,        // existing file; read access, others may read
    CAL_OPEN_READ_WRITE = 1,  // existing file; read and write, others may read and write
    CAL_OPEN_PROBE_WRITE = 2, // existing file; write access, others may write
    CAL_OPEN_CREATE_NEW = 3,  // new file (fails if anything exists at the name, a link included);
                              // read and write, others may read
    CAL_OPEN_APPEND = 4,      // existing file; every write lands at its end, in one piece
    CAL_OPEN_READ_FOLLOW = 5  // CAL_OPEN_READ through links (the source directory is the caller's)
};

// What an open, a removal or a directory listing came to. Only CAL_IO_ABSENT
// means "nothing is there"; every other failure (too many open files, access
// denied, an I/O error, a sharing violation, a link, a directory or a FIFO at
// the name) is CAL_IO_ERROR.
enum CalIo {
    CAL_IO_OK = 0,
    CAL_IO_ABSENT = 1,
    CAL_IO_ERROR = 2
};

// What a system copy came to: bytes moved, no system copy for these two
// files (the caller copies through a buffer instead), or a failure.
enum CalCopy {
    CAL_COPY_DONE = 0,
    CAL_COPY_UNSUPPORTED = 1,
    CAL_COPY_FAILED = 2
};

// Called by listDir once per name in the directory ("." and ".." left out),
// as 8-bit bytes the way toWide turns them back into the same name. Returns
// false to stop the listing early.
typedef bool (*CalDirVisit)(void *arg, const char *name);

struct CalPlatform {
    void *ctx; // passed back to every function; the default backends ignore it

    // The character that joins a directory and a name: '\\' on Windows, '/' on POSIX.
    KZ_WCHAR separator;

    // Opens the file at the NUL-terminated wide path. CAL_IO_OK with a
    // non-null handle in *out; otherwise *out is unspecified. When size is
    // not null, *size is the file's size in bytes as found by the open's own
    // check that the file is regular (no further system call), or -1 when
    // the backend does not know it. dir is the token of the lock of the
    // directory the path names the file in when the caller holds it (from
    // lock), else null: POSIX then opens the last name of the path relative
    // to the lock's own descriptor, without walking the directory's path
    // again; Windows opens by the path either way.
    CalIo (*open)(void *ctx, CalHandle dir, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out, int64_t *size);
    // Deletes the file (or link) at the wide path. CAL_IO_ABSENT when there
    // was none.
    CalIo (*remove)(void *ctx, const KZ_WCHAR *path);
    // Positions at offset bytes from the start of the file; true on success.
    bool (*seek)(void *ctx, CalHandle h, uint32_t offset);
    // Reads up to count bytes; true when the call succeeded, *got = bytes read
    // (fewer than count only at the end of the file).
    bool (*read)(void *ctx, CalHandle h, void *buf, uint32_t count, uint32_t *got);
    // Writes count bytes; true when the call succeeded, *written = bytes written.
    bool (*write)(void *ctx, CalHandle h, const void *buf, uint32_t count, uint32_t *written);
    // The file's size in bytes (low 32 bits); true on success.
    bool (*size)(void *ctx, CalHandle h, uint32_t *out);
    void (*close)(void *ctx, CalHandle h);
    // Makes what was written to the file durable; true on success.
    bool (*flush)(void *ctx, CalHandle h);
    // Cuts the file to size bytes; true on success.
    bool (*truncate)(void *ctx, CalHandle h, uint32_t size);
    // Renames the file at from onto to in one step, replacing what is at to
    // (a file or a link, never what a link points to); true on success.
    bool (*rename)(void *ctx, const KZ_WCHAR *from, const KZ_WCHAR *to);
    // Calls visit for every name in the directory at the wide path.
    // CAL_IO_OK when the whole directory was read (or visit stopped it).
    // lock is the token of the directory's lock when the caller holds it
    // (from lock on the same path), else null: POSIX then reads the names
    // through the lock's own descriptor instead of opening the directory
    // again; Windows lists by the path either way.
    CalIo (*listDir)(void *ctx, const KZ_WCHAR *dir, CalHandle lock, CalDirVisit visit, void *arg);
    // Takes the lock of the directory at the wide path: one holder at a time
    // across threads and processes, waiting at most waitMs milliseconds.
    // True with a non-null token in *out; release it with unlock.
    bool (*lock)(void *ctx, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *out);
    void (*unlock)(void *ctx, CalHandle token);
    // Converts srcLen bytes of an 8-bit name to wide characters with the
    // system's ANSI code page. Writes at most dstLen characters (no
    // terminator is added) and returns the number written, 0 on failure.
    // The POSIX backend keeps ASCII as it is and carries every other byte
    // through unchanged (as U+DC00 + byte, which its open turns back into the
    // byte), so names reach the file system exactly as given.
    int (*toWide)(void *ctx, const char *src, int srcLen, KZ_WCHAR *dst, int dstLen);
    // Global heap, fixed memory. alloc returns zero-filled memory or null;
    // a size of 0 still gives a block.
    void *(*alloc)(void *ctx, size_t size);
    void (*free)(void *ctx, void *p);
    // Makes the names of the directory at the wide path durable: a rename,
    // creation or removal in it survives a power cut once this returns true.
    // The file layer calls it after every rename. POSIX syncs the directory
    // itself; Windows answers true, its rename already writes through.
    bool (*syncDir)(void *ctx, const KZ_WCHAR *dir);
    // Copies up to count bytes from the position of from to the position of
    // to inside the system, advancing both (Linux copy_file_range: the data
    // need not pass through the process, and a file system that can shares
    // its blocks). CAL_COPY_DONE with *copied (fewer than count is no
    // failure, 0 may be the end of from); CAL_COPY_UNSUPPORTED when the
    // system cannot copy between these two files, with *copied 0 and both
    // positions as they were; CAL_COPY_FAILED on an I/O failure (to may then
    // hold part of the bytes). Windows answers CAL_COPY_UNSUPPORTED: its
    // system copy works on names, not on the files already opened.
    CalCopy (*copyRange)(void *ctx, CalHandle from, CalHandle to, uint32_t count, uint32_t *copied);
    // Starts writing what was written to the file so far to the device and
    // returns without waiting for it, so that a later flush finds less left
    // to write (Linux sync_file_range). Only a hint: it makes nothing
    // durable, and false (the system could not start it) changes nothing
    // for the caller. Windows answers true: its flush writes everything.
    bool (*flushStart)(void *ctx, CalHandle h);
};

// The host backend (platform_win32.cpp or platform_posix.cpp).
const CalPlatform *calDefaultPlatform();

// p itself, or the default backend when p is null.
inline const CalPlatform *calPlatformOr(const CalPlatform *p)
{
    return p ? p : calDefaultPlatform();
}

#endif // KZ_CAL_PLATFORM_H
