// Result codes, states and the acceptance configuration of calibmod.
#ifndef KZ_CAL_TYPES_H
#define KZ_CAL_TYPES_H

#include <cstdint>

#include "calibmod.h" // CAL_OK, CAL_ERR_REQUEST, CAL_ERR_NO_MEMORY, CAL_ERR_FILE

// Internal codes; they never leave KZCalibration.
#define CAL_ERR_OPEN  (-2) // nothing is at the name (fileOpenOrAbsent, fileReadHead)
#define CAL_FAIL      (-1) // a test failed: malformed list, no entry, missing copy, pass-through id
#define CAL_EQUAL     1    // identification strings equal
#define CAL_DIFFERENT 0    // identification strings differ, or the copy's cannot be read

// The answers of fileProbe besides CAL_ERR_FILE.
#define CAL_PROBE_ABSENT  0 // nothing is at the name
#define CAL_PROBE_REGULAR 1 // a regular file opened for reading

// The state of a list text's last line when it has no line end
// (CalibContext::openLineState).
#define CAL_OPEN_LINE_NONE 0    // the text ends with a line end, or is empty
#define CAL_OPEN_LINE_GOOD 1    // a good line, parsed into openLine
#define CAL_OPEN_LINE_BAD  (-1) // not a good line

// The state of one call, set by the decision and the presence check.
#define CAL_STATE_NONE      0
#define CAL_STATE_FOUND     1 // an entry has the request key; chosenName is its name
#define CAL_STATE_NEW_LIST  2 // no usable list; a fresh name, the list is written anew
#define CAL_STATE_NEW_ENTRY 3 // list read, key not in it; a fresh name, a line is added
#define CAL_STATE_REFRESH   4 // the listed copy is missing or stale; made again, list unchanged

// The two temporary names of the calibration directory: a copy is made and
// calibrated under the first, a list is rewritten under the second, and each
// is then renamed onto its final name. A comma is never part of a copy name
// or a list name, so neither can be mistaken for one.
#define CAL_TEMP_COPY_NAME "~kz,copy.tmp"
#define CAL_TEMP_LIST_NAME "~kz,list.tmp"

// How long a call waits for another call on the same calibration directory.
#define CAL_LOCK_WAIT_MS 10000u

// Where the system cannot copy, the source is copied in pieces of this size.
#define CAL_COPY_CHUNK 65536

// Adjustment ids with a fixed meaning.
#define CAL_NEUTRAL_ID            0    // always accepted; leaves a slot's curves unchanged
#define CAL_PASS_THROUGH_ID       (-8) // answered at once, without calibration, while enabled
#define CAL_PASS_THROUGH_DISABLED (-1) // in passThroughId: the pass-through is off

// What a request must satisfy; compiled into the module (calAcceptance()).
struct CalAcceptance {
    int16_t modeCount;
    const int16_t *modes; // accepted values of CalibRequest::mode
    int16_t neutralId;
    int16_t passThroughId; // CAL_PASS_THROUGH_DISABLED turns the pass-through off
    int16_t idCount;
    const int16_t *ids; // accepted adjustment ids besides the neutral and pass-through ones
};

// The module's configuration: mode 1; ids -3 and 3; pass-through -8 enabled.
const CalAcceptance *calAcceptance();

#endif // KZ_CAL_TYPES_H
