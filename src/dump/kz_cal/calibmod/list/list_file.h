// The calibration list file: one line per calibrated copy, five fields
// "listNumber,param1,param2,param3,name" ending in CR LF, in calibDir under
// the name prefix + number (at least three digits) + ".ini".
#ifndef KZ_LIST_FILE_H
#define KZ_LIST_FILE_H

#include <cstdint>

#include "list_state.h"

#define CAL_LINE_BUFFER   128   // a formatted line (the longest is 61 bytes)
#define CAL_LIST_READ_MAX 32767 // no byte of a list beyond these is ever parsed

// The temporary name a list is rewritten under before it is renamed onto
// its own. A comma is never part of a copy name or a list name, so it can
// be mistaken for neither.
#define CAL_TEMP_LIST_NAME "~kz,list.tmp"

// Builds list->listFileName from listPrefix and listNumber. False (and an
// empty name) when the prefix holds a zero byte, '/', '\\' or ':'.
bool listBuildName(ListState *list);
// Reads and parses the list, finds the request key, allocates a name when
// needed; sets state (1, 2 or 3) and chosenNameBuf. CAL_OK; CAL_ERR_NO_MEMORY; CAL_ERR_REQUEST when
// listPrefix or sourceName yield no usable name; CAL_ERR_FILE when the list is
// there but cannot be opened or read, or no name can be given without
// touching another entry's copy. The list text is released before it
// returns.
int16_t listDecide(ListState *list);
// Builds the list file's name and reads its first CAL_LIST_READ_MAX + 1
// bytes into list->listFile (length 0 for an empty file). Codes of
// fileReadHead: CAL_OK, CAL_ERR_OPEN (nothing there), CAL_ERR_FILE, CAL_ERR_NO_MEMORY; CAL_ERR_REQUEST for an unusable
// prefix.
int16_t listRead(ListState *list);
// Splits the text of list->listFile into lines and parses each into a new
// entry array. CAL_OK; -1 for a malformed line (entryCount 0); CAL_ERR_NO_MEMORY.
int16_t listParse(ListState *list);
// Parses one zero-terminated line (length bytes) into entry. CAL_OK or CAL_FAIL.
int16_t listParseLine(char *line, int16_t length, ListEntry *entry);

// What listLineCheck finds in a line; only CAL_LINE_GOOD is read.
enum CalLineVerdict : int16_t {
    CAL_LINE_GOOD = 0,        // five fields, four numbers and a safe name
    CAL_LINE_EXTRA_FIELD = 1, // a comma after the fifth field has begun
    CAL_LINE_FEW_FIELDS = 2,  // fewer than five fields; *detail: how many
    CAL_LINE_BAD_NUMBER = 3,  // a number field holds another character; *detail: the field, from 1
    CAL_LINE_BAD_NAME = 4,    // the name is no safe copy name; *detail: its length after trimming
};

// listParseLine, telling why a line is not read: one of the CAL_LINE_*
// verdicts, with *detail as they say (0 otherwise). The line is split in
// place; entry is written only for CAL_LINE_GOOD.
CalLineVerdict listLineCheck(char *line, int16_t length, ListEntry *entry, int16_t *detail);
// Calls visit with every good line of a list text (length bytes, split in
// place as listParse does), its unended last line included; malformed lines
// are passed over. The entry lives only for the visit.
typedef void (*ListEntryVisit)(void *arg, const ListEntry *entry);
void listScanEntries(char *text, int32_t length, ListEntryVisit visit, void *arg);
// Whether the name that entry index gives is also named by another line: an
// entry of this list with another key, the list's unended last line, or a
// good line of another list file in calibDir (names compared without case,
// as one file where the file system does not tell case apart). *shared
// gets the answer. A list that cannot be opened or read is passed over: no
// call answers from it. CAL_OK; CAL_ERR_FILE when the directory cannot be
// listed (its lists are unknown); CAL_ERR_NO_MEMORY.
int16_t listNameShared(ListState *list, int16_t index, bool *shared);
// True when name has the shape of a list file's name: five bytes, at least
// three digits, ".ini" (in any case).
bool listNameHasListShape(const char *name);
// True when the entry has the request's key: list number and the three
// parameters.
bool listEntryHasKey(const ListEntry *entry, const CalibRequest *request);
// The first entry with the request key: CAL_OK and its index, or CAL_FAIL
// and index -1.
int16_t listFind(ListState *list, int16_t *index);
// Zero-fills size bytes and writes one line with CR LF. Returns its length;
// 0 when it does not fit (size below 62 always fits any line).
int16_t listFormatLine(char *buffer, int16_t size, int16_t listNumber, int32_t param1, int32_t param2, int32_t param3,
                       const char *name);
// listFormatLine with the request's key and chosenName.
int16_t listFormatNewLine(ListState *list, char *buffer, int16_t size);
// Writes the list after a new copy has been made: listRewrite when an entry
// was dropped, else listWriteNewLine. CAL_OK or CAL_ERR_FILE.
int16_t listUpdate(ListState *list);
// Writes the list anew under CAL_TEMP_LIST_NAME (the kept entries in order,
// the new line last), makes it durable and renames it over the list. On
// failure the old list stays whole and the temporary file is removed.
int16_t listRewrite(ListState *list);
// State 2: the list made anew (as listRewrite) with the new line only.
// State 3: appends the new line in one write, first ending an unterminated
// last line with CR LF; a failed append is cut back off.
int16_t listWriteNewLine(ListState *list);
// Removes a list a killed call may have left under CAL_TEMP_LIST_NAME.
// CAL_OK, or CAL_ERR_FILE when something there cannot be removed.
int16_t listTempClear(const ListState *list);

// True when name (at most 16 bytes read) is usable as a copy name in
// calibDir and survives its list line: 1 to 15 characters, no '/', '\\',
// ':', ',', CR or LF, no blank at either end, not "." or "..".
bool listNameIsSafe(const char *name);

#endif // KZ_LIST_FILE_H
