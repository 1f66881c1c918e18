// Types 2 and 3: the printable area of the custom and of the alternate paper
// size, four signed 32-bit little-endian values in 0.01 mm: left offset,
// printable width, top offset, printable length.
#include <cstdint>

#include "computed_ops.h"

namespace {

const int32_t kLeftOffset = 340;
const int32_t kWidthMargin = 680;
const int32_t kTopOffset = 300;
const int32_t kLengthMargin = 800;
const int32_t kWidestPaper = 21000;
const int32_t kWidestPrintable = 20320;
const int32_t kFullLengthVariant = 5;

// size − margin, or 0 for a size at or below the margin (no printable extent,
// and no signed overflow for very negative settings).
int32_t Beyond(int32_t size, int32_t margin)
{
    return size <= margin ? 0 : size - margin;
}

void PutLittle32(uint8_t *out, int32_t value)
{
    uint32_t v = static_cast<uint32_t>(value);
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
    out[2] = static_cast<uint8_t>(v >> 16);
    out[3] = static_cast<uint8_t>(v >> 24);
}

int32_t MakeArea(const ZMD_SettingsRecord *pRecord, uint32_t widthSetting, uint32_t lengthSetting, bool limitWidth,
                 uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    if (pRecord == nullptr || !ZMD_HasInts(pRecord, ZMD_SET_MARGIN_VARIANT + 1)) {
        return ZMD_BAD_INT_SETTING;
    }
    if (pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    const int32_t *ints = pRecord->pnInts;
    int32_t paperWidth = ints[widthSetting];
    int32_t paperLength = ints[lengthSetting];
    bool fullLength = ints[ZMD_SET_MARGIN_VARIANT] == kFullLengthVariant;

    int32_t width = (limitWidth && paperWidth > kWidestPaper) ? kWidestPrintable : Beyond(paperWidth, kWidthMargin);
    int32_t top = fullLength ? 0 : kTopOffset;
    int32_t length = Beyond(paperLength, fullLength ? 0 : kLengthMargin);

    uint8_t area[ZMD_AREA_RECORD_SIZE];
    PutLittle32(area + 0, kLeftOffset);
    PutLittle32(area + 4, width);
    PutLittle32(area + 8, top);
    PutLittle32(area + 12, length);
    return ZMD_DeliverComputed(area, sizeof area, cbBuffer, pBuffer, pcbSize);
}

} // namespace

int32_t ZMD_GetCustomPaperArea(const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    return MakeArea(pRecord, ZMD_SET_CUSTOM_WIDTH, ZMD_SET_CUSTOM_LENGTH, true, cbBuffer, pBuffer, pcbSize);
}

int32_t ZMD_GetAltPaperArea(const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    return MakeArea(pRecord, ZMD_SET_ALT_WIDTH, ZMD_SET_ALT_LENGTH, false, cbBuffer, pBuffer, pcbSize);
}
