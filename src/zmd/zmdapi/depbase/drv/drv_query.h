// Driver database queries: option lists, command sequences, the parameter set.
#ifndef ZMD_DRV_QUERY_H
#define ZMD_DRV_QUERY_H

#include "env.h"

// One option-list item as delivered to the caller (20 bytes).
struct ZMD_ListItem {
    int32_t nId;
    int32_t nNameId;
    int32_t nValue1;
    int32_t nValue2;
    int32_t nDefault;
};
static_assert(sizeof(ZMD_ListItem) == 20, "list items are 20 bytes");

// Answers a driver key (0x1001..0x1FFF) for the export frame's record copy.
int32_t ZMD_QueryDrvDataBase(const ZMD_Env *env, uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                             void *pBuffer, uint32_t *pcbSize);

#endif // ZMD_DRV_QUERY_H
