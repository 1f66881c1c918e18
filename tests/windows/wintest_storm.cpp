// One calibration directory under several names at once: a child process
// per name (the plain path, a second drive letter mapped onto the same
// folder, "Z:\<unix path>" under wine, "\\?\", the 8.3 short name) calls
// KZCalibration for six keys in fresh directories round after round, and
// reads every CAL_OK answer back at once. Every answer must be that key's
// own copy, byte for byte as the key makes it alone, and no call may answer
// -138: the directory's lock is one lock whatever the directory is called.
#include <cstdio>
#include <cstring>

#include "wintest.h"
#include "wintest_files.h"

namespace {

const int kKeys = 6;
const int kRounds = 10;
const int kPasses = 2; // the second pass of a round is answered from the lists
const int kMaxSpellings = 5;
const DWORD kChildWaitMs = 300000; // ends only a hung child; never reached by a sound run

struct StormKey {
    int16_t list;
    int32_t param1;
    int16_t ids[6];
};

// Two lists, three keys each; every key calibrates other curves.
const StormKey kStormKeys[kKeys] = {
    {7, 1, {-3, 0, 3, 0, 0, 0}}, {7, 2, {3, 0, -3, 0, 0, 0}}, {7, 3, {-3, -3, 0, 0, 0, 0}},
    {8, 1, {0, 3, 0, -3, 0, 0}}, {8, 2, {3, 3, 3, 3, 0, 0}},  {8, 3, {0, 0, 0, 3, 0, 0}},
};

struct Storm {
    wchar_t root[MAX_PATH];
    wchar_t source[MAX_PATH];
    wchar_t ref[MAX_PATH];
    wchar_t cal[MAX_PATH]; // holds the round directories r0 .. r9
    int spellings;
    wchar_t spelled[kMaxSpellings][MAX_PATH]; // names of cal
    const char *label[kMaxSpellings];
    bool driveDefined; // Y: was mapped here, and is removed at the end
};

int16_t stormCall(KzCalibrationFn calibrate, const wchar_t *source, const wchar_t *calib, int k, CalibNames *names)
{
    CalibRequest req = {kStormKeys[k].list, 1, kStormKeys[k].param1, 0, 0};
    std::memset(names, 0, sizeof *names);
    std::strcpy(names->sourceName, "Table0.dat");
    std::memcpy(names->listPrefix, "storm", 5);
    return calibrate(&req, names, kStormKeys[k].ids, source, calib);
}

// Reads a whole file, sharing it with everyone (a reader never makes a
// writer's rename fail).
bool fileReadShared(const wchar_t *path, uint8_t *buf, DWORD cap, DWORD *size)
{
    *size = 0;
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD got = 0;
    BOOL ok = ReadFile(f, buf, cap, &got, nullptr);
    CloseHandle(f);
    *size = got;
    return ok != 0;
}

void refPath(wchar_t *out, const wchar_t *root, int k)
{
    wchar_t name[32];
    wsprintfW(name, L"ref\\key%d.dat", k);
    pathJoin(out, root, name);
}

void roundDir(wchar_t *out, const wchar_t *cal, int round)
{
    wchar_t name[8];
    wsprintfW(name, L"r%d", round);
    pathJoin(out, cal, name);
}

// True when spelled names the directory cal: a marker made through one name
// is seen through the other.
bool spellingReaches(const wchar_t *cal, const wchar_t *spelled)
{
    wchar_t marker[MAX_PATH];
    wchar_t seen[MAX_PATH];
    pathJoin(marker, cal, L"spelling.txt");
    pathJoin(seen, spelled, L"spelling.txt");
    fileWriteWhole(marker, "x", 1);
    bool same = fileExists(seen);
    DeleteFileW(marker);
    return same && !fileExists(seen);
}

// The running host is wine: the unix side of its file system can be named.
bool underWine()
{
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name") != nullptr;
}

void spellingAdd(WinTest *t, Storm *s, const wchar_t *spelled, const char *label, bool required)
{
    if (spelled[0] != 0 && spellingReaches(s->cal, spelled)) {
        lstrcpynW(s->spelled[s->spellings], spelled, MAX_PATH);
        s->label[s->spellings++] = label;
        return;
    }
    if (required) {
        expect(t, false, "the spelling %s (%ls) does not reach the calibration directory", label, spelled);
    } else {
        std::printf("   (spelling %s not available here: left out)\n", label);
    }
}

// Every name of s->cal the host offers.
void spellingsCollect(WinTest *t, Storm *s)
{
    const bool wine = underWine();
    s->spellings = 0;
    s->driveDefined = false;
    spellingAdd(t, s, s->cal, "plain", true);

    // A second drive letter onto the folder of C: (scripts/windows-test maps
    // it in the wine prefix and names it in ZMD_WINTEST_ALIAS_DRIVE; on
    // Windows it is made here, as subst does).
    wchar_t drive[8] = {0};
    bool mapped = GetEnvironmentVariableW(L"ZMD_WINTEST_ALIAS_DRIVE", drive, 8) == 2;
    if (!mapped && !wine && (s->cal[0] == L'C' || s->cal[0] == L'c')) {
        mapped = DefineDosDeviceW(0, L"Y:", L"C:\\") != 0;
        s->driveDefined = mapped;
        lstrcpyW(drive, L"Y:");
    }
    wchar_t spelled[MAX_PATH] = {0};
    if (mapped && s->cal[1] == L':') {
        wsprintfW(spelled, L"%s%s", drive, s->cal + 2);
    }
    spellingAdd(t, s, spelled, "second drive letter", mapped || wine);

    // Z:\<unix path> under wine: the prefix's drive_c seen from the root.
    spelled[0] = 0;
    wchar_t prefix[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
    if (wine && n > 0 && n < MAX_PATH && prefix[0] == L'/' && (s->cal[0] == L'C' || s->cal[0] == L'c')) {
        wsprintfW(spelled, L"Z:%s/drive_c%s", prefix, s->cal + 2);
        for (wchar_t *c = spelled; *c; ++c) {
            *c = *c == L'/' ? L'\\' : *c;
        }
    }
    spellingAdd(t, s, spelled, "Z:\\<unix path>", wine);

    wsprintfW(spelled, L"\\\\?\\%s", s->cal);
    spellingAdd(t, s, spelled, "\\\\?\\ path", false);

    spelled[0] = 0;
    if (GetShortPathNameW(s->cal, spelled, MAX_PATH) == 0 || lstrcmpiW(spelled, s->cal) == 0) {
        spelled[0] = 0; // no short name that differs
    }
    spellingAdd(t, s, spelled, "8.3 short name", false);
}

bool stormCreate(Storm *s)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    int n = lstrlenW(temp);
    if (n > 0 && temp[n - 1] == L'\\') {
        temp[n - 1] = 0;
    }
    wchar_t leaf[64];
    wsprintfW(leaf, L"zmd-storm-directory-%lu", (unsigned long)GetCurrentProcessId());
    pathJoin(s->root, temp, leaf);
    pathJoin(s->source, s->root, L"source");
    pathJoin(s->ref, s->root, L"ref");
    pathJoin(s->cal, s->root, L"cal");
    bool ok = CreateDirectoryW(s->root, nullptr) && CreateDirectoryW(s->source, nullptr) &&
              CreateDirectoryW(s->ref, nullptr) && CreateDirectoryW(s->cal, nullptr);
    for (int r = 0; ok && r < kRounds; ++r) {
        wchar_t dir[MAX_PATH];
        roundDir(dir, s->cal, r);
        ok = CreateDirectoryW(dir, nullptr) != 0;
    }
    return ok;
}

// Removes every file of dir, then dir (one level of subdirectories).
void treeRemove(const wchar_t *dir)
{
    wchar_t pattern[MAX_PATH];
    pathJoin(pattern, dir, L"*");
    WIN32_FIND_DATAW f;
    HANDLE h = FindFirstFileW(pattern, &f);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (f.cFileName[0] == L'.' && (f.cFileName[1] == 0 || f.cFileName[1] == L'.')) {
                continue;
            }
            wchar_t p[MAX_PATH];
            pathJoin(p, dir, f.cFileName);
            if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                treeRemove(p);
            } else {
                DeleteFileW(p);
            }
        } while (FindNextFileW(h, &f));
        FindClose(h);
    }
    RemoveDirectoryW(dir);
}

