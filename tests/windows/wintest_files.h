// File helpers of the Windows test program and the calibration data file it
// feeds to calibmod.dll.
#ifndef ZMD_WINTEST_FILES_H
#define ZMD_WINTEST_FILES_H

#include <windows.h>

#include <cstdint>

// dir + "\" + name into out (MAX_PATH wide characters).
void pathJoin(wchar_t *out, const wchar_t *dir, const wchar_t *name);
bool fileReadWhole(const wchar_t *path, uint8_t *buf, DWORD cap, DWORD *size);
bool fileWriteWhole(const wchar_t *path, const void *data, DWORD size);
bool fileExists(const wchar_t *path);
bool fileTimeGet(const wchar_t *path, FILETIME *ft);
bool fileTimeSetOld(const wchar_t *path); // 2001-01-01, so that any later write shows

// The calibration data file: header, identification string block, one KZDB
// table (id 1000, two DB_KIND_0 records naming KZHT 1201 and 1202) and the two
// plain KZHT tables of four curves each. Curve i of table 1201 holds
// (i + 1) * 1000 + k at entry k; table 1202 has no built-in curves.
enum {
    CALFILE_SIZE = 4584,
    CALFILE_KZHT1201_BODY = 484, // body offset of table 1201 in the file
    CALFILE_KZHT1202_BODY = 2536,
};
// Writes the file image with the given identification string (at most 31
// characters) into out (CALFILE_SIZE bytes).
void calFileBuild(uint8_t *out, const char *id);
// Entry k of curve c of the table whose body starts at bodyOffset.
uint16_t calFileCurveEntry(const uint8_t *file, DWORD bodyOffset, int curve, int k);

#endif // ZMD_WINTEST_FILES_H
