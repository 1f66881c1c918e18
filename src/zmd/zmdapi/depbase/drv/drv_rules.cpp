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
