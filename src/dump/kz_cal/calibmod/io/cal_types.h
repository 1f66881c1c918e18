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
