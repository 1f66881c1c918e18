// Types 1 and 4: the page format command and the page length for the
// user-defined paper size, in 1/60 inch rounded up.
#include <cstdint>

#include "computed_ops.h"

namespace {

const uint32_t kWidthMargin = 680;  // 0.01 mm, 340 on each side
const uint32_t kLengthMargin = 800; // 0.01 mm, 300 top and 500 bottom (normal variant)
const uint32_t kWidestPage = 480;   // 1/60 inch: 8 inches
const int32_t kFullLengthVariant = 5;

// ceil((6 × size − 6 × margin) / 254) in unsigned 32-bit arithmetic: the size
// less the margin, from 0.01 mm to 1/60 inch, rounded up. A size at or below the
// margin (negative sizes included) has no printable extent and gives 0.
uint32_t SixtiethsBeyond(int32_t size, uint32_t margin)
{
    if (size <= static_cast<int32_t>(margin)) {
        return 0;
    }
    uint32_t numerator = 6u * static_cast<uint32_t>(size) - 6u * margin;
    uint32_t quotient = numerator / 254u;
    if (numerator % 254u != 0) {
        quotient += 1;
    }
    return quotient;
}

} // namespace

int32_t ZMD_MakePageFormatCommand(const ZMD_SettingsRecord *pRecord, bool lengthOnly, uint32_t cbBuffer, void *pBuffer,
                                  uint32_t *pcbSize)
{
    if (pRecord == nullptr) {
        return ZMD_ERROR;
    }
    if (!ZMD_HasInts(pRecord, ZMD_SET_MARGIN_VARIANT + 1)) {
        return ZMD_BAD_INT_SETTING;
    }
    if (pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    const int32_t *ints = pRecord->pnInts;
    bool fullLength = ints[ZMD_SET_MARGIN_VARIANT] == kFullLengthVariant;
    uint32_t length = SixtiethsBeyond(ints[ZMD_SET_CUSTOM_LENGTH], fullLength ? 0 : kLengthMargin) & 0xFFFFu;

    if (lengthOnly) {
        uint8_t value[ZMD_PAGE_LENGTH_SIZE] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8), 0, 0};
        return ZMD_DeliverComputed(value, sizeof value, cbBuffer, pBuffer, pcbSize);
    }

    // Limited before the truncation to 16 bits, so that a wider page never
    // wraps round to a narrow one.
    uint32_t width = SixtiethsBeyond(ints[ZMD_SET_CUSTOM_WIDTH], kWidthMargin);
    if (width > kWidestPage) {
        width = kWidestPage;
    }
    const uint8_t command[ZMD_PAGE_FORMAT_SIZE] = {
        0x1B,
        0x28,
        0x70,
        0x08,
        0x00,
        static_cast<uint8_t>(length >> 8),
        static_cast<uint8_t>(length),
        0x00,
        0x00,
        static_cast<uint8_t>(width >> 8),
        static_cast<uint8_t>(width),
        0x00,
        0x00,
    };
    return ZMD_DeliverComputed(command, sizeof command, cbBuffer, pBuffer, pcbSize);
}
