// The Win32 backend of the calibmod platform seam (the product).
//
// Paths are built by the file layer with '\\' and passed to the system
// unchanged. Every open uses no security attributes and no template file:
//   read-only    GENERIC_READ                    FILE_SHARE_READ                    OPEN_EXISTING
//   read-write   GENERIC_READ | GENERIC_WRITE    FILE_SHARE_READ | FILE_SHARE_WRITE OPEN_EXISTING
//   probe        GENERIC_WRITE                   FILE_SHARE_WRITE                   OPEN_EXISTING
//   create new   GENERIC_READ | GENERIC_WRITE    FILE_SHARE_READ                    CREATE_NEW
//   append       GENERIC_READ | FILE_APPEND_DATA FILE_SHARE_READ                    OPEN_EXISTING
//                (every write lands at the end; the handle cannot cut the file)
// All but the source reads add FILE_FLAG_OPEN_REPARSE_POINT, so that a link
// at the name is opened as itself and then refused; only a plain disk file
// (no directory, no reparse point, FILE_TYPE_DISK) counts as opened.
#include <windows.h>

#include "cal_platform.h"

namespace {

CalIo failure()
{
    DWORD e = GetLastError();
    return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? CAL_IO_ABSENT : CAL_IO_ERROR;
}

// True when the open handle is a plain file of a disk.
bool fileIsPlain(HANDLE h)
{
    if (GetFileType(h) != FILE_TYPE_DISK) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) {
        return false;
    }
    return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

CalIo w32Open(void *, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out)
{
    DWORD access;
    DWORD share;
    DWORD creation = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    switch (kind) {
    case CAL_OPEN_READ:
        access = GENERIC_READ;
        share = FILE_SHARE_READ;
        break;
    case CAL_OPEN_READ_FOLLOW:
        access = GENERIC_READ;
        share = FILE_SHARE_READ;
        flags = FILE_ATTRIBUTE_NORMAL;
        break;
    case CAL_OPEN_READ_WRITE:
        access = GENERIC_READ | GENERIC_WRITE;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    case CAL_OPEN_PROBE_WRITE:
        access = GENERIC_WRITE;
        share = FILE_SHARE_WRITE;
        break;
    case CAL_OPEN_CREATE_NEW:
        access = GENERIC_READ | GENERIC_WRITE;
        share = FILE_SHARE_READ;
        creation = CREATE_NEW;
        break;
    case CAL_OPEN_APPEND:
        access = GENERIC_READ | FILE_APPEND_DATA;
        share = FILE_SHARE_READ;
        break;
    default:
        return CAL_IO_ERROR;
    }
    HANDLE h = CreateFileW(path, access, share, NULL, creation, flags, NULL);
    if (h == INVALID_HANDLE_VALUE || h == NULL) {
        return failure();
    }
    if (!fileIsPlain(h)) {
        CloseHandle(h);
        return CAL_IO_ERROR;
    }
    *out = h;
    return CAL_IO_OK;
}

CalIo w32Remove(void *, const KZ_WCHAR *path)
{
    return DeleteFileW(path) != 0 ? CAL_IO_OK : failure();
}

bool w32Seek(void *, CalHandle h, uint32_t offset)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(static_cast<HANDLE>(h), to, NULL, FILE_BEGIN) != 0;
}

bool w32Read(void *, CalHandle h, void *buf, uint32_t count, uint32_t *got)
{
    uint32_t done = 0;
    while (done < count) {
        DWORD n = 0;
        if (!ReadFile(static_cast<HANDLE>(h), static_cast<char *>(buf) + done, count - done, &n, NULL)) {
            *got = done;
            return false;
        }
        if (n == 0) {
            break; // end of file
        }
        done += n;
    }
    *got = done;
    return true;
}

bool w32Write(void *, CalHandle h, const void *buf, uint32_t count, uint32_t *written)
{
    DWORD n = 0;
    BOOL ok = WriteFile(static_cast<HANDLE>(h), buf, count, &n, NULL);
    *written = n;
    return ok != 0;
}

bool w32Size(void *, CalHandle h, uint32_t *out)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(static_cast<HANDLE>(h), &size) || size.QuadPart < 0 || size.QuadPart > 0xFFFFFFFELL) {
        return false;
    }
    *out = static_cast<uint32_t>(size.QuadPart);
    return true;
}

void w32Close(void *, CalHandle h)
{
    CloseHandle(static_cast<HANDLE>(h));
}

bool w32Flush(void *, CalHandle h)
{
    return FlushFileBuffers(static_cast<HANDLE>(h)) != 0;
}

bool w32Truncate(void *, CalHandle h, uint32_t size)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(static_cast<HANDLE>(h), to, NULL, FILE_BEGIN) != 0 &&
           SetEndOfFile(static_cast<HANDLE>(h)) != 0;
}

