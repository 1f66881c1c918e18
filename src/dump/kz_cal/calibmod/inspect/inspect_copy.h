// Judging a calibrated copy as a call judges it: present and regular
// (fileProbe), current (copyCompare: its source's size and identification
// string) and calibrated (it differs from its source on a curve the module
// corrects).
#ifndef KZ_INSPECT_COPY_H
#define KZ_INSPECT_COPY_H

#include <cstdint>

#include "file_layer.h"
#include "list_state.h"

#define INSPECT_COPY_HEALTHY           0 // current, and calibrated where there is anything to calibrate
#define INSPECT_COPY_MISSING           1 // nothing at the name
#define INSPECT_COPY_NOT_REGULAR       2 // a link, a directory, a FIFO, or a file that cannot be opened
#define INSPECT_COPY_STALE             3 // no source has its size and identification string
#define INSPECT_COPY_UNCALIBRATED      4 // identical to its source on every curve the module corrects
#define INSPECT_COPY_NO_SOURCE         5 // no file of the source directory can be its source
#define INSPECT_COPY_SOURCE_UNREADABLE 6 // no file that can be its source can be read

struct InspectCopy {
    int16_t verdict;                 // INSPECT_COPY_*
    char source[CAL_FILE_NAME_SIZE]; // the source found (the first in name order when none matched)
    bool identReadable;              // the copy's identification string lies inside it
    bool sizeDiffers;                // STALE: the copy's size is not the source's
    bool nothingToCorrect;           // HEALTHY: the source has no curve the module corrects
};

// The files of sourceDir that a copy of this name may have been made from:
// names equal to it but for the character before their last '.', letters
// compared without case (the names a call gives its copies). Up to max
// names of CAL_NAME_SIZE bytes into names, in byte order; the count, or
// CAL_ERR_FILE when sourceDir cannot be listed.
int16_t inspectSourcesOf(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *copyName,
                         char (*names)[CAL_NAME_SIZE], int16_t max);

// Judges name in calibDir against sourceDir (null: no source directory, the
// verdict stops at NO_SOURCE for a present copy). CAL_OK with *out, or
// CAL_ERR_NO_MEMORY.
int16_t inspectCopyJudge(const CalPlatform *platform, const KZ_WCHAR *calibDir, const char *name,
                         const KZ_WCHAR *sourceDir, InspectCopy *out);

// Whether copyName of calibDir differs from sourceName of sourceDir on a
// curve the module corrects: a curve of slots 0 to 3 (the slots mode 1
// uses) of a KZHT table that a KZDB table of the source names and that has
// built-in curves. *any tells whether the source has such a curve at all.
// A table the copy lacks or cannot hold differs. CAL_OK; CAL_ERR_FILE when
// the source's tables cannot be read; CAL_ERR_NO_MEMORY.
int16_t inspectCurvesDiffer(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *sourceName,
                            const KZ_WCHAR *calibDir, const char *copyName, bool *differs, bool *any);

#endif // KZ_INSPECT_COPY_H
