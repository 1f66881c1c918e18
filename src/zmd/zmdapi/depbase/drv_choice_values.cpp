// Per-choice values of list items and the membership flag of key 0x1011.
#include "drv_internal.h"
#include "engine.h"
#include "extract.h"

int32_t ZMD_FillChoiceValues(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, void *pItems, uint32_t nItems,
                             uint32_t setting, const ZMD_ChoiceField *fields, uint32_t nFields)
{
    if (pRecord == nullptr) {
        return ZMD_ERROR;
    }
    if (pRecord->pnInts == nullptr || pRecord->cInts <= setting) {
        return ZMD_BAD_INT_SETTING;
    }
    // The caller's record stays as it is: every choice is evaluated on a copy.
    ZMD_SettingsRecord *copy = ZMD_CreateSettingsRecord(env, ZMD_DB_DRV, pRecord);
    if (copy == nullptr) {
        return ZMD_ERROR;
    }
    int32_t r = ZMD_OK;
    if (copy->pnInts == nullptr || copy->cInts <= setting) {
        r = ZMD_ERROR;
    }
    for (uint32_t i = 0; r == ZMD_OK && i < nItems; ++i) {
        copy->pnInts[setting] = ZMD_GetItemField(pItems, i, ZMD_ITEM_ID);
        for (uint32_t f = 0; r == ZMD_OK && f < nFields; ++f) {
            int32_t value = 0;
            r = ZMD_QueryChoiceValue(env, fields[f].key, copy, &value);
            if (r == ZMD_OK) {
                ZMD_PutItemField(pItems, i, fields[f].field, value);
            }
        }
    }
    ZMD_FreeSettingsRecord(env, copy);
    return r;
}

int32_t ZMD_MarkMembership(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, void *pItems, uint32_t nItems,
                           uint32_t offeredKey)
{
    ZMD_Node node = {};
    int32_t r = ZMD_FindKey(env, offeredKey, pRecord, &node);
    if (r != ZMD_OK) {
        return r;
    }
    uint32_t count = ZMD_NodeLow(node.w1);
    uint32_t bytes = 4u * count;
    const ZMD_Platform *platform = env->platform;
    // Never a zero-byte request: an empty offered list still takes one word.
    void *offered = platform->alloc(platform->ctx, bytes != 0 ? bytes : 4u);
    if (offered == nullptr) {
        return ZMD_ERROR;
    }
    uint32_t got = 0;
    r = ZMD_ExtractInternal(env, pRecord, node, offered, bytes, &got);
    if (r == ZMD_OK && got != bytes) {
        r = ZMD_ERROR;
    }
    if (r == ZMD_OK) {
        // Both lists run in the same order: walk them side by side. An item met
        // once the offered list is used up is not in it.
        uint32_t j = 0;
        for (uint32_t i = 0; i < nItems; ++i) {
            int32_t flag = 1;
            if (j < count && ZMD_GetItemField(pItems, i, ZMD_ITEM_ID) == ZMD_GetWord(offered, j)) {
                flag = 0;
                ++j;
            }
            ZMD_PutItemField(pItems, i, ZMD_ITEM_VALUE2, flag);
        }
    }
    platform->free(platform->ctx, offered);
    return r;
}
