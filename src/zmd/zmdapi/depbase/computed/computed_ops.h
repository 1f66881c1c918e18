// The seven computed operations behind ZMD_ComputeValue, and the size protocol
// they share.
#ifndef ZMD_COMPUTED_OPS_H
#define ZMD_COMPUTED_OPS_H

#include "env.h"

// Integer settings read by the computed values.
enum : uint32_t {
    ZMD_SET_ALT_WIDTH = 25,
    ZMD_SET_ALT_LENGTH = 26,
    ZMD_SET_CUSTOM_WIDTH = 29,
    ZMD_SET_CUSTOM_LENGTH = 30,
    ZMD_SET_MARGIN_VARIANT = 52,
    ZMD_SET_OPTION_FLAGS = 79,
    ZMD_SET_OPTION_PARAM = 80,
};

// Fixed sizes of the computed values.
enum : uint32_t {
    ZMD_PAGE_FORMAT_SIZE = 13,
    ZMD_PAGE_LENGTH_SIZE = 4,
    ZMD_AREA_RECORD_SIZE = 16,
    ZMD_CLOCK_COMMAND_SIZE = 65,
    ZMD_OPTION_FLAGS_SIZE = 12,
    ZMD_QUIET_COMMAND_SIZE = 56,
};

// Size protocol: writes size to *pcbSize, then answers ZMD_MORE_DATA when the
// buffer is absent or smaller than size, else copies size bytes and answers ZMD_OK.
int32_t ZMD_DeliverComputed(const void *value, uint32_t size, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);

// True when the record has an integer array of at least `needed` entries.
bool ZMD_HasInts(const ZMD_SettingsRecord *pRecord, uint32_t needed);

// Types 1 (13-byte page format command) and 4 (4-byte page length, when lengthOnly).
int32_t ZMD_MakePageFormatCommand(const ZMD_SettingsRecord *pRecord, bool lengthOnly, uint32_t cbBuffer, void *pBuffer,
                                  uint32_t *pcbSize);
// Type 2: area record from the custom size (settings 29, 30), width limited to 20320.
int32_t ZMD_GetCustomPaperArea(const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
// Type 3: area record from the alternate size (settings 25, 26), no width limit.
int32_t ZMD_GetAltPaperArea(const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
// Type 5: the 65-byte clock command with the local time.
int32_t ZMD_MakeSetTimeCommand(const ZMD_Env *env, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
// Type 6: the 12-byte option flags command from settings 79 and 80.
int32_t ZMD_MakeOptionFlagsCommand(const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                                   uint32_t *pcbSize);
// Type 7: the 56-byte quiet-mode command from the window stored with the printer.
int32_t ZMD_MakeQuietModeCommand(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                 void *pBuffer, uint32_t *pcbSize);

// The quiet decision for a stored window (start in the low 16 bits, end in the
// high 16 bits, minutes after midnight) at `now` minutes after midnight.
bool ZMD_IsQuietTime(uint32_t window, uint16_t now);

#endif // ZMD_COMPUTED_OPS_H
