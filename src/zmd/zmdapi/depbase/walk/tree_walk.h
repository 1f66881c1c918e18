// Walking a rule tree without evaluating it: every node decoded and checked
// as the evaluator decodes and checks it, for tools that list the ways
// through a tree (the key catalogue) rather than take one of them.
#ifndef ZMD_TREE_WALK_H
#define ZMD_TREE_WALK_H

#include "env.h"

// What a node tests before its branches are taken.
enum ZMD_TreeTest : uint32_t {
    ZMD_TEST_NONE = 0,         // a value node, or a sequence (LIST, WHEN, CASE_EQUAL, CASE_DEFAULT)
    ZMD_TEST_SWITCH = 1,       // SWITCH: WHEN children compare integer setting `setting`
    ZMD_TEST_INT = 2,          // SELECT_INT and SELECT_MASKED on integer setting `setting`
    ZMD_TEST_STRING = 3,       // SELECT_STRING on string setting `setting`
    ZMD_TEST_PRINTER_DATA = 4, // SELECT_PRINTER_DATA: the value named by selector `setting`
    ZMD_TEST_COUNTRY = 5,      // SELECT_COUNTRY with selector `setting`
};

struct ZMD_TreeNodeInfo {
    uint32_t index;   // the node
    uint32_t kind;    // ZMD_NodeKind
    uint32_t test;    // ZMD_TreeTest
    uint32_t setting; // setting index, printer-data selector or country selector
    bool masked;      // SELECT_MASKED: the setting is ANDed with `mask`
    uint32_t mask;
    uint32_t first; // first child or case
    uint32_t count; // children or cases; 0 for a value node
    bool isValue;   // a stored or computed value
    uint32_t key;   // value nodes: the key the value is for
};

// A child or case of a node. A child of a sequence, and a child of a SWITCH
// that is no WHEN, is untested and leads to itself.
struct ZMD_TreeBranch {
    uint32_t kind;   // the child's kind: CASE_EQUAL, CASE_RANGE, CASE_STRING, CASE_DEFAULT, WHEN, ...
    bool tested;     // false for a branch that is always taken
    uint32_t target; // the node the branch leads to (a WHEN leads to itself)
    int32_t low;     // CASE_EQUAL and WHEN: the value; CASE_RANGE: the bounds
    int32_t high;
    const char *text; // CASE_STRING: the compared characters in the case-string pool
    uint32_t length;
};

// Decodes node `index`. ZMD_ERROR for an index not below the node count, a
// kind that is not evaluated as a node, or a SELECT_MASKED without its MASK.
int32_t ZMD_DescribeNode(const ZMD_ImageView *image, uint32_t index, ZMD_TreeNodeInfo *out);

// Decodes branch j (below node->count) of a described node. ZMD_ERROR for a
// branch index or target not below the node count, a case of the wrong kind
// for its selector, or a range or case string outside its pool.
int32_t ZMD_DescribeBranch(const ZMD_ImageView *image, const ZMD_TreeNodeInfo *node, uint32_t j, ZMD_TreeBranch *out);

// What the visitor does with a branch of a tested node.
enum ZMD_TreeStep : int32_t {
    ZMD_STEP_PASS = 0,        // pass over it, go on with the next branch
    ZMD_STEP_FOLLOW = 1,      // walk its target, then go on with the next branch
    ZMD_STEP_FOLLOW_LAST = 2, // walk its target, then leave the node
    ZMD_STEP_END = 3,         // leave the node without walking the branch
};

// Callbacks of ZMD_VisitTree; a null callback continues everywhere (node),
// follows every branch (branch) or does nothing (leave).
struct ZMD_TreeVisitor {
    void *ctx;
    // Every node reached, decoded; false: do not look below it.
    bool (*node)(void *ctx, const ZMD_TreeNodeInfo *node, unsigned depth);
    // Branch j of a tested node (test != ZMD_TEST_NONE): a ZMD_TreeStep.
    int32_t (*branch)(void *ctx, const ZMD_TreeNodeInfo *node, uint32_t j, const ZMD_TreeBranch *branch,
                      unsigned depth);
    // After the walk of the target of a tested node's followed branch.
    void (*leave)(void *ctx, const ZMD_TreeNodeInfo *node, uint32_t j, unsigned depth);
};

// Walks the tree below node `top` (depth 0): every child of a sequence, and
// the branches of a tested node that the visitor follows, each one depth
// further down. ZMD_OK, or ZMD_ERROR at the first node or branch that fails
// to decode and at a depth beyond the evaluator's limit (a cycle); the walk
// stops there.
int32_t ZMD_VisitTree(const ZMD_ImageView *image, uint32_t top, const ZMD_TreeVisitor *visitor);

#endif // ZMD_TREE_WALK_H
