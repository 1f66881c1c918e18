// calibmod.dll and its calibration directory under the real Win32 backend:
// a stale copy replaced in one step, no temporary file left behind, the
// directory's lock file shared with a second process that names the
// directory another way and released by a holder that dies, and links
// (reparse points) at the list's or the copy's name never followed.
#include <cstdio>
#include <cstring>

#include "wintest.h"
#include "wintest_files.h"

namespace {

struct Scene {
    wchar_t root[MAX_PATH];
    wchar_t source[MAX_PATH];
    wchar_t calib[MAX_PATH];
    wchar_t sourceFile[MAX_PATH];
    wchar_t copyFile[MAX_PATH];
    wchar_t listFile[MAX_PATH];
    wchar_t outside[MAX_PATH];
};

bool sceneCreate(Scene *s, const wchar_t *tag)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    int n = lstrlenW(temp);
    if (n > 0 && temp[n - 1] == L'\\') {
        temp[n - 1] = 0;
    }
    wchar_t leaf[64];
    wsprintfW(leaf, L"zmd-caldir-%s-%lu", tag, (unsigned long)GetCurrentProcessId());
    pathJoin(s->root, temp, leaf);
    pathJoin(s->source, s->root, L"source");
    pathJoin(s->calib, s->root, L"calib");
    pathJoin(s->sourceFile, s->source, L"Table0.dat");
    pathJoin(s->copyFile, s->calib, L"table1.dat");
    pathJoin(s->listFile, s->calib, L"abcde007.ini");
    pathJoin(s->outside, s->root, L"outside.dat");
    return CreateDirectoryW(s->root, nullptr) && CreateDirectoryW(s->source, nullptr) &&
           CreateDirectoryW(s->calib, nullptr);
}

// Removes every file of dir, then dir.
void dirEmpty(const wchar_t *dir)
{
    wchar_t pattern[MAX_PATH];
    pathJoin(pattern, dir, L"*");
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW(pattern, &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (f.cFileName[0] == L'.') {
                continue;
            }
            wchar_t p[MAX_PATH];
            pathJoin(p, dir, f.cFileName);
            DeleteFileW(p);
        } while (FindNextFileW(h, &f));
        FindClose(h);
    }
    RemoveDirectoryW(dir);
}

void sceneRemove(const Scene *s)
{
    dirEmpty(s->calib);
    dirEmpty(s->source);
    DeleteFileW(s->outside);
    RemoveDirectoryW(s->root);
}

// The names in dir, "|"-joined in the order listed, into out.
void dirNames(const wchar_t *dir, char *out, size_t cap)
{
    out[0] = 0;
    wchar_t pattern[MAX_PATH];
    pathJoin(pattern, dir, L"*");
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW(pattern, &f);
    if (h == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (f.cFileName[0] == L'.' && (f.cFileName[1] == 0 || f.cFileName[1] == L'.')) {
            continue;
        }
        char name[MAX_PATH];
        WideCharToMultiByte(CP_ACP, 0, f.cFileName, -1, name, sizeof name, nullptr, nullptr);
        if (out[0] != 0) {
            strncat(out, "|", cap - strlen(out) - 1);
        }
        strncat(out, name, cap - strlen(out) - 1);
    } while (FindNextFileW(h, &f));
    FindClose(h);
}

int16_t callOnce(KzCalibrationFn calibrate, const Scene *s, CalibNames *names)
{
    CalibRequest req = {7, 1, 1, 2, 3};
    const int16_t ids[6] = {-3, 0, 3, 0, 0, 0};
    std::memset(names, 0, sizeof *names);
    std::strcpy(names->sourceName, "Table0.dat");
    std::memcpy(names->listPrefix, "abcde", 5);
    return calibrate(&req, names, ids, s->source, s->calib);
}

// Takes the directory's lock as the module does: the first byte of the lock
// file "~kz,lock" inside it, exclusively. Null when it cannot be had.
HANDLE lockHold(const wchar_t *calib)
{
    wchar_t p[MAX_PATH];
    pathJoin(p, calib, L"~kz,lock");
    HANDLE h = CreateFileW(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    OVERLAPPED at;
    std::memset(&at, 0, sizeof at);
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        CloseHandle(h);
        return nullptr;
    }
    return h;
}

bool childStart(WinTest *t, const wchar_t *args, PROCESS_INFORMATION *pi)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    static wchar_t cmd[5 * MAX_PATH];
    wsprintfW(cmd, L"\"%s\" %s", exe, args);
    STARTUPINFOW si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    return expect(t, CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != 0,
                  "CreateProcessW failed (%lu)", (unsigned long)GetLastError());
}

