// Driver database queries. Stand-in: every driver key takes the generic path.
#include "drv_query.h"

#include "access.h"

int32_t QueryDrvDataBase(const ZMD_Env *env, uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                         void *pBuffer, uint32_t *pcbSize)
{
    return ZMD_LookupAndExtract(env, key, pRecord, cbBuffer, pBuffer, pcbSize);
}
