// ZMD_QueryDrvDataBase: the driver database answers a key with a query rule in
// the image (option lists, command sequences, the parameter set) itself; every
// other key takes the generic way.
#include "drv_query.h"

#include "computed.h"
#include "drv_internal.h"
#include "drv_rules.h"

namespace {

// The answer of the key k with its rule (nullptr: the generic way).
inline int32_t QueryWithRule(const ZMD_Env *env, uint32_t k, const ZMD_QueryRule *rule, ZMD_SettingsRecord *pRecord,
                             uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
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

// An image without a believable key index: the rules are scanned. Out of
// line, so that the indexed way calls nothing but its answer.
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
int32_t
QueryScanningRules(const ZMD_Env *env, uint32_t k, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                   uint32_t *pcbSize)
{
    return QueryWithRule(env, k, ZMD_ScanQueryRules(env->image, k), pRecord, cbBuffer, pBuffer, pcbSize);
}

} // namespace

int32_t ZMD_QueryDrvDataBase(const ZMD_Env *env, uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                             void *pBuffer, uint32_t *pcbSize)
{
    if (env == nullptr || env->image == nullptr || env->platform == nullptr) {
        return ZMD_ERROR;
    }
    // Every way ends in one call with the caller's arguments (a tail call).
    const uint32_t k = key & 0xFFFFu;
    const ZMD_QueryRule *rule = nullptr;
    if (!ZMD_IndexedQueryRule(env->image, k, &rule)) {
        return QueryScanningRules(env, k, pRecord, cbBuffer, pBuffer, pcbSize);
    }
    return QueryWithRule(env, k, rule, pRecord, cbBuffer, pBuffer, pcbSize);
}
