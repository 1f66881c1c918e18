// Unpacking a request's adjustment ids into slots.
#include "curve_update.h"

void adjustIdsUnpack(const CalibRequest *request, const int16_t *adjustIds, int16_t *ids, int16_t *curveNumbers,
                     int16_t *slotCount)
{
    int16_t first = 0, count = 0;
    switch (request->mode) {
    case 1:
    case 4:
        count = 4;
        break;
    case 2:
        first = 3;
        count = 1;
        break;
    case 3:
    case 5:
    case 6:
        count = 6;
        break;
    default:
        break;
    }
    for (int16_t i = 0; i < count; ++i) {
        ids[i] = adjustIds[first + i];
        curveNumbers[i] = static_cast<int16_t>(first + i);
    }
    *slotCount = count;
}
