// The result codes of calibmod's layers and the answers of fileProbe.
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

#endif // KZ_CAL_TYPES_H
