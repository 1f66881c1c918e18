// Validating the key index (see key_index_validate.h). A lying index would
// make a key vanish or answer another key's tree or rule, so every slot is
// checked both ways: each names an entry of its own key, and each entry is
// named.
#include "key_index_validate.h"

#include "validate_fault.h"

namespace {

using IndexCheck = ZMD_ValidateState;

// The ranges: one per nibble, each inside its nibble, tiling the slots in
// order. False when the slots cannot be located.
bool CheckRanges(IndexCheck *c)
{
    const ZMD_ImageView &v = c->v;
    if (v.counts.keyRanges != ZMD_KEY_RANGES) {
        ZMD_ValidateFault(c, "key index: %u ranges, not %u", v.counts.keyRanges, static_cast<uint32_t>(ZMD_KEY_RANGES));
        return false;
    }
    uint64_t next = 0;
    for (uint32_t r = 0; r < ZMD_KEY_RANGES; ++r) {
        const ZMD_KeyRange &range = v.keyRanges[r];
        if (range.slotStart != next) {
            ZMD_ValidateFault(c, "key index: range %u starts at slot %u, not %llu", r, range.slotStart,
                              static_cast<unsigned long long>(next));
        }
        const uint32_t last = static_cast<uint32_t>(range.first) + range.count - 1;
        if (range.count != 0 && ((range.first >> 12) != r || (last >> 12) != r)) {
            ZMD_ValidateFault(c, "key index: range %u covers keys 0x%04X..0x%04X, outside its nibble", r, range.first,
                              last);
        }
        next += range.count;
    }
    if (next != v.counts.keySlots) {
        ZMD_ValidateFault(c, "key index: the ranges cover %llu slots, the arrays hold %u",
                          static_cast<unsigned long long>(next), v.counts.keySlots);
    }
    return c->ok;
}

// The slot of a key, or false when no range covers it.
bool SlotOf(const ZMD_ImageView &v, uint32_t key, uint32_t *slot)
{
    const ZMD_KeyRange &range = v.keyRanges[(key >> 12) & 0xFu];
    const uint32_t offset = key - range.first;
    if (key > 0xFFFFu || offset >= range.count) {
        return false;
    }
    *slot = range.slotStart + offset;
    return true;
}

// One slot array against its table of `count` entries, whose key entryKey
// answers: what each slot names, and that each entry is named.
template <typename KeyOf>
void CheckSlots(IndexCheck *c, const uint16_t *slots, uint32_t count, KeyOf entryKey, const char *table)
{
    const ZMD_ImageView &v = c->v;
    if (count >= ZMD_NO_SLOT) {
        ZMD_ValidateFault(c, "key index: the %s holds %u entries, too many to index", table, count);
        return;
    }
    for (uint32_t r = 0; r < ZMD_KEY_RANGES; ++r) {
        const ZMD_KeyRange &range = v.keyRanges[r];
        for (uint32_t i = 0; i < range.count; ++i) {
            const uint32_t key = range.first + i, at = slots[range.slotStart + i];
            if (at != ZMD_NO_SLOT && (at >= count || entryKey(at) != key)) {
                ZMD_ValidateFault(c, "key index: the %s slot of key 0x%04X names entry %u, not one of that key", table,
                                  key, at);
            }
        }
    }
    for (uint32_t at = 0; at < count; ++at) {
        const uint32_t key = entryKey(at);
        uint32_t slot = 0;
        if (!SlotOf(v, key, &slot)) {
            ZMD_ValidateFault(c, "key index: key 0x%04X of %s entry %u lies outside every range", key, table, at);
        } else if (slots[slot] != at) {
            ZMD_ValidateFault(c, "key index: %s entry %u of key 0x%04X is not named by its slot", table, at, key);
        }
    }
}

} // namespace

bool ZMD_CheckKeyIndex(const ZMD_ImageView *image, uint32_t parts, ZMD_ImageFaultFn report, void *ctx)
{
    IndexCheck c{*image, report, ctx, true};
    const ZMD_ImageView &v = *image;
    if (!v.keyRanges && !v.keySlots && !v.ruleSlots && v.counts.keyRanges == 0 && v.counts.keySlots == 0) {
        return true;
    }
    if (!v.keyRanges || !v.keySlots || !v.ruleSlots) {
        ZMD_ValidateFault(&c, "key index: a table is missing");
        return false;
    }
    if (!CheckRanges(&c)) {
        return false;
    }
    if (parts & ZMD_INDEX_KEYS) {
        const uint32_t keys = v.keys ? v.counts.keys : 0;
        CheckSlots(
            &c, v.keySlots, keys, [&v](uint32_t at) { return static_cast<uint32_t>(v.keys[at]); }, "key table");
    }
    if (parts & ZMD_INDEX_RULES) {
        const uint32_t rules = v.queryRules ? v.counts.queryRules : 0;
        CheckSlots(
            &c, v.ruleSlots, rules, [&v](uint32_t at) { return static_cast<uint32_t>(v.queryRules[at].key); },
            "query rule");
    }
    return c.ok;
}
