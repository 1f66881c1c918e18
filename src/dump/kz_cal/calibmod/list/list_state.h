// The list layer's record: one call's view of its calibration list file
// (the parsed entries, what the parse left unread, the decision and the
// name it chose) and the parts of the request the list works on.
#ifndef KZ_LIST_STATE_H
#define KZ_LIST_STATE_H

#include <cstdint>

#include "cal_platform.h"
#include "calibmod.h"
#include "file_layer.h"
#include "mem_block.h"

#define CAL_NAME_SIZE    16   // copy names: at most 15 characters and a terminator
#define CAL_LINE_DROPPED (-1) // lineNo of an entry dropped by the name allocation

// The list file's name: five prefix bytes, up to ten digits (a negative
// listNumber is written as its unsigned 32-bit value), ".ini", a terminator.
#define CAL_LIST_NAME_SIZE 20

// The state of one call: the decision sets FOUND, NEW_LIST or NEW_ENTRY;
// the flow turns FOUND into REFRESH when the listed copy is missing or stale.
enum CalState : int16_t {
    CAL_STATE_NONE = 0,
    CAL_STATE_FOUND = 1,     // an entry has the request key; chosenName is its name
    CAL_STATE_NEW_LIST = 2,  // no usable list; a fresh name, the list is written anew
    CAL_STATE_NEW_ENTRY = 3, // list read, key not in it; a fresh name, a line is added
    CAL_STATE_REFRESH = 4,   // the listed copy is missing or stale; made again, list unchanged
};

// The state of a list text's last line when it has no line end
// (ListState::openLineState).
enum CalOpenLine : int16_t {
    CAL_OPEN_LINE_BAD = -1, // not a good line
    CAL_OPEN_LINE_NONE = 0, // the text ends with a line end, or is empty
    CAL_OPEN_LINE_GOOD = 1, // a good line, parsed into openLine
};

// One parsed line of the calibration list file.
struct ListEntry {
    int16_t lineNo;     // position among the lines read, from 1 (blank lines not counted); -1 dropped
    int16_t listNumber; // first field, low 16 bits
    int32_t param1;
    int32_t param2;
    int32_t param3;
    char name[CAL_NAME_SIZE]; // fifth field, zero-terminated
};

struct ListState {
    const CalibRequest *request; // the key and the mode; borrowed from the caller
    const CalibNames *names;     // sourceName and listPrefix; borrowed
    const KZ_WCHAR *calibDir;    // borrowed
    const CalPlatform *platform; // the host this call runs on
    CalHandle dirLock;           // calibDir's lock while the call holds it, else null; borrowed
    CalState state;
    char listFileName[CAL_LIST_NAME_SIZE];
    BufferedFile listFile; // while the list is parsed its buffer holds the text
    int16_t entryCount;
    ListEntry *entries; // entryCount parsed entries, owned by entryBlock
    MemBlock entryBlock;
    // The list text holds bytes its parse did not see (a zero byte, lines
    // beyond the 128th or past the scanned length): a line appended to it
    // would not be read back, so the list is rewritten.
    bool listPartial;
    // The last line of the list text has no line end, so it was not read:
    // CAL_OPEN_LINE_NONE, CAL_OPEN_LINE_GOOD (parsed into openLine) or
    // CAL_OPEN_LINE_BAD.
    CalOpenLine openLineState;
    ListEntry openLine;
    // The name the key's line gave while another line named it too (empty
    // when there is none): the key is given a name of its own, and what the
    // name holds, made for one key of them at most, is removed.
    char sharedName[CAL_NAME_SIZE];
    char chosenName[CAL_NAME_SIZE]; // the copy that answers this request
};

// Fills a zero-filled record for one call: the request's records (either
// may be null for a reader that only parses), the calibration directory and
// the host (null: the default backend) bound to every file and block; no
// entries, empty names, CAL_STATE_NONE, no lock.
void listStateInit(ListState *list, const CalPlatform *platform, const CalibRequest *request, const CalibNames *names,
                   const KZ_WCHAR *calibDir);
// Frees the entry array and a list text still held, and closes the list
// file; the record holds nothing afterwards and may be released again.
void listStateRelease(ListState *list);

#endif // KZ_LIST_STATE_H
