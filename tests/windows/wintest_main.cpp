// Entry of the Windows test program.
//
//   zmd_windows_test [directory of depbase.dll and calibmod.dll]
//   zmd_windows_test --calibrate-child DLLDIR SOURCEDIR CALIBDIR
//                    (started by the program itself: one KZCalibration call)
//   zmd_windows_test --hold-lock CALIBDIR
//   zmd_windows_test --storm-child DLLDIR ROOT CALDIR INDEX
//                    (started by the program itself: a lock holder that is
//                    ended, and one process of the spelling storm)
//
// The directory defaults to the program's own. Prints "N passed, N failed"
// last and exits with 1 when any check failed.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wintest.h"

// The ZMD_SettingsRecord layout that callers of each DLL rely on: seven
// 32-bit fields on i686, natural widths (8-byte handle and pointers) on x86-64.
#ifdef _WIN64
static_assert(sizeof(void *) == 8, "x86-64 build");
static_assert(sizeof(ZMD_SettingsRecord) == 48, "ZMD_SettingsRecord must be 48 bytes on 64-bit Windows");
#else
static_assert(sizeof(void *) == 4, "i686 build");
static_assert(sizeof(ZMD_SettingsRecord) == 28, "ZMD_SettingsRecord must be 28 bytes on 32-bit Windows");
#endif
static_assert(sizeof(CalibRequest) == 16 && sizeof(CalibNames) == 37, "calibmod argument records");

static void dllDirectory(int argc, char **argv, wchar_t *dir)
{
    if (argc > 1) {
        MultiByteToWideChar(CP_ACP, 0, argv[1], -1, dir, MAX_PATH);
        return;
    }
    DWORD n = GetModuleFileNameW(nullptr, dir, MAX_PATH);
    while (n > 0 && dir[n - 1] != L'\\' && dir[n - 1] != L'/') {
        n--;
    }
    dir[n > 0 ? n - 1 : 0] = 0;
}

static HMODULE loadDll(WinTest *t, const wchar_t *dir, const wchar_t *name)
{
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\%s", dir, name);
    HMODULE m = LoadLibraryW(path);
    expect(t, m != nullptr, "LoadLibraryW(%ls) failed (%lu)", path, (unsigned long)GetLastError());
    return m;
}

static void *findExport(WinTest *t, HMODULE module, const char *name)
{
    void *p = module ? reinterpret_cast<void *>(GetProcAddress(module, name)) : nullptr;
    expect(t, p != nullptr, "export %s not found", name);
    return p;
}

static void runDepbase(WinTest *t, const wchar_t *dir)
{
    testGroup(t, "depbase.dll exports and imports");
    HMODULE m = loadDll(t, dir, L"depbase.dll");
    if (!m) {
        return;
    }
    static const char *const names[6] = {"ZMD_AccessRootDataBase", "ZMD_AccessDrvDataBase", "ZMD_AccessLMDataBase",
                                         "ZMD_AccessMntDataBase",  "ZMD_AccessPADataBase",  "ZMD_AccessSMDataBase"};
    static const char *const imports[3] = {"KERNEL32.dll", "WINSPOOL.DRV", "msvcrt.dll"};
    checkImageFormat(t, m);
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\depbase.dll", dir);
    checkVersionResource(t, path, L"depbase.dll");
    checkExportTable(t, m, names, 6);
    checkImportTable(t, m, imports, 3);
    DepbaseApi api;
    ZmdAccessFn *slots[6] = {&api.root, &api.drv, &api.lm, &api.mnt, &api.pa, &api.sm};
    bool all = true;
    for (int i = 0; i < 6; i++) {
        *slots[i] = reinterpret_cast<ZmdAccessFn>(findExport(t, m, names[i]));
        all = all && *slots[i];
    }
    if (all) {
        checkDepbaseFrame(t, &api);
        checkDepbaseValues(t, &api);
        checkDepbaseDriverQueries(t, &api);
        checkDepbaseUnknownPrinter(t, &api);
        checkDepbasePrinter(t, &api);
    }
    expect(t, FreeLibrary(m) != 0, "FreeLibrary(depbase.dll) failed");
}

static void runCalibmod(WinTest *t, const wchar_t *dir)
{
    testGroup(t, "calibmod.dll exports and imports");
    HMODULE m = loadDll(t, dir, L"calibmod.dll");
    if (!m) {
        return;
    }
    static const char *const names[1] = {"KZCalibration"};
    static const char *const imports[2] = {"KERNEL32.dll", "msvcrt.dll"};
    checkImageFormat(t, m);
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\calibmod.dll", dir);
    checkVersionResource(t, path, L"calibmod.dll");
    checkExportTable(t, m, names, 1);
    checkImportTable(t, m, imports, 2);
    KzCalibrationFn calibrate = reinterpret_cast<KzCalibrationFn>(findExport(t, m, "KZCalibration"));
    if (calibrate) {
        checkCalibration(t, calibrate);
        checkCalibrationDirectory(t, calibrate, dir);
        checkSpellingStorm(t, calibrate, dir);
    }
    expect(t, FreeLibrary(m) != 0, "FreeLibrary(calibmod.dll) failed");
}

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--calibrate-child") == 0) {
        wchar_t w[3][MAX_PATH];
        for (int i = 0; i < 3; i++) {
            MultiByteToWideChar(CP_ACP, 0, argv[i + 2], -1, w[i], MAX_PATH);
        }
        return calibrateChild(w[0], w[1], w[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "--hold-lock") == 0) {
        wchar_t w[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, argv[2], -1, w, MAX_PATH);
        return holdLockChild(w);
    }
    if (argc == 6 && std::strcmp(argv[1], "--storm-child") == 0) {
        wchar_t w[3][MAX_PATH];
        for (int i = 0; i < 3; i++) {
            MultiByteToWideChar(CP_ACP, 0, argv[i + 2], -1, w[i], MAX_PATH);
        }
        return stormChild(w[0], w[1], w[2], std::atoi(argv[5]));
    }
    WinTest t = {0, 0, nullptr};
    wchar_t dir[MAX_PATH];
    dllDirectory(argc, argv, dir);
    runDepbase(&t, dir);
    runCalibmod(&t, dir);
    std::printf("%d passed, %d failed\n", t.passed, t.failed);
    return t.failed ? 1 : 0;
}
