// The catalogue sweep: a record per key that makes the key's tree yield a
// value, found by walking the tree and collecting what each path requires.
#include "key_sweep.h"

#include <map>
#include <set>

#include "depbase.h"
#include "extract.h"

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

struct Search {
    const ZMD_ImageView *image;
    uint16_t key;
    long budget; // continuation calls and node visits left
};

bool NodeAt(const ZMD_ImageView *image, uint64_t index, ZMD_Node *node)
{
    if (!image->nodes || index >= image->counts.nodes) {
        return false;
    }
    *node = image->nodes[index];
    return true;
}

bool Walk(Search &s, ZMD_Node node, Constraints &c, unsigned depth, const Found &found);

// Each of count nodes from first in turn (a sequence: any of them may be the one).
bool WalkSequence(Search &s, uint32_t first, uint32_t count, Constraints &c, unsigned depth, const Found &found)
{
    for (uint32_t i = 0; i < count; ++i) {
        ZMD_Node child;
        if (!NodeAt(s.image, static_cast<uint64_t>(first) + i, &child)) {
            return false;
        }
        if (Walk(s, child, c, depth + 1, found)) {
            return true;
        }
    }
    return false;
}

// Runs `then` with integer setting `index` required to be v, when that agrees
// with what the path already requires.
bool WithInt(Constraints &c, uint32_t index, int32_t v, const std::function<bool()> &then)
{
    auto it = c.ints.find(index);
    if (it != c.ints.end()) {
        return it->second == v ? then() : false;
    }
    c.ints[index] = v;
    const bool stop = then();
    c.ints.erase(index);
    return stop;
}

bool WithString(Constraints &c, uint32_t index, const std::string &v, const std::function<bool()> &then)
{
    auto it = c.strings.find(index);
    if (it != c.strings.end()) {
        return it->second == v ? then() : false;
    }
    c.strings[index] = v;
    const bool stop = then();
    c.strings.erase(index);
    return stop;
}

bool WalkTarget(Search &s, ZMD_Node caseNode, Constraints &c, unsigned depth, const Found &found)
{
    ZMD_Node target;
    if (!NodeAt(s.image, ZMD_NodeOperand(caseNode.w0), &target)) {
        return false;
    }
    return Walk(s, target, c, depth + 1, found);
}

