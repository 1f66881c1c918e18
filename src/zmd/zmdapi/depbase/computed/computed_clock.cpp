// Type 5: the printer's clock-setting command with the current local time.
#include <cstring>

#include "computed_ops.h"

namespace {

// ESC [ K, length 2, data 00 1F, then the text frame; the 14 characters
// "yyyymmddhhmmss" at bytes 43 to 56 are replaced by the local time.
const char kClockTemplate[ZMD_CLOCK_COMMAND_SIZE + 1] =
    "\x1B\x5B\x4B\x02\x00\x00\x1F"
    "KZLSTART\nControlMode=Common\nSetTime=yyyymmddhhmmss\nKZLEND\n";
const uint32_t kTimeOffset = 43;
const int kTimeLength = 14;

// Writes v as exactly `width` decimal digits with leading zeros; false when
// it needs more.
bool PutDigits(char *at, uint32_t v, int width)
{
    for (int i = width; i-- > 0;) {
        at[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    return v == 0;
}

} // namespace

int32_t ZMD_MakeSetTimeCommand(const ZMD_Env *env, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    if (env == nullptr || env->platform == nullptr || pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    ZMD_LocalTime now = {};
    env->platform->getLocalTime(env->platform->ctx, &now);
    char text[kTimeLength];
    // A field beyond its width (a year past 9999, a month of 100) cannot be sent.
    if (!PutDigits(text, now.year, 4) || !PutDigits(text + 4, now.month, 2) || !PutDigits(text + 6, now.day, 2) ||
        !PutDigits(text + 8, now.hour, 2) || !PutDigits(text + 10, now.minute, 2) ||
        !PutDigits(text + 12, now.second, 2)) {
        return ZMD_ERROR;
    }
    uint8_t command[ZMD_CLOCK_COMMAND_SIZE];
    std::memcpy(command, kClockTemplate, sizeof command);
    std::memcpy(command + kTimeOffset, text, kTimeLength);
    return ZMD_DeliverComputed(command, sizeof command, cbBuffer, pBuffer, pcbSize);
}
