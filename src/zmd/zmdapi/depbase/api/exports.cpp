// The six exported access functions: one per database, each over the
// shipped image and the host platform.
#include "access.h"
#include "depbase.h"

namespace {

// The exports' environment never changes: the shipped image and the host
// platform are both constant tables, so it is made once, when the library is
// loaded, and never written again.
const ZMD_Env kShippedEnv{ZMD_ShippedImage(), ZMD_DefaultPlatform()};

inline int32_t Access(uint32_t database, uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                      uint32_t *pcbSize)
{
    return ZMD_AccessDataBase(&kShippedEnv, database, key, pRecord, cbBuffer, pBuffer, pcbSize);
}

} // namespace

extern "C" {

ZMD_EXPORT int32_t ZMD_API ZMD_AccessRootDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                  void *pBuffer, uint32_t *pcbSize)
{
    return Access(ZMD_DB_ROOT, key, pRecord, cbBuffer, pBuffer, pcbSize);
}

ZMD_EXPORT int32_t ZMD_API ZMD_AccessDrvDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                 void *pBuffer, uint32_t *pcbSize)
{
    return Access(ZMD_DB_DRV, key, pRecord, cbBuffer, pBuffer, pcbSize);
}

ZMD_EXPORT int32_t ZMD_API ZMD_AccessLMDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                void *pBuffer, uint32_t *pcbSize)
{
    return Access(ZMD_DB_LM, key, pRecord, cbBuffer, pBuffer, pcbSize);
}

ZMD_EXPORT int32_t ZMD_API ZMD_AccessMntDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                 void *pBuffer, uint32_t *pcbSize)
{
    return Access(ZMD_DB_MNT, key, pRecord, cbBuffer, pBuffer, pcbSize);
}

ZMD_EXPORT int32_t ZMD_API ZMD_AccessPADataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                void *pBuffer, uint32_t *pcbSize)
{
    return Access(ZMD_DB_PA, key, pRecord, cbBuffer, pBuffer, pcbSize);
}

ZMD_EXPORT int32_t ZMD_API ZMD_AccessSMDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                void *pBuffer, uint32_t *pcbSize)
{
    return Access(ZMD_DB_SM, key, pRecord, cbBuffer, pBuffer, pcbSize);
}

} // extern "C"
