// Checks of the parsed source that need the whole program: named trees and
// their references, cycles, duplicate keys, that every key can answer, the
// settings a key's tree tests against its database's record shape, and the
// driver tables.
#include <algorithm>
#include <map>
#include <set>

#include "dbc_ast.h"

namespace {

const uint32_t kBlockSize[4] = {ZMD_BLOCK_A_SIZE, ZMD_BLOCK_B_SIZE, ZMD_BLOCK_C_SIZE, ZMD_BLOCK_D_SIZE};

std::string Where(const DbcProgram &prog, DbcLoc loc)
{
    return prog.fileNames[static_cast<size_t>(loc.file)] + ":" + std::to_string(loc.line);
}

// Direct successors of a source node (children and case targets, a use's tree root).
void Successors(const DbcProgram &prog, int n, std::vector<int> *out)
{
    const DbcSrcNode &s = prog.nodes[static_cast<size_t>(n)];
    if (s.kind == DBC_KIND_USE) {
        if (s.useTree >= 0) {
            out->push_back(prog.trees[static_cast<size_t>(s.useTree)].root);
        }
        return;
    }
    out->insert(out->end(), s.children.begin(), s.children.end());
    for (const DbcCase &c : s.cases) {
        out->push_back(c.target);
    }
}

void ResolveUses(DbcProgram *prog)
{
    std::map<std::string, int> byName;
    for (size_t i = 0; i < prog->trees.size(); ++i) {
        const DbcTreeDef &t = prog->trees[i];
        auto it = byName.find(t.name);
        if (it != byName.end()) {
            DbcError(prog, t.loc,
                     "tree '" + t.name + "' is defined twice (first at " +
                         Where(*prog, prog->trees[static_cast<size_t>(it->second)].loc) + ")");
            continue;
        }
        byName[t.name] = static_cast<int>(i);
    }
    for (DbcSrcNode &n : prog->nodes) {
        if (n.kind != DBC_KIND_USE) {
            continue;
        }
        auto it = byName.find(n.useName);
        if (it == byName.end()) {
            DbcError(prog, n.loc, "dangling reference: no tree named '" + n.useName + "'");
            continue;
        }
        n.useTree = it->second;
    }
}

// Depth-first search for cycles; reports each at the `use` that closes it.
bool FindCycles(DbcProgram *prog)
{
    size_t count = prog->nodes.size();
    std::vector<int> state(count, 0); // 0 new, 1 on the path, 2 done
    std::vector<int> path;            // nodes on the current path
    bool found = false;
    struct Frame {
        int node;
        std::vector<int> next;
        size_t at;
    };
    for (size_t start = 0; start < count; ++start) {
        if (state[start] != 0) {
            continue;
        }
        std::vector<Frame> stack;
        stack.push_back(Frame{static_cast<int>(start), {}, 0});
        Successors(*prog, static_cast<int>(start), &stack.back().next);
        state[start] = 1;
        path.push_back(static_cast<int>(start));
        while (!stack.empty()) {
            Frame &f = stack.back();
            if (f.at == f.next.size()) {
                state[static_cast<size_t>(f.node)] = 2;
                path.pop_back();
                stack.pop_back();
                continue;
            }
            int m = f.next[f.at++];
            if (m < 0) {
                continue;
            }
            if (state[static_cast<size_t>(m)] == 1) {
                // The trees on the path from m to here form the cycle.
                std::string chain;
                auto pos = std::find(path.begin(), path.end(), m);
                for (auto it = pos; it != path.end(); ++it) {
                    const DbcSrcNode &s = prog->nodes[static_cast<size_t>(*it)];
                    if (s.kind == DBC_KIND_USE && s.useTree >= 0) {
                        chain += (chain.empty() ? "" : " -> ") + prog->trees[static_cast<size_t>(s.useTree)].name;
                    }
                }
                DbcError(prog, prog->nodes[static_cast<size_t>(f.node)].loc,
                         "cycle: this reference leads back to itself (" + chain + ")");
                found = true;
                continue;
            }
            if (state[static_cast<size_t>(m)] == 2) {
                continue;
            }
            state[static_cast<size_t>(m)] = 1;
            path.push_back(m);
            Frame g{m, {}, 0};
            Successors(*prog, m, &g.next);
            stack.push_back(g);
        }
    }
    return !found;
}

// Per node: the tags of the values it can reach, and the selector nodes
// testing the highest integer and string setting (-1: none). The graph is
// acyclic when this runs.
struct Reach {
    bool done = false;
    std::set<uint32_t> tags;
    int maxInt = -1;
    int maxStr = -1;
};

void Merge(const DbcProgram &prog, Reach *into, const Reach &from)
{
    into->tags.insert(from.tags.begin(), from.tags.end());
    auto better = [&](int a, int b) {
        if (b < 0) {
            return a;
        }
        if (a < 0) {
            return b;
        }
        return prog.nodes[static_cast<size_t>(b)].arg > prog.nodes[static_cast<size_t>(a)].arg ? b : a;
    };
    into->maxInt = better(into->maxInt, from.maxInt);
    into->maxStr = better(into->maxStr, from.maxStr);
}

const Reach &ComputeReach(const DbcProgram &prog, std::vector<Reach> *memo, int n)
{
    Reach &r = (*memo)[static_cast<size_t>(n)];
    if (r.done) {
        return r;
    }
    // Iterative post-order to keep deep trees off the call stack.
    std::vector<std::pair<int, bool>> work{{n, false}};
    while (!work.empty()) {
        auto [m, expanded] = work.back();
        work.pop_back();
        Reach &rm = (*memo)[static_cast<size_t>(m)];
        if (rm.done) {
            continue;
        }
        std::vector<int> next;
        Successors(prog, m, &next);
        if (!expanded) {
            work.push_back({m, true});
            for (int x : next) {
                if (x >= 0 && !(*memo)[static_cast<size_t>(x)].done) {
                    work.push_back({x, false});
                }
            }
            continue;
        }
        const DbcSrcNode &s = prog.nodes[static_cast<size_t>(m)];
        Reach acc;
        if (s.kind <= ZMD_KIND_TEXT || s.kind == ZMD_KIND_COMPUTED) {
            acc.tags.insert(s.tag);
        }
        if (s.kind == ZMD_KIND_SWITCH || s.kind == ZMD_KIND_SELECT_INT || s.kind == ZMD_KIND_SELECT_MASKED) {
            acc.maxInt = m;
        }
        if (s.kind == ZMD_KIND_SELECT_STRING) {
            acc.maxStr = m;
        }
        for (int x : next) {
            if (x >= 0) {
                Merge(prog, &acc, (*memo)[static_cast<size_t>(x)]);
            }
        }
        acc.done = true;
        rm = acc;
    }
    return r;
}

void CheckKeys(DbcProgram *prog, std::vector<Reach> *memo)
{
    std::vector<size_t> order(prog->keys.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return prog->keys[a].key < prog->keys[b].key; });
    for (size_t i = 1; i < order.size(); ++i) {
        const DbcKeyDef &a = prog->keys[order[i - 1]];
        const DbcKeyDef &b = prog->keys[order[i]];
        if (a.key == b.key) {
            DbcError(prog, b.loc,
                     "duplicate key " + DbcHexKey(b.key) + " (first defined at " + Where(*prog, a.loc) + ")");
        }
    }
    for (const DbcKeyDef &k : prog->keys) {
        if (prog->nodes[static_cast<size_t>(k.root)].kind == DBC_KIND_ALL) {
            continue;
        }
        const Reach &r = ComputeReach(*prog, memo, k.root);
        if (!r.tags.count(k.key)) {
            DbcError(prog, k.loc, "key " + DbcHexKey(k.key) + ": its tree holds no value for it");
        }
        int db = DbcDatabaseOfKey(k.key);
        static const uint32_t shapeStr[7] = {1, 0, 5, 0, 0, 8, 0};
        static const uint32_t shapeInt[7] = {1, 95, 13, 1, 4, 16, 95};
        if (db < 0) {
            continue;
        }
        if (r.maxInt >= 0 && prog->nodes[static_cast<size_t>(r.maxInt)].arg >= shapeInt[db]) {
            const DbcSrcNode &s = prog->nodes[static_cast<size_t>(r.maxInt)];
            DbcError(prog, s.loc,
                     "key " + DbcHexKey(k.key) + " tests integer setting " + std::to_string(s.arg) + ", but " +
                         DbcDatabaseName(db) + " records have " + std::to_string(shapeInt[db]) + " integer settings");
        }
        if (r.maxStr >= 0 && prog->nodes[static_cast<size_t>(r.maxStr)].arg >= shapeStr[db]) {
            const DbcSrcNode &s = prog->nodes[static_cast<size_t>(r.maxStr)];
            DbcError(prog, s.loc,
                     "key " + DbcHexKey(k.key) + " tests string setting " + std::to_string(s.arg) + ", but " +
                         DbcDatabaseName(db) + " records have " + std::to_string(shapeStr[db]) + " string settings");
        }
    }
}

