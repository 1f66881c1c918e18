// calibmod.dll through KZCalibration, in a temporary directory with
// backslash paths (and non-ASCII directory names): a new copy, the same call
// again, a deleted copy refreshed, a changed source refreshed, the list file's
// bytes and the calibrated curves read back from the copy.
#include <cstdio>
#include <cstring>

#include "wintest.h"
#include "wintest_files.h"

struct CalDirs {
    wchar_t root[MAX_PATH];
    wchar_t source[MAX_PATH];
    wchar_t calib[MAX_PATH];
    wchar_t sourceFile[MAX_PATH];
    wchar_t copyFile[MAX_PATH];
    wchar_t listFile[MAX_PATH];
};

static bool dirsCreate(CalDirs *d)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    int n = lstrlenW(temp);
    if (n > 0 && temp[n - 1] == L'\\') {
        temp[n - 1] = 0;
    }
    wchar_t leaf[64];
    wsprintfW(leaf, L"zmd-calib-%lu", (unsigned long)GetCurrentProcessId());
    pathJoin(d->root, temp, leaf);
    pathJoin(d->source, d->root, L"source \u00e9");
    pathJoin(d->calib, d->root, L"kalibrierung \u00fc\u4e2d");
    pathJoin(d->sourceFile, d->source, L"Table0.dat");
    pathJoin(d->copyFile, d->calib, L"table1.dat");
    pathJoin(d->listFile, d->calib, L"abcde007.ini");
    return CreateDirectoryW(d->root, nullptr) && CreateDirectoryW(d->source, nullptr) &&
           CreateDirectoryW(d->calib, nullptr);
}

static void dirsRemove(const CalDirs *d)
{
    DeleteFileW(d->sourceFile);
    DeleteFileW(d->copyFile);
    DeleteFileW(d->listFile);
    RemoveDirectoryW(d->calib);
    RemoveDirectoryW(d->source);
    RemoveDirectoryW(d->root);
}

static void namesInit(CalibNames *names)
{
    std::memset(names, 0x5A, sizeof *names); // resultName starts as garbage
    std::memset(names->sourceName, 0, sizeof names->sourceName);
    std::strcpy(names->sourceName, "Table0.dat");
    std::memcpy(names->listPrefix, "abcde", 5);
}

static void expectResultName(WinTest *t, const CalibNames *names, const char *want, const char *what)
{
    char expected[16] = {0};
    std::strcpy(expected, want);
    expectBytes(t, names->resultName, expected, 16, what);
}

static bool sameTime(const FILETIME *a, const FILETIME *b)
{
    return a->dwLowDateTime == b->dwLowDateTime && a->dwHighDateTime == b->dwHighDateTime;
}

// The copy holds the source with curves 0 and 2 of table 1201 replaced by the
// built-in curves of ids -3 and 3; everything else is byte for byte the source.
static void checkCopy(WinTest *t, const CalDirs *d, const uint8_t *source, const char *what)
{
    static uint8_t copy[CALFILE_SIZE + 16];
    DWORD size = 0;
    if (!expect(t, fileReadWhole(d->copyFile, copy, sizeof copy, &size) && size == CALFILE_SIZE,
                "%s: copy missing or %lu bytes", what, (unsigned long)size)) {
        return;
    }
    const DWORD curve0 = CALFILE_KZHT1201_BODY, curve2 = CALFILE_KZHT1201_BODY + 1024;
    expectBytes(t, copy, source, curve0, "copy before table 1201");
    expectBytes(t, copy + curve0 + 512, source + curve0 + 512, 512, "copy of table 1201 curve 1 (neutral slot)");
    expectBytes(t, copy + curve2 + 512, source + curve2 + 512, CALFILE_SIZE - curve2 - 512,
                "copy from table 1201 curve 3 on (neutral slot, table 1202)");

    // Table 1201, id -3, curve 0: its telling row.
    static const int rows[13] = {0, 1, 2, 16, 32, 64, 96, 128, 160, 192, 224, 254, 255};
    static const uint16_t minus3[13] = {0, 8, 17, 124, 238, 485, 792, 1172, 1628, 2195, 2971, 4055, 4080};
    for (int i = 0; i < 13; i++) {
        uint16_t v = calFileCurveEntry(copy, CALFILE_KZHT1201_BODY, 0, rows[i]);
        expect(t, v == minus3[i], "%s: table 1201 curve 0 entry %d is %u, want %u", what, rows[i], v, minus3[i]);
    }
    // Table 1201, id 3, curve 2: 0 to 3672, strictly rising.
    bool rising = true;
    for (int k = 1; k < 256; k++) {
        rising = rising && calFileCurveEntry(copy, CALFILE_KZHT1201_BODY, 2, k) >
                               calFileCurveEntry(copy, CALFILE_KZHT1201_BODY, 2, k - 1);
    }
    expect(t,
           rising && calFileCurveEntry(copy, CALFILE_KZHT1201_BODY, 2, 0) == 0 &&
               calFileCurveEntry(copy, CALFILE_KZHT1201_BODY, 2, 255) == 3672,
           "%s: table 1201 curve 2 is not group 3's curve (0 .. 3672, rising)", what);
}

