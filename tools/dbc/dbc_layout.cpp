// Lays a checked program out as an image. Node 0 is a LIST over the distinct
// top nodes of the keys (ascending key order), then the sequence part roots
// not among them. Structurally identical subtrees are laid out once: each
// node and case gets an intern id from its kind, operands and the intern ids
// of what it points at, and a run of children or cases with the same ids is
// reused. Values share their place in the pools; case strings share one
// BYTES node and one place in the case-string pool.
#include <algorithm>
#include <map>

#include "dbc_ast.h"

namespace {

const uint32_t kMaxOperand = 0x00FFFFFFu;

struct Layout {
    DbcProgram *prog;
    DbcImage *img;
    std::map<std::string, int> internTable;
    std::vector<int> nodeIid;                  // per source node (resolved ones), -1 not yet
    std::vector<std::vector<int>> caseIid;     // per source node, per case
    std::map<int, uint32_t> home;              // intern id -> node index of a node placed with it
    std::map<std::vector<int>, uint32_t> runs; // intern ids of a run -> its start
    std::map<std::string, uint32_t> caseStrings;
    std::map<int, uint32_t> masks; // intern id of a select_masked -> its MASK node
    struct Item {
        uint32_t index;
        int node;   // source node (resolved)
        int caseNo; // -1: the node itself; >= 0: that case of the node; -2: the node's MASK
    };
    std::vector<Item> queue;
    size_t next = 0;
};

int Intern(Layout *l, const std::string &sig)
{
    auto it = l->internTable.find(sig);
    if (it != l->internTable.end()) {
        return it->second;
    }
    int id = static_cast<int>(l->internTable.size());
    l->internTable.emplace(sig, id);
    return id;
}

std::string Num(int64_t v)
{
    return std::to_string(v) + ",";
}

// Intern ids of a resolved node and its cases, computed bottom-up.
int NodeIid(Layout *l, int n)
{
    std::vector<std::pair<int, bool>> work{{n, false}};
    while (!work.empty()) {
        auto [m, expanded] = work.back();
        work.pop_back();
        if (l->nodeIid[static_cast<size_t>(m)] >= 0) {
            continue;
        }
        const DbcSrcNode &s = l->prog->nodes[static_cast<size_t>(m)];
        std::vector<int> next;
        for (int c : s.children) {
            next.push_back(DbcResolve(*l->prog, c));
        }
        for (const DbcCase &c : s.cases) {
            next.push_back(DbcResolve(*l->prog, c.target));
        }
        if (!expanded) {
            work.push_back({m, true});
            for (int x : next) {
                if (l->nodeIid[static_cast<size_t>(x)] < 0) {
                    work.push_back({x, false});
                }
            }
            continue;
        }
        std::string sig = "N" + Num(s.kind);
        if (s.kind <= ZMD_KIND_TEXT || s.kind == ZMD_KIND_COMPUTED) {
            sig += Num(s.tag) + Num(s.computedType) + "#";
            for (int64_t v : s.numbers) {
                sig += Num(v);
            }
            sig += "#";
            sig.append(s.bytes.begin(), s.bytes.end());
        } else {
            sig += Num(s.arg) + Num(s.mask) + "[";
            for (int c : s.children) {
                sig += Num(l->nodeIid[static_cast<size_t>(DbcResolve(*l->prog, c))]);
            }
            sig += "]";
            std::vector<int> &ci = l->caseIid[static_cast<size_t>(m)];
            for (const DbcCase &c : s.cases) {
                std::string cs = "C" + Num(c.kind) + Num(c.value) + Num(c.high) +
                                 Num(l->nodeIid[static_cast<size_t>(DbcResolve(*l->prog, c.target))]) + c.text;
                ci.push_back(Intern(l, cs));
                sig += Num(ci.back());
            }
        }
        l->nodeIid[static_cast<size_t>(m)] = Intern(l, sig);
    }
    return l->nodeIid[static_cast<size_t>(n)];
}

bool FitsOperand(Layout *l, DbcLoc loc, uint64_t v, const char *what)
{
    if (v <= kMaxOperand) {
        return true;
    }
    DbcError(l->prog, loc, std::string(what) + " " + std::to_string(v) + " does not fit in the 24-bit operand");
    return false;
}

bool FitsCount(Layout *l, DbcLoc loc, size_t v, const char *what)
{
    if (v <= 0xFFFF) {
        return true;
    }
    DbcError(l->prog, loc, std::string("too many ") + what + ": " + std::to_string(v) + " (at most 65535)");
    return false;
}

uint32_t NewNode(Layout *l)
{
    l->img->nodes.push_back(ZMD_Node{0, 0});
    return static_cast<uint32_t>(l->img->nodes.size() - 1);
}

// The node index of a resolved node as a single target: an existing node with
// the same intern id, or a new one.
uint32_t Single(Layout *l, int n)
{
    int iid = NodeIid(l, n);
    auto it = l->home.find(iid);
    if (it != l->home.end()) {
        return it->second;
    }
    uint32_t idx = NewNode(l);
    l->home.emplace(iid, idx);
    l->queue.push_back({idx, n, -1});
    return idx;
}

// The start of a run of the node's children (cases when cases is true).
uint32_t Run(Layout *l, int n, bool cases)
{
    const DbcSrcNode &s = l->prog->nodes[static_cast<size_t>(n)];
    std::vector<int> key{cases ? -1 : -2};
    if (cases) {
        NodeIid(l, n);
        const std::vector<int> &ci = l->caseIid[static_cast<size_t>(n)];
        key.insert(key.end(), ci.begin(), ci.end());
    } else {
        for (int c : s.children) {
            key.push_back(NodeIid(l, DbcResolve(*l->prog, c)));
        }
    }
    if (key.size() == 1) {
        return 0;
    }
    auto it = l->runs.find(key);
    if (it != l->runs.end()) {
        return it->second;
    }
    uint32_t start = static_cast<uint32_t>(l->img->nodes.size());
    size_t count = key.size() - 1;
    l->img->nodes.resize(l->img->nodes.size() + count, ZMD_Node{0, 0});
    for (size_t j = 0; j < count; ++j) {
        uint32_t idx = start + static_cast<uint32_t>(j);
        if (cases) {
            l->queue.push_back({idx, n, static_cast<int>(j)});
        } else {
            int c = DbcResolve(*l->prog, s.children[j]);
            l->home.emplace(key[j + 1], idx);
            l->queue.push_back({idx, c, -1});
        }
    }
    l->runs.emplace(key, start);
    return start;
}

// Offset of data within a pool, appending it when the pool does not hold it yet.
template <typename T> size_t PoolPlace(std::vector<T> *pool, const std::vector<T> &data)
{
    if (data.empty()) {
        return 0;
    }
    auto it = std::search(pool->begin(), pool->end(), data.begin(), data.end());
    if (it != pool->end()) {
        return static_cast<size_t>(it - pool->begin());
    }
    size_t at = pool->size();
    pool->insert(pool->end(), data.begin(), data.end());
    return at;
}

ZMD_Node ValueWords(Layout *l, const DbcSrcNode &s)
{
    size_t count = 0, offset = 0;
    switch (s.kind) {
    case ZMD_KIND_BYTES:
    case ZMD_KIND_TEXT:
        count = s.bytes.size();
        offset = PoolPlace(&l->img->bytePool, s.bytes);
        break;
    case ZMD_KIND_INT8_ARRAY:
    case ZMD_KIND_UINT8_ARRAY: {
        std::vector<uint8_t> b;
        for (int64_t v : s.numbers) {
            b.push_back(static_cast<uint8_t>(v));
        }
        count = b.size();
        offset = PoolPlace(&l->img->bytePool, b);
        break;
    }
    case ZMD_KIND_INT16_ARRAY:
    case ZMD_KIND_UINT16_ARRAY: {
        std::vector<uint16_t> h;
        for (int64_t v : s.numbers) {
            h.push_back(static_cast<uint16_t>(v));
        }
        count = h.size();
        offset = PoolPlace(&l->img->int16Pool, h);
        break;
    }
    case ZMD_KIND_INT32_ARRAY: {
        std::vector<int32_t> w;
        for (int64_t v : s.numbers) {
            w.push_back(static_cast<int32_t>(v));
        }
        count = w.size();
        offset = PoolPlace(&l->img->int32Pool, w);
        break;
    }
    default: // COMPUTED: no pool, the count field carries the type
        return ZMD_Node{ZMD_MakeW0(ZMD_KIND_COMPUTED, 0), ZMD_MakeW1(s.tag, s.computedType)};
    }
    FitsCount(l, s.loc, count, "elements in a value");
    FitsOperand(l, s.loc, offset, "pool offset");
    return ZMD_Node{ZMD_MakeW0(s.kind, static_cast<uint32_t>(offset)), ZMD_MakeW1(s.tag, static_cast<uint32_t>(count))};
}

uint32_t CaseString(Layout *l, const DbcCase &c)
{
    auto it = l->caseStrings.find(c.text);
    if (it != l->caseStrings.end()) {
        return it->second;
    }
    std::vector<char> text(c.text.begin(), c.text.end());
    size_t offset = PoolPlace(&l->img->caseStringPool, text);
    FitsOperand(l, c.loc, offset, "case-string pool offset");
    FitsCount(l, c.loc, text.size(), "characters in a case string");
    uint32_t idx = NewNode(l);
    l->img->nodes[idx] = ZMD_Node{ZMD_MakeW0(ZMD_KIND_BYTES, static_cast<uint32_t>(offset)),
                                  ZMD_MakeW1(0, static_cast<uint32_t>(text.size()))};
    l->caseStrings.emplace(c.text, idx);
    l->img->nodePos.resize(l->img->nodes.size());
    l->img->nodePos[idx] = {static_cast<uint32_t>(c.loc.file), static_cast<uint32_t>(c.loc.line)};
    return idx;
}

ZMD_Node CaseWords(Layout *l, const DbcCase &c)
{
    uint32_t target = Single(l, DbcResolve(*l->prog, c.target));
    FitsOperand(l, c.loc, target, "node index");
    switch (c.kind) {
    case ZMD_KIND_CASE_EQUAL:
        return ZMD_Node{ZMD_MakeW0(c.kind, target), static_cast<uint32_t>(c.value)};
    case ZMD_KIND_CASE_STRING:
        return ZMD_Node{ZMD_MakeW0(c.kind, target), CaseString(l, c)};
    case ZMD_KIND_CASE_RANGE: {
        std::vector<int32_t> pair{static_cast<int32_t>(c.value), static_cast<int32_t>(c.high)};
        return ZMD_Node{ZMD_MakeW0(c.kind, target), static_cast<uint32_t>(PoolPlace(&l->img->int32Pool, pair))};
    }
    default:
        return ZMD_Node{ZMD_MakeW0(ZMD_KIND_CASE_DEFAULT, target), 0};
    }
}

void Place(Layout *l, const Layout::Item &item)
{
    const DbcSrcNode &s = l->prog->nodes[static_cast<size_t>(item.node)];
    ZMD_Node w{0, 0};
    if (item.caseNo >= 0) {
        w = CaseWords(l, s.cases[static_cast<size_t>(item.caseNo)]);
    } else if (item.caseNo == -2) {
        uint32_t start = Run(l, item.node, true);
        FitsOperand(l, s.loc, start, "node index");
        w = ZMD_Node{ZMD_MakeW0(ZMD_KIND_MASK, start), s.mask};
    } else if (s.kind <= ZMD_KIND_TEXT || s.kind == ZMD_KIND_COMPUTED) {
        w = ValueWords(l, s);
    } else if (s.kind == ZMD_KIND_LIST || s.kind == ZMD_KIND_SWITCH || s.kind == ZMD_KIND_WHEN) {
        FitsCount(l, s.loc, s.children.size(), "children");
        uint32_t start = Run(l, item.node, false);
        FitsOperand(l, s.loc, start, "node index");
        uint32_t high = s.kind == ZMD_KIND_LIST ? 0 : s.arg;
        w = ZMD_Node{ZMD_MakeW0(s.kind, start), ZMD_MakeW1(high, static_cast<uint32_t>(s.children.size()))};
    } else if (s.kind == ZMD_KIND_SELECT_MASKED) {
        FitsCount(l, s.loc, s.cases.size(), "cases");
        int iid = NodeIid(l, item.node);
        uint32_t mask;
        auto it = l->masks.find(iid);
        if (it != l->masks.end()) {
            mask = it->second;
        } else {
            mask = NewNode(l);
            l->masks.emplace(iid, mask);
            l->queue.push_back({mask, item.node, -2});
        }
        FitsOperand(l, s.loc, mask, "node index");
        w = ZMD_Node{ZMD_MakeW0(s.kind, mask), ZMD_MakeW1(s.arg, static_cast<uint32_t>(s.cases.size()))};
    } else {
        FitsCount(l, s.loc, s.cases.size(), "cases");
        uint32_t start = Run(l, item.node, true);
        FitsOperand(l, s.loc, start, "node index");
        w = ZMD_Node{ZMD_MakeW0(s.kind, start), ZMD_MakeW1(s.arg, static_cast<uint32_t>(s.cases.size()))};
    }
    l->img->nodes[item.index] = w;
    const DbcLoc loc = item.caseNo >= 0 ? s.cases[static_cast<size_t>(item.caseNo)].loc : s.loc;
    l->img->nodePos[item.index] = {static_cast<uint32_t>(loc.file), static_cast<uint32_t>(loc.line)};
}

void LayTables(DbcProgram *prog, DbcImage *img)
{
    for (const DbcCatalogueDef &c : prog->catalogue) {
        img->listNumbers.push_back(static_cast<uint16_t>(c.number));
        img->listLengths.push_back(static_cast<uint16_t>(c.entries.size()));
        img->listStarts.push_back(static_cast<uint32_t>(img->listIds.size()));
        if (c.entries.size() > 0xFFFF) {
            DbcError(prog, c.loc, "a list holds at most 65535 entries");
        }
        for (const DbcCatalogueEntry &e : c.entries) {
            img->listIds.push_back(static_cast<uint16_t>(e.id));
            img->listNameIds.push_back(static_cast<uint32_t>(e.nameId));
        }
    }
    for (const DbcRowDef &r : prog->rows) {
        ZMD_SelectionRow row{};
        for (int k = 0; k < 6; ++k) {
            row.selector[k] = static_cast<int16_t>(r.selector[k]);
        }
        for (int k = 0; k < 4; ++k) {
            row.block[k] = static_cast<int16_t>(r.block[k]);
        }
        img->selectionRows.push_back(row);
    }
    std::vector<uint8_t> *tables[4] = {&img->blocksA, &img->blocksB, &img->blocksC, &img->blocksD};
    for (const DbcBlockDef &b : prog->blocks) {
        tables[b.table]->insert(tables[b.table]->end(), b.bytes.begin(), b.bytes.end());
    }
    for (const DbcRuleDef &r : prog->rules) {
        img->queryRules.push_back(r.rule);
    }
}

} // namespace