// Each key calibrated alone in a directory of its own: the copy it must be
// answered. False when a key fails or two keys' copies are alike (the storm
// could then not tell them apart).
bool referencesMake(WinTest *t, KzCalibrationFn calibrate, const Storm *s)
{
    static uint8_t copies[kKeys][CALFILE_SIZE];
    for (int k = 0; k < kKeys; ++k) {
        wchar_t dir[MAX_PATH];
        wchar_t name[16];
        wsprintfW(name, L"alone%d", k);
        pathJoin(dir, s->root, name);
        CreateDirectoryW(dir, nullptr);
        CalibNames names;
        int16_t r = stormCall(calibrate, s->source, dir, k, &names);
        wchar_t copy[MAX_PATH];
        wchar_t wide[16];
        MultiByteToWideChar(CP_ACP, 0, names.resultName, -1, wide, 16);
        pathJoin(copy, dir, wide);
        DWORD size = 0;
        if (!expect(t, r == CAL_OK && fileReadWhole(copy, copies[k], CALFILE_SIZE, &size) && size == CALFILE_SIZE,
                    "key %d alone: got %d", k, r)) {
            return false;
        }
        wchar_t ref[MAX_PATH];
        refPath(ref, s->root, k);
        fileWriteWhole(ref, copies[k], CALFILE_SIZE);
        for (int j = 0; j < k; ++j) {
            if (!expect(t, std::memcmp(copies[j], copies[k], CALFILE_SIZE) != 0, "keys %d and %d make one copy", j,
                        k)) {
                return false;
            }
        }
    }
    return true;
}

