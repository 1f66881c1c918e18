// The catalogue sweep: a record per key that makes the key's tree yield a
// value, found on the engine's walk through the tree (ZMD_VisitTree, which
// decodes and checks nodes as the evaluator does) by collecting what each
// path requires.
#include "key_sweep.h"

#include <map>
#include <set>

#include "depbase.h"
#include "extract.h"
#include "tree_walk.h"

namespace {

// What a path through a tree requires of the record.
struct Constraints {
    std::map<uint32_t, int32_t> ints;
    std::map<uint32_t, std::string> strings;
    bool readsPrinter = false;
};

// Continuation: called with the settings of one path that ends in a value
// node of the key; true stops the search.
typedef std::function<bool(Constraints &)> Found;

// One search through a key's tree, on the engine's walk: each followed
// branch adds what it requires to the constraints, and leaving the branch
// takes that back again.
struct Search {
    const ZMD_ImageView *image;
    uint16_t key;
    long budget; // node visits left
    Constraints c;
    const Found *found;
    bool stopped = false;
    // What each followed branch added, undone in reverse when it is left.
    struct Undo {
        enum What {
            NOTHING,
            INT,
            STRING,
            PRINTER
        } what;
        uint32_t index;
        bool readsPrinter; // PRINTER: the flag before the branch
    };
    std::vector<Undo> undo;
};

// Deeper paths than this are not searched.
const unsigned kSearchDepth = 64;

bool NodeAt(const ZMD_ImageView *image, uint64_t index, ZMD_Node *node)
{
    if (!image->nodes || index >= image->counts.nodes) {
        return false;
    }
    *node = image->nodes[index];
    return true;
}

// A value that none of the integer cases before branch `upTo` matches (for a
// CASE_DEFAULT): the smallest non-negative number not named by them.
int32_t UnmatchedValue(const ZMD_ImageView *image, const ZMD_TreeNodeInfo *node, uint32_t upTo)
{
    const uint32_t mask = node->masked ? node->mask : 0xFFFFFFFFu;
    std::set<int64_t> taken;
    std::vector<std::pair<int32_t, int32_t>> ranges;
    for (uint32_t j = 0; j < upTo; ++j) {
        ZMD_TreeBranch b;
        if (ZMD_DescribeBranch(image, node, j, &b) != ZMD_OK) {
            break;
        }
        if (b.kind == ZMD_KIND_CASE_EQUAL) {
            taken.insert(b.low);
        } else if (b.kind == ZMD_KIND_CASE_RANGE) {
            ranges.emplace_back(b.low, b.high);
        }
    }
    for (int32_t v = 0; v < 1 << 20; ++v) {
        const int32_t masked = static_cast<int32_t>(static_cast<uint32_t>(v) & mask);
        bool hit = taken.count(masked) != 0;
        for (const auto &r : ranges) {
            hit = hit || (r.first <= masked && masked <= r.second);
        }
        if (!hit) {
            return v;
        }
    }
    return -7777777;
}

// Follows a branch that requires setting `index` to be v, when that agrees
// with what the path already requires; passes over it otherwise.
template <typename Map, typename Value>
int32_t Require(Search &s, Map &settings, Search::Undo::What what, uint32_t index, const Value &v)
{
    auto it = settings.find(index);
    if (it != settings.end()) {
        if (!(it->second == v)) {
            return ZMD_STEP_PASS;
        }
        s.undo.push_back({Search::Undo::NOTHING, 0, false});
        return ZMD_STEP_FOLLOW;
    }
    settings[index] = v;
    s.undo.push_back({what, index, false});
    return ZMD_STEP_FOLLOW;
}

bool OnNode(void *ctx, const ZMD_TreeNodeInfo *node, unsigned depth)
{
    Search &s = *static_cast<Search *>(ctx);
    if (s.stopped || depth > kSearchDepth || --s.budget < 0) {
        return false;
    }
    if (!node->isValue) {
        return true;
    }
    if (node->key != s.key) {
        return false;
    }
    ZMD_Node raw;
    const bool quietWindow =
        node->kind == ZMD_KIND_COMPUTED && NodeAt(s.image, node->index, &raw) && ZMD_NodeLow(raw.w1) == 7;
    if (quietWindow && !s.c.readsPrinter) {
        s.c.readsPrinter = true; // the quiet window is stored with the printer
        s.stopped = (*s.found)(s.c);
        s.c.readsPrinter = false;
    } else {
        s.stopped = (*s.found)(s.c);
    }
    return false;
}

int32_t OnBranch(void *ctx, const ZMD_TreeNodeInfo *node, uint32_t j, const ZMD_TreeBranch *b, unsigned)
{
    Search &s = *static_cast<Search *>(ctx);
    if (s.stopped) {
        return ZMD_STEP_END;
    }
    switch (node->test) {
    case ZMD_TEST_SWITCH:
        if (!b->tested) {
            s.undo.push_back({Search::Undo::NOTHING, 0, false});
            return ZMD_STEP_FOLLOW;
        }
        return Require(s, s.c.ints, Search::Undo::INT, node->setting, b->low);
    case ZMD_TEST_INT: {
        const int32_t v = b->kind == ZMD_KIND_CASE_DEFAULT ? UnmatchedValue(s.image, node, j) : b->low;
        return Require(s, s.c.ints, Search::Undo::INT, node->setting, v);
    }
    case ZMD_TEST_STRING: {
        const std::string v = b->text ? std::string(b->text, b->length) : std::string("\x7F?");
        return Require(s, s.c.strings, Search::Undo::STRING, node->setting, v);
    }
    default:
        // The printer's data and the user's country come from the host, not
        // the record: every case is a candidate and the ask function decides.
        s.undo.push_back({Search::Undo::PRINTER, 0, s.c.readsPrinter});
        s.c.readsPrinter = s.c.readsPrinter || node->test == ZMD_TEST_PRINTER_DATA;
        return ZMD_STEP_FOLLOW;
    }
}

void OnLeave(void *ctx, const ZMD_TreeNodeInfo *, uint32_t, unsigned)
{
    Search &s = *static_cast<Search *>(ctx);
    if (s.undo.empty()) {
        return;
    }
    const Search::Undo u = s.undo.back();
    s.undo.pop_back();
    if (u.what == Search::Undo::INT) {
        s.c.ints.erase(u.index);
    } else if (u.what == Search::Undo::STRING) {
        s.c.strings.erase(u.index);
    } else if (u.what == Search::Undo::PRINTER) {
        s.c.readsPrinter = u.readsPrinter;
    }
}

// Calls found with the settings of each path from node `top` to a value
// node of the key, starting from what `start` already requires, until found
// answers true.
void SearchTree(const ZMD_ImageView *image, uint16_t key, uint32_t top, const Constraints &start, const Found &found)
{
    Search s{image, key, 200000, start, &found, false, {}};
    const ZMD_TreeVisitor visitor{&s, OnNode, OnBranch, OnLeave};
    (void)ZMD_VisitTree(image, top, &visitor);
}

bool TopNode(const ZMD_ImageView *image, uint16_t key, uint32_t *top)
{
    if (!image->keys || !image->keyNodes) {
        return false;
    }
    ZMD_Node node;
    for (uint32_t i = 0; i < image->counts.keys; ++i) {
        if (image->keys[i] == key) {
            *top = image->keyNodes[i];
            return NodeAt(image, *top, &node);
        }
    }
    return false;
}

// Fills q's settings from the constraints (everything else 0 or null).
void Apply(const Constraints &c, void *printer, SweepQuery *q)
{
    ZMD_RecordShape shape{0, 0};
    ZMD_GetRecordShape(q->database, &shape);
    q->ints.assign(shape.cInts, 0);
    q->strings.assign(shape.cStrings, std::string());
    q->stringSet.assign(shape.cStrings, false);
    for (const auto &i : c.ints) {
        if (i.first < q->ints.size()) {
            q->ints[i.first] = i.second;
        }
    }
    for (const auto &s : c.strings) {
        if (s.first < q->strings.size()) {
            q->strings[s.first] = s.second;
            q->stringSet[s.first] = true;
        }
    }
    q->readsPrinter = c.readsPrinter;
    q->hPrinter = printer;
    q->bind();
}

// Looks for a node that satisfies pred, each node once.
struct Lookout {
    const ZMD_ImageView *image;
    const std::function<bool(ZMD_Node)> *pred;
    std::set<uint32_t> seen;
    bool hit = false;
};

bool LookAt(void *ctx, const ZMD_TreeNodeInfo *node, unsigned)
{
    Lookout &l = *static_cast<Lookout *>(ctx);
    ZMD_Node raw;
    if (l.hit || !l.seen.insert(node->index).second || !NodeAt(l.image, node->index, &raw)) {
        return false;
    }
    l.hit = (*l.pred)(raw);
    return !l.hit;
}

int32_t StopOnHit(void *ctx, const ZMD_TreeNodeInfo *, uint32_t, const ZMD_TreeBranch *, unsigned)
{
    return static_cast<Lookout *>(ctx)->hit ? ZMD_STEP_END : ZMD_STEP_FOLLOW;
}

// The keys of the key table, and the export keys that the image answers
// without a tree of their own (the driver's command sequences and parameter
// set come from the driver query tables): every key of an export range that
// answers anything but ZMD_NO_KEY to an all-zero record. In key order.
std::vector<uint16_t> CandidateKeys(const ZMD_ImageView *image, const SweepAsk &ask)
{
    std::set<uint16_t> inTable(image->keys, image->keys + image->counts.keys);
    std::set<uint16_t> keys(inTable);
    for (uint32_t key = 1; key < 0x7000; ++key) {
        SweepQuery q;
        if (inTable.count(static_cast<uint16_t>(key)) || !SweepDatabaseOf(static_cast<uint16_t>(key), &q.database)) {
            continue;
        }
        Apply(Constraints(), nullptr, &q);
        if (ask(static_cast<uint16_t>(key), q.database, &q.record) != ZMD_NO_KEY) {
            keys.insert(static_cast<uint16_t>(key));
        }
    }
    return std::vector<uint16_t>(keys.begin(), keys.end());
}

} // namespace

