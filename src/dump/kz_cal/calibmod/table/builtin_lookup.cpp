// Looking up built-in curves and copying them into a KZHT body.
#include <cstring>

#include "builtin_curves.h"
#include "byte_order.h"
#include "curve_update.h"

const int16_t *builtInGroupCurve(const BuiltInGroup *group, int16_t curveNumber)
{
    if (curveNumber < 0 || curveNumber >= BUILTIN_CURVE_PLACES) {
        return nullptr;
    }
    return group->curves[curveNumber];
}

void builtInCurveCopy(const TableWork *work, const BuiltInTable *table, uint8_t *dest, int16_t id, int16_t curveNumber)
{
    if (id == CAL_NEUTRAL_ID) {
        return;
    }
    bool copied = false;
    for (int16_t g = 0; g < table->groupCount; ++g) {
        const BuiltInGroup *group = &table->groups[g];
        if (*group->adjustId != id) {
            continue;
        }
        const int16_t *curve = builtInGroupCurve(group, curveNumber);
        if (!curve) {
            continue; // an empty place: the stored curve stays
        }
        std::memcpy(dest, curve, CURVE_BYTES);
        copied = true;
    }
    // Only a curve written here is in host order; converting a stored curve
    // would corrupt it.
    if (copied) {
        byteOrderConvert(static_cast<uint8_t>(work->byteOrder | CONVERT_CURVE), dest, CURVE_BYTES, 2);
    }
}
