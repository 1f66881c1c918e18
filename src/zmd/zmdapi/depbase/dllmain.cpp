// Entry point of depbase.dll. The library keeps no state, so there is nothing
// to set up or tear down: every notification is answered with success.
#include <windows.h>

#include <cstddef>

#include "depbase.h"

// The record crosses the DLL boundary as seven 32-bit fields; callers built
// against the 32-bit layout rely on it byte for byte.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ZMD_SettingsRecord) == 28, "ZMD_SettingsRecord must be 28 bytes on 32-bit Windows");
static_assert(offsetof(ZMD_SettingsRecord, pwszPrinterName) == 24, "ZMD_SettingsRecord fields must be 32-bit");
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