bool w32Rename(void *, const KZ_WCHAR *from, const KZ_WCHAR *to)
{
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// MOVEFILE_WRITE_THROUGH returns only once the rename has been flushed to
// the disk: the directory has nothing left to sync.
bool w32SyncDir(void *, const KZ_WCHAR *)
{
    return true;
}

CalIo w32ListDir(void *, const KZ_WCHAR *dir, CalDirVisit visit, void *arg)
{
    size_t len = lstrlenW(dir);
    WCHAR *pattern = static_cast<WCHAR *>(HeapAlloc(GetProcessHeap(), 0, (len + 3) * sizeof(WCHAR)));
    if (pattern == NULL) {
        return CAL_IO_ERROR;
    }
    CopyMemory(pattern, dir, len * sizeof(WCHAR));
    pattern[len] = L'\\';
    pattern[len + 1] = L'*';
    pattern[len + 2] = 0;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(pattern, &found);
    HeapFree(GetProcessHeap(), 0, pattern);
    if (h == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND ? CAL_IO_OK : CAL_IO_ERROR; // an empty directory
    }
    CalIo io = CAL_IO_OK;
    for (;;) {
        const WCHAR *w = found.cFileName;
        bool dots = w[0] == L'.' && (w[1] == 0 || (w[1] == L'.' && w[2] == 0));
        if (!dots) {
            // The name as the module's 8-bit names are: a name that has no
            // exact form in the ANSI code page can be none of them.
            char name[MAX_PATH * 2];
            BOOL lossy = FALSE;
            int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w, -1, name, sizeof name, NULL, &lossy);
            if (n > 0 && !lossy && !visit(arg, name)) {
                break;
            }
        }
        if (!FindNextFileW(h, &found)) {
            if (GetLastError() != ERROR_NO_MORE_FILES) {
                io = CAL_IO_ERROR;
            }
            break;
        }
    }
    FindClose(h);
    return io;
}

// The lock of a directory is a named mutex whose name is derived from the
// directory's full path (upper-cased, as the file system compares names):
// no lock file, released by the system when a holder dies (the next holder
// then sees WAIT_ABANDONED and goes on). Global namespace, so that every
// session of the machine shares it; Local where Global cannot be created.
bool w32Lock(void *, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *out)
{
    WCHAR path[1024];
    DWORD n = GetFullPathNameW(dir, 1024, path, NULL);
    if (n == 0 || n >= 1024) {
        return false;
    }
    WCHAR full[1024];
    if (LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, path, static_cast<int>(n), full, 1024) !=
        static_cast<int>(n)) {
        return false;
    }
    while (n > 3 && full[n - 1] == L'\\') {
        --n; // "C:\\DIR\\" and "C:\\DIR" are one directory
    }
    // FNV-1a, 64 bits, over the UTF-16 units.
    unsigned long long hash = 1469598103934665603ULL;
    for (DWORD i = 0; i < n; ++i) {
        hash ^= static_cast<unsigned long long>(full[i]);
        hash *= 1099511628211ULL;
    }
    WCHAR name[64];
    const WCHAR *prefixes[2] = {L"Global\\kzcal-dir-", L"Local\\kzcal-dir-"};
    HANDLE m = NULL;
    for (int k = 0; k < 2 && m == NULL; ++k) {
        int len = lstrlenW(prefixes[k]);
        CopyMemory(name, prefixes[k], len * sizeof(WCHAR));
        for (int i = 0; i < 16; ++i) {
            name[len + i] = L"0123456789abcdef"[(hash >> (60 - 4 * i)) & 0xF];
        }
        name[len + 16] = 0;
        m = CreateMutexW(NULL, FALSE, name);
    }
    if (m == NULL) {
        return false;
    }
    DWORD w = WaitForSingleObject(m, waitMs);
    if (w != WAIT_OBJECT_0 && w != WAIT_ABANDONED) {
        CloseHandle(m);
        return false;
    }
    *out = m;
    return true;
}

void w32Unlock(void *, CalHandle token)
{
    ReleaseMutex(static_cast<HANDLE>(token));
    CloseHandle(static_cast<HANDLE>(token));
}

int w32ToWide(void *, const char *src, int srcLen, KZ_WCHAR *dst, int dstLen)
{
    return MultiByteToWideChar(CP_ACP, 0, src, srcLen, dst, dstLen);
}

void *w32Alloc(void *, size_t size)
{
    return reinterpret_cast<void *>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size == 0 ? 1 : size));
}

void w32Free(void *, void *p)
{
    GlobalFree(reinterpret_cast<HGLOBAL>(p));
}

const CalPlatform kWin32Platform = {
    NULL,        L'\\',     w32Open,    w32Remove, w32Seek,   w32Read,   w32Write, w32Size, w32Close,   w32Flush,
    w32Truncate, w32Rename, w32ListDir, w32Lock,   w32Unlock, w32ToWide, w32Alloc, w32Free, w32SyncDir,
};

} // namespace

const CalPlatform *calDefaultPlatform()
{
    return &kWin32Platform;
}
