// Win32 backend of the depbase platform seam: the spooler, the local time,
// the user locale and the global heap.
#include "platform.h"

#include <windows.h>
#include <winspool.h>

namespace {

bool Win32OpenPrinter(void *, const ZMD_WCHAR *name, void **handle)
{
    if (!name || !handle) {
        return false;
    }
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(name), &h, nullptr)) {
        return false;
    }
    *handle = h;
    return true;
}

void Win32ClosePrinter(void *, void *handle)
{
    if (handle) {
        ClosePrinter(static_cast<HANDLE>(handle));
    }
}

// The value's type is preset to REG_DWORD and not tested afterwards; a value
// larger than the buffer makes the call fail.
bool Win32GetPrinterData(void *, void *handle, const ZMD_WCHAR *valueName, void *data, uint32_t cbData,
                         uint32_t *cbNeeded)
{
    if (!handle || !valueName) {
        return false;
    }
    DWORD type = REG_DWORD;
    DWORD needed = 0;
    const DWORD rc = GetPrinterDataW(static_cast<HANDLE>(handle), const_cast<LPWSTR>(valueName), &type,
                                     static_cast<LPBYTE>(data), static_cast<DWORD>(cbData), &needed);
    if (cbNeeded) {
        *cbNeeded = static_cast<uint32_t>(needed);
    }
    return rc == ERROR_SUCCESS;
}

void Win32GetLocalTime(void *, ZMD_LocalTime *out)
{
    if (!out) {
        return;
    }
    SYSTEMTIME st;
    GetLocalTime(&st);
    out->year = st.wYear;
    out->month = st.wMonth;
    out->day = st.wDay;
    out->hour = st.wHour;
    out->minute = st.wMinute;
    out->second = st.wSecond;
}

int Win32GetCountryText(void *, char *buf, int cb)
{
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, cb == 0 ? nullptr : buf, cb);
}

void *Win32Alloc(void *, size_t size)
{
    return reinterpret_cast<void *>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size ? size : 1));
}

void Win32Free(void *, void *p)
{
    if (p) {
        GlobalFree(reinterpret_cast<HGLOBAL>(p));
    }
}

const ZMD_Platform kWin32Platform = {
    nullptr,     &Win32OpenPrinter, &Win32ClosePrinter, &Win32GetPrinterData, &Win32GetLocalTime, &Win32GetCountryText,
    &Win32Alloc, &Win32Free,
};

} // namespace

const ZMD_Platform *ZMD_DefaultPlatform()
{
    return &kWin32Platform;
}
