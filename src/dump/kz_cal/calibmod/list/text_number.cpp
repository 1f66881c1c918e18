// Decimal parsing and formatting, zero filling.
#include "text_util.h"

#include "cal_types.h"

int16_t textParseNumber(const char *s, int32_t *value)
{
    uint32_t v = 0;
    for (;; ++s) {
        char c = *s;
        if (c == '-') {
            *value = -1; // whatever follows
            return CAL_OK;
        }
        if (c == 0) {
            *value = static_cast<int32_t>(v);
            return CAL_OK;
        }
        if (c < '0' || c > '9') {
            return CAL_FAIL;
        }
        v = v * 10u + static_cast<uint32_t>(c - '0'); // wraps around in 32 bits
    }
}

int16_t textFormatUnsigned(char *buffer, uint32_t value)
{
    static const uint32_t kPowers[] = {1000000000u, 100000000u, 10000000u, 1000000u, 100000u, 10000u,
                                       1000u,       100u,       10u,       1u,       0u};
    int16_t n = 0;
    for (int i = 0; kPowers[i] != 0; ++i) {
        uint32_t digit = value / kPowers[i];
        value %= kPowers[i];
        if (digit != 0 || n != 0 || kPowers[i] == 1) {
            buffer[n++] = static_cast<char>('0' + digit);
        }
    }
    buffer[n] = 0;
    return n;
}

void bufferZeroFill(void *buffer, int32_t count)
{
    char *p = static_cast<char *>(buffer);
    for (int32_t i = 0; i < count; ++i) {
        p[i] = 0;
    }
}
