// The driver query rules: lookup. The rules are trusted: the image was
// validated (ZMD_ValidateQueryRules), so a rule is not judged again on every
// query.
#include "drv_rules.h"

#include "depbase.h"

const ZMD_QueryRule *ZMD_ScanQueryRules(const ZMD_ImageView *image, uint32_t k)
{
    if (image == nullptr || image->queryRules == nullptr) {
        return nullptr;
    }
    for (uint32_t i = 0; i < image->counts.queryRules; ++i) {
        if (image->queryRules[i].key == k) {
            return &image->queryRules[i];
        }
    }
    return nullptr;
}

int32_t ZMD_FindQueryRule(const ZMD_ImageView *image, uint32_t key, const ZMD_QueryRule **rule)
{
    if (image == nullptr) {
        return ZMD_NOT_FOUND;
    }
    const ZMD_QueryRule *found = ZMD_QueryRuleOf(image, key & 0xFFFFu);
    if (found == nullptr) {
        return ZMD_NOT_FOUND;
    }
    *rule = found;
    return ZMD_OK;
}

bool ZMD_IsListKey(const ZMD_ImageView *image, uint32_t key)
{
    const ZMD_QueryRule *rule = nullptr;
    return ZMD_FindQueryRule(image, key, &rule) == ZMD_OK &&
           (rule->form == ZMD_QUERY_LIST || rule->form == ZMD_QUERY_CATALOGUE_LIST);
}
