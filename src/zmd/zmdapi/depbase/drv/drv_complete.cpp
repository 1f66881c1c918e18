// ZMD_CompleteListItems: turns the ids of a list answer into list items as the
// key's query rule says: the display-name ids of the list catalogue, the
// per-choice values, the membership flag and the default mark.
#include "drv_internal.h"
#include "drv_rules.h"
#include "engine.h"

namespace {

// The first position of each id of a catalogue list, for the lists whose
// items would otherwise each scan it: open addressing over 256 slots, each 0
// (empty) or (position + 1) << 16 | id. Only the first entry of an id goes in.
struct FirstPositions {
    static const uint32_t kSlots = 256;
    static const uint32_t kMaxLength = kSlots / 2;
    uint32_t slots[kSlots];

    static uint32_t Home(uint32_t id) { return (id * 40503u >> 8) & (kSlots - 1); }

    void build(const uint16_t *ids, uint32_t length)
    {
        std::memset(slots, 0, sizeof slots);
        for (uint32_t p = 0; p < length; ++p) {
            uint32_t at = Home(ids[p]);
            while (slots[at] != 0 && (slots[at] & 0xFFFFu) != ids[p]) {
                at = (at + 1) & (kSlots - 1);
            }
            if (slots[at] == 0) {
                slots[at] = (p + 1) << 16 | ids[p];
            }
        }
    }