// A value that none of the integer cases before `upTo` matches (for a
// CASE_DEFAULT): the smallest non-negative number not named by them.
int32_t UnmatchedValue(const ZMD_ImageView *image, uint32_t first, uint32_t upTo, uint32_t mask)
{
    std::set<int64_t> taken;
    std::vector<std::pair<int32_t, int32_t>> ranges;
    for (uint32_t i = first; i < upTo; ++i) {
        ZMD_Node c;
        if (!NodeAt(image, i, &c)) {
            break;
        }
        if (ZMD_NodeKindOf(c.w0) == ZMD_KIND_CASE_EQUAL) {
            taken.insert(static_cast<int32_t>(c.w1));
        } else if (ZMD_NodeKindOf(c.w0) == ZMD_KIND_CASE_RANGE && image->int32Pool &&
                   c.w1 + 1ull < image->counts.int32Pool) {
            ranges.emplace_back(image->int32Pool[c.w1], image->int32Pool[c.w1 + 1]);
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

// The integer cases of a selector on setting `index` (mask applied to the
// setting before comparing).
bool WalkIntCases(Search &s, uint32_t first, uint32_t count, uint32_t index, uint32_t mask, Constraints &c,
                  unsigned depth, const Found &found)
{
    for (uint32_t i = 0; i < count; ++i) {
        ZMD_Node cs;
        if (!NodeAt(s.image, static_cast<uint64_t>(first) + i, &cs)) {
            return false;
        }
        int32_t v;
        switch (ZMD_NodeKindOf(cs.w0)) {
        case ZMD_KIND_CASE_EQUAL:
            v = static_cast<int32_t>(cs.w1);
            break;
        case ZMD_KIND_CASE_RANGE:
            if (!s.image->int32Pool || cs.w1 + 1ull >= s.image->counts.int32Pool) {
                return false;
            }
            v = s.image->int32Pool[cs.w1];
            break;
        case ZMD_KIND_CASE_DEFAULT:
            v = UnmatchedValue(s.image, first, first + i, mask);
            break;
        default:
            return false;
        }
        if (WithInt(c, index, v, [&] { return WalkTarget(s, cs, c, depth, found); })) {
            return true;
        }
    }
    return false;
}

bool Walk(Search &s, ZMD_Node node, Constraints &c, unsigned depth, const Found &found)
{
    if (depth > 64 || --s.budget < 0) {
        return false;
    }
    const ZMD_ImageView *image = s.image;
    const uint32_t kind = ZMD_NodeKindOf(node.w0);
    const uint32_t operand = ZMD_NodeOperand(node.w0);
    switch (kind) {
    case ZMD_KIND_BYTES:
    case ZMD_KIND_INT32_ARRAY:
    case ZMD_KIND_INT8_ARRAY:
    case ZMD_KIND_INT16_ARRAY:
    case ZMD_KIND_UINT8_ARRAY:
    case ZMD_KIND_UINT16_ARRAY:
    case ZMD_KIND_TEXT:
    case ZMD_KIND_COMPUTED:
        if (ZMD_NodeHigh(node.w1) != s.key) {
            return false;
        }
        if (kind == ZMD_KIND_COMPUTED && ZMD_NodeLow(node.w1) == 7 && !c.readsPrinter) {
            c.readsPrinter = true; // the quiet window is stored with the printer
            const bool stop = found(c);
            c.readsPrinter = false;
            return stop;
        }
        return found(c);

    case ZMD_KIND_LIST:
    case ZMD_KIND_WHEN:
    case ZMD_KIND_CASE_EQUAL:
    case ZMD_KIND_CASE_DEFAULT:
        return WalkSequence(s, operand, ZMD_NodeLow(node.w1), c, depth, found);

    case ZMD_KIND_SWITCH: {
        const uint32_t setting = ZMD_NodeHigh(node.w1);
        for (uint32_t i = 0; i < ZMD_NodeLow(node.w1); ++i) {
            ZMD_Node child;
            if (!NodeAt(image, static_cast<uint64_t>(operand) + i, &child)) {
                return false;
            }
            bool stop;
            if (ZMD_NodeKindOf(child.w0) == ZMD_KIND_WHEN) {
                stop = WithInt(c, setting, static_cast<int32_t>(ZMD_NodeHigh(child.w1)),
                               [&] { return Walk(s, child, c, depth + 1, found); });
            } else {
                stop = Walk(s, child, c, depth + 1, found);
            }
            if (stop) {
                return true;
            }
        }
        return false;
    }

    case ZMD_KIND_SELECT_INT:
        return WalkIntCases(s, operand, ZMD_NodeLow(node.w1), ZMD_NodeHigh(node.w1), 0xFFFFFFFFu, c, depth, found);

    case ZMD_KIND_SELECT_MASKED: {
        ZMD_Node mask;
        if (!NodeAt(image, operand, &mask) || ZMD_NodeKindOf(mask.w0) != ZMD_KIND_MASK) {
            return false;
        }
        return WalkIntCases(s, ZMD_NodeOperand(mask.w0), ZMD_NodeLow(node.w1), ZMD_NodeHigh(node.w1), mask.w1, c, depth,
                            found);
    }

    case ZMD_KIND_SELECT_STRING: {
        const uint32_t setting = ZMD_NodeHigh(node.w1);
        for (uint32_t i = 0; i < ZMD_NodeLow(node.w1); ++i) {
            ZMD_Node cs;
            if (!NodeAt(image, static_cast<uint64_t>(operand) + i, &cs)) {
                return false;
            }
            std::string v = "\x7F?";
            if (ZMD_NodeKindOf(cs.w0) == ZMD_KIND_CASE_STRING) {
                ZMD_Node str;
                if (!NodeAt(image, cs.w1, &str) || !image->caseStringPool) {
                    return false;
                }
                const uint32_t at = ZMD_NodeOperand(str.w0);
                const uint32_t len = ZMD_NodeLow(str.w1);
                if (static_cast<uint64_t>(at) + len > image->counts.caseStringPool) {
                    return false;
                }
                v.assign(image->caseStringPool + at, len);
            }
            if (WithString(c, setting, v, [&] { return WalkTarget(s, cs, c, depth, found); })) {
                return true;
            }
        }
        return false;
    }

    case ZMD_KIND_SELECT_PRINTER_DATA:
    case ZMD_KIND_SELECT_COUNTRY: {
        // The value comes from the host, not the record: every case is a
        // candidate and the ask function decides.
        const bool before = c.readsPrinter;
        c.readsPrinter = before || kind == ZMD_KIND_SELECT_PRINTER_DATA;
        bool stop = false;
        for (uint32_t i = 0; i < ZMD_NodeLow(node.w1) && !stop; ++i) {
            ZMD_Node cs;
            if (!NodeAt(image, static_cast<uint64_t>(operand) + i, &cs)) {
                break;
            }
            stop = WalkTarget(s, cs, c, depth, found);
        }
        c.readsPrinter = before;
        return stop;
    }

    default:
        return false;
    }
}

bool TopNode(const ZMD_ImageView *image, uint16_t key, ZMD_Node *top)
{
    if (!image->keys || !image->keyNodes) {
        return false;
    }
    for (uint32_t i = 0; i < image->counts.keys; ++i) {
        if (image->keys[i] == key) {
            return NodeAt(image, image->keyNodes[i], top);
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

void Collect(const ZMD_ImageView *image, uint64_t index, std::set<uint64_t> &seen,
             const std::function<bool(ZMD_Node)> &pred, bool *hit)
{
    ZMD_Node n;
    if (*hit || seen.count(index) || !NodeAt(image, index, &n)) {
        return;
    }
    seen.insert(index);
    if (pred(n)) {
        *hit = true;
        return;
    }
    const uint32_t kind = ZMD_NodeKindOf(n.w0);
    const uint32_t op = ZMD_NodeOperand(n.w0);
    const uint32_t low = ZMD_NodeLow(n.w1);
    switch (kind) {
    case ZMD_KIND_LIST:
    case ZMD_KIND_SWITCH:
    case ZMD_KIND_WHEN:
    case ZMD_KIND_SELECT_INT:
    case ZMD_KIND_SELECT_STRING:
    case ZMD_KIND_SELECT_PRINTER_DATA:
    case ZMD_KIND_SELECT_COUNTRY:
        for (uint32_t i = 0; i < low; ++i) {
            Collect(image, static_cast<uint64_t>(op) + i, seen, pred, hit);
        }
        return;
    case ZMD_KIND_SELECT_MASKED: {
        ZMD_Node mask;
        if (NodeAt(image, op, &mask)) {
            for (uint32_t i = 0; i < low; ++i) {
                Collect(image, static_cast<uint64_t>(ZMD_NodeOperand(mask.w0)) + i, seen, pred, hit);
            }
        }
        return;
    }
    case ZMD_KIND_CASE_EQUAL:
    case ZMD_KIND_CASE_DEFAULT:
    case ZMD_KIND_CASE_STRING:
    case ZMD_KIND_CASE_RANGE:
        Collect(image, op, seen, pred, hit);
        return;
    default:
        return;
    }
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
            ZMD_Node top;
            const bool hasTop = TopNode(image, key, &top);
            std::vector<Constraints> starts(1);
            if (round == 1) {
                starts = answeredBy[q.database];
            }
            for (size_t i = 0; i < starts.size() && !answered; ++i) {
                tryIt(starts[i]);
                if (!answered && hasTop) {
                    Search s{image, key, 200000};
                    Walk(s, top, starts[i], 0, tryIt);
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
        ZMD_Node top;
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
                    Search s{image, first.key, 200000};
                    Walk(s, top, start, 0, tryIt);
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
        std::set<uint64_t> seen;
        bool hit = false;
        Collect(image, image->keyNodes[i], seen, pred, &hit);
        return hit;
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