void CheckTables(DbcProgram *prog, std::vector<Reach> *memo)
{
    std::set<int64_t> lists;
    for (const DbcCatalogueDef &c : prog->catalogue) {
        if (!lists.insert(c.number).second) {
            DbcError(prog, c.loc, "list " + std::to_string(c.number) + " is in the catalogue twice");
        }
        std::set<int64_t> ids;
        for (const DbcCatalogueEntry &e : c.entries) {
            if (!ids.insert(e.id).second) {
                DbcError(prog, e.loc,
                         "id " + std::to_string(e.id) + " is in list " + std::to_string(c.number) + " twice");
            }
        }
    }
    std::set<uint32_t> seqs;
    for (const DbcSequenceDef &s : prog->sequences) {
        if (s.key < 0x1018 || s.key > 0x101D) {
            DbcError(prog, s.loc, "sequence key " + DbcHexKey(s.key) + " is not one of 0x1018..0x101D");
        }
        if (!seqs.insert(s.key).second) {
            DbcError(prog, s.loc, "sequence " + DbcHexKey(s.key) + " is defined twice");
        }
        for (int part : s.parts) {
            const Reach &r = ComputeReach(*prog, memo, part);
            if (r.maxInt >= 0 && prog->nodes[static_cast<size_t>(r.maxInt)].arg >= 95) {
                DbcError(prog, prog->nodes[static_cast<size_t>(r.maxInt)].loc,
                         "a sequence part tests an integer setting beyond the 95 of driver records");
            }
            if (r.maxStr >= 0) {
                DbcError(prog, prog->nodes[static_cast<size_t>(r.maxStr)].loc,
                         "a sequence part tests a string setting; driver records have none");
            }
        }
    }
    int64_t counts[4] = {0, 0, 0, 0};
    for (const DbcBlockDef &b : prog->blocks) {
        const char name = static_cast<char>('A' + b.table);
        if (b.index != counts[b.table]) {
            DbcError(prog, b.loc,
                     std::string("block ") + name + " " + std::to_string(b.index) + " is out of order; expected " +
                         std::string(1, name) + " " + std::to_string(counts[b.table]));
        }
        ++counts[b.table];
        if (b.bytes.size() != kBlockSize[b.table]) {
            DbcError(prog, b.loc,
                     std::string("block ") + name + " holds " + std::to_string(b.bytes.size()) +
                         " bytes; it must hold exactly " + std::to_string(kBlockSize[b.table]));
        }
    }
    for (const DbcRowDef &r : prog->rows) {
        for (int k = 0; k < 4; ++k) {
            if (r.block[k] >= counts[k]) {
                DbcError(prog, r.loc,
                         std::string("row names block ") + static_cast<char>('A' + k) + " " +
                             std::to_string(r.block[k]) + ", but there are " + std::to_string(counts[k]));
            }
        }
    }
}

} // namespace

int DbcResolve(const DbcProgram &prog, int node)
{
    for (size_t steps = 0; node >= 0 && steps <= prog.trees.size(); ++steps) {
        const DbcSrcNode &s = prog.nodes[static_cast<size_t>(node)];
        if (s.kind != DBC_KIND_USE) {
            return node;
        }
        if (s.useTree < 0) {
            return -1;
        }
        node = prog.trees[static_cast<size_t>(s.useTree)].root;
    }
    return -1;
}

void DbcCheckProgram(DbcProgram *prog)
{
    ResolveUses(prog);
    if (!FindCycles(prog)) {
        return;
    }
    std::vector<Reach> memo(prog->nodes.size());
    CheckKeys(prog, &memo);
    CheckTables(prog, &memo);
    DbcCheckRules(prog);
}
