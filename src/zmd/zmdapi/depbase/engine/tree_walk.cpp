// Decoding and walking rule trees for tools that list every way through a
// tree. The checks are those of the evaluator: a node index below the node
// count, case kinds that fit their selector, ranges and case strings inside
// their pools, and the same depth limit against cycles.
#include "tree_walk.h"

#include "engine.h"

namespace {

// A case of an integer or string selector.
int32_t DescribeCase(const ZMD_ImageView *image, bool strings, ZMD_Node c, ZMD_TreeBranch *out)
{
    const uint32_t kind = ZMD_NodeKindOf(c.w0);
    ZMD_Node target;
    if (!ZMD_GetNode(image, ZMD_NodeOperand(c.w0), &target)) {
        return ZMD_ERROR;
    }
    out->target = ZMD_NodeOperand(c.w0);
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

int32_t Visit(const ZMD_ImageView *image, uint32_t index, const ZMD_TreeVisitor &v, unsigned depth)
{
    if (depth > ZMD_MAX_TREE_DEPTH) {
        return ZMD_ERROR;
    }
    ZMD_TreeNodeInfo info;
    if (ZMD_DescribeNode(image, index, &info) != ZMD_OK) {
        return ZMD_ERROR;
    }
    if (v.node && !v.node(v.ctx, &info, depth)) {
        return ZMD_OK;
    }
    for (uint32_t j = 0; j < info.count; ++j) {
        ZMD_TreeBranch b;
        if (ZMD_DescribeBranch(image, &info, j, &b) != ZMD_OK) {
            return ZMD_ERROR;
        }
        const bool tested = info.test != ZMD_TEST_NONE;
        int32_t step = ZMD_STEP_FOLLOW;
        if (tested && v.branch) {
            step = v.branch(v.ctx, &info, j, &b, depth);
        }
        if (step == ZMD_STEP_END) {
            return ZMD_OK;
        }
        if (step != ZMD_STEP_FOLLOW && step != ZMD_STEP_FOLLOW_LAST) {
            continue;
        }
        const int32_t r = Visit(image, b.target, v, depth + 1);
        if (r != ZMD_OK) {
            return r;
        }
        if (tested && v.leave) {
            v.leave(v.ctx, &info, j, depth);
        }
        if (step == ZMD_STEP_FOLLOW_LAST) {
            return ZMD_OK;
        }
    }
    return ZMD_OK;
}

} // namespace

int32_t ZMD_DescribeNode(const ZMD_ImageView *image, uint32_t index, ZMD_TreeNodeInfo *out)
{
    ZMD_Node n;
    if (!out || !ZMD_GetNode(image, index, &n)) {
        return ZMD_ERROR;
    }
    const uint32_t kind = ZMD_NodeKindOf(n.w0);
    *out = ZMD_TreeNodeInfo{
        index, kind, ZMD_TEST_NONE, ZMD_NodeHigh(n.w1), false, 0, ZMD_NodeOperand(n.w0), ZMD_NodeLow(n.w1), false, 0};
    if (ZMD_IsValueKind(kind)) {
        out->setting = 0;
        out->first = 0;
        out->count = 0;
        out->isValue = true;
        out->key = ZMD_NodeHigh(n.w1);
        return ZMD_OK;
    }
    switch (kind) {
    case ZMD_KIND_LIST:
    case ZMD_KIND_WHEN:
    case ZMD_KIND_CASE_EQUAL:
    case ZMD_KIND_CASE_DEFAULT:
        // Plain sequences as nodes; what a WHEN or a case compares is read
        // by the node above it.
        out->setting = 0;
        return ZMD_OK;
    case ZMD_KIND_SWITCH:
        out->test = ZMD_TEST_SWITCH;
        return ZMD_OK;
    case ZMD_KIND_SELECT_INT:
        out->test = ZMD_TEST_INT;
        return ZMD_OK;
    case ZMD_KIND_SELECT_MASKED: {
        ZMD_Node mask;
        if (!ZMD_GetNode(image, out->first, &mask) || ZMD_NodeKindOf(mask.w0) != ZMD_KIND_MASK) {
            return ZMD_ERROR;
        }
        out->test = ZMD_TEST_INT;
        out->masked = true;
        out->mask = mask.w1;
        out->first = ZMD_NodeOperand(mask.w0);
        return ZMD_OK;
    }
    case ZMD_KIND_SELECT_STRING:
        out->test = ZMD_TEST_STRING;
        return ZMD_OK;
    case ZMD_KIND_SELECT_PRINTER_DATA:
        out->test = ZMD_TEST_PRINTER_DATA;
        return ZMD_OK;
    case ZMD_KIND_SELECT_COUNTRY:
        out->test = ZMD_TEST_COUNTRY;
        return ZMD_OK;
    default:
        // CASE_STRING, MASK and CASE_RANGE are only read by their selectors;
        // kind 0 and kinds above 21 do not exist.
        return ZMD_ERROR;
    }
}

int32_t ZMD_DescribeBranch(const ZMD_ImageView *image, const ZMD_TreeNodeInfo *node, uint32_t j, ZMD_TreeBranch *out)
{
    ZMD_Node c;
    if (!node || !out || j >= node->count || !ZMD_GetNode(image, static_cast<uint64_t>(node->first) + j, &c)) {
        return ZMD_ERROR;
    }
    *out = ZMD_TreeBranch{ZMD_NodeKindOf(c.w0), true, node->first + j, 0, 0, nullptr, 0};
    switch (node->test) {
    case ZMD_TEST_NONE:
        out->tested = false;
        return ZMD_OK;
    case ZMD_TEST_SWITCH:
        if (out->kind == ZMD_KIND_WHEN) {
            out->low = out->high = static_cast<int32_t>(ZMD_NodeHigh(c.w1));
        } else {
            out->tested = false;
        }
        return ZMD_OK;
    default:
        return DescribeCase(image, node->test == ZMD_TEST_STRING, c, out);
    }
}

int32_t ZMD_VisitTree(const ZMD_ImageView *image, uint32_t top, const ZMD_TreeVisitor *visitor)
{
    if (!image || !visitor) {
        return ZMD_ERROR;
    }
    return Visit(image, top, *visitor, 0);
}
