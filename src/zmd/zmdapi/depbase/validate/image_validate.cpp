// Validating an image (see image_validate.h). The messages name the node,
// table or rule at fault; dbc prints them as they are.
#include "image_validate.h"

#include "depbase.h"
#include "image_format.h"
#include "key_index_validate.h"
#include "validate_fault.h"

namespace {

using Checker = ZMD_ValidateState;

bool IsIntCase(uint32_t k)
{
    return k == ZMD_KIND_CASE_EQUAL || k == ZMD_KIND_CASE_DEFAULT || k == ZMD_KIND_CASE_RANGE;
}

bool IsStringCase(uint32_t k)
{
    return k == ZMD_KIND_CASE_STRING || k == ZMD_KIND_CASE_DEFAULT;
}

void CheckRun(Checker *c, uint32_t i, uint32_t start, uint32_t count, const char *what)
{
    const uint32_t n = c->v.counts.nodes;
    if (count != 0 && (start >= n || count > n - start)) {
        ZMD_ValidateFault(c, "node %u: %s %u..%u lie beyond the node table", i, what, start, start + count - 1);
    }
}

void CheckEvaluable(Checker *c, uint32_t from, uint32_t to, const char *role)
{
    if (to >= c->v.counts.nodes) {
        return;
    }
    const uint32_t k = ZMD_NodeKindOf(c->v.nodes[to].w0);
    if (!ZMD_IsEvaluableKind(k)) {
        ZMD_ValidateFault(c, "node %u: %s node %u is of kind %u, which cannot be evaluated as a node", from, role, to,
                          k);
    }
}

void CheckCases(Checker *c, uint32_t i, uint32_t start, uint32_t count, bool strings)
{
    CheckRun(c, i, start, count, "cases");
    const uint32_t n = c->v.counts.nodes;
    for (uint32_t j = 0; j < count && start + j < n; ++j) {
        const uint32_t k = ZMD_NodeKindOf(c->v.nodes[start + j].w0);
        if (strings ? !IsStringCase(k) : !IsIntCase(k)) {
            ZMD_ValidateFault(c, "node %u: case node %u is of kind %u%s", i, start + j, k,
                              strings ? ", not CASE_STRING or CASE_DEFAULT"
                                      : ", not CASE_EQUAL, CASE_RANGE or CASE_DEFAULT");
        }
    }
}

void CheckPool(Checker *c, uint32_t i, const void *base, uint32_t size, uint32_t offset, uint32_t count,
               const char *pool)
{
    if (!base || static_cast<uint64_t>(offset) + count > size) {
        ZMD_ValidateFault(c, "node %u: value %u+%u lies beyond the %s", i, offset, count, pool);
    }
}

void CheckNode(Checker *c, uint32_t i, bool caseString)
{
    const ZMD_ImageView &v = c->v;
    const uint32_t w0 = v.nodes[i].w0, w1 = v.nodes[i].w1;
    const uint32_t k = ZMD_NodeKindOf(w0), op = ZMD_NodeOperand(w0), hi = ZMD_NodeHigh(w1), lo = ZMD_NodeLow(w1);
    const uint32_t n = v.counts.nodes;
    switch (k) {
    case ZMD_KIND_BYTES:
        if (caseString) {
            CheckPool(c, i, v.caseStringPool, v.counts.caseStringPool, op, lo, "case-string pool");
            if (hi != 0) {
                ZMD_ValidateFault(c, "node %u: a case string must carry key 0", i);
            }
        } else {
            CheckPool(c, i, v.bytePool, v.counts.bytePool, op, lo, "byte pool");
        }
        break;
    case ZMD_KIND_INT8_ARRAY:
    case ZMD_KIND_UINT8_ARRAY:
        CheckPool(c, i, v.bytePool, v.counts.bytePool, op, lo, "byte pool");
        break;
    case ZMD_KIND_TEXT:
        CheckPool(c, i, v.bytePool, v.counts.bytePool, op, lo, "byte pool");
        if (lo == 0 ||
            (v.bytePool && static_cast<uint64_t>(op) + lo <= v.counts.bytePool && v.bytePool[op + lo - 1] != 0)) {
            ZMD_ValidateFault(c, "node %u: a text must end in its NUL", i);
        }
        break;
    case ZMD_KIND_INT32_ARRAY:
        CheckPool(c, i, v.int32Pool, v.counts.int32Pool, op, lo, "int32 pool");
        break;
    case ZMD_KIND_INT16_ARRAY:
    case ZMD_KIND_UINT16_ARRAY:
        CheckPool(c, i, v.int16Pool, v.counts.int16Pool, op, lo, "int16 pool");
        break;
    case ZMD_KIND_COMPUTED:
        if (lo < 1 || lo > 7) {
            ZMD_ValidateFault(c, "node %u: computed type %u is not served", i, lo);
        }
        break;
    case ZMD_KIND_LIST:
    case ZMD_KIND_SWITCH:
    case ZMD_KIND_WHEN:
        CheckRun(c, i, op, lo, "children");
        for (uint32_t j = 0; j < lo && op + j < n; ++j) {
            CheckEvaluable(c, i, op + j, "child");
        }
        break;
    case ZMD_KIND_SELECT_INT:
    case ZMD_KIND_SELECT_PRINTER_DATA:
        CheckCases(c, i, op, lo, false);
        break;
    case ZMD_KIND_SELECT_COUNTRY:
        if (hi != ZMD_COUNTRY_SELECTOR) {
            ZMD_ValidateFault(c, "node %u: select_country needs the selector 0x500F", i);
        }
        CheckCases(c, i, op, lo, false);
        break;
    case ZMD_KIND_SELECT_STRING:
        CheckCases(c, i, op, lo, true);
        break;
    case ZMD_KIND_SELECT_MASKED:
        if (op >= n || ZMD_NodeKindOf(v.nodes[op].w0) != ZMD_KIND_MASK) {
            ZMD_ValidateFault(c, "node %u: select_masked must point at a MASK node", i);
            break;
        }
        CheckCases(c, i, ZMD_NodeOperand(v.nodes[op].w0), lo, false);
        break;
    case ZMD_KIND_CASE_EQUAL:
    case ZMD_KIND_CASE_DEFAULT:
        if (op >= n) {
            ZMD_ValidateFault(c, "node %u: target beyond the node table", i);
        }
        CheckEvaluable(c, i, op, "target");
        break;
    case ZMD_KIND_CASE_RANGE:
        if (op >= n) {
            ZMD_ValidateFault(c, "node %u: target beyond the node table", i);
        }
        CheckEvaluable(c, i, op, "target");
        if (!v.int32Pool || static_cast<uint64_t>(w1) + 1 >= v.counts.int32Pool) {
            ZMD_ValidateFault(c, "node %u: range pair %u lies beyond the int32 pool", i, w1);
        }
        break;
    case ZMD_KIND_CASE_STRING:
        if (op >= n) {
            ZMD_ValidateFault(c, "node %u: target beyond the node table", i);
        }
        CheckEvaluable(c, i, op, "target");
        if (w1 >= n || ZMD_NodeKindOf(v.nodes[w1].w0) != ZMD_KIND_BYTES) {
            ZMD_ValidateFault(c, "node %u: case string must point at a BYTES node", i);
        }
        break;
    case ZMD_KIND_MASK:
        break;
    default:
        ZMD_ValidateFault(c, "node %u: invalid node kind %u", i, k);
        break;
    }
}

// The successors of node i for the cycle search, in order: edge e of
// EdgeCount(v, i) edges.
struct Edges {
    uint32_t count;
    uint32_t first; // a run of successors first, first + 1, ...
    uint32_t extra; // one successor before the run (masked: the MASK; case: the target)
    bool hasExtra;
    uint32_t last; // one successor after it (CASE_STRING: the string)
    bool hasLast;
};

Edges EdgesOf(const ZMD_ImageView &v, uint32_t i)
{
    const uint32_t w0 = v.nodes[i].w0, w1 = v.nodes[i].w1, n = v.counts.nodes;
    const uint32_t k = ZMD_NodeKindOf(w0), op = ZMD_NodeOperand(w0), lo = ZMD_NodeLow(w1);
    Edges e{0, 0, 0, false, 0, false};
    const auto run = [&](uint32_t start, uint32_t count) {
        e.first = start;
        e.count = start < n ? (count < n - start ? count : n - start) : 0;
    };
    switch (k) {
    case ZMD_KIND_LIST:
    case ZMD_KIND_SWITCH:
    case ZMD_KIND_WHEN:
    case ZMD_KIND_SELECT_INT:
    case ZMD_KIND_SELECT_STRING:
    case ZMD_KIND_SELECT_PRINTER_DATA:
    case ZMD_KIND_SELECT_COUNTRY:
        run(op, lo);
        break;
    case ZMD_KIND_SELECT_MASKED:
        if (op < n) {
            e.extra = op;
            e.hasExtra = true;
            run(ZMD_NodeOperand(v.nodes[op].w0), lo);
        }
        break;
    case ZMD_KIND_CASE_EQUAL:
    case ZMD_KIND_CASE_DEFAULT:
    case ZMD_KIND_CASE_RANGE:
        e.extra = op;
        e.hasExtra = op < n;
        break;
    case ZMD_KIND_CASE_STRING:
        e.extra = op;
        e.hasExtra = op < n;
        e.last = w1;
        e.hasLast = w1 < n;
        break;
    default:
        break;
    }
    return e;
}

uint32_t EdgeTotal(const Edges &e)
{
    return (e.hasExtra ? 1u : 0u) + e.count + (e.hasLast ? 1u : 0u);
}

uint32_t EdgeAt(const Edges &e, uint32_t at)
{
    if (e.hasExtra) {
        if (at == 0) {
            return e.extra;
        }
        --at;
    }
    return at < e.count ? e.first + at : e.last;
}

// A depth-first search from every node; the successors of a node are taken
// last first. Reports the first cycle found and stops.
bool CheckAcyclic(Checker *c, const ZMD_Platform *platform)
{
    const ZMD_ImageView &v = c->v;
    const uint32_t n = v.counts.nodes;
    uint8_t *state = static_cast<uint8_t *>(platform->alloc(platform->ctx, n));
    uint32_t *stack = static_cast<uint32_t *>(platform->alloc(platform->ctx, sizeof(uint32_t) * n));
    uint32_t *left = static_cast<uint32_t *>(platform->alloc(platform->ctx, sizeof(uint32_t) * n));
    const bool memory = state && stack && left;
    for (uint32_t s = 0; memory && s < n; ++s) {
        if (state[s]) {
            continue;
        }
        uint32_t depth = 0;
        stack[depth] = s;
        left[depth++] = EdgeTotal(EdgesOf(v, s));
        state[s] = 1;
        while (depth > 0) {
            const uint32_t top = stack[depth - 1];
            if (left[depth - 1] == 0) {
                state[top] = 2;
                --depth;
                continue;
            }
            const uint32_t m = EdgeAt(EdgesOf(v, top), --left[depth - 1]);
            if (state[m] == 1) {
                ZMD_ValidateFault(c, "node %u: cycle through node %u", top, m);
                s = n;
                break;
            }
            if (state[m] == 2) {
                continue;
            }
            state[m] = 1;
            stack[depth] = m;
            left[depth++] = EdgeTotal(EdgesOf(v, m));
        }
    }
    platform->free(platform->ctx, state);
    platform->free(platform->ctx, stack);
    platform->free(platform->ctx, left);
    return memory;
}

// The tree of the value-name key is evaluated to name the value a
// SELECT_PRINTER_DATA reads; a SELECT_PRINTER_DATA inside it would need that
// name again, without end. Each reachable node is looked at once.
bool CheckValueNameTree(Checker *c, const ZMD_Platform *platform)
{
    const ZMD_ImageView &v = c->v;
    uint32_t top = v.counts.nodes;
    for (uint32_t i = 0; i < v.counts.keys; ++i) {
        if (v.keys[i] == ZMD_VALUE_NAME_KEY) {
            top = v.keyNodes[i];
        }
    }
    if (top >= v.counts.nodes) {
        return true;
    }
    const uint32_t n = v.counts.nodes;
    uint8_t *seen = static_cast<uint8_t *>(platform->alloc(platform->ctx, n));
    uint32_t *stack = static_cast<uint32_t *>(platform->alloc(platform->ctx, sizeof(uint32_t) * n));
    const bool memory = seen && stack;
    uint32_t depth = 0;
    if (memory) {
        stack[depth++] = top;
        seen[top] = 1;
    }
    while (depth > 0) {
        const uint32_t at = stack[--depth];
        if (ZMD_NodeKindOf(v.nodes[at].w0) == ZMD_KIND_SELECT_PRINTER_DATA) {
            ZMD_ValidateFault(c, "node %u: the value-name key %u reads printer data, whose name it gives", at,
                              ZMD_VALUE_NAME_KEY);
            break;
        }
        const Edges e = EdgesOf(v, at);
        for (uint32_t k = 0; k < EdgeTotal(e); ++k) {
            const uint32_t m = EdgeAt(e, k);
            if (!seen[m]) {
                seen[m] = 1;
                stack[depth++] = m;
            }
        }
    }
    platform->free(platform->ctx, seen);
    platform->free(platform->ctx, stack);
    return memory;
}

void CheckRules(Checker *c)
{
    const ZMD_ImageView &v = c->v;
    if (v.counts.queryRules && !v.queryRules) {
        ZMD_ValidateFault(c, "query rule table missing");
        return;
    }
    for (uint32_t i = 0; i < v.counts.queryRules; ++i) {
        const ZMD_QueryRule &r = v.queryRules[i];
        for (uint32_t j = 0; j < i; ++j) {
            if (v.queryRules[j].key == r.key) {
                ZMD_ValidateFault(c, "query rule %u: key %u has a rule before", i, r.key);
                break;
            }
        }
        const uint32_t faults = ZMD_QueryRuleFaults(&r);
        if (faults & ZMD_RULE_UNKNOWN_FORM) {
            ZMD_ValidateFault(c, "query rule %u: unknown form %u", i, r.form);
        }
        if (faults & ZMD_RULE_UNKNOWN_FLAGS) {
            ZMD_ValidateFault(c, "query rule %u: unknown flags %u", i, r.flags);
        }
        if (faults & ZMD_RULE_SECOND_KEY_ALONE) {
            ZMD_ValidateFault(c, "query rule %u: second per-choice key without a first", i);
        }
        for (uint32_t f = 0; f < 2; ++f) {
            if (faults & (f == 0 ? ZMD_RULE_BAD_FIELD_0 : ZMD_RULE_BAD_FIELD_1)) {
                ZMD_ValidateFault(c, "query rule %u: per-choice key fills item word %u", i, r.choiceFields[f]);
            }
        }
    }
}

void CheckTables(Checker *c)
{
    const ZMD_ImageView &v = c->v;
    const ZMD_ImageCounts &n = v.counts;
    if (n.seqKeys && (!v.seqKeys || !v.seqPartCounts || !v.seqStarts)) {
        ZMD_ValidateFault(c, "sequence table: missing array");
    }
    if (n.seqParts && !v.seqParts) {
        ZMD_ValidateFault(c, "sequence table: missing parts");
    }
    for (uint32_t i = 0; i < n.seqKeys && v.seqKeys && v.seqPartCounts && v.seqStarts; ++i) {
        if (static_cast<uint64_t>(v.seqStarts[i]) + v.seqPartCounts[i] > n.seqParts) {
            ZMD_ValidateFault(c, "sequence %u: parts beyond the part table", i);
        }
    }
    for (uint32_t i = 0; i < n.seqParts && v.seqParts; ++i) {
        if (v.seqParts[i] >= n.nodes) {
            ZMD_ValidateFault(c, "sequence part %u: node beyond the node table", i);
        } else if (!ZMD_IsEvaluableKind(ZMD_NodeKindOf(v.nodes[v.seqParts[i]].w0))) {
            ZMD_ValidateFault(c, "sequence part %u: its node cannot be evaluated", i);
        }
    }
    if (n.lists && (!v.listNumbers || !v.listLengths || !v.listStarts)) {
        ZMD_ValidateFault(c, "list catalogue: missing array");
    }
    if (n.listEntries && (!v.listIds || !v.listNameIds)) {
        ZMD_ValidateFault(c, "list catalogue: missing pool");
    }
    for (uint32_t i = 0; i < n.lists && v.listLengths && v.listStarts; ++i) {
        if (static_cast<uint64_t>(v.listStarts[i]) + v.listLengths[i] > n.listEntries) {
            ZMD_ValidateFault(c, "list %u: entries beyond the pool", i);
        }
    }
    const uint8_t *blocks[4] = {v.blocksA, v.blocksB, v.blocksC, v.blocksD};
    const uint32_t blockCounts[4] = {n.blocksA, n.blocksB, n.blocksC, n.blocksD};
    for (int t = 0; t < 4; ++t) {
        if (blockCounts[t] && !blocks[t]) {
            ZMD_ValidateFault(c, "block table %c missing", 'A' + t);
        }
    }
    if (n.selectionRows && !v.selectionRows) {
        ZMD_ValidateFault(c, "selection table missing");
    }
    for (uint32_t r = 0; r < n.selectionRows && v.selectionRows; ++r) {
        for (int t = 0; t < 4; ++t) {
            const int16_t b = v.selectionRows[r].block[t];
            if (b < 0 || static_cast<uint32_t>(b) >= blockCounts[t]) {
                ZMD_ValidateFault(c, "selection row %u: block %c %d does not exist", r, 'A' + t, b);
            }
        }
    }
    CheckRules(c);
}

// Marks the nodes that CASE_STRING nodes name as their strings.
uint8_t *CaseStrings(const ZMD_ImageView &v, const ZMD_Platform *platform)
{
    uint8_t *marks = static_cast<uint8_t *>(platform->alloc(platform->ctx, v.counts.nodes));
    for (uint32_t i = 0; marks && i < v.counts.nodes; ++i) {
        if (ZMD_NodeKindOf(v.nodes[i].w0) == ZMD_KIND_CASE_STRING && v.nodes[i].w1 < v.counts.nodes) {
            marks[v.nodes[i].w1] = 1;
        }
    }
    return marks;
}

} // namespace

