// Per-choice values of list items and the membership flag of key 0x1011.
#include "drv_internal.h"
#include "engine.h"
#include "computed.h"
#include "extract.h"

namespace {

// Tells the observer of an item's walk (ITEM) or of a field it set (FIELD).
void NoteItem(const ZMD_Env *env, uint32_t kind, uint32_t item, uint32_t arg, int32_t value, uint32_t key,
              const ZMD_SettingsRecord *record)
{
    ZMD_Step s;
    s.kind = kind;
    s.key = key;
    s.index = item;
    s.arg = arg;
    s.value = value;
    s.record = record;
    ZMD_Observe(env, s);
}

// The per-choice values of every item on the working copy `copy`. Each key is
// looked up once, on its first use, and its top node evaluated per item; the
// results are those of a full lookup per item and field, in the same order.
int32_t FillOnCopy(const ZMD_Env *env, ZMD_SettingsRecord *copy, void *pItems, uint32_t nItems, uint32_t setting,
                   const ZMD_ChoiceField *fields, uint32_t nFields)
{
    const uint32_t kMaxFields = 4;
    if (nFields > kMaxFields) {
        return ZMD_ERROR;
    }
    // A field outside the item would be written beyond it (a rule the
    // image's validation refuses).
    for (uint32_t f = 0; f < nFields; ++f) {
        if (fields[f].field >= ZMD_LIST_ITEM_WORDS) {
            return ZMD_ERROR;
        }
    }
    ZMD_Node tops[kMaxFields] = {};
    bool looked[kMaxFields] = {};
    // Two keys whose trees are one tree are walked together, from the second
    // item on (once both keys are looked up).
    bool paired = false;
    for (uint32_t i = 0; i < nItems; ++i) {
        copy->pnInts[setting] = ZMD_GetItemField(pItems, i, ZMD_ITEM_ID);
        if (env->observer) {
            NoteItem(env, ZMD_SEEN_ITEM, i, setting, copy->pnInts[setting], 0, copy);
        }
        if (paired) {
            const uint32_t keys[2] = {fields[0].key, fields[1].key};
            ZMD_Node nodes[2] = {};
            int32_t results[2] = {ZMD_ERROR, ZMD_ERROR};
            ZMD_EvaluateNodePair(env, keys, copy, tops[0].w0, tops[0].w1, nodes, results);
            for (uint32_t f = 0; f < 2; ++f) {
                int32_t value = 0;
                int32_t r = results[f] != ZMD_OK ? results[f] : ZMD_ChoiceValueOfNode(env, nodes[f], copy, &value);
                if (r != ZMD_OK) {
                    return r;
                }
                ZMD_PutItemField(pItems, i, fields[f].field, value);
                if (env->observer) {
                    NoteItem(env, ZMD_SEEN_FIELD, i, fields[f].field, value, fields[f].key, copy);
                }
            }
            continue;
        }
        for (uint32_t f = 0; f < nFields; ++f) {
            if (!looked[f]) {
                int32_t r = ZMD_LookupKey(env, fields[f].key, &tops[f]);
                if (r != ZMD_OK) {
                    return r;
                }
                looked[f] = true;
            }
            // The key's top node is walked for this item; its value node holds the integer.
            int32_t value = 0;
            ZMD_Node node = {};
            int32_t r = ZMD_EvaluateNode(env, fields[f].key, copy, tops[f].w0, tops[f].w1, &node);
            if (r == ZMD_OK) {
                r = ZMD_ChoiceValueOfNode(env, node, copy, &value);
            }
            if (r != ZMD_OK) {
                return r;
            }
            ZMD_PutItemField(pItems, i, fields[f].field, value);
            if (env->observer) {
                NoteItem(env, ZMD_SEEN_FIELD, i, fields[f].field, value, fields[f].key, copy);
            }
        }
        paired = nFields == 2 && tops[0].w0 == tops[1].w0 && tops[0].w1 == tops[1].w1 && fields[0].key != fields[1].key;
    }
    return ZMD_OK;
}

} // namespace

int32_t ZMD_FillChoiceValues(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, void *pItems, uint32_t nItems,
                             uint32_t setting, const ZMD_ChoiceField *fields, uint32_t nFields)
{
    if (pRecord == nullptr) {
        return ZMD_ERROR;
    }
    if (pRecord->pnInts == nullptr || pRecord->cInts <= setting) {
        return ZMD_BAD_INT_SETTING;
    }
    // The caller's record stays as it is: every choice is evaluated on one
    // working copy, in this frame when the shape fits, else on the heap.
    ZMD_RecordStorage storage;
    ZMD_SettingsRecord *copy = ZMD_InitSettingsRecord(ZMD_DB_DRV, pRecord, &storage);
    const bool onHeap = copy == nullptr;
    if (onHeap) {
        copy = ZMD_CreateSettingsRecord(env, ZMD_DB_DRV, pRecord);
        if (copy == nullptr) {
            return ZMD_ERROR;
        }
    }
    int32_t r = ZMD_OK;
    if (copy->pnInts == nullptr || copy->cInts <= setting) {
        r = ZMD_ERROR;
    } else {
        r = FillOnCopy(env, copy, pItems, nItems, setting, fields, nFields);
    }
    if (onHeap) {
        ZMD_FreeSettingsRecord(env, copy);
    }
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
    // The offered ids in this frame when they fit, else on the heap (never a
    // zero-byte request: an empty offered list still takes one word).
    const uint32_t kFrameWords = 64;
    uint8_t frame[4u * kFrameWords];
    void *offered = frame;
    const bool onHeap = count > kFrameWords;
    if (onHeap) {
        offered = platform->alloc(platform->ctx, bytes != 0 ? bytes : 4u);
        if (offered == nullptr) {
            return ZMD_ERROR;
        }
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
    if (onHeap) {
        platform->free(platform->ctx, offered);
    }
    return r;
}
