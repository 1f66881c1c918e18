// The Win32 backend of the calibmod platform seam (the product).
//
// Paths are built by the file layer with '\\' and passed to the system
// unchanged. Every open uses no security attributes, FILE_ATTRIBUTE_NORMAL
// and no template file:
//   read-only    GENERIC_READ                 FILE_SHARE_READ                    OPEN_EXISTING
//   read-write   GENERIC_READ | GENERIC_WRITE FILE_SHARE_READ | FILE_SHARE_WRITE OPEN_EXISTING
//   probe        GENERIC_WRITE                FILE_SHARE_WRITE                   OPEN_EXISTING
//   create new   GENERIC_WRITE                FILE_SHARE_WRITE                   CREATE_NEW
#include <windows.h>

#include "cal_platform.h"

namespace {

bool w32Open(void *, const KZ_WCHAR *path, CalOpenKind kind, CalHandle *out) {
    DWORD access;
    DWORD share;
    DWORD creation;
    switch (kind) {
    case CAL_OPEN_READ:
        access = GENERIC_READ;
        share = FILE_SHARE_READ;
        creation = OPEN_EXISTING;
        break;
    case CAL_OPEN_READ_WRITE:
        access = GENERIC_READ | GENERIC_WRITE;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        creation = OPEN_EXISTING;
        break;
    case CAL_OPEN_PROBE_WRITE:
        access = GENERIC_WRITE;
        share = FILE_SHARE_WRITE;
        creation = OPEN_EXISTING;
        break;
    case CAL_OPEN_CREATE_NEW:
        access = GENERIC_WRITE;
        share = FILE_SHARE_WRITE;
        creation = CREATE_NEW;
        break;
    default:
        return false;
    }
    HANDLE h = CreateFileW(path, access, share, NULL, creation, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE || h == NULL) {
        return false;
    }
    *out = h;
    return true;
}

bool w32Remove(void *, const KZ_WCHAR *path) { return DeleteFileW(path) != 0; }

bool w32Seek(void *, CalHandle h, uint32_t offset) {
    // Low 32 bits only, no high part: offsets stay below 2 GiB.
    return SetFilePointer(static_cast<HANDLE>(h), static_cast<LONG>(offset), NULL, FILE_BEGIN) !=
           INVALID_SET_FILE_POINTER;
}

bool w32Read(void *, CalHandle h, void *buf, uint32_t count, uint32_t *got) {
    DWORD n = 0;
    BOOL ok = ReadFile(static_cast<HANDLE>(h), buf, count, &n, NULL);
    *got = n;
    return ok != 0;
}

bool w32Write(void *, CalHandle h, const void *buf, uint32_t count, uint32_t *written) {
    DWORD n = 0;
    BOOL ok = WriteFile(static_cast<HANDLE>(h), buf, count, &n, NULL);
    *written = n;
    return ok != 0;
}

bool w32Size(void *, CalHandle h, uint32_t *out) {
    DWORD size = GetFileSize(static_cast<HANDLE>(h), NULL);
    if (size == INVALID_FILE_SIZE) {
        return false;
    }
    *out = size;
    return true;
}

void w32Close(void *, CalHandle h) { CloseHandle(static_cast<HANDLE>(h)); }

int w32ToWide(void *, const char *src, int srcLen, KZ_WCHAR *dst, int dstLen) {
    return MultiByteToWideChar(CP_ACP, 0, src, srcLen, dst, dstLen);
}

void *w32Alloc(void *, size_t size) {
    return reinterpret_cast<void *>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size == 0 ? 1 : size));
}

void w32Free(void *, void *p) { GlobalFree(reinterpret_cast<HGLOBAL>(p)); }

const CalPlatform kWin32Platform = {
    NULL,    L'\\',    w32Open,   w32Remove, w32Seek,  w32Read, w32Write,
    w32Size, w32Close, w32ToWide, w32Alloc,  w32Free,
};

} // namespace

const CalPlatform *calDefaultPlatform() { return &kWin32Platform; }