int32_t ZMD_ValidateImage(const ZMD_ImageView *image, const ZMD_Platform *platform, ZMD_ImageFaultFn report, void *ctx)
{
    if (!image || !platform) {
        return ZMD_ERROR;
    }
    Checker c{*image, report, ctx, true};
    const ZMD_ImageView &view = *image;
    const ZMD_ImageCounts &n = view.counts;
    if (!view.nodes || n.nodes == 0) {
        ZMD_ValidateFault(&c, "the node table is missing");
    }
    if (!view.keys || !view.keyNodes || n.keys == 0) {
        ZMD_ValidateFault(&c, "the key table is missing or empty");
    }
    if (!c.ok) {
        return ZMD_ERROR;
    }
    for (uint32_t i = 0; i < n.keys; ++i) {
        if (i > 0 && view.keys[i] <= view.keys[i - 1]) {
            ZMD_ValidateFault(&c, "key table: key %u at %u is not above the key before it", view.keys[i], i);
        }
        if (view.keyNodes[i] >= n.nodes) {
            ZMD_ValidateFault(&c, "key table: node of key %u beyond the node table", view.keys[i]);
        } else if (!ZMD_IsEvaluableKind(ZMD_NodeKindOf(view.nodes[view.keyNodes[i]].w0))) {
            ZMD_ValidateFault(&c, "key table: top node of key %u cannot be evaluated", view.keys[i]);
        }
    }
    uint8_t *caseStrings = CaseStrings(view, platform);
    if (!caseStrings) {
        ZMD_ValidateFault(&c, "out of memory");
        return ZMD_ERROR;
    }
    for (uint32_t i = 0; i < n.nodes; ++i) {
        CheckNode(&c, i, caseStrings[i] != 0);
    }
    platform->free(platform->ctx, caseStrings);
    if (!CheckAcyclic(&c, platform) || !CheckValueNameTree(&c, platform)) {
        ZMD_ValidateFault(&c, "out of memory");
        return ZMD_ERROR;
    }
    CheckTables(&c);
    if (!ZMD_CheckKeyIndex(image, ZMD_INDEX_KEYS | ZMD_INDEX_RULES, report, ctx)) {
        c.ok = false;
    }
    return c.ok ? ZMD_OK : ZMD_ERROR;
}

int32_t ZMD_ValidateQueryRules(const ZMD_ImageView *image, ZMD_ImageFaultFn report, void *ctx)
{
    if (!image) {
        return ZMD_ERROR;
    }
    Checker c{*image, report, ctx, true};
    CheckRules(&c);
    if (!ZMD_CheckKeyIndex(image, ZMD_INDEX_RULES, report, ctx)) {
        c.ok = false;
    }
    return c.ok ? ZMD_OK : ZMD_ERROR;
}
