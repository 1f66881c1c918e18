// The export frame shared by the six access functions.
#ifndef ZMD_ACCESS_H
#define ZMD_ACCESS_H

#include "computed.h"

// Record check, key range of the database, request copy, printer opened by
// name (and closed again) when no handle is given, then the lookup and
// extraction (ZMD_QueryDrvDataBase for the driver database).
int32_t ZMD_AccessDataBase(const ZMD_Env *env, uint32_t database, uint32_t key, ZMD_SettingsRecord *pRecord,
                           uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);

#endif // ZMD_ACCESS_H
