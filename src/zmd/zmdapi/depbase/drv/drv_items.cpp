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

namespace {

// The one element of a one-element integer array, read straight from its
// pool: what the extraction would deliver into four zeroed bytes. False for
// any other node (and for an element outside its pool), which then takes
// the general way and its answer.
bool ReadOneInteger(const ZMD_ImageView *image, ZMD_Node node, int32_t *value)
{
    if (ZMD_NodeLow(node.w1) != 1) {
        return false;
    }
    const uint32_t at = ZMD_NodeOperand(node.w0);
    switch (ZMD_NodeKindOf(node.w0)) {
    case ZMD_KIND_INT32_ARRAY:
        if (!image->int32Pool || at >= image->counts.int32Pool) {
            return false;
        }
        *value = image->int32Pool[at];
        return true;
    case ZMD_KIND_INT16_ARRAY:
    case ZMD_KIND_UINT16_ARRAY:
        if (!image->int16Pool || at >= image->counts.int16Pool) {
            return false;
        }
        *value = ZMD_NodeKindOf(node.w0) == ZMD_KIND_INT16_ARRAY ? static_cast<int16_t>(image->int16Pool[at])
                                                                 : static_cast<int32_t>(image->int16Pool[at]);
        return true;
    case ZMD_KIND_INT8_ARRAY:
    case ZMD_KIND_UINT8_ARRAY:
        if (!image->bytePool || at >= image->counts.bytePool) {
            return false;
        }
        *value = ZMD_NodeKindOf(node.w0) == ZMD_KIND_INT8_ARRAY ? static_cast<int8_t>(image->bytePool[at])
                                                                : static_cast<int32_t>(image->bytePool[at]);
        return true;
    default:
        return false;
    }
}

} // namespace

namespace {

// The general way: the extraction into four zeroed bytes, kept out of the
// fast path's frame.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
int32_t
ChoiceValueByExtraction(const ZMD_Env *env, ZMD_Node node, const ZMD_SettingsRecord *pRecord, int32_t *value)
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

} // namespace

int32_t ZMD_ChoiceValueOfNode(const ZMD_Env *env, ZMD_Node node, const ZMD_SettingsRecord *pRecord, int32_t *value)
{
    // An observer is told every extraction, so it always takes the general way.
    if (!env->observer && ReadOneInteger(env->image, node, value)) {
        return ZMD_OK;
    }
    return ChoiceValueByExtraction(env, node, pRecord, value);
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
