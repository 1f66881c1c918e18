// Judging query rules (see image_format.h).
#include "image_format.h"

#include "depbase.h"

uint32_t ZMD_QueryRuleFaults(const ZMD_QueryRule *rule)
{
    uint32_t faults = 0;
    if (rule->form < ZMD_QUERY_LIST || rule->form > ZMD_QUERY_PARAMETER_SET) {
        faults |= ZMD_RULE_UNKNOWN_FORM;
    }
    if ((rule->flags & ~uint32_t{ZMD_QUERY_DEFAULT_REQUIRED}) != 0) {
        faults |= ZMD_RULE_UNKNOWN_FLAGS;
    }
    if (rule->choiceKeys[0] == 0 && rule->choiceKeys[1] != 0) {
        faults |= ZMD_RULE_SECOND_KEY_ALONE;
    }
    for (uint32_t f = 0; f < 2; ++f) {
        // An item word: 1 the name id, 2 value 1, 3 value 2.
        if (rule->choiceKeys[f] != 0 && (rule->choiceFields[f] < 1 || rule->choiceFields[f] > 3)) {
            faults |= f == 0 ? ZMD_RULE_BAD_FIELD_0 : ZMD_RULE_BAD_FIELD_1;
        }
    }
    return faults;
}
