// The database image: constant tables of rule-tree nodes, keys, value pools
// and the driver query tables. The engine only ever reads an image through a
// ZMD_ImageView; a missing table is a null base.
#ifndef ZMD_IMAGE_H
#define ZMD_IMAGE_H

#include <cstdint>

// Node kinds live in the top byte of word 0. 0 and everything above 21 are invalid.
enum ZMD_NodeKind : uint32_t {
    ZMD_KIND_BYTES = 1,
    ZMD_KIND_INT32_ARRAY = 2,
    ZMD_KIND_INT8_ARRAY = 3,
    ZMD_KIND_INT16_ARRAY = 4,
    ZMD_KIND_UINT8_ARRAY = 5,
    ZMD_KIND_UINT16_ARRAY = 6,
    ZMD_KIND_TEXT = 7,
    ZMD_KIND_LIST = 8,
    ZMD_KIND_SWITCH = 9,
    ZMD_KIND_WHEN = 10,
    ZMD_KIND_SELECT_INT = 11,
    ZMD_KIND_SELECT_STRING = 12,
    ZMD_KIND_SELECT_PRINTER_DATA = 13,
    ZMD_KIND_SELECT_COUNTRY = 14,
    ZMD_KIND_CASE_EQUAL = 15,
    ZMD_KIND_CASE_STRING = 16,
    ZMD_KIND_CASE_DEFAULT = 17,
    ZMD_KIND_COMPUTED = 18,
    ZMD_KIND_SELECT_MASKED = 19,
    ZMD_KIND_MASK = 20,
    ZMD_KIND_CASE_RANGE = 21,
};

// Word 0: kind (bits 31..24) and a 24-bit operand; word 1: second operand,
// often a high half (bits 31..16) and a low half (bits 15..0).
struct ZMD_Node {
    uint32_t w0;
    uint32_t w1;
};

inline uint32_t ZMD_NodeKindOf(uint32_t w0)
{
    return w0 >> 24;
}
inline uint32_t ZMD_NodeOperand(uint32_t w0)
{
    return w0 & 0x00FFFFFFu;
}
inline uint32_t ZMD_NodeHigh(uint32_t w1)
{
    return w1 >> 16;
}
inline uint32_t ZMD_NodeLow(uint32_t w1)
{
    return w1 & 0xFFFFu;
}
inline constexpr uint32_t ZMD_MakeW0(uint32_t kind, uint32_t operand)
{
    return (kind << 24) | (operand & 0x00FFFFFFu);
}
inline constexpr uint32_t ZMD_MakeW1(uint32_t high, uint32_t low)
{
    return (high << 16) | (low & 0xFFFFu);
}

// The counts, stored together in this order.
struct ZMD_ImageCounts {
    uint32_t nodes;
    uint32_t keys;
    uint32_t seqKeys;
    uint32_t seqParts;
    uint32_t lists;
    uint32_t listEntries;
    uint32_t int32Pool;
    uint32_t int16Pool;
    uint32_t bytePool;
    uint32_t caseStringPool;
    uint32_t selectionRows;
    uint32_t blocksA;
    uint32_t blocksB;
    uint32_t blocksC;
    uint32_t blocksD;
    uint32_t queryRules;
    // The key index (0 and 0 when the image has none).
    uint32_t keyRanges;
    uint32_t keySlots;
};

// Parameter-set selection row: six selectors compared with integer settings
// 4, 9, 5, 8, 6 and 81, then block indices into tables A, B, C and D.
struct ZMD_SelectionRow {
    int16_t selector[6];
    int16_t block[4];
};

enum : uint32_t {
    ZMD_BLOCK_A_SIZE = 48,
    ZMD_BLOCK_B_SIZE = 40,
    ZMD_BLOCK_C_SIZE = 36,
    ZMD_BLOCK_D_SIZE = 48,
    ZMD_PARAMETER_SET_SIZE = 192,
};

