// The Windows test program: loads depbase.dll and calibmod.dll the way the
// driver does (LoadLibraryW, GetProcAddress by the plain export name, calls
// through __stdcall pointers) and checks their behaviour through the real
// Win32 backends. Runs under wine on the build machine.
#ifndef ZMD_WINTEST_H
#define ZMD_WINTEST_H

#include <windows.h>

#include <cstdint>

#include "calibmod.h"
#include "depbase.h"

typedef int32_t(__stdcall *ZmdAccessFn)(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                                        uint32_t *pcbSize);
typedef int16_t(__stdcall *KzCalibrationFn)(const CalibRequest *request, CalibNames *names, const int16_t *adjustIds,
                                            const wchar_t *sourceDir, const wchar_t *calibDir);

// The six depbase exports, as found by GetProcAddress.
struct DepbaseApi {
    ZmdAccessFn root;
    ZmdAccessFn drv;
    ZmdAccessFn lm;
    ZmdAccessFn mnt;
    ZmdAccessFn pa;
    ZmdAccessFn sm;
};

// Pass and fail counters of one run; failures are printed as they happen.
struct WinTest {
    int passed;
    int failed;
    const char *group;
};

void testGroup(WinTest *t, const char *name);
// Counts one check; prints the message (printf format) when it fails.
bool expect(WinTest *t, bool ok, const char *fmt, ...) __attribute__((format(printf, 3, 4)));
// Compares n bytes; on a difference prints both sides around the first one.
bool expectBytes(WinTest *t, const void *actual, const void *expected, size_t n, const char *what);
bool expectWide(WinTest *t, const void *actual, const wchar_t *expected, const char *what);

// A settings record with room for every database's shape; all settings 0.
struct RecordStore {
    int32_t ints[96];
    const char *strings[8];
    ZMD_SettingsRecord rec;
};
void recordInit(RecordStore *s, uint32_t cStrings, uint32_t cInts);

#ifndef _WIN64
// Calls a five-argument export through a raw pointer and reports how many
// bytes of arguments the callee removed from the stack (20 for __stdcall).
// 32-bit only: on x86-64 there is one convention and the caller cleans up.
int32_t callMeasuringStack(void *fn, const uint32_t args[5], uint32_t *bytesRemoved);
#endif

// Groups of checks.
void checkImageFormat(WinTest *t, HMODULE module);
void checkVersionResource(WinTest *t, const wchar_t *path, const wchar_t *fileName);
void checkExportTable(WinTest *t, HMODULE module, const char *const *names, int count);
void checkImportTable(WinTest *t, HMODULE module, const char *const *allowed, int count);
void checkDepbaseFrame(WinTest *t, const DepbaseApi *api);
// The calibration directory: rename replacement, the directory's lock file
// against a second process (this program run with --calibrate-child) and
// after its holder died (--hold-lock), links.
void checkCalibrationDirectory(WinTest *t, KzCalibrationFn calibrate, const wchar_t *dllDir);
// The child's part: one KZCalibration call; exit code 0 for CAL_OK.
int calibrateChild(const wchar_t *dllDir, const wchar_t *sourceDir, const wchar_t *calibDir);
// The child that takes the lock of calibDir, says so by a file "held" beside
// it, and waits until it is ended.
int holdLockChild(const wchar_t *calibDir);
// Several processes, each naming one calibration directory its own way
// (this program run with --storm-child), every answer read back at once.
void checkSpellingStorm(WinTest *t, KzCalibrationFn calibrate, const wchar_t *dllDir);
// The child's part: rounds of calls through its name of the directory;
// exit code 0 when every answer was the key's own copy and none was -138.
int stormChild(const wchar_t *dllDir, const wchar_t *root, const wchar_t *cal, int index);
void checkDepbaseValues(WinTest *t, const DepbaseApi *api);
void checkDepbaseDriverQueries(WinTest *t, const DepbaseApi *api);
void checkDepbaseUnknownPrinter(WinTest *t, const DepbaseApi *api);
void checkDepbasePrinter(WinTest *t, const DepbaseApi *api);
void checkCalibration(WinTest *t, KzCalibrationFn calibrate);

#endif // ZMD_WINTEST_H
