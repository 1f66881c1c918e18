// The driver query rules of an image: the one place that reads them. Needs
// only an image view (the key catalogue of dbc asks it too).
#ifndef ZMD_DRV_RULES_H
#define ZMD_DRV_RULES_H

#include <cstdint>

#include "image.h"

// The rule of a key (only its low 16 bits count) into *rule: ZMD_OK, or
// ZMD_NOT_FOUND when the image has no rule for it (also when it has no rule
// table). The first rule of the key wins; with a key index, the rule its
// slot names (a validated index names the only one). The rule is the image's as it
// stands: the image's validation (ZMD_ValidateQueryRules) is what refuses an
// unsound one, and the queries stay inside their buffers whatever it holds.
int32_t ZMD_FindQueryRule(const ZMD_ImageView *image, uint32_t key, const ZMD_QueryRule **rule);

// The first rule of the key k (low 16 bits) by scanning the rule table, or
// nullptr: the way when the key index is missing or names no rule of k.
const ZMD_QueryRule *ZMD_ScanQueryRules(const ZMD_ImageView *image, uint32_t k);

// The key index's answer for the key k (low 16 bits; image not null): true
// with *rule the key's rule, or nullptr when the key has none; false when
// there is no index or it names a rule out of bounds or of another key,
// which is not believed: then the rules are scanned (ZMD_ScanQueryRules).
inline bool ZMD_IndexedQueryRule(const ZMD_ImageView *image, uint32_t k, const ZMD_QueryRule **rule)
{
    const uint32_t group = k >> 12u;
    if (image->queryRules == nullptr || image->keyRanges == nullptr || image->ruleSlots == nullptr ||
        group >= image->counts.keyRanges) {
        return false;
    }
    const ZMD_KeyRange &range = image->keyRanges[group];
    const uint32_t offset = k - range.first;
    if (offset >= range.count) {
        *rule = nullptr;
        return true;
    }
    const uint64_t slot = static_cast<uint64_t>(range.slotStart) + offset;
    if (slot >= image->counts.keySlots) {
        return false;
    }
    const uint32_t at = image->ruleSlots[slot];
    if (at == ZMD_NO_SLOT) {
        *rule = nullptr;
        return true;
    }
    if (at >= image->counts.queryRules || image->queryRules[at].key != k) {
        return false;
    }
    *rule = &image->queryRules[at];
    return true;
}

// The rule of the key k (low 16 bits; image not null), or nullptr: what
// ZMD_FindQueryRule finds.
inline const ZMD_QueryRule *ZMD_QueryRuleOf(const ZMD_ImageView *image, uint32_t k)
{
    const ZMD_QueryRule *rule = nullptr;
    return ZMD_IndexedQueryRule(image, k, &rule) ? rule : ZMD_ScanQueryRules(image, k);
}

// True when the key has a sound rule that answers an option list.
bool ZMD_IsListKey(const ZMD_ImageView *image, uint32_t key);

#endif // ZMD_DRV_RULES_H
