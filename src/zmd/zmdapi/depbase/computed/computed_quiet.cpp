// Type 7: the quiet-mode command, ON when the local time lies in the quiet
// window stored with the printer, OFF otherwise. Not finding or not reading the
// window is not an error: the printer then gets the OFF command.
#include <cstring>

#include "computed.h"
#include "computed_ops.h"
#include "image_format.h"

namespace {

const char kQuietOn[ZMD_QUIET_COMMAND_SIZE + 1] = "\x1B\x5B\x4B\x02\x00\x00\x1F"
                                                  "KZLSTART\nControlMode=Common\nSetSilent=ON\n\nKZLEND\n";
const char kQuietOff[ZMD_QUIET_COMMAND_SIZE + 1] = "\x1B\x5B\x4B\x02\x00\x00\x1F"
                                                   "KZLSTART\nControlMode=Common\nSetSilent=OFF\nKZLEND\n";

const int32_t kQuietWindowItem = 154;

// Reads the stored window into *window. The root database names the value
// (asked with a record of its own shape that carries only the caller's handle),
// the printer holds it. False on any failure; the name buffer is always freed.
bool ReadQuietWindow(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t *window)
{
    if (pRecord->hPrinter == nullptr) {
        return false;
    }
    int32_t item = kQuietWindowItem;
    ZMD_SettingsRecord query = {};
    query.hPrinter = pRecord->hPrinter;
    query.dwReserved = pRecord->dwReserved;
    query.cInts = 1;
    query.pnInts = &item;

    uint32_t size = 0;
    if (ZMD_LookupAndExtract(env, ZMD_VALUE_NAME_KEY, &query, 0, nullptr, &size) != ZMD_MORE_DATA || size == 0) {
        return false;
    }
    // One spare character beyond the answer keeps the name terminated whatever
    // the database delivers.
    const ZMD_Platform *platform = env->platform;
    auto *name = static_cast<ZMD_WCHAR *>(platform->alloc(platform->ctx, size + sizeof(ZMD_WCHAR)));
    if (name == nullptr) {
        return false;
    }
    std::memset(name, 0, size + sizeof(ZMD_WCHAR));
    bool read = false;
    uint32_t got = 0;
    if (ZMD_LookupAndExtract(env, ZMD_VALUE_NAME_KEY, &query, size, name, &got) == ZMD_OK) {
        uint8_t data[4] = {0, 0, 0, 0};
        uint32_t needed = 0;
        if (ZMD_GetPrinterData(env, pRecord->hPrinter, name, data, sizeof data, &needed)) {
            *window = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                      static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
            read = true;
        }
    }
    platform->free(platform->ctx, name);
    return read;
}

} // namespace

// All comparisons in unsigned 16-bit minutes; a window whose end lies before
// its start runs across midnight; an empty window (start equal to end) is never quiet.
bool ZMD_IsQuietTime(uint32_t window, uint16_t now)
{
    uint16_t start = static_cast<uint16_t>(window & 0xFFFFu);
    uint16_t end = static_cast<uint16_t>(window >> 16);
    if (start == end) {
        return false;
    }
    if (start <= now && now <= end) {
        return true;
    }
    return end < start && (now >= start || now <= end);
}

int32_t ZMD_MakeQuietModeCommand(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                 void *pBuffer, uint32_t *pcbSize)
{
    if (pRecord == nullptr) {
        return ZMD_BAD_INT_SETTING;
    }
    if (env == nullptr || env->platform == nullptr || pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    *pcbSize = ZMD_QUIET_COMMAND_SIZE;
    if (pBuffer == nullptr || cbBuffer < ZMD_QUIET_COMMAND_SIZE) {
        return ZMD_MORE_DATA;
    }
    bool quiet = false;
    uint32_t window = 0;
    if (ReadQuietWindow(env, pRecord, &window)) {
        ZMD_LocalTime now = {};
        env->platform->getLocalTime(env->platform->ctx, &now);
        quiet = ZMD_IsQuietTime(window, static_cast<uint16_t>(now.hour * 60u + now.minute));
    }
    std::memcpy(pBuffer, quiet ? kQuietOn : kQuietOff, ZMD_QUIET_COMMAND_SIZE);
    return ZMD_OK;
}
