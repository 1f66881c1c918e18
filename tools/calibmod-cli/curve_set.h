// calibmod-cli: the correction curves of a calibration data file, and the
// module's built-in curves, as one list of labelled curves for plots and
// tables.
#ifndef CALIBMOD_CLI_CURVE_SET_H
#define CALIBMOD_CLI_CURVE_SET_H

#include <cstdint>
#include <string>
#include <vector>

#include "data_view.h"

namespace cli {

// Adjustment id of a curve that is no built-in curve.
const int kNoAdjustId = 0x7FFF;

struct LabelledCurve {
    int32_t tableId;
    int32_t slot;                    // plane slot (tagged) or curve index (plain); curve number of a built-in curve
    int adjustId;                    // the built-in group it equals (or comes from), else kNoAdjustId
    int otherAdjustId = kNoAdjustId; // a second group whose curve is the same (identity curves)
    CurveValues values;              // 256 entries
    bool hasSource = false;          // a source curve at the same place follows in `source`
    CurveValues source;
};

// Every curve of every well-formed KZHT table of a file's walk, in directory
// order (the first entry of an id wins, as the module finds it). Each curve whose
// 256 entries equal the built-in curve of its table at its slot is labelled
// with that curve's adjustment id. With source (non-null), the curve of the
// source at the same table and slot is attached.
std::vector<LabelledCurve> fileCurves(const DataView &file, const DataView *source);

// Every built-in curve: each table, each adjustment group, curve numbers
// with a curve, in the module's order.
std::vector<LabelledCurve> builtInCurves();

// The first built-in adjustment id whose curve for (tableId, curve number)
// equals values, or kNoAdjustId; *other (when given) the next such id, as
// when both groups hold the identity curve.
int matchBuiltIn(int32_t tableId, int32_t curveNumber, const CurveValues &values, int *other = nullptr);

// True when the module has built-in curves for this KZHT table id.
bool hasBuiltInTable(int32_t tableId);

// "id -3", "id -3 or 3" when the curve is the same in both groups, or
// "own curve" for kNoAdjustId.
std::string adjustLabel(int adjustId, int otherAdjustId = kNoAdjustId);

} // namespace cli

#endif // CALIBMOD_CLI_CURVE_SET_H
