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

// How a file is opened. The first two are the file layer's modes 0 and 1;
// the other two serve fileRecreate.
enum CalOpenKind {
    CAL_OPEN_READ = 0,        // existing file; read access, others may read
    CAL_OPEN_READ_WRITE = 1,  // existing file; read and write, others may read and write
    CAL_OPEN_PROBE_WRITE = 2, // existing file; write access, others may write
    CAL_OPEN_CREATE_NEW = 3   // new file (fails if it exists); write access, others may write
};

struct CalPlatform {
    void *ctx; // passed back to every function; the default backends ignore it

    // The character that joins a directory and a name: '\\' on Windows, '/' on POSIX.
    KZ_WCHAR separator;

    // Opens the file at the NUL-terminated wide path. Returns true and stores a
    // non-null handle, or returns false (*out unspecified).
    bool (*open)(void *ctx, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out);
    // Deletes the file at the wide path; true on success.
    bool (*remove)(void *ctx, const KZ_WCHAR *path);
    // Positions at offset bytes from the start of the file; true on success.
    bool (*seek)(void *ctx, CalHandle h, uint32_t offset);
    // Reads up to count bytes; true when the call succeeded, *got = bytes read.
    bool (*read)(void *ctx, CalHandle h, void *buf, uint32_t count, uint32_t *got);
    // Writes count bytes; true when the call succeeded, *written = bytes written.
    bool (*write)(void *ctx, CalHandle h, const void *buf, uint32_t count, uint32_t *written);
    // The file's size in bytes (low 32 bits); true on success.
    bool (*size)(void *ctx, CalHandle h, uint32_t *out);
    void (*close)(void *ctx, CalHandle h);
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
};

// The host backend (platform_win32.cpp or platform_posix.cpp).
const CalPlatform *calDefaultPlatform();

// p itself, or the default backend when p is null.
inline const CalPlatform *calPlatformOr(const CalPlatform *p) { return p ? p : calDefaultPlatform(); }

#endif // KZ_CAL_PLATFORM_H
