// The table update of a copy already in place, for the tests and the fuzz
// target: the module itself updates only the temporary copy it made.
#ifndef KZ_TEST_TABLE_FILE_UPDATE_H
#define KZ_TEST_TABLE_FILE_UPDATE_H

#include <cstdint>

#include "cal_context.h"

// Opens the copy (calibDir, chosenName) for update, updates all its tables
// (tablesUpdateAll) and closes it. CAL_OK or CAL_ERR_FILE; the file is
// closed and no body is loaded on every path.
int16_t tableFileUpdate(CalibContext *ctx);

#endif // KZ_TEST_TABLE_FILE_UPDATE_H
