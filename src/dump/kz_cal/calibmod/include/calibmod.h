/* calibmod: the calibration module.
 *
 * KZCalibration keeps calibrated copies of calibration data files in a
 * calibration directory, with a list file that maps request keys to copies,
 * and always answers with a file name the driver can use.
 *
 * A call, as the caller sees it:
 *
 *     CalibRequest request = {1, 1, 0, 0, 0};   listNumber 1, mode 1, key 1,0,0,0
 *     CalibNames names;
 *     memset(&names, 0, sizeof names);
 *     strcpy(names.sourceName, "Table0.dat");
 *     memcpy(names.listPrefix, "calib", 5);
 *     int16_t ids[6] = {-3, 0, 3, -3, 0, 0};
 *     int16_t rc = KZCalibration(&request, &names, ids, sourceDir, calibDir);
 *     open resultName in calibDir when rc == CAL_OK and resultName differs from
 *     sourceName; otherwise open sourceName in sourceDir.
 *
 * The calibration directory holds the list files (listPrefix, listNumber
 * in decimal with at least three digits, ".ini"; lines
 * "listNumber,param1,param2,param3,name" ending CR LF) and the copies they
 * name. While a call works it may also hold "~kz,copy.tmp" and
 * "~kz,list.tmp"; a later call removes them if a call was stopped. Calls on
 * one directory wait for each other (flock on the directory on POSIX, a
 * lock on the file "~kz,lock" inside it on Windows, which stays there),
 * at most about 10 seconds; a call that cannot get
 * the directory answers CAL_ERR_FILE. A copy is made whole under the
 * temporary name and then renamed onto its name, so a listed name always
 * holds a complete copy or nothing. Nothing outside the two directories is
 * opened; no symbolic link is followed.
 *
 * States of a call (observable from the directory afterwards; a call never
 * returns its state):
 *   1 found     the key is listed and its copy is current (it carries the
 *               source's identification string): nothing is written
 *   2 new list  no list file, an empty one, or one holding a malformed line:
 *               a copy is made and the list written anew with its line only
 *   3 new entry the list is usable but lacks the key: a copy is made under a
 *               fresh name (the source name in lower case with the character
 *               before its last '.' varied over 1-9, a-z) and its line added;
 *               when every name is taken the oldest similar entry gives up
 *               its name and the list is rewritten without it
 *   4 refresh   the key is listed but its copy is missing or stale: it is
 *               made again under the same name; the list is not changed
 * An adjustment id of -8 in a slot in use asks for no calibration: the call
 * answers CAL_OK with sourceName at once and touches no file.
 *
 * The strings are 8-bit file names passed through as bytes; sourceDir and
 * calibDir are NUL-terminated UTF-16 strings without a trailing separator. */
#ifndef KZ_CALIBMOD_H
#define KZ_CALIBMOD_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(_WIN32)
#define KZ_API __stdcall
#if defined(KZ_BUILDING_CALIBMOD)
#define KZ_EXPORT
#else
#define KZ_EXPORT __declspec(dllimport)
#endif
typedef wchar_t KZ_WCHAR;
#else
#define KZ_API
#if defined(KZ_BUILDING_CALIBMOD)
#define KZ_EXPORT __attribute__((visibility("default")))
#else
#define KZ_EXPORT
#endif
typedef char16_t KZ_WCHAR;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The request, read only. listNumber, param1, param2 and param3 are the
 * request key: a list entry belongs to the request when all four are equal.
 * listNumber also selects the list file. mode says which adjustment ids are
 * in use: 1 (the only mode accepted) uses adjustIds[0..3]; mode and ids are
 * not part of the key, so a second request with the same key and other ids
 * is answered with the first one's copy while it is current. */
typedef struct CalibRequest {
    int16_t listNumber;
    int16_t mode;
    int32_t param1;
    int32_t param2;
    int32_t param3;
} CalibRequest; /* 16 bytes, no padding */

/* The names, 8-bit characters.
 *   sourceName  in: the data file in sourceDir; 1 to 15 characters and a NUL,
 *               with a '.' after the first character, none of / \ : , CR LF
 *               and no blank at either end (else CAL_ERR_REQUEST)
 *   resultName  out: written on every return, NUL-terminated and zero-filled
 *               to 16 bytes; always a usable file name: the copy in calibDir
 *               when the call answers CAL_OK with a calibrated copy, else
 *               sourceName (in sourceDir) - on every failure and for the
 *               pass-through id -8
 *   listPrefix  in: exactly five characters, no NUL needed; none may be NUL,
 *               / \ or : (else CAL_ERR_REQUEST) */
typedef struct CalibNames {
    char sourceName[16];
    char resultName[16];
    char listPrefix[5];
} CalibNames; /* 37 bytes, no padding */

/* Result codes; KZCalibration answers exactly these four.
 *   CAL_OK             the copy is ready (found current, refreshed or newly
 *                      made), or an id in use was -8 (resultName = sourceName)
 *   CAL_ERR_REQUEST    mode is not 1, an id in use is none of 0, -3, 3, -8,
 *                      or a name or the prefix is unusable (see CalibNames)
 *   CAL_ERR_NO_MEMORY  the call could not allocate its working memory
 *   CAL_ERR_FILE       a file could not be read or written: the source is
 *                      missing, unreadable or empty, a directory cannot be
 *                      reached or written, the list file exists but cannot
 *                      be read or written, a KZHT table of the source is
 *                      malformed, or another call held the directory too long
 * On every code but CAL_OK resultName holds sourceName; files already written
 * by the call stay as they are, and the list names only complete copies. */
#define CAL_OK            0
#define CAL_ERR_REQUEST   (-128)
#define CAL_ERR_NO_MEMORY (-108)
#define CAL_ERR_FILE      (-138)

/* adjustIds has six int16 slots; only those the mode uses are read. sourceDir
 * and calibDir are the directories of the data file and of the list files and
 * copies. A NULL argument answers CAL_ERR_REQUEST (with names NULL nothing is
 * written). The module keeps nothing between calls and holds none of the
 * pointers after it returns. */
KZ_EXPORT int16_t KZ_API KZCalibration(const CalibRequest *request, CalibNames *names, const int16_t *adjustIds,
                                       const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir);

#ifdef __cplusplus
}
#endif

#endif /* KZ_CALIBMOD_H */
