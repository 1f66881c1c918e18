// Pieces of the driver database queries: the list, sequence and parameter-set
// handlers behind ZMD_QueryDrvDataBase, and the list completion they share.
#ifndef ZMD_DRV_INTERNAL_H
#define ZMD_DRV_INTERNAL_H

#include <cstring>

#include "drv_query.h"

enum : uint32_t {
    ZMD_LIST_ITEM_WORDS = 5,
    ZMD_LIST_ITEM_SIZE = 20,
    ZMD_SEQUENCE_TAG_KEY = 0x5008, // part trees end in value nodes of this key
};

// Field positions within a ZMD_ListItem, in 32-bit words.
enum : uint32_t {
    ZMD_ITEM_ID = 0,
    ZMD_ITEM_NAME_ID = 1,
    ZMD_ITEM_VALUE1 = 2,
    ZMD_ITEM_VALUE2 = 3,
    ZMD_ITEM_DEFAULT = 4,
};

// The caller's buffer carries no alignment promise: words are read and
// written byte-wise.
inline int32_t ZMD_GetWord(const void *buffer, uint32_t index)
{
    int32_t v;
    std::memcpy(&v, static_cast<const uint8_t *>(buffer) + 4u * index, sizeof v);
    return v;
}
inline void ZMD_PutWord(void *buffer, uint32_t index, int32_t v)
{
    std::memcpy(static_cast<uint8_t *>(buffer) + 4u * index, &v, sizeof v);
}
inline int32_t ZMD_GetItemField(const void *items, uint32_t item, uint32_t field)
{
    return ZMD_GetWord(items, item * ZMD_LIST_ITEM_WORDS + field);
}
inline void ZMD_PutItemField(void *items, uint32_t item, uint32_t field, int32_t v)
{
    ZMD_PutWord(items, item * ZMD_LIST_ITEM_WORDS + field, v);
}

// Completes an array whose first nItems words hold the ids into nItems list
// items as the key's list rule says (spread, names, per-choice values,
// membership, default mark). cbBuffer must hold nItems items; a key without a
// list rule is ZMD_ERROR.
int32_t ZMD_CompleteListItems(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                              void *pItems, uint32_t nItems);

// The same for the key's rule, already found (a rule that answers no list is
// ZMD_ERROR).
int32_t ZMD_CompleteListItemsOfRule(const ZMD_Env *env, const ZMD_QueryRule &rule, const ZMD_SettingsRecord *pRecord,
                                    uint32_t cbBuffer, void *pItems, uint32_t nItems);

// Moves id i from word i to the nId word of item i and clears the vacated words.
void ZMD_SpreadListIds(void *pItems, uint32_t nItems);

// Extracts a value node for internal use into `out` (capacity cbOut,
// zero-filled first); *pcbGot receives the delivered size. A value larger than
// cbOut is a malformed image here (ZMD_ERROR), never a size-protocol answer.
int32_t ZMD_ExtractInternal(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, ZMD_Node node, void *out,
                            uint32_t cbOut, uint32_t *pcbGot);

// A per-choice key's single integer (at most 4 bytes) into *value, for a key
// already looked up: its top node is evaluated.
int32_t ZMD_ChoiceValueFromTop(const ZMD_Env *env, uint32_t key, ZMD_Node top, const ZMD_SettingsRecord *pRecord,
                               int32_t *value);

// The integer of a per-choice value node.
int32_t ZMD_ChoiceValueOfNode(const ZMD_Env *env, ZMD_Node node, const ZMD_SettingsRecord *pRecord, int32_t *value);

// A default-pair value (default id, mark): exactly two 32-bit integers.
int32_t ZMD_ExtractDefaultPair(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, ZMD_Node node, int32_t pair[2]);

// Sets nDefault of every item to the mark of the default pair (default id,
// mark) for the item whose nId equals the default id, and to 0 for all others.
void ZMD_ApplyDefaultPair(void *pItems, uint32_t nItems, const int32_t pair[2]);

// Steps shared by the lists from a key's own tree: lookup and evaluation, the
// size protocol (choices × 20), and the ids extracted into the first words of
// the buffer. ZMD_OK with *pnItems set once the ids are in place.
int32_t ZMD_FetchOwnTreeIds(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                            void *pBuffer, uint32_t *pcbSize, uint32_t *pnItems);

// One per-choice key and the item field it fills.
struct ZMD_ChoiceField {
    uint16_t key;
    uint16_t field;
};

// For every item, sets integer setting `setting` of a driver-shaped working
// copy of the record to the item's nId and fills each field from its key.
// The record must hold more than `setting` integer settings (else
// ZMD_BAD_INT_SETTING). The copy lives in the caller's frame (the heap only
// for a shape too large for it, freed on every path).
int32_t ZMD_FillChoiceValues(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, void *pItems, uint32_t nItems,
                             uint32_t setting, const ZMD_ChoiceField *fields, uint32_t nFields);

// nValue2 of every item: 0 when the item is in the list of offeredKey (both
// lists in the same order), 1 when it is not.
int32_t ZMD_MarkMembership(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, void *pItems, uint32_t nItems,
                           uint32_t offeredKey);

// The handlers. Each answers as the export would.
int32_t ZMD_QueryOwnTreeList(const ZMD_Env *env, const ZMD_QueryRule &rule, const ZMD_SettingsRecord *pRecord,
                             uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
int32_t ZMD_QueryCatalogueList(const ZMD_Env *env, const ZMD_QueryRule &rule, const ZMD_SettingsRecord *pRecord,
                               uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
int32_t ZMD_QueryCommandSequence(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                 void *pBuffer, uint32_t *pcbSize);
int32_t ZMD_QueryParameterSet(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                              uint32_t *pcbSize);

// Catalogue search: the index of the list with this number, or false when the
// catalogue lacks the list (or its arrays).
bool ZMD_FindCatalogueList(const ZMD_ImageView *image, uint32_t listNumber, uint32_t *index);

#endif // ZMD_DRV_INTERNAL_H