void SweepQuery::bind()
{
    stringPtrs.assign(strings.size(), nullptr);
    for (size_t i = 0; i < strings.size(); ++i) {
        stringPtrs[i] = stringSet[i] ? strings[i].c_str() : nullptr;
    }
    record = ZMD_SettingsRecord{};
    record.hPrinter = hPrinter;
    record.cInts = static_cast<uint32_t>(ints.size());
    record.pnInts = ints.empty() ? nullptr : ints.data();
    record.cStrings = static_cast<uint32_t>(strings.size());
    record.ppszStrings = stringPtrs.empty() ? nullptr : stringPtrs.data();
}

bool SweepDatabaseOf(uint16_t key, uint32_t *database)
{
    static const uint32_t kByDigit[] = {ZMD_DB_ROOT, ZMD_DB_DRV, ZMD_DB_LM, ZMD_DB_MNT, ZMD_DB_PA, 99, ZMD_DB_SM};
    const uint32_t digit = key >> 12;
    if (digit >= sizeof kByDigit / sizeof kByDigit[0] || kByDigit[digit] == 99 || (key & 0x0FFFu) == 0) {
        return false;
    }
    *database = kByDigit[digit];
    return true;
}

SweepExport SweepExportOf(uint32_t database)
{
    switch (database) {
    case ZMD_DB_ROOT:
        return ZMD_AccessRootDataBase;
    case ZMD_DB_DRV:
        return ZMD_AccessDrvDataBase;
    case ZMD_DB_LM:
        return ZMD_AccessLMDataBase;
    case ZMD_DB_MNT:
        return ZMD_AccessMntDataBase;
    case ZMD_DB_PA:
        return ZMD_AccessPADataBase;
    case ZMD_DB_SM:
        return ZMD_AccessSMDataBase;
    default:
        return nullptr;
    }
}

