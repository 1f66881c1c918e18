// Option lists from a key's own tree and whole lists from the catalogue.
// Every list answer is one ZMD_ListItem per choice; on success the size word
// holds the answer's size (choices × 20), also when one call with a large
// buffer was enough.
#include "drv_internal.h"
#include "engine.h"
#include "computed.h"
#include "extract.h"

int32_t ZMD_FetchOwnTreeIds(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                            void *pBuffer, uint32_t *pcbSize, uint32_t *pnItems)
{
    ZMD_Node node = {};
    int32_t r = ZMD_FindKey(env, key, pRecord, &node);
    if (r != ZMD_OK) {
        return r;
    }
    uint32_t n = ZMD_NodeLow(node.w1);
    uint32_t needed = n * ZMD_LIST_ITEM_SIZE;
    if (pBuffer == nullptr || cbBuffer < needed) {
        *pcbSize = needed;
        return ZMD_MORE_DATA;
    }
    // The ids land in the first n words; the list value must be n integers.
    uint32_t got = 0;
    r = ZMD_ExtractValue(env, pRecord, needed, pBuffer, &got, node);
    if (r == ZMD_MORE_DATA) {
        return ZMD_ERROR;
    }
    if (r != ZMD_OK) {
        return r;
    }
    if (got != 4u * n) {
        return ZMD_ERROR;
    }
    *pnItems = n;
    return ZMD_OK;
}

int32_t ZMD_QueryOwnTreeList(const ZMD_Env *env, const ZMD_QueryRule &rule, const ZMD_SettingsRecord *pRecord,
                             uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    if (pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    uint32_t n = 0;
    int32_t r = ZMD_FetchOwnTreeIds(env, rule.key, pRecord, cbBuffer, pBuffer, pcbSize, &n);
    if (r != ZMD_OK) {
        return r;
    }
    r = ZMD_CompleteListItemsOfRule(env, rule, pRecord, cbBuffer, pBuffer, n);
    if (r == ZMD_OK) {
        *pcbSize = n * ZMD_LIST_ITEM_SIZE;
    }
    return r;
}

int32_t ZMD_QueryCatalogueList(const ZMD_Env *env, const ZMD_QueryRule &rule, const ZMD_SettingsRecord *pRecord,
                               uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    if (pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    const ZMD_ImageView *image = env->image;
    uint32_t l = 0;
    if (!ZMD_FindCatalogueList(image, rule.listNumber, &l)) {
        return ZMD_NOT_FOUND;
    }
    uint32_t n = image->listLengths[l];
    uint32_t needed = n * ZMD_LIST_ITEM_SIZE;
    if (pBuffer == nullptr || cbBuffer < needed) {
        *pcbSize = needed;
        return ZMD_MORE_DATA;
    }
    uint32_t start = image->listStarts[l];
    uint32_t entries = image->counts.listEntries;
    if (start > entries || n > entries - start) {
        return ZMD_ERROR;
    }
    for (uint32_t i = 0; i < n; ++i) {
        ZMD_PutWord(pBuffer, i, static_cast<int32_t>(image->listIds[start + i]));
    }
    int32_t r = ZMD_CompleteListItemsOfRule(env, rule, pRecord, cbBuffer, pBuffer, n);
    if (r == ZMD_OK) {
        *pcbSize = needed;
    }
    return r;
}
