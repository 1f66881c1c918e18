// calibmod-cli inspect: what a calibration data file holds, as the module's
// inspection layer walks it, with the comparison against a source, ready to
// be printed as text or JSON.
#ifndef CALIBMOD_CLI_INSPECT_REPORT_H
#define CALIBMOD_CLI_INSPECT_REPORT_H

#include <string>
#include <vector>

#include "data_view.h"

namespace cli {

struct CurveView {
    int32_t slot;
    uint32_t offset;
    CurveValues values;
    bool compared = false; // there is a source to compare with
    bool replaced = false; // differs from the source's
    CurveValues source;
};

struct KzhtView {
    uint16_t id;
    bool named;   // a KZDB table names it (the module updates it)
    bool present; // in the KZHT directory
    bool sizeOk;
    bool tagged;
    bool wellFormed;
    bool updateFails; // the module's update fails on it: named, and missing, damaged or malformed with built-ins
    int32_t bytes, itemCount, planeCount;
    std::vector<CurveView> curves;
};

struct KzdbView {
    uint16_t id;
    int layout;
    int32_t records;
    bool readable;
    std::vector<int32_t> kzhtIds;
};

struct DirectoryView {
    uint32_t position;
    int32_t count;
    bool damaged; // the count or the entries lie beyond the end of the file, or the count is negative
};

struct InspectReport {
    std::string path;
    size_t size = 0;
    uint32_t identPosition = 0;
    bool identReadable = false;
    std::string ident;
    bool shared = false;
    DirectoryView kzdbDir{}, kzhtDir{};
    std::vector<KzdbView> kzdb;
    std::vector<uint16_t> missingKzdb;
    std::vector<KzhtView> kzht; // named ones in update order, then the others
    bool damaged = false;
    // --against
    std::string against;
    bool sizesDiffer = false;
    size_t sourceSize = 0;
    int replaced = 0, unchanged = 0;
    size_t bytesOutside = 0;
};

// Why the walk found no calibration data file, or "" when it may be one:
// too short for a header, or none of the identification block and the
// directories lies inside the file.
std::string notADataFile(const DataView &view, size_t size);

// Puts the walk into the report; source may be null.
InspectReport inspectReport(const std::string &path, const std::vector<uint8_t> &file, const DataView &view,
                            const std::string &against, const std::vector<uint8_t> *source);

} // namespace cli

#endif // CALIBMOD_CLI_INSPECT_REPORT_H
