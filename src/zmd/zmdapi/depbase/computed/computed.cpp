// ZMD_ComputeValue: the values of COMPUTED nodes, dispatched by type number.
#include "computed.h"

#include <cstring>

#include "computed_ops.h"

int32_t ZMD_DeliverComputed(const void *value, uint32_t size, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    *pcbSize = size;
    if (pBuffer == nullptr || cbBuffer < size) {
        return ZMD_MORE_DATA;
    }
    std::memcpy(pBuffer, value, size);
    return ZMD_OK;
}

bool ZMD_HasInts(const ZMD_SettingsRecord *pRecord, uint32_t needed)
{
    return pRecord->pnInts != nullptr && pRecord->cInts >= needed;
}

// Only the low 16 bits of the type are examined; an unknown type writes nothing.
int32_t ZMD_ComputeValue(const ZMD_Env *env, uint32_t type, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                         void *pBuffer, uint32_t *pcbSize)
{
    switch (type & 0xFFFFu) {
    case 1:
        return ZMD_MakePageFormatCommand(pRecord, false, cbBuffer, pBuffer, pcbSize);
    case 2:
        return ZMD_GetCustomPaperArea(pRecord, cbBuffer, pBuffer, pcbSize);
    case 3:
        return ZMD_GetAltPaperArea(pRecord, cbBuffer, pBuffer, pcbSize);
    case 4:
        return ZMD_MakePageFormatCommand(pRecord, true, cbBuffer, pBuffer, pcbSize);
    case 5:
        return ZMD_MakeSetTimeCommand(env, cbBuffer, pBuffer, pcbSize);
    case 6:
        return ZMD_MakeOptionFlagsCommand(pRecord, cbBuffer, pBuffer, pcbSize);
    case 7:
        return ZMD_MakeQuietModeCommand(env, pRecord, cbBuffer, pBuffer, pcbSize);
    default:
        return ZMD_NOT_FOUND;
    }
}