void checkReplaceAndLeftovers(WinTest *t, KzCalibrationFn calibrate)
{
    Scene s;
    static uint8_t source[CALFILE_SIZE];
    calFileBuild(source, "ZMD calibration A");
    if (!expect(t, sceneCreate(&s, L"rename") && fileWriteWhole(s.sourceFile, source, CALFILE_SIZE),
                "could not set up the directories")) {
        sceneRemove(&s);
        return;
    }
    CalibNames names;
    expect(t, callOnce(calibrate, &s, &names) == CAL_OK, "first call failed");
    // A new source: the stale copy is replaced in one step by a rename.
    calFileBuild(source, "ZMD calibration B");
    fileWriteWhole(s.sourceFile, source, CALFILE_SIZE);
    int16_t r = callOnce(calibrate, &s, &names);
    expect(t, r == CAL_OK, "refresh: got %d", r);
    static uint8_t copy[CALFILE_SIZE + 16];
    DWORD size = 0;
    expect(t,
           fileReadWhole(s.copyFile, copy, sizeof copy, &size) && size == CALFILE_SIZE &&
               std::memcmp(copy + 4, source + 4, 200) == 0,
           "the refreshed copy does not carry the new source's header");
    char listing[512];
    dirNames(s.calib, listing, sizeof listing);
    // Listed in the order the file system keeps: every order is allowed.
    static const char *const orders[6] = {"abcde007.ini|table1.dat|~kz,lock", "abcde007.ini|~kz,lock|table1.dat",
                                          "table1.dat|abcde007.ini|~kz,lock", "table1.dat|~kz,lock|abcde007.ini",
                                          "~kz,lock|abcde007.ini|table1.dat", "~kz,lock|table1.dat|abcde007.ini"};
    bool only = false;
    for (const char *o : orders) {
        only = only || std::strcmp(listing, o) == 0;
    }
    expect(t, only, "the calibration directory holds more than the list, the copy and the lock file: %s", listing);
    sceneRemove(&s);
}

// The lock is the directory's, not its path's: held through one name, it
// holds a call that names the directory another way ("\\?\" here, which
// the system does not turn into the plain path).
void checkLockAcrossProcesses(WinTest *t, const wchar_t *dllDir)
{
    Scene s;
    static uint8_t source[CALFILE_SIZE];
    calFileBuild(source, "ZMD calibration M");
    if (!expect(t, sceneCreate(&s, L"lock") && fileWriteWhole(s.sourceFile, source, CALFILE_SIZE),
                "could not set up the directories")) {
        sceneRemove(&s);
        return;
    }
    HANDLE held = lockHold(s.calib);
    if (!expect(t, held != nullptr, "the lock file could not be locked (%lu)", (unsigned long)GetLastError())) {
        sceneRemove(&s);
        return;
    }
    static wchar_t args[4 * MAX_PATH];
    wsprintfW(args, L"--calibrate-child \"%s\" \"%s\" \"\\\\?\\%s\"", dllDir, s.source, s.calib);
    PROCESS_INFORMATION pi;
    if (!childStart(t, args, &pi)) {
        CloseHandle(held);
        sceneRemove(&s);
        return;
    }
    // While this process holds the lock the other one waits.
    DWORD w = WaitForSingleObject(pi.hProcess, 1500);
    expect(t, w == WAIT_TIMEOUT, "the second process did not wait for the directory's lock");
    expect(t, !fileExists(s.listFile), "the second process wrote the list while the lock was held");
    CloseHandle(held); // releases the lock
    w = WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    expect(t, w == WAIT_OBJECT_0 && code == 0, "the second process did not calibrate after the release (exit %lu)",
           (unsigned long)code);
    expect(t, fileExists(s.copyFile) && fileExists(s.listFile), "the second process made no copy");
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    sceneRemove(&s);
}

// A holder that dies releases the lock: a call after it is answered CAL_OK
// (a lock left held would answer -138 after the bounded wait).
void checkDeadHolderReleases(WinTest *t, KzCalibrationFn calibrate)
{
    Scene s;
    static uint8_t source[CALFILE_SIZE];
    calFileBuild(source, "ZMD calibration D");
    if (!expect(t, sceneCreate(&s, L"dead") && fileWriteWhole(s.sourceFile, source, CALFILE_SIZE),
                "could not set up the directories")) {
        sceneRemove(&s);
        return;
    }
    static wchar_t args[2 * MAX_PATH];
    wsprintfW(args, L"--hold-lock \"%s\"", s.calib);
    PROCESS_INFORMATION pi;
    if (!childStart(t, args, &pi)) {
        sceneRemove(&s);
        return;
    }
    wchar_t flag[MAX_PATH];
    pathJoin(flag, s.calib, L"held.txt");
    // Polled until the child says it holds the lock, or has ended.
    while (!fileExists(flag) && WaitForSingleObject(pi.hProcess, 10) == WAIT_TIMEOUT) {
    }
    HANDLE mine = fileExists(flag) ? lockHold(s.calib) : nullptr;
    bool holding = fileExists(flag) && mine == nullptr;
    if (mine != nullptr) {
        CloseHandle(mine);
    }
    expect(t, holding, "the child did not take the directory's lock");
    TerminateProcess(pi.hProcess, 7);
    WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (holding) {
        CalibNames names;
        int16_t r = callOnce(calibrate, &s, &names);
        expect(t, r == CAL_OK, "after the holder died: got %d", r);
    }
    sceneRemove(&s);
}