    // The first position of id, or false when the list lacks it.
    bool find(int32_t id, uint32_t *position) const
    {
        if (id < 0 || id > 0xFFFF) {
            return false;
        }
        const uint32_t wanted = static_cast<uint32_t>(id);
        for (uint32_t at = Home(wanted);; at = (at + 1) & (kSlots - 1)) {
            if (slots[at] == 0) {
                return false;
            }
            if ((slots[at] & 0xFFFFu) == wanted) {
                *position = (slots[at] >> 16) - 1;
                return true;
            }
        }
    }
};

// nNameId of every item from the catalogue list; every id must be in the list.
// The first entry with the item's id names it.
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
    // Many items over a list inside its pool: each id's first position is
    // found once for the whole list rather than by a scan per item (from
    // about a dozen items of a list of 27 the table costs less than the scans).
    const uint32_t kScanWork = 300;
    if (nItems * length > kScanWork && length <= FirstPositions::kMaxLength && image->listNameIds != nullptr &&
        start <= entries && length <= entries - start) {
        FirstPositions first;
        first.build(image->listIds + start, length);
        for (uint32_t i = 0; i < nItems; ++i) {
            uint32_t p = 0;
            if (!first.find(ZMD_GetItemField(pItems, i, ZMD_ITEM_ID), &p)) {
                return ZMD_NOT_FOUND;
            }
            ZMD_PutItemField(pItems, i, ZMD_ITEM_NAME_ID, static_cast<int32_t>(image->listNameIds[start + p]));
        }
        return ZMD_OK;
    }
    if (image->listNameIds != nullptr && start <= entries && length <= entries - start) {
        // A list inside its pool: each item scans the list's ids alone.
        const uint16_t *ids = image->listIds + start;
        for (uint32_t i = 0; i < nItems; ++i) {
            const int32_t id = ZMD_GetItemField(pItems, i, ZMD_ITEM_ID);
            uint32_t p = 0;
            while (p < length && static_cast<int32_t>(ids[p]) != id) {
                ++p;
            }
            if (p == length) {
                return ZMD_NOT_FOUND;
            }
            ZMD_PutItemField(pItems, i, ZMD_ITEM_NAME_ID, static_cast<int32_t>(image->listNameIds[start + p]));
        }
        return ZMD_OK;
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

void ClearDefaultMarks(void *pItems, uint32_t nItems)
{
    for (uint32_t i = 0; i < nItems; ++i) {
        ZMD_PutItemField(pItems, i, ZMD_ITEM_DEFAULT, 0);
    }
}

// nDefault of every item from the default pair of defaultKey. With `required`
// the pair must be in force: every result of the key is the list's result.
// Without it, no pair in force or the key absent leaves every item 0 (also
// when the key fails otherwise, which is still the list's result).
int32_t MarkDefault(const ZMD_Env *env, uint32_t defaultKey, bool required, const ZMD_SettingsRecord *pRecord,
                    void *pItems, uint32_t nItems)
{
    ZMD_Node node = {};
    int32_t pair[2] = {0, 0};
    const int32_t found = ZMD_FindKey(env, defaultKey, pRecord, &node);
    int32_t r = found == ZMD_OK ? ZMD_ExtractDefaultPair(env, pRecord, node, pair) : found;
    if (env->observer) {
        ZMD_Step s;
        s.kind = ZMD_SEEN_DEFAULT;
        s.key = defaultKey;
        s.value = pair[0];
        s.value2 = pair[1];
        s.result = r;
        s.record = pRecord;
        ZMD_Observe(env, s);
    }
    if (r != ZMD_OK) {
        if (!required) {
            ClearDefaultMarks(pItems, nItems);
            if (found == ZMD_NOT_FOUND || found == ZMD_NO_KEY) {
                return ZMD_OK;
            }
        }
        return r;
    }
    // Sets the mark of every item: no clearing needed first.
    ZMD_ApplyDefaultPair(pItems, nItems, pair);
    return ZMD_OK;
}

} // namespace

int32_t ZMD_CompleteListItems(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                              void *pItems, uint32_t nItems)
{
    const ZMD_QueryRule *rule = nullptr;
    if (ZMD_FindQueryRule(env->image, key, &rule) != ZMD_OK) {
        return ZMD_ERROR;
    }
    return ZMD_CompleteListItemsOfRule(env, *rule, pRecord, cbBuffer, pItems, nItems);
}

int32_t ZMD_CompleteListItemsOfRule(const ZMD_Env *env, const ZMD_QueryRule &rule, const ZMD_SettingsRecord *pRecord,
                                    uint32_t cbBuffer, void *pItems, uint32_t nItems)
{
    if ((rule.form != ZMD_QUERY_LIST && rule.form != ZMD_QUERY_CATALOGUE_LIST) || pItems == nullptr ||
        static_cast<uint64_t>(cbBuffer) < uint64_t{nItems} * ZMD_LIST_ITEM_SIZE) {
        return ZMD_ERROR;
    }
    ZMD_SpreadListIds(pItems, nItems);
    if (env->observer) {
        ZMD_Step s;
        s.kind = ZMD_SEEN_LIST;
        s.key = rule.key;
        s.index = nItems;
        s.arg = rule.listNumber;
        s.bytes = pItems;
        s.size = nItems * ZMD_LIST_ITEM_SIZE;
        s.record = pRecord;
        ZMD_Observe(env, s);
    }

    int32_t r = ZMD_OK;
    if (rule.listNumber != ZMD_QUERY_NO_LIST) {
        r = FillNames(env->image, rule.listNumber, pItems, nItems);
        if (r != ZMD_OK) {
            return r;
        }
    }
    if (rule.choiceKeys[0] != 0) {
        const ZMD_ChoiceField fields[2] = {{rule.choiceKeys[0], rule.choiceFields[0]},
                                           {rule.choiceKeys[1], rule.choiceFields[1]}};
        uint32_t nFields = rule.choiceKeys[1] != 0 ? 2 : 1;
        r = ZMD_FillChoiceValues(env, pRecord, pItems, nItems, rule.choiceSetting, fields, nFields);
        if (r != ZMD_OK) {
            return r;
        }
    }
    if (rule.offeredKey != 0) {
        r = ZMD_MarkMembership(env, pRecord, pItems, nItems, rule.offeredKey);
        if (r != ZMD_OK) {
            return r;
        }
    }
    if (rule.defaultKey == 0) {
        return ZMD_OK;
    }
    const bool required = (rule.flags & ZMD_QUERY_DEFAULT_REQUIRED) != 0;
    return MarkDefault(env, rule.defaultKey, required, pRecord, pItems, nItems);
}