void DbcLayoutProgram(DbcProgram *prog, DbcImage *out)
{
    *out = DbcImage();
    Layout l;
    l.prog = prog;
    l.img = out;
    l.nodeIid.assign(prog->nodes.size(), -1);
    l.caseIid.assign(prog->nodes.size(), {});

    std::vector<size_t> order(prog->keys.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return prog->keys[a].key < prog->keys[b].key; });

    // The top nodes: distinct key roots in key order, then part roots.
    std::vector<int> tops;
    std::vector<int> topIids;
    auto addTop = [&](int n) {
        int iid = NodeIid(&l, n);
        if (std::find(topIids.begin(), topIids.end(), iid) == topIids.end()) {
            tops.push_back(n);
            topIids.push_back(iid);
        }
    };
    for (size_t i : order) {
        int root = DbcResolve(*prog, prog->keys[i].root);
        if (prog->nodes[static_cast<size_t>(root)].kind != DBC_KIND_ALL) {
            addTop(root);
        }
    }
    for (const DbcSequenceDef &s : prog->sequences) {
        for (int part : s.parts) {
            addTop(DbcResolve(*prog, part));
        }
    }

    out->nodes.resize(1 + tops.size(), ZMD_Node{0, 0});
    if (tops.size() > 0xFFFF) {
        DbcError(prog, DbcLoc{0, 0}, "more than 65535 distinct top nodes");
    }
    out->nodes[0] =
        ZMD_Node{ZMD_MakeW0(ZMD_KIND_LIST, tops.empty() ? 0 : 1), ZMD_MakeW1(0, static_cast<uint32_t>(tops.size()))};
    for (size_t j = 0; j < tops.size(); ++j) {
        uint32_t idx = static_cast<uint32_t>(1 + j);
        l.home.emplace(topIids[j], idx);
        l.queue.push_back({idx, tops[j], -1});
    }
    while (l.next < l.queue.size()) {
        Layout::Item item = l.queue[l.next++];
        out->nodePos.resize(out->nodes.size());
        Place(&l, item);
    }
    out->nodePos.resize(out->nodes.size());
    out->sourceNames = prog->fileNames;
    if (out->nodes.size() > kMaxOperand + 1u) {
        DbcError(prog, DbcLoc{0, 0}, "the image has more nodes than a 24-bit operand can index");
    }

    for (size_t i : order) {
        const DbcKeyDef &k = prog->keys[i];
        int root = DbcResolve(*prog, k.root);
        out->keys.push_back(static_cast<uint16_t>(k.key));
        out->keyPos.push_back({static_cast<uint32_t>(k.loc.file), static_cast<uint32_t>(k.loc.line)});
        if (prog->nodes[static_cast<size_t>(root)].kind == DBC_KIND_ALL) {
            out->keyNodes.push_back(0);
        } else {
            out->keyNodes.push_back(l.home.at(NodeIid(&l, root)));
        }
    }
    for (const DbcSequenceDef &s : prog->sequences) {
        if (s.parts.size() > 0xFFFF) {
            DbcError(prog, s.loc, "a sequence holds at most 65535 parts");
        }
        out->seqKeys.push_back(static_cast<uint16_t>(s.key));
        out->seqPartCounts.push_back(static_cast<uint16_t>(s.parts.size()));
        out->seqStarts.push_back(static_cast<uint32_t>(out->seqParts.size()));
        for (int part : s.parts) {
            out->seqParts.push_back(l.home.at(NodeIid(&l, DbcResolve(*prog, part))));
        }
    }
    LayTables(prog, out);
}
