// Entry point of depbase.dll. The library keeps no state, so there is nothing
// to set up or tear down: every notification is answered with success.
#include <windows.h>

#include <cstddef>

#include "depbase.h"

// The record crosses the DLL boundary: seven 32-bit fields on 32-bit
// Windows, natural widths (8-byte handle and pointers) on 64-bit Windows.
// Callers built against either layout rely on it byte for byte.
#if defined(_WIN64)
static_assert(sizeof(ZMD_SettingsRecord) == 48, "ZMD_SettingsRecord must be 48 bytes on 64-bit Windows");
static_assert(offsetof(ZMD_SettingsRecord, pwszPrinterName) == 40, "ZMD_SettingsRecord natural alignment");
#elif defined(_WIN32)
static_assert(sizeof(ZMD_SettingsRecord) == 28, "ZMD_SettingsRecord must be 28 bytes on 32-bit Windows");
static_assert(offsetof(ZMD_SettingsRecord, pwszPrinterName) == 24, "ZMD_SettingsRecord fields must be 32-bit");
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
