// Reading a calibration list file the way a call reads it, keeping what a
// call never sees as well, so that a tool can show it.
//
// The lines a call reads are the ones textSplitLines records from the head
// a call reads (CAL_LIST_READ_MAX bytes); every other line of the text is
// kept too, with the reason a call passes it over, and every line is judged
// by listLineCheck.
#ifndef KZ_INSPECT_LIST_H
#define KZ_INSPECT_LIST_H

#include <cstdint>

#include "file_layer.h"
#include "list_file.h"
#include "list_state.h"
#include "mem_block.h"

#define INSPECT_READ          0 // a call reads the line
#define INSPECT_UNREAD_ZERO   1 // it follows a zero byte, where a call stops reading
#define INSPECT_UNREAD_LINES  2 // a call reads only the first CAL_LINE_MAX lines
#define INSPECT_UNREAD_NO_END 3 // the last line has no line end
#define INSPECT_UNREAD_PAST   4 // it ends past byte CAL_LIST_READ_MAX

// One non-empty line of the text.
struct InspectLine {
    int32_t start;          // its first byte in the text
    int32_t length;         // without its line end
    int16_t unread;         // INSPECT_READ, or why a call passes it over
    CalLineVerdict verdict; // of listLineCheck
    int16_t detail;         // listLineCheck's detail
    ListEntry entry;        // the fields, for CAL_LINE_GOOD (lineNo: 1-based among the text's lines)
};

struct InspectList {
    int32_t count;      // lines
    InspectLine *lines; // owned by block
    MemBlock block;
    bool usable; // a call parses the list: no line it reads is malformed
};

// An empty record on the host (null: the default backend).
void inspectListInit(InspectList *list, const CalPlatform *platform);
// Splits and judges a list text of length bytes. CAL_OK or
// CAL_ERR_NO_MEMORY; an earlier content of list is released first.
int16_t inspectListText(InspectList *list, const char *text, int32_t length);
// Frees the lines; the record is left empty.
void inspectListRelease(InspectList *list);

// Reads the whole regular file name of dir into bf->buffer (which must be
// empty) and sets bf->length, without following a link or blocking, as a
// call opens a list. CAL_OK; CAL_ERR_OPEN when nothing is at the name;
// CAL_ERR_FILE when it cannot be opened or read (a link, a directory, a
// FIFO); CAL_ERR_NO_MEMORY. The file is closed on every path; the buffer is
// the caller's to release.
int16_t inspectFileRead(BufferedFile *bf, const KZ_WCHAR *dir, const char *name);

// The name a list of prefix (five bytes) and listNumber has, as a call
// builds it, into name (CAL_LIST_NAME_SIZE bytes). False for a prefix a call
// refuses.
bool inspectListName(const char *prefix, int16_t listNumber, char *name);
// The list number whose call reads the list file name: true with *number
// when some prefix and number give exactly that name, letter case of ".ini"
// aside (where the file system does not tell case apart, it is that list).
bool inspectListNumber(const char *name, int16_t *number);

// Calls visit with the name of every list file of dir (entry null), then
// with every good line a call's name checks read from it (its head, the unended last line
// included), as listNameShared and the name allocation read them: every
// name a copy may not be made under. A list that cannot be opened or read
// is passed over (visit gets no line of it). CAL_OK; CAL_ERR_FILE when dir
// cannot be listed; CAL_ERR_NO_MEMORY.
typedef void (*InspectNameVisit)(void *arg, const char *listName, const ListEntry *entry);
int16_t inspectListedNames(const CalPlatform *platform, const KZ_WCHAR *dir, InspectNameVisit visit, void *arg);

#endif // KZ_INSPECT_LIST_H
