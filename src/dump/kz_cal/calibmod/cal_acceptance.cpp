// The compiled-in acceptance configuration.
#include "cal_types.h"

namespace {

const int16_t kModes[] = {1};
const int16_t kIds[] = {-3, 3}; // the ids with built-in curves

const CalAcceptance kAcceptance = {
    static_cast<int16_t>(sizeof kModes / sizeof kModes[0]),
    kModes,
    CAL_NEUTRAL_ID,
    CAL_PASS_THROUGH_ID,
    static_cast<int16_t>(sizeof kIds / sizeof kIds[0]),
    kIds,
};

} // namespace

const CalAcceptance *calAcceptance() { return &kAcceptance; }
