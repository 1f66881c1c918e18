// The calibrated copy: its identification, presence and currency, and its
// making under a temporary name and installation onto its own.
#ifndef KZ_COPY_H
#define KZ_COPY_H

#include <cstdint>

#include "cal_context.h"
#include "file_layer.h"

// The identification string of a calibration data file, as located in it:
// its text is length bytes at offset (length 0: empty).
struct IdentString {
    int32_t offset;
    int32_t length;
};

// Locates the identification string of the open file: the block position at
// byte 4, the signed length at block + 4, the text from block + 8. A length
// of 0 or less is an empty string; a text that does not lie inside the file
// makes the string unreadable. CAL_OK, or CAL_ERR_FILE. The file stays open:
// whoever opened it closes it.
int16_t identLocate(FileRef *file, IdentString *ident);
// Whether the copy at chosenName in calibDir answers for its source: it is
// a regular file that opens for reading (a link, a directory or a FIFO
// there is stale), of the source's size, carrying the source's
// identification string whole, length and bytes. CAL_EQUAL when it does;
// CAL_DIFFERENT when it does not or cannot be read; CAL_ERR_FILE when the
// source's string cannot be read. Each file is opened once, and its head
// read in one piece; both are closed here.
int16_t copyCurrency(CalibContext *ctx);
// copyCurrency of any pair, without a call: sourceName of sourceDir (read
// through links) against copyName of calibDir. Same codes.
int16_t copyCompare(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *sourceName,
                    const KZ_WCHAR *calibDir, const char *copyName);
// Makes the calibrated copy under CAL_TEMP_COPY_NAME in calibDir: a
// leftover of that name is removed, the source (read through links: the
// source directory is the caller's) is copied into a new file inside the
// system (CalPlatform::copyRange), or in CAL_COPY_CHUNK pieces where the
// system cannot, its tables are updated in place, and the file is made
// durable and closed. CAL_OK, CAL_ERR_NO_MEMORY or CAL_ERR_FILE; on failure the temporary
// file is gone.
int16_t copyMake(CalibContext *ctx);
// Renames the temporary copy onto chosenName, replacing what is there in
// one step. CAL_OK or CAL_ERR_FILE (the temporary file is then removed).
int16_t copyInstall(CalibContext *ctx);
// Removes the file (or link) at chosenName when there is one, so that the
// list may name it before the copy is installed, and syncs the directory so
// that the removal outlasts a power cut. CAL_OK or CAL_ERR_FILE.
int16_t copyClearName(CalibContext *ctx);
// Removes what a killed call may have left: both temporary names. CAL_OK, or
// CAL_ERR_FILE when something at either name cannot be removed.
int16_t tempClear(CalibContext *ctx);

#endif // KZ_COPY_H
