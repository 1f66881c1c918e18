// Type 6: the option flags command ESC ( $ from the flag word (setting 79)
// and the 16-bit parameter (setting 80).
#include "computed_ops.h"

int32_t ZMD_MakeOptionFlagsCommand(const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                                   uint32_t *pcbSize)
{
    if (pRecord == nullptr) {
        return ZMD_ERROR;
    }
    if (!ZMD_HasInts(pRecord, ZMD_SET_OPTION_PARAM + 1)) {
        return ZMD_BAD_INT_SETTING;
    }
    if (pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    uint32_t flags = static_cast<uint32_t>(pRecord->pnInts[ZMD_SET_OPTION_FLAGS]);
    uint32_t param = static_cast<uint32_t>(pRecord->pnInts[ZMD_SET_OPTION_PARAM]);
    bool bit20 = (flags & 0x100000u) != 0;
    bool bit21 = (flags & 0x200000u) != 0;
    bool bit22 = (flags & 0x400000u) != 0;
    bool bit23 = (flags & 0x800000u) != 0;

    uint8_t f = 0;
    if (bit20 == bit22) {
        f |= 0x01;
    }
    if (bit22) {
        f |= 0x10;
    }
    if (bit21) {
        f |= 0x40;
    }
    const uint8_t command[ZMD_OPTION_FLAGS_SIZE] = {
        0x1B,
        0x28,
        0x24,
        0x07,
        0x00,
        0x01,
        0x00,
        static_cast<uint8_t>(bit23 ? 1 : 0),
        static_cast<uint8_t>(param >> 8),
        static_cast<uint8_t>(param),
        0x00,
        f,
    };
    return ZMD_DeliverComputed(command, sizeof command, cbBuffer, pBuffer, pcbSize);
}
