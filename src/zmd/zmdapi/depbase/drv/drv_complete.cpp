// ZMD_CompleteListItems: turns the ids of a list answer into list items, with the
// display-name ids of the list catalogue, the per-choice values, the
// membership flag of key 0x1011 and the default mark.
#include "drv_internal.h"
#include "engine.h"

namespace {

const int32_t kNoList = -1;

struct ListRule {
    uint16_t key;
    int32_t listNumber;        // catalogue list that names the choices, or kNoList
    uint32_t choiceSetting;    // setting set to the choice's id for the per-choice keys
    ZMD_ChoiceField fields[2]; // per-choice keys, key 0 ends the list
    bool membership;           // nValue2: in the offered list of key 0x1010 or not
    uint16_t defaultKey;       // default-pair key, 0 when the list has no default mark
};

const ListRule kRules[] = {
    {0x100C, 4, 4, {{0x500C, ZMD_ITEM_VALUE1}, {0x500B, ZMD_ITEM_VALUE2}}, false, 0x5003},
    {0x100D, 4, 4, {{0x500C, ZMD_ITEM_VALUE1}, {0x500B, ZMD_ITEM_VALUE2}}, false, 0x5003},
    {0x100E, 5, 0, {{0, 0}, {0, 0}}, false, 0x5004},
    {0x100F, 5, 0, {{0, 0}, {0, 0}}, false, 0x5004},
    {0x1010, 28, 28, {{0x500E, ZMD_ITEM_VALUE1}, {0, 0}}, false, 0},
    {0x1011, 28, 28, {{0x500E, ZMD_ITEM_VALUE1}, {0, 0}}, true, 0},
    {0x1012, 7, 0, {{0, 0}, {0, 0}}, false, 0x5002},
    {0x1013, 7, 0, {{0, 0}, {0, 0}}, false, 0x5002},
    {0x1014, kNoList, 0, {{0, 0}, {0, 0}}, false, 0x500D},
    {0x104D, kNoList, 0, {{0, 0}, {0, 0}}, false, 0x5010},
    {0x104E, kNoList, 0, {{0, 0}, {0, 0}}, false, 0x5010},
    {0x1051, 5, 0, {{0, 0}, {0, 0}}, false, 0},
    {0x1054, 28, 28, {{0x500E, ZMD_ITEM_VALUE1}, {0, 0}}, false, 0x5011},
};

const uint16_t kOfferedPaperKey = 0x1010;

const ListRule *FindRule(uint32_t key)
{
    for (const ListRule &rule : kRules) {
        if (rule.key == key) {
            return &rule;
        }
    }
    return nullptr;
}

// nNameId of every item from the catalogue list; every id must be in the list.
int32_t FillNames(const ZMD_ImageView *image, uint32_t listNumber, void *pItems, uint32_t nItems)
{
    uint32_t l = 0;
    if (!ZMD_FindCatalogueList(image, listNumber, &l)) {
        return ZMD_NOT_FOUND;
    }
    uint32_t length = image->listLengths[l];
    uint32_t start = image->listStarts[l];
    uint32_t entries = image->counts.listEntries;
    if (nItems > length) {
        return ZMD_ERROR;
    }
    for (uint32_t i = 0; i < nItems; ++i) {
        int32_t id = ZMD_GetItemField(pItems, i, ZMD_ITEM_ID);
        bool found = false;
        for (uint32_t p = 0; p < length && !found; ++p) {
            uint64_t pos = static_cast<uint64_t>(start) + p;
            if (pos >= entries) {
                return ZMD_ERROR;
            }
            if (static_cast<int32_t>(image->listIds[pos]) == id) {
                if (image->listNameIds == nullptr) {
                    return ZMD_ERROR;
                }
                ZMD_PutItemField(pItems, i, ZMD_ITEM_NAME_ID, static_cast<int32_t>(image->listNameIds[pos]));
                found = true;
            }
        }
        if (!found) {
            return ZMD_NOT_FOUND;
        }
    }
    return ZMD_OK;
}

// nDefault of every item: cleared, then the mark of the default pair in force
// (none in force, or the key absent: every item stays 0).
int32_t MarkDefault(const ZMD_Env *env, uint32_t defaultKey, const ZMD_SettingsRecord *pRecord, void *pItems,
                    uint32_t nItems)
{
    for (uint32_t i = 0; i < nItems; ++i) {
        ZMD_PutItemField(pItems, i, ZMD_ITEM_DEFAULT, 0);
    }
    ZMD_Node node = {};
    int32_t r = ZMD_FindKey(env, defaultKey, pRecord, &node);
    if (r == ZMD_NOT_FOUND || r == ZMD_NO_KEY) {
        return ZMD_OK;
    }
    if (r != ZMD_OK) {
        return r;
    }
    int32_t pair[2] = {0, 0};
    r = ZMD_ExtractDefaultPair(env, pRecord, node, pair);
    if (r != ZMD_OK) {
        return r;
    }
    ZMD_ApplyDefaultPair(pItems, nItems, pair);
    return ZMD_OK;
}

} // namespace

int32_t ZMD_CompleteListItems(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                              void *pItems, uint32_t nItems)
{
    const ListRule *rule = FindRule(key & 0xFFFFu);
    if (rule == nullptr || pItems == nullptr ||
        static_cast<uint64_t>(cbBuffer) < uint64_t{nItems} * ZMD_LIST_ITEM_SIZE) {
        return ZMD_ERROR;
    }
    ZMD_SpreadListIds(pItems, nItems);

    int32_t r = ZMD_OK;
    if (rule->listNumber != kNoList) {
        r = FillNames(env->image, static_cast<uint32_t>(rule->listNumber), pItems, nItems);
        if (r != ZMD_OK) {
            return r;
        }
    }
    if (rule->fields[0].key != 0) {
        uint32_t nFields = rule->fields[1].key != 0 ? 2 : 1;
        r = ZMD_FillChoiceValues(env, pRecord, pItems, nItems, rule->choiceSetting, rule->fields, nFields);
        if (r != ZMD_OK) {
            return r;
        }
    }
    if (rule->membership) {
        r = ZMD_MarkMembership(env, pRecord, pItems, nItems, kOfferedPaperKey);
        if (r != ZMD_OK) {
            return r;
        }
    }
    if (rule->defaultKey == 0) {
        return ZMD_OK;
    }
    return MarkDefault(env, rule->defaultKey, pRecord, pItems, nItems);
}