// After the storm every round directory holds the two lists, the six copies
// and the lock file, and no temporary.
void roundsCheck(WinTest *t, const Storm *s)
{
    for (int r = 0; r < kRounds; ++r) {
        wchar_t dir[MAX_PATH];
        wchar_t p[MAX_PATH];
        roundDir(dir, s->cal, r);
        pathJoin(p, dir, L"~kz,lock");
        expect(t, fileExists(p), "round %d: no lock file", r);
        pathJoin(p, dir, L"~kz,copy.tmp");
        bool clean = !fileExists(p);
        pathJoin(p, dir, L"~kz,list.tmp");
        clean = clean && !fileExists(p);
        expect(t, clean, "round %d: a temporary file was left", r);
    }
}

} // namespace

int stormChild(const wchar_t *dllDir, const wchar_t *root, const wchar_t *cal, int index)
{
    wchar_t path[MAX_PATH];
    pathJoin(path, dllDir, L"calibmod.dll");
    HMODULE m = LoadLibraryW(path);
    KzCalibrationFn calibrate =
        m ? reinterpret_cast<KzCalibrationFn>(reinterpret_cast<void *>(GetProcAddress(m, "KZCalibration"))) : nullptr;
    if (calibrate == nullptr) {
        return 90;
    }
    static uint8_t refs[kKeys][CALFILE_SIZE];
    for (int k = 0; k < kKeys; ++k) {
        DWORD size = 0;
        refPath(path, root, k);
        if (!fileReadWhole(path, refs[k], CALFILE_SIZE, &size) || size != CALFILE_SIZE) {
            return 91;
        }
    }
    wchar_t source[MAX_PATH];
    pathJoin(source, root, L"source");
    int calls = 0, wrong = 0, busy = 0, other = 0;
    static uint8_t got[CALFILE_SIZE + 16];
    for (int r = 0; r < kRounds; ++r) {
        wchar_t dir[MAX_PATH];
        roundDir(dir, cal, r);
        for (int pass = 0; pass < kPasses; ++pass) {
            for (int i = 0; i < kKeys; ++i) {
                int k = (i + index * 5 + pass) % kKeys; // every child in its own order
                CalibNames names;
                int16_t rc = stormCall(calibrate, source, dir, k, &names);
                ++calls;
                if (rc == CAL_ERR_FILE) {
                    ++busy;
                    continue;
                }
                if (rc != CAL_OK) {
                    ++other;
                    continue;
                }
                wchar_t wide[16];
                MultiByteToWideChar(CP_ACP, 0, names.resultName, -1, wide, 16);
                wchar_t copy[MAX_PATH];
                pathJoin(copy, dir, wide);
                DWORD size = 0;
                if (!fileReadShared(copy, got, sizeof got, &size) || size != CALFILE_SIZE ||
                    std::memcmp(got, refs[k], CALFILE_SIZE) != 0) {
                    ++wrong;
                }
            }
        }
    }
    FreeLibrary(m);
    std::printf("   child %d: %d calls, %d answers not the key's own copy, %d answered -138, %d other codes\n", index,
                calls, wrong, busy, other);
    std::fflush(stdout);
    return wrong == 0 && busy == 0 && other == 0 ? 0 : 1;
}

