// File helpers and the calibration data file of the Windows test program.
#include "wintest_files.h"

#include <cstring>

void pathJoin(wchar_t *out, const wchar_t *dir, const wchar_t *name)
{
    lstrcpynW(out, dir, MAX_PATH);
    int n = lstrlenW(out);
    if (n + 1 + lstrlenW(name) < MAX_PATH) {
        out[n] = L'\\';
        lstrcpyW(out + n + 1, name);
    }
}

bool fileReadWhole(const wchar_t *path, uint8_t *buf, DWORD cap, DWORD *size)
{
    *size = 0;
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD got = 0;
    BOOL ok = ReadFile(f, buf, cap, &got, nullptr);
    CloseHandle(f);
    *size = got;
    return ok != 0;
}

bool fileWriteWhole(const wchar_t *path, const void *data, DWORD size)
{
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(f, data, size, &written, nullptr);
    CloseHandle(f);
    return ok && written == size;
}

bool fileExists(const wchar_t *path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool fileTimeGet(const wchar_t *path, FILETIME *ft)
{
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    BOOL ok = GetFileTime(f, nullptr, nullptr, ft);
    CloseHandle(f);
    return ok != 0;
}

bool fileTimeSetOld(const wchar_t *path)
{
    SYSTEMTIME st;
    std::memset(&st, 0, sizeof st);
    st.wYear = 2001;
    st.wMonth = 1;
    st.wDay = 1;
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE f = CreateFileW(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    BOOL ok = SetFileTime(f, nullptr, nullptr, &ft);
    CloseHandle(f);
    return ok != 0;
}

static void put32(uint8_t *p, DWORD offset, uint32_t v)
{
    std::memcpy(p + offset, &v, 4);
}

static void put16(uint8_t *p, DWORD offset, uint16_t v)
{
    std::memcpy(p + offset, &v, 2);
}

// Layout (byte offsets):      0 header, 24 identification block, 64 KZDB
// directory, 96 KZHT directory, 128 KZDB table 1000, 480 KZHT table 1201,
// 2532 KZHT table 1202; each table is a size word and its body.
void calFileBuild(uint8_t *out, const char *id)
{
    std::memset(out, 0, CALFILE_SIZE);
    std::memcpy(out, "ZMDT", 4);
    put32(out, 4, 24);
    put32(out, 8, 64);
    put32(out, 20, 96);
    uint32_t n = (uint32_t)std::strlen(id);
    n = n > 31 ? 31 : n;
    put32(out, 28, n);
    std::memcpy(out + 32, id, n);

    put32(out, 64, 1); // KZDB directory: one entry
    put32(out, 68, 8);
    put16(out, 72, 1000);
    put32(out, 76, 128);
    put32(out, 96, 2); // KZHT directory: two entries
    put32(out, 100, 20);
    put16(out, 104, 1201);
    put32(out, 108, 480);
    put32(out, 112, 20);
    put16(out, 116, 1202);
    put32(out, 120, 2532);

    put32(out, 128, 12 + 2 * 164); // KZDB 1000: layout 0, two records
    put32(out, 132, 0);
    put32(out, 136, 2);
    put32(out, 132 + 12 + 64, 1201);
    put32(out, 132 + 12 + 164 + 64, 1202);

    const DWORD bodies[2] = {CALFILE_KZHT1201_BODY, CALFILE_KZHT1202_BODY};
    for (int t = 0; t < 2; t++) {
        put32(out, bodies[t] - 4, 4 * 512);
        for (int c = 0; c < 4; c++) {
            for (int k = 0; k < 256; k++) {
                put16(out, bodies[t] + 512 * c + 2 * k, (uint16_t)((c + 1) * 1000 + t * 100 + k));
            }
        }
    }
}

uint16_t calFileCurveEntry(const uint8_t *file, DWORD bodyOffset, int curve, int k)
{
    uint16_t v;
    std::memcpy(&v, file + bodyOffset + 512 * curve + 2 * k, 2);
    return v;
}