void checkLinksRefused(WinTest *t, KzCalibrationFn calibrate)
{
    Scene s;
    static uint8_t source[CALFILE_SIZE];
    calFileBuild(source, "ZMD calibration L");
    if (!expect(t, sceneCreate(&s, L"links") && fileWriteWhole(s.sourceFile, source, CALFILE_SIZE),
                "could not set up the directories")) {
        sceneRemove(&s);
        return;
    }
    const char outsideText[] = "7,1,2,3,table1.dat\r\n";
    fileWriteWhole(s.outside, outsideText, sizeof outsideText - 1);
    // Wine answers TRUE without making a link, and shows links made by the
    // host as plain files: the checks run where links really exist.
    DWORD linkAttrs =
        CreateSymbolicLinkW(s.listFile, s.outside, 0) ? GetFileAttributesW(s.listFile) : INVALID_FILE_ATTRIBUTES;
    if (linkAttrs == INVALID_FILE_ATTRIBUTES || (linkAttrs & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        std::printf("   (no symbolic links here: reparse-point checks skipped)\n");
        sceneRemove(&s);
        return;
    }
    CalibNames names;
    int16_t r = callOnce(calibrate, &s, &names);
    expect(t, r == CAL_ERR_FILE, "a list that is a link: got %d, want -138", r);
    expect(t, std::strcmp(names.resultName, "Table0.dat") == 0, "a list that is a link: result %s", names.resultName);
    uint8_t buf[64];
    DWORD size = 0;
    expect(t,
           fileReadWhole(s.outside, buf, sizeof buf, &size) && size == sizeof outsideText - 1 &&
               std::memcmp(buf, outsideText, size) == 0,
           "the file the list's link points to was written");

    // A listed copy that is a link to a file outside carrying the source's
    // string is not current: a regular copy replaces the link.
    DeleteFileW(s.listFile);
    fileWriteWhole(s.listFile, outsideText, sizeof outsideText - 1);
    fileWriteWhole(s.outside, source, CALFILE_SIZE);
    CreateSymbolicLinkW(s.copyFile, s.outside, 0);
    r = callOnce(calibrate, &s, &names);
    expect(t, r == CAL_OK, "a listed copy that is a link: got %d", r);
    DWORD attrs = GetFileAttributesW(s.copyFile);
    expect(t, attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT) == 0,
           "the linked copy was answered instead of replaced");
    static uint8_t out[CALFILE_SIZE + 16];
    expect(t,
           fileReadWhole(s.outside, out, sizeof out, &size) && size == CALFILE_SIZE &&
               std::memcmp(out, source, CALFILE_SIZE) == 0,
           "the file outside the directory was changed");
    sceneRemove(&s);
}

} // namespace

int calibrateChild(const wchar_t *dllDir, const wchar_t *sourceDir, const wchar_t *calibDir)
{
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%s\\calibmod.dll", dllDir);
    HMODULE m = LoadLibraryW(path);
    if (m == nullptr) {
        return 90;
    }
    KzCalibrationFn calibrate =
        reinterpret_cast<KzCalibrationFn>(reinterpret_cast<void *>(GetProcAddress(m, "KZCalibration")));
    if (calibrate == nullptr) {
        return 91;
    }
    Scene s;
    lstrcpyW(s.source, sourceDir);
    lstrcpyW(s.calib, calibDir);
    CalibNames names;
    int16_t r = callOnce(calibrate, &s, &names);
    FreeLibrary(m);
    return r == CAL_OK ? 0 : 1;
}

int holdLockChild(const wchar_t *calibDir)
{
    HANDLE h = lockHold(calibDir);
    if (h == nullptr) {
        return 1;
    }
    wchar_t flag[MAX_PATH];
    pathJoin(flag, calibDir, L"held.txt");
    fileWriteWhole(flag, "held", 4);
    Sleep(INFINITE); // ended by the parent, holding the lock
    return 0;
}

void checkCalibrationDirectory(WinTest *t, KzCalibrationFn calibrate, const wchar_t *dllDir)
{
    testGroup(t, "calibmod calibration directory (rename, lock file, links)");
    checkReplaceAndLeftovers(t, calibrate);
    checkLockAcrossProcesses(t, dllDir);
    checkDeadHolderReleases(t, calibrate);
    checkLinksRefused(t, calibrate);
}
