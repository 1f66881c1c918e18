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
//   lock file    GENERIC_READ                    FILE_SHARE_READ | FILE_SHARE_WRITE OPEN_ALWAYS
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

CalIo w32Open(void *, CalHandle, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out, int64_t *size)
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
    if (size != NULL) {
        LARGE_INTEGER n;
        *size = GetFileSizeEx(h, &n) != 0 ? static_cast<int64_t>(n.QuadPart) : -1;
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

// FlushFileBuffers writes everything that is left; nothing to start early.
bool w32FlushStart(void *, CalHandle)
{
    return true;
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

// No copy inside the system between two open files: CopyFileExW and
// CopyFile2 take names. The module copies through its buffer instead (see
// copyMake), which keeps the checks of the opened source (a plain disk file)
// and of the created copy (CREATE_NEW, never a reparse point) on the handles
// that are read and written.
CalCopy w32CopyRange(void *, CalHandle, CalHandle, uint32_t, uint32_t *copied)
{
    *copied = 0;
    return CAL_COPY_UNSUPPORTED;
}

CalIo w32ListDir(void *, const KZ_WCHAR *dir, CalHandle, CalDirVisit visit, void *arg)
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

// The lock of a directory is a byte-range lock on a file inside it,
// "~kz,lock" (a comma: never a copy's or a list's name). The lock belongs to
// the file, not to the text of the path: every name of the directory (drive
// letters, subst, UNC paths, 8.3 names, junctions, "\\?\") reaches the one
// file, and so does every account, session and machine that can open it,
// the server of a share enforcing the lock for all of them. The system
// releases it when its handle is closed, a holder that dies included. The
// file is opened for reading only (an account that may only read what
// another created can still lock it), never for deletion by others (a held
// lock file cannot be removed and made anew beside it), and stays in the
// directory between calls.
const WCHAR kLockName[] = L"~kz,lock";

// Opens (creating when absent) the lock file of the directory. CAL_IO_OK with
// the handle; CAL_IO_ERROR when something else is at the name or the open is
// refused; a sharing violation is CAL_IO_ABSENT, "try again".
CalIo lockFileOpen(const WCHAR *path, HANDLE *out)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (h == INVALID_HANDLE_VALUE || h == NULL) {
        return GetLastError() == ERROR_SHARING_VIOLATION ? CAL_IO_ABSENT : CAL_IO_ERROR;
    }
    if (!fileIsPlain(h)) {
        CloseHandle(h);
        return CAL_IO_ERROR;
    }
    *out = h;
    return CAL_IO_OK;
}

// True when the exclusive lock of the first byte was taken at once.
bool lockTry(HANDLE h)
{
    OVERLAPPED at;
    ZeroMemory(&at, sizeof at);
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

bool w32Lock(void *, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *out)
{
    size_t len = lstrlenW(dir);
    size_t nameLen = sizeof kLockName / sizeof kLockName[0]; // with its terminator
    WCHAR *path = static_cast<WCHAR *>(HeapAlloc(GetProcessHeap(), 0, (len + 1 + nameLen) * sizeof(WCHAR)));
    if (path == NULL) {
        return false;
    }
    CopyMemory(path, dir, len * sizeof(WCHAR));
    path[len] = L'\\'; // joined as the file layer joins every name of the directory
    CopyMemory(path + len + 1, kLockName, nameLen * sizeof(WCHAR));
    // Polled, with a pause that grows to 4 ms (short, so that a waiter is
    // not outrun for long by a holder that calls again at once): a blocking
    // LockFileEx could be bounded only through an overlapped handle and
    // CancelIo, which not every host implements for locks.
    DWORD start = GetTickCount(); // differences are right across its wrap
    DWORD pause = 1;
    HANDLE h = NULL;
    bool held = false;
    for (;;) {
        if (h == NULL) {
            CalIo io = lockFileOpen(path, &h);
            if (io == CAL_IO_ERROR) {
                break;
            }
            if (io != CAL_IO_OK) {
                h = NULL; // opened without sharing by someone else: wait
            }
        }
        if (h != NULL && lockTry(h)) {
            held = true;
            break;
        }
        if (h != NULL && GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
            break;
        }
        if (GetTickCount() - start >= waitMs) {
            break;
        }
        Sleep(pause);
        pause = pause < 4 ? pause * 2 : 4;
    }
    HeapFree(GetProcessHeap(), 0, path);
    if (!held) {
        if (h != NULL) {
            CloseHandle(h);
        }
        return false;
    }
    *out = h;
    return true;
}

void w32Unlock(void *, CalHandle token)
{
    OVERLAPPED at;
    ZeroMemory(&at, sizeof at);
    UnlockFileEx(static_cast<HANDLE>(token), 0, 1, 0, &at);
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
    NULL,      L'\\',     w32Open,  w32Remove,   w32Seek,    w32Read,      w32Write,
    w32Size,   w32Close,  w32Flush, w32Truncate, w32Rename,  w32ListDir,   w32Lock,
    w32Unlock, w32ToWide, w32Alloc, w32Free,     w32SyncDir, w32CopyRange, w32FlushStart,
};

} // namespace

const CalPlatform *calDefaultPlatform()
{
    return &kWin32Platform;
}
