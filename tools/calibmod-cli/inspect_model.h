// calibmod-cli inspect: what a calibration data file holds, as the module
// reads it, gathered once and then printed as text or JSON.
#ifndef CALIBMOD_CLI_INSPECT_MODEL_H
#define CALIBMOD_CLI_INSPECT_MODEL_H

#include <string>
#include <vector>

#include "kzfile.h"

namespace cli {

struct CurveView {
    int32_t slot;
    uint32_t offset;
    kzfile::Curve values;
    bool compared = false; // there is a source to compare with
    bool replaced = false; // differs from the source's
    kzfile::Curve source;
};

struct KzhtView {
    uint16_t id;
    bool named;   // a KZDB table names it (the module updates it)
    bool present; // in the KZHT directory
    bool sizeOk;
    bool tagged;
    bool wellFormed;
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

struct InspectModel {
    std::string path;
    size_t size = 0;
    kzfile::FileInfo info;
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

// Why these bytes are no calibration data file, or "" when they may be one:
// too short for a header, or none of the identification block and the
// directories lies inside the file.
std::string notADataFile(const kzfile::Bytes &file, const kzfile::FileInfo &info);

// Gathers everything; source may be null.
InspectModel inspectModel(const std::string &path, const kzfile::Bytes &file, const kzfile::FileInfo &info,
                          const std::string &against, const kzfile::Bytes *source);

} // namespace cli

#endif // CALIBMOD_CLI_INSPECT_MODEL_H
