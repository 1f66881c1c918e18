// The calibrated copy: its identification, presence and currency, and its
// making under a temporary name and installation onto its own.
#ifndef KZ_COPY_H
#define KZ_COPY_H

#include <cstdint>

#include "cal_platform.h"
#include "cal_types.h"
#include "file_layer.h"
#include "table_work.h"

// The temporary name a copy is made and calibrated under before it is
// renamed onto its own. A comma is never part of a copy name or a list
// name, so it can be mistaken for neither.
#define CAL_TEMP_COPY_NAME "~kz,copy.tmp"

// The answers of copyCurrency and copyCompare: a vocabulary of its own,
// never a result code.
enum CalCompare : int16_t {
    CAL_COMPARE_FAILED = CAL_ERR_FILE, // the source's identification string cannot be read
    CAL_DIFFERENT = 0,                 // the strings differ, or the copy's cannot be read
    CAL_EQUAL = 1,                     // the copy carries the source's string whole
};

// Where the system cannot copy, the source is copied in pieces of this size.
#define CAL_COPY_CHUNK 65536

// The copy layer's record: which source is copied to which name, and the
// table work that updates the copy. Everything is borrowed from the caller.
struct CopyJob {
    const CalPlatform *platform; // the host (null: the default backend)
    const KZ_WCHAR *sourceDir;   // the caller's source directory, read through links
    const char *sourceName;      // a file of sourceDir
    const KZ_WCHAR *calibDir;    // where copies are made
    const char *copyName;        // the copy that answers the request, in calibDir
    CalHandle calibLock;         // calibDir's lock while the call holds it, else null; borrowed
    TableWork *table;            // updates the copy's tables; its file record holds the temporary copy
};

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
// Whether the copy at copyName in calibDir answers for its source: it is
// a regular file that opens for reading (a link, a directory or a FIFO
// there is stale), of the source's size, carrying the source's
// identification string whole, length and bytes. CAL_EQUAL when it does;
// CAL_DIFFERENT when it does not or cannot be read; CAL_COMPARE_FAILED when
// the source's string cannot be read. Each file is opened once, and its head
// read in one piece; both are closed here.
CalCompare copyCurrency(const CopyJob *job);
// copyCurrency of any pair, without a call: sourceName of sourceDir (read
// through links) against copyName of calibDir. Same codes.
CalCompare copyCompare(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *sourceName,
                       const KZ_WCHAR *calibDir, const char *copyName);
// Makes the calibrated copy under CAL_TEMP_COPY_NAME in calibDir: a
// leftover of that name is removed, the source (read through links: the
// source directory is the caller's) is copied into a new file inside the
// system (CalPlatform::copyRange), or in CAL_COPY_CHUNK pieces where the
// system cannot, its tables are updated in place, and the file is made
// durable and closed. CAL_OK, CAL_ERR_NO_MEMORY or CAL_ERR_FILE; on failure the temporary
// file is gone.
int16_t copyMake(CopyJob *job);
// Renames the temporary copy onto copyName, replacing what is there in
// one step. CAL_OK or CAL_ERR_FILE (the temporary file is then removed).
int16_t copyInstall(const CopyJob *job);
// Removes the file (or link) at copyName when there is one, so that the
// list may name it before the copy is installed, and syncs the directory so
// that the removal outlasts a power cut. CAL_OK or CAL_ERR_FILE.
int16_t copyClearName(const CopyJob *job);
// Removes a copy a killed call may have left under CAL_TEMP_COPY_NAME.
// CAL_OK, or CAL_ERR_FILE when something there cannot be removed.
int16_t copyTempClear(const CopyJob *job);

#endif // KZ_COPY_H
