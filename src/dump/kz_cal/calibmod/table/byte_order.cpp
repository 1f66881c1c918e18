// Byte-order probe and conversions for calibration data files.
#include "byte_order.h"

#include <cstring>

int byteOrderProbe()
{
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1 ? 0 : 1;
}

uint8_t byteOrderFlag(int hostProbe)
{
    return hostProbe == 1 ? BYTE_ORDER_SWAPPED : BYTE_ORDER_HOST;
}

void bytesSwap(void *data, int32_t length, int16_t unit)
{
    uint8_t *p = static_cast<uint8_t *>(data);
    if (unit == 2) {
        for (int32_t i = 0; i < length / 2; ++i) {
            uint8_t t = p[2 * i];
            p[2 * i] = p[2 * i + 1];
            p[2 * i + 1] = t;
        }
    } else if (unit == 4) {
        for (int32_t i = 0; i < length / 4; ++i) {
            uint8_t *g = p + 4 * i;
            uint8_t t0 = g[0], t1 = g[1];
            g[0] = g[3];
            g[1] = g[2];
            g[2] = t1;
            g[3] = t0;
        }
    }
}

void byteOrderConvert(uint8_t selector, void *data, int32_t length, int16_t unit)
{
    if (selector == (CONVERT_WORDS | BYTE_ORDER_SWAPPED) || selector == (CONVERT_CURVE | BYTE_ORDER_SWAPPED)) {
        bytesSwap(data, length, unit);
    }
}

uint32_t wordRead(uint8_t byteOrder, const uint8_t *p)
{
    uint8_t copy[4];
    std::memcpy(copy, p, 4);
    byteOrderConvert(static_cast<uint8_t>(byteOrder | CONVERT_WORDS), copy, 4, 4);
    uint32_t w;
    std::memcpy(&w, copy, 4);
    return w;
}
