// Decoding and walking rule trees for tools that list every way through a
// tree. Nodes and cases decode through the image format (image_format.h), as
// in the evaluator, with the same depth limit against cycles.
#include "tree_walk.h"

#include "depbase.h"
#include "image_format.h"

namespace {

// A case of an integer or string selector, decoded as the evaluator decodes
// it; the walk also needs its target to be a node.
int32_t DescribeCase(const ZMD_ImageView *image, bool strings, ZMD_Node c, ZMD_TreeBranch *out)
{
    ZMD_Case decoded;
    ZMD_Node target;
    if (!ZMD_GetNode(image, ZMD_NodeOperand(c.w0), &target) || ZMD_DecodeCase(image, c, strings, &decoded) != ZMD_OK) {
        return ZMD_ERROR;
    }
    out->target = decoded.target;
    if (decoded.kind != ZMD_KIND_CASE_DEFAULT) {
        out->low = decoded.low;
        out->high = decoded.high;
        out->text = decoded.text;
        out->length = decoded.length;
    }
    return ZMD_OK;
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