std::vector<SweepQuery> BuildSweep(const ZMD_ImageView *image, const SweepAsk &ask, void *printer,
                                   std::vector<uint16_t> *unanswered)
{
    std::vector<SweepQuery> out;
    if (!image || !image->keys) {
        return out;
    }
    // Settings that answered, per database: a key whose own tree is not the
    // whole story (a driver list also needs the default pair of an internal
    // key) is tried again starting from each of them.
    std::map<uint32_t, std::vector<Constraints>> answeredBy;
    std::vector<std::pair<size_t, uint16_t>> retry; // position in out, key
    const std::vector<uint16_t> candidates = CandidateKeys(image, ask);
    for (int round = 0; round < 2; ++round) {
        const size_t keys = round == 0 ? candidates.size() : retry.size();
        for (uint32_t k = 0; k < keys; ++k) {
            const uint16_t key = round == 0 ? candidates[k] : retry[k].second;
            SweepQuery q;
            q.key = key;
            if (!SweepDatabaseOf(key, &q.database)) {
                continue;
            }
            bool answered = false;
            Constraints kept;
            const Found tryIt = [&](Constraints &c) {
                Apply(c, printer, &q);
                answered = ask(key, q.database, &q.record) == ZMD_OK;
                if (answered) {
                    kept = c;
                }
                return answered;
            };
            uint32_t top = 0;
            const bool hasTop = TopNode(image, key, &top);
            std::vector<Constraints> starts(1);
            if (round == 1) {
                starts = answeredBy[q.database];
            }
            for (size_t i = 0; i < starts.size() && !answered; ++i) {
                tryIt(starts[i]);
                if (!answered && hasTop) {
                    SearchTree(image, key, top, starts[i], tryIt);
                }
            }
            if (round == 0) {
                out.emplace_back();
                if (!answered) {
                    retry.emplace_back(out.size() - 1, key);
                    out.back().key = 0; // a hole, filled or dropped below
                    continue;
                }
                answeredBy[q.database].push_back(kept);
                out.back() = std::move(q);
            } else if (answered) {
                out[retry[k].first] = std::move(q);
            } else if (unanswered) {
                unanswered->push_back(key);
            }
        }
    }
    std::vector<SweepQuery> holes;
    holes.swap(out);
    for (auto &q : holes) {
        if (q.key != 0) {
            out.push_back(std::move(q));
        }
    }
    for (auto &q : out) {
        q.bind();
    }
    return out;
}