// How the driver database answers one of its keys (a query rule). Keys
// without a rule are answered from their trees.
enum : uint16_t {
    ZMD_QUERY_LIST = 1,           // option list from the key's own tree
    ZMD_QUERY_CATALOGUE_LIST = 2, // the whole catalogue list listNumber
    ZMD_QUERY_SEQUENCE = 3,       // the key's command sequence
    ZMD_QUERY_PARAMETER_SET = 4,  // the parameter set
};

enum : uint16_t {
    ZMD_QUERY_NO_LIST = 0xFFFF,        // listNumber: no catalogue list names the choices
    ZMD_QUERY_DEFAULT_REQUIRED = 0x01, // flags: the default pair must be in force
};

// A list rule completes every item in this order: the display-name id from
// catalogue list listNumber; with integer setting choiceSetting set to the
// item's id, item word choiceFields[i] (1 name id, 2 value 1, 3 value 2) from
// per-choice key choiceKeys[i] (key 0 ends them); value 2 as 0 when the id is
// in the list of offeredKey, else 1 (offeredKey 0: no membership); the mark of
// the default pair of defaultKey (0: none). Other forms use only key and form.
struct ZMD_QueryRule {
    uint16_t key;
    uint16_t form;
    uint16_t listNumber;
    uint16_t choiceSetting;
    uint16_t choiceKeys[2];
    uint16_t choiceFields[2];
    uint16_t offeredKey;
    uint16_t defaultKey;
    uint16_t flags;
};

// The key index: a key's position in the key table and in the query rules
// in one or two loads. Range r covers the keys first .. first + count - 1,
// all with the high nibble r (one database each), and owns the slots
// slotStart .. slotStart + count - 1 of both slot arrays; a key outside every
// range has neither a tree nor a rule. The ranges tile the slot arrays in
// order. A slot holds the position of the key's entry, or ZMD_NO_SLOT.
struct ZMD_KeyRange {
    uint16_t first;
    uint16_t count;
    uint32_t slotStart;
};

enum : uint32_t {
    ZMD_KEY_RANGES = 16, // one range per high nibble of a key
};

enum : uint16_t {
    ZMD_NO_SLOT = 0xFFFF,
};

struct ZMD_ImageView {
    // Rule trees.
    const ZMD_Node *nodes;
    const uint16_t *keys;     // ascending, unique
    const uint32_t *keyNodes; // top node of each key, parallel to keys
    // Value pools.
    const int32_t *int32Pool;
    const uint16_t *int16Pool; // read signed or unsigned by the node kind
    const uint8_t *bytePool;
    const char *caseStringPool; // case strings back to back, no terminators
    // Driver query tables: command sequences.
    const uint16_t *seqKeys;
    const uint16_t *seqPartCounts;
    const uint32_t *seqStarts;
    const uint32_t *seqParts; // node index of each part's tree
    // Driver query tables: the list catalogue.
    const uint16_t *listNumbers;
    const uint16_t *listLengths;
    const uint32_t *listStarts;
    const uint16_t *listIds;     // pool of ids, bounded by listEntries
    const uint32_t *listNameIds; // parallel display-name ids
    // Driver query tables: the parameter set.
    const ZMD_SelectionRow *selectionRows;
    const uint8_t *blocksA; // blocksA count × ZMD_BLOCK_A_SIZE bytes
    const uint8_t *blocksB;
    const uint8_t *blocksC;
    const uint8_t *blocksD;
    // Driver query rules, one per key at most.
    const ZMD_QueryRule *queryRules;
    // The key index (optional: null tables mean none, and keys and rules are
    // searched in their tables instead).
    const ZMD_KeyRange *keyRanges; // ZMD_KEY_RANGES entries
    const uint16_t *keySlots;      // position in keys
    const uint16_t *ruleSlots;     // position in queryRules, parallel to keySlots
    ZMD_ImageCounts counts;
};

// The image that ships inside the library (generated, see image_data.cpp).
const ZMD_ImageView *ZMD_ShippedImage();

#endif // ZMD_IMAGE_H
