// ZMD_QueryDrvDataBase: the driver database answers its option lists, command
// sequences and parameter set itself; every other key takes the generic way.
#include "drv_query.h"

#include "computed.h"
#include "drv_internal.h"

int32_t ZMD_QueryDrvDataBase(const ZMD_Env *env, uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                             void *pBuffer, uint32_t *pcbSize)
{
    if (env == nullptr || env->image == nullptr || env->platform == nullptr) {
        return ZMD_ERROR;
    }
    uint32_t k = key & 0xFFFFu;
    switch (k) {
    case 0x100C:
    case 0x100E:
    case 0x1010:
    case 0x1011:
    case 0x1012:
    case 0x1014:
    case 0x104D:
    case 0x104E:
    case 0x1051:
    case 0x1054:
        return ZMD_QueryOwnTreeList(env, k, pRecord, cbBuffer, pBuffer, pcbSize);
    case 0x100D:
    case 0x100F:
    case 0x1013:
        return ZMD_QueryCatalogueList(env, k, pRecord, cbBuffer, pBuffer, pcbSize);
    case 0x1016:
    case 0x1017:
        return ZMD_QueryChoiceList(env, k, pRecord, cbBuffer, pBuffer, pcbSize);
    case 0x1018:
    case 0x1019:
    case 0x101A:
    case 0x101B:
    case 0x101C:
    case 0x101D:
        return ZMD_QueryCommandSequence(env, k, pRecord, cbBuffer, pBuffer, pcbSize);
    case 0x101E:
        return ZMD_QueryParameterSet(env, pRecord, cbBuffer, pBuffer, pcbSize);
    default:
        return ZMD_LookupAndExtract(env, k, pRecord, cbBuffer, pBuffer, pcbSize);
    }
}
