// The rules of the image format, in one place: fetching a node, the kinds a
// tree ends in, decoding a selector's case, and the soundness of a driver
// query rule. The engine, the tree walk and the image validator all decode
// through these; the runtime trusts an image the validator accepted (the
// shipped one is checked when dbc writes it and by a test) and keeps only
// the bounds checks that keep its reads inside the tables.
#ifndef ZMD_IMAGE_FORMAT_H
#define ZMD_IMAGE_FORMAT_H

#include <cstdint>

#include "image.h"

// The image's trees are at most 17 nodes deep; anything far deeper can only
// come from a cycle in a malformed image, which would otherwise exhaust the
// stack. The evaluator and the tree walk stop at the same depth.
const unsigned ZMD_MAX_TREE_DEPTH = 256;

// The root database key whose tree names the values stored with a printer:
// with integer setting 0 set to a selector it yields the value's name (TEXT).
const uint32_t ZMD_VALUE_NAME_KEY = 0x0008;

// The selector SELECT_COUNTRY carries: the user's country code.
const uint32_t ZMD_COUNTRY_SELECTOR = 0x500F;

// Fetches node `index`; false when the node table is missing or the index is
// not below the node count.
inline bool ZMD_GetNode(const ZMD_ImageView *image, uint64_t index, ZMD_Node *node)
{
    if (!image || !image->nodes || index >= image->counts.nodes) {
        return false;
    }
    *node = image->nodes[index];
    return true;
}

// True for the kinds a tree ends in: a stored value or a computed one.
inline bool ZMD_IsValueKind(uint32_t kind)
{
    return (kind >= ZMD_KIND_BYTES && kind <= ZMD_KIND_TEXT) || kind == ZMD_KIND_COMPUTED;
}

// True for the kinds that are evaluated as a node. CASE_STRING, MASK and
// CASE_RANGE are only read by their selectors; kind 0 and kinds above
// CASE_RANGE do not exist.
inline bool ZMD_IsEvaluableKind(uint32_t kind)
{
    return kind != 0 && kind <= ZMD_KIND_CASE_RANGE && kind != ZMD_KIND_CASE_STRING && kind != ZMD_KIND_MASK &&
           kind != ZMD_KIND_CASE_RANGE;
}

// A selector's case, decoded.
struct ZMD_Case {
    uint32_t kind;    // CASE_EQUAL, CASE_RANGE, CASE_STRING or CASE_DEFAULT
    uint32_t target;  // the node the case leads to (not checked here)
    int32_t low;      // CASE_EQUAL: the value; CASE_RANGE: the bounds
    int32_t high;     //
    const char *text; // CASE_STRING: the compared characters in the case-string pool
    uint32_t length;
};

// Decodes case node c of an integer selector (strings false: CASE_EQUAL,
// CASE_RANGE, CASE_DEFAULT) or of SELECT_STRING (strings true: CASE_STRING,
// CASE_DEFAULT): ZMD_OK (0 here, as depbase.h), or ZMD_ERROR (-1) for a kind
// the selector does not take, a range pair outside the int32 pool, or a case
// string that is no BYTES node or lies outside the case-string pool. The
// target is left to the caller. Inline, as the selectors call it per case.
inline int32_t ZMD_DecodeCase(const ZMD_ImageView *image, ZMD_Node c, bool strings, ZMD_Case *out)
{
    const uint32_t kind = ZMD_NodeKindOf(c.w0);
    *out = ZMD_Case{kind, ZMD_NodeOperand(c.w0), 0, 0, nullptr, 0};
    if (kind == ZMD_KIND_CASE_DEFAULT) {
        return 0;
    }
    if (strings) {
        ZMD_Node str;
        if (kind != ZMD_KIND_CASE_STRING || !ZMD_GetNode(image, c.w1, &str) ||
            ZMD_NodeKindOf(str.w0) != ZMD_KIND_BYTES) {
            return -1;
        }
        const uint64_t offset = ZMD_NodeOperand(str.w0);
        const uint32_t length = ZMD_NodeLow(str.w1);
        if (!image->caseStringPool || offset + length > image->counts.caseStringPool) {
            return -1;
        }
        out->text = image->caseStringPool + offset;
        out->length = length;
        return 0;
    }
    if (kind == ZMD_KIND_CASE_EQUAL) {
        out->low = out->high = static_cast<int32_t>(c.w1);
        return 0;
    }
    if (kind == ZMD_KIND_CASE_RANGE) {
        const uint64_t at = c.w1;
        if (!image->int32Pool || at + 1 >= image->counts.int32Pool) {
            return -1;
        }
        out->low = image->int32Pool[at];
        out->high = image->int32Pool[at + 1];
        return 0;
    }
    return -1;
}

// Whether integer-selector case c matches value v: 1 it does, 0 it does
// not, ZMD_ERROR (-1 here, as depbase.h) where ZMD_DecodeCase with strings
// false fails. Inline, for the selectors' case scans: no case is built.
inline int32_t ZMD_MatchIntCase(const ZMD_ImageView *image, ZMD_Node c, int32_t v)
{
    const uint32_t kind = ZMD_NodeKindOf(c.w0);
    if (kind == ZMD_KIND_CASE_EQUAL) {
        return static_cast<int32_t>(c.w1) == v ? 1 : 0;
    }
    if (kind == ZMD_KIND_CASE_DEFAULT) {
        return 1;
    }
    if (kind == ZMD_KIND_CASE_RANGE) {
        const uint64_t at = c.w1;
        if (!image->int32Pool || at + 1 >= image->counts.int32Pool) {
            return -1;
        }
        return image->int32Pool[at] <= v && v <= image->int32Pool[at + 1] ? 1 : 0;
    }
    return -1;
}

// What is wrong with a driver query rule (0: it is sound).
enum ZMD_RuleFault : uint32_t {
    ZMD_RULE_UNKNOWN_FORM = 0x01,
    ZMD_RULE_UNKNOWN_FLAGS = 0x02,
    ZMD_RULE_SECOND_KEY_ALONE = 0x04, // a second per-choice key without a first
    ZMD_RULE_BAD_FIELD_0 = 0x08,      // per-choice key 0 fills no item word (1 to 3)
    ZMD_RULE_BAD_FIELD_1 = 0x10,      // per-choice key 1 likewise
};

// The faults of a rule, ORed (ZMD_RuleFault); 0 for a sound rule.
uint32_t ZMD_QueryRuleFaults(const ZMD_QueryRule *rule);

#endif // ZMD_IMAGE_FORMAT_H
