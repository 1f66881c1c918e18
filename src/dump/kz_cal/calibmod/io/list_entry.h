// ListEntry: one parsed line of the calibration list file.
#ifndef KZ_LIST_ENTRY_H
#define KZ_LIST_ENTRY_H

#include <cstdint>

#define CAL_NAME_SIZE    16   // copy names: at most 15 characters and a terminator
#define CAL_LINE_DROPPED (-1) // lineNo of an entry dropped by the name allocation

struct ListEntry {
    int16_t lineNo;     // position among the lines read, from 1 (blank lines not counted); -1 dropped
    int16_t listNumber; // first field, low 16 bits
    int32_t param1;
    int32_t param2;
    int32_t param3;
    char name[CAL_NAME_SIZE]; // fifth field, zero-terminated
};

#endif // KZ_LIST_ENTRY_H