static void checkListFile(WinTest *t, const CalDirs *d)
{
    static const char want[] = "7,1,2,3,table1.dat\r\n";
    uint8_t buf[256];
    DWORD size = 0;
    if (expect(t, fileReadWhole(d->listFile, buf, sizeof buf, &size) && size == sizeof want - 1,
               "list file abcde007.ini missing or %lu bytes", (unsigned long)size)) {
        expectBytes(t, buf, want, size, "list file");
    }
}

// Rejected and pass-through requests touch no file; the export is __stdcall.
static void checkRequestChecks(WinTest *t, KzCalibrationFn calibrate, const CalDirs *d)
{
    CalibRequest req = {7, 2, 1, 2, 3};
    int16_t ids[6] = {0, 0, 0, 0, 0, 0};
    CalibNames names;
    namesInit(&names);
#ifndef _WIN64
    uint32_t removed = 0;
    uint32_t args[5] = {(uint32_t)(uintptr_t)&req, (uint32_t)(uintptr_t)&names, (uint32_t)(uintptr_t)ids,
                        (uint32_t)(uintptr_t)d->source, (uint32_t)(uintptr_t)d->calib};
    int16_t r = (int16_t)callMeasuringStack((void *)calibrate, args, &removed);
    expect(t, removed == 20, "KZCalibration removed %u bytes of arguments, want 20", removed);
#else
    int16_t r = calibrate(&req, &names, ids, d->source, d->calib);
#endif
    expect(t, r == CAL_ERR_REQUEST, "mode 2: got %d, want -128", r);
    expectResultName(t, &names, "Table0.dat", "resultName after a rejected request");

    req.mode = 1;
    ids[1] = -8;
    wchar_t missing[MAX_PATH];
    pathJoin(missing, d->root, L"missing");
    namesInit(&names);
    r = calibrate(&req, &names, ids, d->source, missing);
    expect(t, r == CAL_OK, "pass-through id: got %d, want 0", r);
    expectResultName(t, &names, "Table0.dat", "resultName after pass-through");
    expect(t, !fileExists(missing), "pass-through created the calibration directory");
    expect(t, !fileExists(d->listFile), "a rejected or pass-through request wrote the list file");
}

void checkCalibration(WinTest *t, KzCalibrationFn calibrate)
{
    testGroup(t, "calibmod KZCalibration");
    CalDirs d;
    static uint8_t source[CALFILE_SIZE];
    calFileBuild(source, "ZMD calibration 1");
    if (!expect(t, dirsCreate(&d), "could not create the temporary directories") ||
        !expect(t, fileWriteWhole(d.sourceFile, source, CALFILE_SIZE), "could not write the source file")) {
        dirsRemove(&d);
        return;
    }
    checkRequestChecks(t, calibrate, &d);

    CalibRequest req = {7, 1, 1, 2, 3};
    const int16_t ids[6] = {-3, 0, 3, 0, 0, 0};
    CalibNames names;

    // First call: no list file yet (state 2), a new copy under a new name.
    namesInit(&names);
    int16_t r = calibrate(&req, &names, ids, d.source, d.calib);
    expect(t, r == CAL_OK, "first call: got %d, want 0", r);
    expectResultName(t, &names, "table1.dat", "resultName of the new copy");
    checkCopy(t, &d, source, "new copy");
    checkListFile(t, &d);

    // The same call again: found and current, nothing is written.
    FILETIME copyTime, listTime, now;
    fileTimeSetOld(d.copyFile);
    fileTimeSetOld(d.listFile);
    fileTimeGet(d.copyFile, &copyTime);
    fileTimeGet(d.listFile, &listTime);
    namesInit(&names);
    r = calibrate(&req, &names, ids, d.source, d.calib);
    expect(t, r == CAL_OK, "second call: got %d, want 0", r);
    expectResultName(t, &names, "table1.dat", "resultName of the found copy");
    expect(t, fileTimeGet(d.copyFile, &now) && sameTime(&now, &copyTime), "second call wrote the copy");
    expect(t, fileTimeGet(d.listFile, &now) && sameTime(&now, &listTime), "second call wrote the list file");

    // The copy deleted: made again under the same name, the list left alone.
    expect(t, DeleteFileW(d.copyFile) != 0, "could not delete the copy");
    namesInit(&names);
    r = calibrate(&req, &names, ids, d.source, d.calib);
    expect(t, r == CAL_OK, "call after deleting the copy: got %d, want 0", r);
    expectResultName(t, &names, "table1.dat", "resultName of the refreshed copy");
    checkCopy(t, &d, source, "refreshed copy");
    expect(t, fileTimeGet(d.listFile, &now) && sameTime(&now, &listTime), "refresh rewrote the list file");
    checkListFile(t, &d);

    // A new identification string in the source: the copy is refreshed.
    calFileBuild(source, "ZMD calibration 2");
    expect(t, fileWriteWhole(d.sourceFile, source, CALFILE_SIZE), "could not rewrite the source file");
    namesInit(&names);
    r = calibrate(&req, &names, ids, d.source, d.calib);
    expect(t, r == CAL_OK, "call after changing the source: got %d, want 0", r);
    checkCopy(t, &d, source, "copy refreshed after a source change");
    checkListFile(t, &d);

    // The caller's file is never written.
    static uint8_t after[CALFILE_SIZE + 16];
    DWORD size = 0;
    expect(t, fileReadWhole(d.sourceFile, after, sizeof after, &size) && size == CALFILE_SIZE,
           "source file size changed");
    expectBytes(t, after, source, CALFILE_SIZE, "source file after the calls");
    dirsRemove(&d);
}