std::vector<SweepQuery> BuildFullSweep(const ZMD_ImageView *image, const SweepAsk &ask, void *printer, size_t perKey)
{
    std::vector<SweepQuery> out;
    const std::vector<SweepQuery> one = BuildSweep(image, ask, printer);
    // The settings of every first answer, per database: a key that answers
    // only with settings from elsewhere (a list's default pair) starts there.
    std::map<uint32_t, std::vector<SweepQuery>> firsts;
    for (const SweepQuery &q : one) {
        firsts[q.database].push_back(q);
    }
    for (const SweepQuery &first : one) {
        std::set<std::pair<std::vector<int32_t>, std::vector<std::string>>> seen;
        std::vector<SweepQuery> found;
        const auto keep = [&](SweepQuery &q) {
            if (found.size() >= perKey || ask(q.key, q.database, &q.record) != ZMD_OK) {
                return;
            }
            if (seen.insert({q.ints, q.strings}).second) {
                found.push_back(q);
                found.back().bind();
            }
        };
        SweepQuery base = first;
        base.bind();
        keep(base);
        uint32_t top = 0;
        if (TopNode(image, first.key, &top)) {
            for (int pass = 0; pass < 2; ++pass) {
                std::vector<Constraints> starts(1);
                if (pass == 1) {
                    // From the settings of the key's first answer.
                    Constraints c;
                    for (size_t i = 0; i < first.ints.size(); ++i) {
                        if (first.ints[i] != 0) {
                            c.ints[static_cast<uint32_t>(i)] = first.ints[i];
                        }
                    }
                    starts.assign(1, c);
                }
                for (Constraints &start : starts) {
                    SweepQuery q;
                    q.key = first.key;
                    q.database = first.database;
                    const Found tryIt = [&](Constraints &c) {
                        Apply(c, printer, &q);
                        keep(q);
                        return found.size() >= perKey;
                    };
                    SearchTree(image, first.key, top, start, tryIt);
                }
            }
        }
        for (SweepQuery &q : found) {
            out.push_back(std::move(q));
        }
    }
    for (auto &q : out) {
        q.bind();
    }
    return out;
}

bool SweepTreeHas(const ZMD_ImageView *image, uint16_t key, const std::function<bool(ZMD_Node)> &pred)
{
    if (!image || !image->keys || !image->keyNodes) {
        return false;
    }
    for (uint32_t i = 0; i < image->counts.keys; ++i) {
        if (image->keys[i] != key) {
            continue;
        }
        Lookout l{image, &pred, {}};
        const ZMD_TreeVisitor visitor{&l, LookAt, StopOnHit, nullptr};
        (void)ZMD_VisitTree(image, image->keyNodes[i], &visitor);
        return l.hit;
    }
    return false;
}

bool SweepTreeReadsHost(const ZMD_ImageView *image, uint16_t key)
{
    return SweepTreeHas(image, key, [key](ZMD_Node n) {
        const uint32_t kind = ZMD_NodeKindOf(n.w0);
        return kind == ZMD_KIND_SELECT_PRINTER_DATA || kind == ZMD_KIND_SELECT_COUNTRY ||
               (kind == ZMD_KIND_COMPUTED && ZMD_NodeHigh(n.w1) == key && ZMD_NodeLow(n.w1) == 7);
    });
}
