// The result codes of calibmod's layers and the answers of fileProbe.
#ifndef KZ_CAL_TYPES_H
#define KZ_CAL_TYPES_H

#include <cstdint>

#include "calibmod.h" // CAL_OK, CAL_ERR_REQUEST, CAL_ERR_NO_MEMORY, CAL_ERR_FILE

// Internal codes; they never leave KZCalibration.
#define CAL_ERR_OPEN (-2) // nothing is at the name (fileOpenOrAbsent, fileReadHead)
#define CAL_FAIL     (-1) // a test failed: malformed list, no entry, missing copy, pass-through id

// The answers of fileProbe: a vocabulary of its own, never a result code.
enum CalProbe : int16_t {
    CAL_PROBE_FAILED = CAL_ERR_FILE, // a link, a directory, a FIFO, a failed open, no path
    CAL_PROBE_ABSENT = 0,            // nothing is at the name
    CAL_PROBE_REGULAR = 1,           // a regular file opened for reading
};

#endif // KZ_CAL_TYPES_H
