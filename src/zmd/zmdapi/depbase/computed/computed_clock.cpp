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

// Writes v as two decimal digits; false when it needs more.
bool PutPair(char *at, uint32_t v)
{
    if (v > 99) {
        return false;
    }
    at[0] = static_cast<char>('0' + v / 10);
    at[1] = static_cast<char>('0' + v % 10);
    return true;
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
    if (now.year > 9999 || !PutPair(text, now.year / 100u) || !PutPair(text + 2, now.year % 100u) ||
        !PutPair(text + 4, now.month) || !PutPair(text + 6, now.day) || !PutPair(text + 8, now.hour) ||
        !PutPair(text + 10, now.minute) || !PutPair(text + 12, now.second)) {
        return ZMD_ERROR;
    }
    uint8_t command[ZMD_CLOCK_COMMAND_SIZE];
    std::memcpy(command, kClockTemplate, sizeof command);
    std::memcpy(command + kTimeOffset, text, kTimeLength);
    return ZMD_DeliverComputed(command, sizeof command, cbBuffer, pBuffer, pcbSize);
}
