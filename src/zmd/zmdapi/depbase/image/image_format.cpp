// Decoding cases and judging query rules (see image_format.h).
#include "image_format.h"

#include "depbase.h"

int32_t ZMD_DecodeCase(const ZMD_ImageView *image, ZMD_Node c, bool strings, ZMD_Case *out)
{
    const uint32_t kind = ZMD_NodeKindOf(c.w0);
    *out = ZMD_Case{kind, ZMD_NodeOperand(c.w0), 0, 0, nullptr, 0};
    if (kind == ZMD_KIND_CASE_DEFAULT) {
        return ZMD_OK;
    }
    if (strings) {
        ZMD_Node str;
        if (kind != ZMD_KIND_CASE_STRING || !ZMD_GetNode(image, c.w1, &str) ||
            ZMD_NodeKindOf(str.w0) != ZMD_KIND_BYTES) {
            return ZMD_ERROR;
        }
        const uint64_t offset = ZMD_NodeOperand(str.w0);
        const uint32_t length = ZMD_NodeLow(str.w1);
        if (!image->caseStringPool || offset + length > image->counts.caseStringPool) {
            return ZMD_ERROR;
        }
        out->text = image->caseStringPool + offset;
        out->length = length;
        return ZMD_OK;
    }
    if (kind == ZMD_KIND_CASE_EQUAL) {
        out->low = out->high = static_cast<int32_t>(c.w1);
        return ZMD_OK;
    }
    if (kind == ZMD_KIND_CASE_RANGE) {
        const uint64_t at = c.w1;
        if (!image->int32Pool || at + 1 >= image->counts.int32Pool) {
            return ZMD_ERROR;
        }
        out->low = image->int32Pool[at];
        out->high = image->int32Pool[at + 1];
        return ZMD_OK;
    }
    return ZMD_ERROR;
}

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
