// Checks of the query rules: each names a driver key once, the keys, lists,
// sequences and tables it relies on exist, and the trees it reads answer what
// the rule takes from them (lists of integers, one integer per choice, a
// default pair of two integers).
#include <map>
#include <set>

#include "dbc_ast.h"

namespace {

std::string Where(const DbcProgram &prog, DbcLoc loc)
{
    return prog.fileNames[static_cast<size_t>(loc.file)] + ":" + std::to_string(loc.line);
}

bool IsIntegerKind(uint32_t kind)
{
    return kind == ZMD_KIND_INT32_ARRAY || kind == ZMD_KIND_INT8_ARRAY || kind == ZMD_KIND_INT16_ARRAY ||
           kind == ZMD_KIND_UINT8_ARRAY || kind == ZMD_KIND_UINT16_ARRAY;
}

// The value nodes of the key reachable from its tree (the graph is acyclic here).
void ValuesOfKey(const DbcProgram &prog, int root, uint32_t key, std::vector<int> *out)
{
    std::set<int> seen;
    std::vector<int> work{DbcResolve(prog, root)};
    while (!work.empty()) {
        int n = work.back();
        work.pop_back();
        if (n < 0 || !seen.insert(n).second) {
            continue;
        }
        const DbcSrcNode &s = prog.nodes[static_cast<size_t>(n)];
        if ((s.kind <= ZMD_KIND_TEXT || s.kind == ZMD_KIND_COMPUTED) && s.tag == key) {
            out->push_back(n);
        }
        for (int c : s.children) {
            work.push_back(DbcResolve(prog, c));
        }
        for (const DbcCase &c : s.cases) {
            work.push_back(DbcResolve(prog, c.target));
        }
    }
}

struct RuleChecker {
    DbcProgram *prog;
    std::map<uint32_t, int> roots; // key -> root of its tree
    std::set<int64_t> lists;       // catalogue list numbers
    std::set<uint32_t> sequences;
};

void RuleError(RuleChecker *c, const DbcRuleDef &d, const std::string &message)
{
    DbcError(c->prog, d.loc, "query rule for " + DbcHexKey(d.rule.key) + ": " + message);
}

// A key the rule reads: it must be defined, and every value it can answer
// must be integers, exactly `count` of them unless count is 0.
void CheckReadKey(RuleChecker *c, const DbcRuleDef &d, uint32_t key, const char *role, size_t count)
{
    auto it = c->roots.find(key);
    if (it == c->roots.end()) {
        RuleError(c, d, std::string(role) + " " + DbcHexKey(key) + " is not a defined key");
        return;
    }
    std::vector<int> values;
    ValuesOfKey(*c->prog, it->second, key, &values);
    for (int v : values) {
        const DbcSrcNode &s = c->prog->nodes[static_cast<size_t>(v)];
        if (!IsIntegerKind(s.kind) || (count != 0 && s.numbers.size() != count)) {
            std::string want = count == 0   ? std::string("a list of integers")
                               : count == 1 ? std::string("one integer")
                                            : std::to_string(count) + " integers";
            RuleError(c, d,
                      std::string(role) + " " + DbcHexKey(key) + " answers at " + Where(*c->prog, s.loc) +
                          " with a value that is not " + want);
            return;
        }
    }
}

void CheckList(RuleChecker *c, const DbcRuleDef &d, std::map<int64_t, const DbcRuleDef *> *wholeLists)
{
    const ZMD_QueryRule &r = d.rule;
    const bool defined = c->roots.count(r.key) != 0;
    if (r.form == ZMD_QUERY_LIST) {
        if (d.absent && defined) {
            RuleError(c, d, "the key is defined, but the rule says it is absent");
        } else if (!d.absent && !defined) {
            RuleError(c, d, "the list key is not a defined key (a list this database lacks is written `absent`)");
        } else if (defined) {
            CheckReadKey(c, d, r.key, "the list key", 0);
        }
    } else {
        if (c->roots.count(r.key)) {
            RuleError(c, d,
                      "the key has a tree, but the rule answers it with catalogue list " +
                          std::to_string(r.listNumber));
        }
        auto [it, fresh] = wholeLists->emplace(r.listNumber, &d);
        if (!fresh) {
            RuleError(c, d,
                      "catalogue list " + std::to_string(r.listNumber) + " is already answered by key " +
                          DbcHexKey(it->second->rule.key) + " (" + Where(*c->prog, it->second->loc) + ")");
        }
    }
    if (r.listNumber != ZMD_QUERY_NO_LIST && !c->lists.count(r.listNumber)) {
        RuleError(c, d, "there is no catalogue list " + std::to_string(r.listNumber));
    }
    if (r.form == ZMD_QUERY_LIST && !defined) {
        return; // never completed: the list answers that its key is missing
    }
    if (r.choiceKeys[0] != 0 && r.choiceSetting >= 95) {
        RuleError(c, d,
                  "choice setting " + std::to_string(r.choiceSetting) + " is beyond the 95 integers of driver records");
    }
    for (int f = 0; f < 2; ++f) {
        if (r.choiceKeys[f] != 0) {
            CheckReadKey(c, d, r.choiceKeys[f], "per-choice key", 1);
        }
    }
    if (r.choiceKeys[1] != 0 && r.choiceFields[0] == r.choiceFields[1]) {
        RuleError(c, d, "both per-choice keys fill the same item word");
    }
    if (r.offeredKey != 0) {
        CheckReadKey(c, d, r.offeredKey, "offered key", 0);
    }
    if (r.defaultKey != 0) {
        CheckReadKey(c, d, r.defaultKey, "default key", 2);
    }
}

} // namespace

void DbcCheckRules(DbcProgram *prog)
{
    RuleChecker c{prog, {}, {}, {}};
    for (const DbcKeyDef &k : prog->keys) {
        c.roots.emplace(k.key, k.root);
    }
    for (const DbcCatalogueDef &l : prog->catalogue) {
        c.lists.insert(l.number);
    }
    for (const DbcSequenceDef &s : prog->sequences) {
        c.sequences.insert(s.key);
    }
    std::map<uint32_t, const DbcRuleDef *> byKey;
    std::map<int64_t, const DbcRuleDef *> wholeLists;
    for (const DbcRuleDef &d : prog->rules) {
        const ZMD_QueryRule &r = d.rule;
        if (DbcDatabaseOfKey(r.key) != 1) {
            RuleError(&c, d, "not a key of database drv");
            continue;
        }
        auto [it, fresh] = byKey.emplace(r.key, &d);
        if (!fresh) {
            RuleError(&c, d, "the key already has a rule (" + Where(*prog, it->second->loc) + ")");
            continue;
        }
        switch (r.form) {
        case ZMD_QUERY_SEQUENCE:
            if (!c.sequences.count(r.key)) {
                RuleError(&c, d, "there is no sequence " + DbcHexKey(r.key));
            }
            break;
        case ZMD_QUERY_PARAMETER_SET:
            if (prog->rows.empty()) {
                RuleError(&c, d, "the parameter set needs a selection table");
            }
            break;
        default:
            CheckList(&c, d, &wholeLists);
            break;
        }
    }
}
