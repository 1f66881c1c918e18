// calibmod-cli: what the module's inspection layer finds in a calibration
// data file (inspectDataBytes / inspectDataFile), gathered for printing.
#ifndef CALIBMOD_CLI_DATA_VIEW_H
#define CALIBMOD_CLI_DATA_VIEW_H

#include <cstdint>
#include <string>
#include <vector>

#include "cal_types.h"
#include "inspect_data.h"

namespace cli {

typedef std::vector<int16_t> CurveValues; // INSPECT_CURVE_ENTRIES entries

struct KzdbRecord {
    InspectKzdb table;        // kzhtIds is not kept: see ids
    std::vector<int32_t> ids; // the KZHT ids of its records
};

struct DataView {
    int16_t rc = CAL_ERR_FILE; // of the walk: CAL_OK, CAL_FAIL (too short for a header), ...
    bool headRead = false;
    InspectHead head{};
    std::vector<KzdbRecord> kzdb;  // the 30, in scan order
    std::vector<InspectKzht> kzht; // named in update order, then the others in directory order
};

// The walk of bytes held in memory.
DataView dataViewOf(const std::vector<uint8_t> &bytes);
// The walk of name in dir as the module opens a source file.
DataView dataViewOfFile(const std::string &dir, const std::string &name);

} // namespace cli

#endif // CALIBMOD_CLI_DATA_VIEW_H
