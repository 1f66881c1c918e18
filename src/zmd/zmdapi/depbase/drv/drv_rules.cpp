// The driver query rules: lookup. The rules are trusted: the image was
// validated (ZMD_ValidateQueryRules), so a rule is not judged again on every
// query.
#include "drv_rules.h"

#include "depbase.h"

int32_t ZMD_FindQueryRule(const ZMD_ImageView *image, uint32_t key, const ZMD_QueryRule **rule)
{
    if (image == nullptr || image->queryRules == nullptr) {
        return ZMD_NOT_FOUND;
    }
    const uint32_t k = key & 0xFFFFu;
    // The key index names the key's rule directly; an index that names a
    // rule out of bounds or of another key is not believed, and the rules
    // are scanned as if there were none.
    const uint32_t group = k >> 12u;
    if (image->keyRanges && image->ruleSlots && group < image->counts.keyRanges) {
        const ZMD_KeyRange &range = image->keyRanges[group];
        const uint32_t offset = k - range.first;
        if (offset >= range.count) {
            return ZMD_NOT_FOUND;
        }
        const uint64_t slot = static_cast<uint64_t>(range.slotStart) + offset;
        if (slot < image->counts.keySlots) {
            const uint32_t at = image->ruleSlots[slot];
            if (at == ZMD_NO_SLOT) {
                return ZMD_NOT_FOUND;
            }
            if (at < image->counts.queryRules && image->queryRules[at].key == k) {
                *rule = &image->queryRules[at];
                return ZMD_OK;
            }
        }
    }
    for (uint32_t i = 0; i < image->counts.queryRules; ++i) {
        const ZMD_QueryRule &r = image->queryRules[i];
        if (r.key == k) {
            *rule = &r;
            return ZMD_OK;
        }
    }
    return ZMD_NOT_FOUND;
}

bool ZMD_IsListKey(const ZMD_ImageView *image, uint32_t key)
{
    const ZMD_QueryRule *rule = nullptr;
    return ZMD_FindQueryRule(image, key, &rule) == ZMD_OK &&
           (rule->form == ZMD_QUERY_LIST || rule->form == ZMD_QUERY_CATALOGUE_LIST);
}
