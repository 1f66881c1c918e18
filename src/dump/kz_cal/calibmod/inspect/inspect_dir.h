// The calibration directory as a call holds it: its lock, and a list
// written anew as a call writes one.
#ifndef KZ_INSPECT_DIR_H
#define KZ_INSPECT_DIR_H

#include <cstdint>

#include "file_layer.h"

// The file the Windows backend locks in the calibration directory, which
// stays there between calls: part of a healthy directory.
#define INSPECT_LOCK_FILE_NAME "~kz,lock"

// Takes the lock a call takes on dir (dirLock: flock of the directory on
// POSIX, the file "~kz,lock" inside it on Windows), waiting at most waitMs
// (a call waits CAL_LOCK_WAIT_MS). CAL_OK with *token; CAL_ERR_FILE when it
// cannot be had.
int16_t inspectDirLock(const CalPlatform *platform, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *token);
// Releases it; a null token does nothing.
void inspectDirUnlock(const CalPlatform *platform, CalHandle token);

// Writes length bytes of text as the list file name of dir the way a call
// rewrites a list: under CAL_TEMP_LIST_NAME (a leftover there removed
// first), made durable, then renamed onto name in one step. On failure the
// old list stays whole and the temporary file is gone. CAL_OK or
// CAL_ERR_FILE.
int16_t inspectListRewrite(const CalPlatform *platform, const KZ_WCHAR *dir, const char *name, const char *text,
                           int32_t length);

#endif // KZ_INSPECT_DIR_H
