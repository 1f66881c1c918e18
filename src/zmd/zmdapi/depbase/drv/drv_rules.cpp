// The driver query rules: lookup and the soundness of one rule.
#include "drv_rules.h"

#include "depbase.h"

namespace {

bool IsItemWord(uint16_t word)
{
    return word >= 1 && word <= 3; // name id, value 1, value 2
}

bool IsSound(const ZMD_QueryRule &rule)
{
    if (rule.form < ZMD_QUERY_LIST || rule.form > ZMD_QUERY_PARAMETER_SET) {
        return false;
    }
    if ((rule.flags & ~uint32_t{ZMD_QUERY_DEFAULT_REQUIRED}) != 0) {
        return false;
    }
    if (rule.choiceKeys[0] == 0 && rule.choiceKeys[1] != 0) {
        return false;
    }
    for (uint32_t f = 0; f < 2; ++f) {
        if (rule.choiceKeys[f] != 0 && !IsItemWord(rule.choiceFields[f])) {
            return false;
        }
    }
    return true;
}

} // namespace

int32_t ZMD_FindQueryRule(const ZMD_ImageView *image, uint32_t key, const ZMD_QueryRule **rule)
{
    if (image == nullptr || image->queryRules == nullptr) {
        return ZMD_NOT_FOUND;
    }
    const uint32_t k = key & 0xFFFFu;
    for (uint32_t i = 0; i < image->counts.queryRules; ++i) {
        const ZMD_QueryRule &r = image->queryRules[i];
        if (r.key == k) {
            if (!IsSound(r)) {
                return ZMD_ERROR;
            }
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
