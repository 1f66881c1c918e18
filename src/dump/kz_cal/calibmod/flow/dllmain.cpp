// Entry point of calibmod.dll. The module keeps no state between calls, so
// there is nothing to set up or tear down: every notification succeeds.
#include <windows.h>

#include "calibmod.h"

// The argument records keep their packed sizes on the target.
static_assert(sizeof(CalibRequest) == 16, "CalibRequest must be 16 bytes");
static_assert(sizeof(CalibNames) == 37, "CalibNames must be 37 bytes");

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
