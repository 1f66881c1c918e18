// Checks an image view against the invariants the engine relies on. Used on
// every freshly compiled image, on the image linked into the tools, and by
// tests on synthetic images.
#include <set>

#include "dbc.h"

namespace {

struct Checker {
    const ZMD_ImageView &v;
    std::string *out;
    bool ok;
};

void Fault(Checker *c, const std::string &message)
{
    c->ok = false;
    if (c->out) {
        *c->out += message + "\n";
    }
}

std::string At(uint32_t i)
{
    return "node " + std::to_string(i) + ": ";
}

bool IsIntCase(uint32_t k)
{
    return k == ZMD_KIND_CASE_EQUAL || k == ZMD_KIND_CASE_DEFAULT || k == ZMD_KIND_CASE_RANGE;
}

bool IsStringCase(uint32_t k)
{
    return k == ZMD_KIND_CASE_STRING || k == ZMD_KIND_CASE_DEFAULT;
}

// Kinds that the engine refuses to evaluate as a node.
bool NotEvaluable(uint32_t k)
{
    return k == 0 || k > ZMD_KIND_CASE_RANGE || k == ZMD_KIND_CASE_STRING || k == ZMD_KIND_MASK ||
           k == ZMD_KIND_CASE_RANGE;
}

void CheckRun(Checker *c, uint32_t i, uint32_t start, uint32_t count, const char *what)
{
    uint32_t n = c->v.counts.nodes;
    if (count != 0 && (start >= n || count > n - start)) {
        Fault(c, At(i) + what + " " + std::to_string(start) + ".." + std::to_string(start + count - 1) +
                     " lie beyond the node table");
    }
}

void CheckEvaluable(Checker *c, uint32_t from, uint32_t to, const char *role)
{
    if (to >= c->v.counts.nodes) {
        return;
    }
    uint32_t k = ZMD_NodeKindOf(c->v.nodes[to].w0);
    if (NotEvaluable(k)) {
        Fault(c, At(from) + role + " node " + std::to_string(to) + " is of kind " + std::to_string(k) +
                     ", which cannot be evaluated as a node");
    }
}

void CheckCases(Checker *c, uint32_t i, uint32_t start, uint32_t count, bool strings)
{
    CheckRun(c, i, start, count, "cases");
    uint32_t n = c->v.counts.nodes;
    for (uint32_t j = 0; j < count && start + j < n; ++j) {
        uint32_t k = ZMD_NodeKindOf(c->v.nodes[start + j].w0);
        if (strings ? !IsStringCase(k) : !IsIntCase(k)) {
            Fault(c,
                  At(i) + "case node " + std::to_string(start + j) + " is of kind " + std::to_string(k) +
                      (strings ? ", not CASE_STRING or CASE_DEFAULT" : ", not CASE_EQUAL, CASE_RANGE or CASE_DEFAULT"));
        }
    }
}

void CheckPool(Checker *c, uint32_t i, const void *base, uint32_t size, uint32_t offset, uint32_t count,
               const char *pool)
{
    if (!base || static_cast<uint64_t>(offset) + count > size) {
        Fault(c, At(i) + "value " + std::to_string(offset) + "+" + std::to_string(count) + " lies beyond the " + pool);
    }
}

void CheckNode(Checker *c, uint32_t i, const std::set<uint32_t> &caseStrings)
{
    const ZMD_ImageView &v = c->v;
    uint32_t w0 = v.nodes[i].w0, w1 = v.nodes[i].w1;
    uint32_t k = ZMD_NodeKindOf(w0), op = ZMD_NodeOperand(w0), hi = ZMD_NodeHigh(w1), lo = ZMD_NodeLow(w1);
    uint32_t n = v.counts.nodes;
    switch (k) {
    case ZMD_KIND_BYTES:
        if (caseStrings.count(i)) {
            CheckPool(c, i, v.caseStringPool, v.counts.caseStringPool, op, lo, "case-string pool");
            if (hi != 0) {
                Fault(c, At(i) + "a case string must carry key 0");
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
            Fault(c, At(i) + "a text must end in its NUL");
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
            Fault(c, At(i) + "computed type " + std::to_string(lo) + " is not served");
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
        if (hi != 0x500F) {
            Fault(c, At(i) + "select_country needs the selector 0x500F");
        }
        CheckCases(c, i, op, lo, false);
        break;
    case ZMD_KIND_SELECT_STRING:
        CheckCases(c, i, op, lo, true);
        break;
    case ZMD_KIND_SELECT_MASKED:
        if (op >= n || ZMD_NodeKindOf(v.nodes[op].w0) != ZMD_KIND_MASK) {
            Fault(c, At(i) + "select_masked must point at a MASK node");
            break;
        }
        CheckCases(c, i, ZMD_NodeOperand(v.nodes[op].w0), lo, false);
        break;
    case ZMD_KIND_CASE_EQUAL:
    case ZMD_KIND_CASE_DEFAULT:
        if (op >= n) {
            Fault(c, At(i) + "target beyond the node table");
        }
        CheckEvaluable(c, i, op, "target");
        break;
    case ZMD_KIND_CASE_RANGE:
        if (op >= n) {
            Fault(c, At(i) + "target beyond the node table");
        }
        CheckEvaluable(c, i, op, "target");
        if (!v.int32Pool || static_cast<uint64_t>(w1) + 1 >= v.counts.int32Pool) {
            Fault(c, At(i) + "range pair " + std::to_string(w1) + " lies beyond the int32 pool");
        }
        break;
    case ZMD_KIND_CASE_STRING:
        if (op >= n) {
            Fault(c, At(i) + "target beyond the node table");
        }
        CheckEvaluable(c, i, op, "target");
        if (w1 >= n || ZMD_NodeKindOf(v.nodes[w1].w0) != ZMD_KIND_BYTES) {
            Fault(c, At(i) + "case string must point at a BYTES node");
        }
        break;
    case ZMD_KIND_MASK:
        break;
    default:
        Fault(c, At(i) + "invalid node kind " + std::to_string(k));
        break;
    }
}

// Successors of a node for the cycle search.
void Edges(const ZMD_ImageView &v, uint32_t i, std::vector<uint32_t> *out)
{
    uint32_t w0 = v.nodes[i].w0, w1 = v.nodes[i].w1, n = v.counts.nodes;
    uint32_t k = ZMD_NodeKindOf(w0), op = ZMD_NodeOperand(w0), lo = ZMD_NodeLow(w1);
    auto run = [&](uint32_t start, uint32_t count) {
        for (uint32_t j = 0; j < count && start + j < n; ++j) {
            out->push_back(start + j);
        }
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
            out->push_back(op);
            run(ZMD_NodeOperand(v.nodes[op].w0), lo);
        }
        break;
    case ZMD_KIND_CASE_EQUAL:
    case ZMD_KIND_CASE_DEFAULT:
    case ZMD_KIND_CASE_RANGE:
        if (op < n) {
            out->push_back(op);
        }
        break;
    case ZMD_KIND_CASE_STRING:
        if (op < n) {
            out->push_back(op);
        }
        if (w1 < n) {
            out->push_back(w1);
        }
        break;
    default:
        break;
    }
}

void CheckAcyclic(Checker *c)
{
    const ZMD_ImageView &v = c->v;
    std::vector<uint8_t> state(v.counts.nodes, 0);
    for (uint32_t s = 0; s < v.counts.nodes; ++s) {
        if (state[s]) {
            continue;
        }
        std::vector<std::pair<uint32_t, std::vector<uint32_t>>> stack;
        stack.push_back({s, {}});
        Edges(v, s, &stack.back().second);
        state[s] = 1;
        while (!stack.empty()) {
            auto &top = stack.back();
            if (top.second.empty()) {
                state[top.first] = 2;
                stack.pop_back();
                continue;
            }
            uint32_t m = top.second.back();
            top.second.pop_back();
            if (state[m] == 1) {
                Fault(c, At(top.first) + "cycle through node " + std::to_string(m));
                return;
            }
            if (state[m] == 2) {
                continue;
            }
            state[m] = 1;
            std::vector<uint32_t> e;
            Edges(v, m, &e);
            stack.push_back({m, e});
        }
    }
}

// The query rules as the driver reads them: known forms and flags,
// per-choice keys in order, each filling a word of the item, one rule a key.
void CheckRules(Checker *c)
{
    const ZMD_ImageView &v = c->v;
    if (v.counts.queryRules && !v.queryRules) {
        Fault(c, "query rule table missing");
        return;
    }
    std::set<uint32_t> keys;
    for (uint32_t i = 0; i < v.counts.queryRules; ++i) {
        const ZMD_QueryRule &r = v.queryRules[i];
        const std::string at = "query rule " + std::to_string(i) + ": ";
        if (!keys.insert(r.key).second) {
            Fault(c, at + "key " + std::to_string(r.key) + " has a rule before");
        }
        if (r.form < ZMD_QUERY_LIST || r.form > ZMD_QUERY_PARAMETER_SET) {
            Fault(c, at + "unknown form " + std::to_string(r.form));
        }
        if ((r.flags & ~uint32_t{ZMD_QUERY_DEFAULT_REQUIRED}) != 0) {
            Fault(c, at + "unknown flags " + std::to_string(r.flags));
        }
        if (r.choiceKeys[0] == 0 && r.choiceKeys[1] != 0) {
            Fault(c, at + "second per-choice key without a first");
        }
        for (int f = 0; f < 2; ++f) {
            if (r.choiceKeys[f] != 0 && (r.choiceFields[f] < 1 || r.choiceFields[f] > 3)) {
                Fault(c, at + "per-choice key fills item word " + std::to_string(r.choiceFields[f]));
            }
        }
    }
}

void CheckTables(Checker *c)
{
    const ZMD_ImageView &v = c->v;
    const ZMD_ImageCounts &n = v.counts;
    if (n.seqKeys && (!v.seqKeys || !v.seqPartCounts || !v.seqStarts)) {
        Fault(c, "sequence table: missing array");
    }
    if (n.seqParts && !v.seqParts) {
        Fault(c, "sequence table: missing parts");
    }
    for (uint32_t i = 0; i < n.seqKeys && v.seqKeys && v.seqPartCounts && v.seqStarts; ++i) {
        if (static_cast<uint64_t>(v.seqStarts[i]) + v.seqPartCounts[i] > n.seqParts) {
            Fault(c, "sequence " + std::to_string(i) + ": parts beyond the part table");
        }
    }
    for (uint32_t i = 0; i < n.seqParts && v.seqParts; ++i) {
        if (v.seqParts[i] >= n.nodes) {
            Fault(c, "sequence part " + std::to_string(i) + ": node beyond the node table");
        } else if (NotEvaluable(ZMD_NodeKindOf(v.nodes[v.seqParts[i]].w0))) {
            Fault(c, "sequence part " + std::to_string(i) + ": its node cannot be evaluated");
        }
    }
    if (n.lists && (!v.listNumbers || !v.listLengths || !v.listStarts)) {
        Fault(c, "list catalogue: missing array");
    }
    if (n.listEntries && (!v.listIds || !v.listNameIds)) {
        Fault(c, "list catalogue: missing pool");
    }
    for (uint32_t i = 0; i < n.lists && v.listLengths && v.listStarts; ++i) {
        if (static_cast<uint64_t>(v.listStarts[i]) + v.listLengths[i] > n.listEntries) {
            Fault(c, "list " + std::to_string(i) + ": entries beyond the pool");
        }
    }
    const uint8_t *blocks[4] = {v.blocksA, v.blocksB, v.blocksC, v.blocksD};
    uint32_t blockCounts[4] = {n.blocksA, n.blocksB, n.blocksC, n.blocksD};
    for (int t = 0; t < 4; ++t) {
        if (blockCounts[t] && !blocks[t]) {
            Fault(c, std::string("block table ") + static_cast<char>('A' + t) + " missing");
        }
    }
    if (n.selectionRows && !v.selectionRows) {
        Fault(c, "selection table missing");
    }
    for (uint32_t r = 0; r < n.selectionRows && v.selectionRows; ++r) {
        for (int t = 0; t < 4; ++t) {
            int16_t b = v.selectionRows[r].block[t];
            if (b < 0 || static_cast<uint32_t>(b) >= blockCounts[t]) {
                Fault(c, "selection row " + std::to_string(r) + ": block " + static_cast<char>('A' + t) + " " +
                             std::to_string(b) + " does not exist");
            }
        }
    }
    CheckRules(c);
}

} // namespace

bool DbcValidateView(const ZMD_ImageView &view, std::string *diagnostics)
{
    Checker c{view, diagnostics, true};
    const ZMD_ImageCounts &n = view.counts;
    if (!view.nodes || n.nodes == 0) {
        Fault(&c, "the node table is missing");
    }
    if (!view.keys || !view.keyNodes || n.keys == 0) {
        Fault(&c, "the key table is missing or empty");
    }
    if (!c.ok) {
        return false;
    }
    for (uint32_t i = 0; i < n.keys; ++i) {
        if (i > 0 && view.keys[i] <= view.keys[i - 1]) {
            Fault(&c, "key table: key " + std::to_string(view.keys[i]) + " at " + std::to_string(i) +
                          " is not above the key before it");
        }
        if (view.keyNodes[i] >= n.nodes) {
            Fault(&c, "key table: node of key " + std::to_string(view.keys[i]) + " beyond the node table");
        } else if (NotEvaluable(ZMD_NodeKindOf(view.nodes[view.keyNodes[i]].w0))) {
            Fault(&c, "key table: top node of key " + std::to_string(view.keys[i]) + " cannot be evaluated");
        }
    }
    std::set<uint32_t> caseStrings;
    for (uint32_t i = 0; i < n.nodes; ++i) {
        if (ZMD_NodeKindOf(view.nodes[i].w0) == ZMD_KIND_CASE_STRING) {
            caseStrings.insert(view.nodes[i].w1);
        }
    }
    for (uint32_t i = 0; i < n.nodes; ++i) {
        CheckNode(&c, i, caseStrings);
    }
    CheckAcyclic(&c);
    CheckTables(&c);
    return c.ok;
}
