// Small services of the list queries: the spread of ids into items, the
// catalogue search, internal lookups of per-choice values and default pairs.
#include "drv_internal.h"
#include "engine.h"
#include "computed.h"
#include "extract.h"

void ZMD_SpreadListIds(void *pItems, uint32_t nItems)
{
    // From the top down, so that every id is read before an item lands on its word.
    for (uint32_t i = nItems; i-- > 1;) {
        ZMD_PutItemField(pItems, i, ZMD_ITEM_ID, ZMD_GetWord(pItems, i));
        ZMD_PutWord(pItems, i, 0);
    }
}

bool ZMD_FindCatalogueList(const ZMD_ImageView *image, uint32_t listNumber, uint32_t *index)
{
    if (image->listNumbers == nullptr || image->listLengths == nullptr || image->listStarts == nullptr ||
        image->listIds == nullptr) {
        return false;
    }
    for (uint32_t l = 0; l < image->counts.lists; ++l) {
        if (image->listNumbers[l] == listNumber) {
            *index = l;
            return true;
        }
    }
    return false;
}

int32_t ZMD_ExtractInternal(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, ZMD_Node node, void *out,
                            uint32_t cbOut, uint32_t *pcbGot)
{
    std::memset(out, 0, cbOut);
    uint32_t got = 0;
    int32_t r = ZMD_ExtractValue(env, pRecord, cbOut, out, &got, node);
    if (r == ZMD_MORE_DATA) {
        return ZMD_ERROR; // larger than the value this key is made for
    }
    if (r != ZMD_OK) {
        return r;
    }
    *pcbGot = got;
    return ZMD_OK;
}

int32_t ZMD_ChoiceValueFromTop(const ZMD_Env *env, uint32_t key, ZMD_Node top, const ZMD_SettingsRecord *pRecord,
                               int32_t *value)
{
    ZMD_Node node = {};
    int32_t r = ZMD_EvaluateNode(env, key, pRecord, top.w0, top.w1, &node);
    if (r != ZMD_OK) {
        return r;
    }
    return ZMD_ChoiceValueOfNode(env, node, pRecord, value);
}

int32_t ZMD_ChoiceValueOfNode(const ZMD_Env *env, ZMD_Node node, const ZMD_SettingsRecord *pRecord, int32_t *value)
{
    uint8_t bytes[4];
    uint32_t got = 0;
    int32_t r = ZMD_ExtractInternal(env, pRecord, node, bytes, sizeof bytes, &got);
    if (r != ZMD_OK) {
        return r;
    }
    std::memcpy(value, bytes, sizeof bytes);
    return ZMD_OK;
}

void ZMD_ApplyDefaultPair(void *pItems, uint32_t nItems, const int32_t pair[2])
{
    for (uint32_t i = 0; i < nItems; ++i) {
        bool isDefault = ZMD_GetItemField(pItems, i, ZMD_ITEM_ID) == pair[0];
        ZMD_PutItemField(pItems, i, ZMD_ITEM_DEFAULT, isDefault ? pair[1] : 0);
    }
}

int32_t ZMD_ExtractDefaultPair(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, ZMD_Node node, int32_t pair[2])
{
    uint8_t bytes[8];
    uint32_t got = 0;
    int32_t r = ZMD_ExtractInternal(env, pRecord, node, bytes, sizeof bytes, &got);
    if (r != ZMD_OK) {
        return r;
    }
    if (got != sizeof bytes) {
        return ZMD_ERROR;
    }
    std::memcpy(pair, bytes, sizeof bytes);
    return ZMD_OK;
}