void checkSpellingStorm(WinTest *t, KzCalibrationFn calibrate, const wchar_t *dllDir)
{
    testGroup(t, "calibmod one directory under several names (spelling storm)");
    Storm s;
    static uint8_t source[CALFILE_SIZE];
    calFileBuild(source, "ZMD storm");
    wchar_t sourceFile[MAX_PATH];
    bool made = stormCreate(&s);
    pathJoin(sourceFile, s.source, L"Table0.dat");
    if (!expect(t, made && fileWriteWhole(sourceFile, source, CALFILE_SIZE), "could not set up the directories") ||
        !referencesMake(t, calibrate, &s)) {
        treeRemove(s.root);
        return;
    }
    spellingsCollect(t, &s);
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    PROCESS_INFORMATION pi[kMaxSpellings];
    int started = 0;
    for (int i = 0; i < s.spellings; ++i) {
        static wchar_t cmd[5 * MAX_PATH];
        wsprintfW(cmd, L"\"%s\" --storm-child \"%s\" \"%s\" \"%s\" %d", exe, dllDir, s.root, s.spelled[i], i);
        STARTUPINFOW si;
        std::memset(&si, 0, sizeof si);
        si.cb = sizeof si;
        // Started suspended and let go together, so that the calls overlap.
        if (expect(t,
                   CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si,
                                  &pi[started]) != 0,
                   "CreateProcessW failed (%lu)", (unsigned long)GetLastError())) {
            std::printf("   child %d names the directory by its %s: %ls\n", i, s.label[i], s.spelled[i]);
            ++started;
        }
    }
    std::fflush(stdout);
    for (int i = 0; i < started; ++i) {
        ResumeThread(pi[i].hThread);
    }
    for (int i = 0; i < started; ++i) {
        DWORD w = WaitForSingleObject(pi[i].hProcess, kChildWaitMs);
        DWORD code = 99;
        GetExitCodeProcess(pi[i].hProcess, &code);
        expect(t, w == WAIT_OBJECT_0 && code == 0, "child %d (%s): a wrong answer or a -138 (exit %lu)", i, s.label[i],
               (unsigned long)code);
        if (w != WAIT_OBJECT_0) {
            TerminateProcess(pi[i].hProcess, 98);
        }
        CloseHandle(pi[i].hThread);
        CloseHandle(pi[i].hProcess);
    }
    expect(t, started >= 3 || !underWine(), "only %d names of the directory were stormed", started);
    roundsCheck(t, &s);
    if (s.driveDefined) {
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Y:", nullptr);
    }
    treeRemove(s.root);
}
