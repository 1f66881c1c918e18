// ZMD_QueryDrvDataBase: the driver database answers a key with a query rule in
// the image (option lists, command sequences, the parameter set) itself; every
// other key takes the generic way.
#include "drv_query.h"

#include "computed.h"
#include "drv_internal.h"
#include "drv_rules.h"

int32_t ZMD_QueryDrvDataBase(const ZMD_Env *env, uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                             void *pBuffer, uint32_t *pcbSize)
{
    if (env == nullptr || env->image == nullptr || env->platform == nullptr) {
        return ZMD_ERROR;
    }
    // Every branch ends in one call with the caller's arguments (a tail call).
    const uint32_t k = key & 0xFFFFu;
    const ZMD_QueryRule *rule = ZMD_QueryRuleOf(env->image, k);
    if (rule == nullptr) {
        return ZMD_LookupAndExtract(env, k, pRecord, cbBuffer, pBuffer, pcbSize);
    }
    switch (rule->form) {
    case ZMD_QUERY_LIST:
        return ZMD_QueryOwnTreeList(env, *rule, pRecord, cbBuffer, pBuffer, pcbSize);
    case ZMD_QUERY_CATALOGUE_LIST:
        return ZMD_QueryCatalogueList(env, *rule, pRecord, cbBuffer, pBuffer, pcbSize);
    case ZMD_QUERY_SEQUENCE:
        return ZMD_QueryCommandSequence(env, k, pRecord, cbBuffer, pBuffer, pcbSize);
    default:
        return ZMD_QueryParameterSet(env, pRecord, cbBuffer, pBuffer, pcbSize);
    }
}
