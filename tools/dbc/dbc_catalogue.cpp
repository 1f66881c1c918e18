// The key catalogue: for every key of an image, the settings that choose its
// value and its answers for representative settings. The settings are found
// on the engine's walk through the key's tree (ZMD_VisitTree): every way to a
// value of the key gives the settings that lead there (a default case gets a
// value that no case before it takes); the answers come from the engine
// itself (ZMD_QueryDrvDataBase for driver keys), run on a platform with a
// fixed clock, a fixed country and a printer whose stored values the path
// chooses.
#include "dbc_catalogue.h"

#include <cstdlib>
#include <map>
#include <set>

#include "dbc.h"
#include "dbc_format.h"
#include "drv_query.h"
#include "drv_rules.h"
#include "engine.h"
#include "computed.h"
#include "extract.h"
#include "tree_walk.h"

namespace {

const size_t kMaxPaths = 128;

enum {
    C_INT,
    C_STR,
    C_PRINTER,
    C_COUNTRY
};

struct Constraint {
    int type;
    uint32_t index;
    int64_t value;    // C_INT, C_PRINTER (absent: C_PRINTER with absent set), C_COUNTRY
    std::string text; // C_STR
    bool absent;      // C_PRINTER: the printer stores nothing under the name
};

using Path = std::vector<Constraint>;

// What a selector on the walk's way down knows while its cases are taken:
// what it tests, the setting's value when the path already fixed it, and its
// cases as the engine decodes them.
struct Frame {
    int type = C_INT;
    uint32_t index = 0;
    uint32_t mask = 0;
    bool known = false;
    Constraint fixed{};
    std::vector<ZMD_TreeBranch> cases;
    std::set<std::string> before; // string cases already shown
};

struct Walk {
    Walk(const ZMD_ImageView &view, uint32_t forKey) : v(view), key(forKey) {}
    const ZMD_ImageView &v;
    uint32_t key;
    std::vector<Path> paths;
    bool truncated = false;
    size_t visits = 0;         // shared subtrees can make the ways through a tree many
    Path path;                 // the settings of the way down to the current node
    std::vector<size_t> marks; // path length before each followed branch
    std::vector<Frame> frames; // by depth: the selector at that depth
};

const size_t kMaxVisits = 200000;

const Constraint *Known(const Path &path, int type, uint32_t index)
{
    for (const Constraint &c : path) {
        if (c.type == type && c.index == index) {
            return &c;
        }
    }
    return nullptr;
}

// Does the case match the integer x? (mask already applied by the caller)
bool IntCaseMatches(const ZMD_TreeBranch &c, int64_t x)
{
    if (c.kind == ZMD_KIND_CASE_DEFAULT) {
        return true;
    }
    if (c.kind == ZMD_KIND_CASE_EQUAL) {
        return static_cast<int32_t>(x) == c.low;
    }
    if (c.kind == ZMD_KIND_CASE_RANGE) {
        return c.low <= x && x <= c.high;
    }
    return false;
}

// A value of the setting that reaches case j of an integer selector.
bool IntValueFor(const std::vector<ZMD_TreeBranch> &cases, uint32_t j, uint32_t mask, int64_t *out)
{
    const ZMD_TreeBranch &c = cases[j];
    std::vector<int64_t> candidates;
    if (c.kind == ZMD_KIND_CASE_EQUAL) {
        candidates.push_back(c.low);
    } else if (c.kind == ZMD_KIND_CASE_RANGE) {
        int64_t lo = c.low, hi = c.high;
        candidates.push_back(lo <= 1 && 1 <= hi ? 1 : lo);
        candidates.push_back(hi);
    } else {
        for (int64_t x = 0; x <= 64; ++x) {
            candidates.push_back(x);
        }
        for (int b = 0; b < 32; ++b) {
            if (mask & (1u << b)) {
                candidates.push_back(static_cast<int64_t>(1u << b));
            }
        }
        candidates.push_back(-1);
        candidates.push_back(0x7FFF);
    }
    for (int64_t x : candidates) {
        int64_t masked = mask ? (x & mask) : x;
        if (!IntCaseMatches(c, masked)) {
            continue;
        }
        bool earlier = false;
        for (uint32_t i = 0; i < j && !earlier; ++i) {
            earlier = IntCaseMatches(cases[i], masked);
        }
        if (!earlier) {
            *out = x;
            return true;
        }
    }
    return false;
}

bool HasDefault(const std::vector<ZMD_TreeBranch> &cases)
{
    for (const ZMD_TreeBranch &c : cases) {
        if (c.kind == ZMD_KIND_CASE_DEFAULT) {
            return true;
        }
    }
    return false;
}

// At the top of a key's tree, a selector without a default also shows a
// value that no case takes.
void AddIntMiss(Walk *w, const Frame &f)
{
    for (int64_t x = 0; x <= 70000; x = x < 64 ? x + 1 : x * 2 + 1) {
        bool taken = false;
        for (size_t j = 0; j < f.cases.size() && !taken; ++j) {
            taken = IntCaseMatches(f.cases[j], f.mask ? (x & f.mask) : x);
        }
        if (taken) {
            continue;
        }
        Path miss = w->path;
        miss.push_back(Constraint{f.type, f.index, x, {}, false});
        w->paths.push_back(miss);
        return;
    }
}

void AddStringMiss(Walk *w, const Frame &f)
{
    for (const char *miss : {"", "?", "??"}) {
        if (f.before.count(miss)) {
            continue;
        }
        Path p = w->path;
        p.push_back(Constraint{C_STR, f.index, 0, miss, false});
        w->paths.push_back(p);
        return;
    }
}

// Sets up the frame of a selector reached at `depth`.
void EnterSelector(Walk *w, const ZMD_TreeNodeInfo &n, unsigned depth)
{
    if (w->frames.size() <= depth) {
        w->frames.resize(depth + 1);
    }
    Frame &f = w->frames[depth];
    f = Frame{};
    f.type = n.test == ZMD_TEST_STRING         ? C_STR
             : n.test == ZMD_TEST_PRINTER_DATA ? C_PRINTER
             : n.test == ZMD_TEST_COUNTRY      ? C_COUNTRY
                                               : C_INT;
    f.index = f.type == C_COUNTRY ? 0 : n.setting;
    f.mask = n.masked ? n.mask : 0;
    for (uint32_t j = 0; j < n.count; ++j) {
        ZMD_TreeBranch c;
        if (ZMD_DescribeBranch(&w->v, &n, j, &c) != ZMD_OK) {
            break; // the walk fails at this case too
        }
        f.cases.push_back(c);
    }
    const Constraint *known = Known(w->path, f.type, f.index);
    f.known = known != nullptr;
    if (known) {
        f.fixed = *known;
        return;
    }
    if (f.type == C_STR) {
        for (const ZMD_TreeBranch &c : f.cases) {
            if (c.kind != ZMD_KIND_CASE_DEFAULT) {
                f.before.insert(std::string(c.text, c.length));
            }
        }
        if (depth == 0 && !HasDefault(f.cases)) {
            AddStringMiss(w, f);
        }
        f.before.clear();
    } else if (depth == 0 && !HasDefault(f.cases) && f.type != C_PRINTER) {
        AddIntMiss(w, f);
    }
}

bool OnNode(void *ctx, const ZMD_TreeNodeInfo *n, unsigned depth)
{
    Walk *w = static_cast<Walk *>(ctx);
    if (w->paths.size() >= kMaxPaths || ++w->visits > kMaxVisits) {
        w->truncated = true;
        return false;
    }
    if (n->isValue) {
        if (n->key == w->key) {
            w->paths.push_back(w->path);
        }
        return false;
    }
    if (n->test != ZMD_TEST_NONE && n->test != ZMD_TEST_SWITCH) {
        EnterSelector(w, *n, depth);
    }
    return true;
}

int32_t Take(Walk *w, const Constraint &c)
{
    w->path.push_back(c);
    return ZMD_STEP_FOLLOW;
}

int32_t SwitchStep(Walk *w, const ZMD_TreeNodeInfo &n, const ZMD_TreeBranch &b)
{
    if (!b.tested) {
        return ZMD_STEP_FOLLOW;
    }
    int64_t want = b.low;
    const Constraint *known = Known(w->path, C_INT, n.setting);
    if (known) {
        return known->value == want ? ZMD_STEP_FOLLOW : ZMD_STEP_PASS;
    }
    return Take(w, Constraint{C_INT, n.setting, want, {}, false});
}

int32_t IntStep(Walk *w, Frame &f, uint32_t j, const ZMD_TreeBranch &b)
{
    bool last = j + 1 == f.cases.size();
    if (f.known && f.type == C_PRINTER && f.fixed.absent) {
        // Nothing stored: only a trailing default is taken.
        if (!last) {
            return ZMD_STEP_PASS;
        }
        return b.kind == ZMD_KIND_CASE_DEFAULT ? ZMD_STEP_FOLLOW_LAST : ZMD_STEP_END;
    }
    if (f.known) {
        int64_t x = f.mask ? (f.fixed.value & f.mask) : f.fixed.value;
        return IntCaseMatches(b, x) ? ZMD_STEP_FOLLOW_LAST : ZMD_STEP_PASS;
    }
    Constraint con{f.type, f.index, 0, {}, false};
    if (f.type == C_PRINTER && last && b.kind == ZMD_KIND_CASE_DEFAULT) {
        con.absent = true;
    } else if (!IntValueFor(f.cases, j, f.mask, &con.value)) {
        return ZMD_STEP_PASS;
    }
    return Take(w, con);
}

int32_t StringStep(Walk *w, Frame &f, const ZMD_TreeBranch &b)
{
    bool isDefault = b.kind == ZMD_KIND_CASE_DEFAULT;
    std::string text = isDefault ? (f.before.count("") ? "?" : "") : std::string(b.text, b.length);
    if (f.known) {
        return isDefault || f.fixed.text == text ? ZMD_STEP_FOLLOW_LAST : ZMD_STEP_PASS;
    }
    if (!isDefault && f.before.count(text)) {
        return ZMD_STEP_PASS;
    }
    f.before.insert(text);
    return Take(w, Constraint{C_STR, f.index, 0, text, false});
}

int32_t OnBranch(void *ctx, const ZMD_TreeNodeInfo *n, uint32_t j, const ZMD_TreeBranch *b, unsigned depth)
{
    Walk *w = static_cast<Walk *>(ctx);
    size_t mark = w->path.size();
    int32_t step;
    if (n->test == ZMD_TEST_SWITCH) {
        step = SwitchStep(w, *n, *b);
    } else if (n->test == ZMD_TEST_STRING) {
        step = StringStep(w, w->frames[depth], *b);
    } else {
        step = IntStep(w, w->frames[depth], j, *b);
    }
    if (step == ZMD_STEP_FOLLOW || step == ZMD_STEP_FOLLOW_LAST) {
        w->marks.push_back(mark);
    }
    return step;
}

void OnLeave(void *ctx, const ZMD_TreeNodeInfo *, uint32_t, unsigned)
{
    Walk *w = static_cast<Walk *>(ctx);
    w->path.resize(w->marks.back());
    w->marks.pop_back();
}

// Adds the ways through the tree below node `top` to the walk's paths. The
// image passed DbcValidateView, so the engine's walk does not fail; if it
// did, the ways found up to there would be shown.
void WalkTree(Walk *w, uint32_t top)
{
    w->path.clear();
    w->marks.clear();
    ZMD_TreeVisitor visitor{w, OnNode, OnBranch, OnLeave};
    (void)ZMD_VisitTree(&w->v, top, &visitor);
}

// The platform the catalogue evaluates on: a fixed clock and country, and a
// printer that stores one value (or nothing) under every name.
struct FakeState {
    bool stored;
    int32_t value;
    int country;
};

bool OpenPrinter(void *, const ZMD_WCHAR *, void **)
{
    return false;
}
void ClosePrinter(void *, void *) {}
bool GetPrinterData(void *ctx, void *, const ZMD_WCHAR *, void *data, uint32_t cbData, uint32_t *cbNeeded)
{
    const FakeState *s = static_cast<const FakeState *>(ctx);
    *cbNeeded = 4;
    if (!s->stored || cbData < 4) {
        return false;
    }
    uint32_t v = static_cast<uint32_t>(s->value);
    uint8_t *p = static_cast<uint8_t *>(data);
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
    return true;
}
void GetLocalTime(void *, ZMD_LocalTime *t)
{
    *t = ZMD_LocalTime{2026, 12, 7, 3, 9, 41};
}
int GetCountryText(void *ctx, char *buf, int cb)
{
    std::string text = std::to_string(static_cast<const FakeState *>(ctx)->country);
    int need = static_cast<int>(text.size()) + 1;
    if (cb == 0) {
        return need;
    }
    if (cb < need) {
        return 0;
    }
    for (int i = 0; i < need; ++i) {
        buf[i] = i + 1 < need ? text[static_cast<size_t>(i)] : '\0';
    }
    return need;
}
void *Alloc(void *, size_t size)
{
    return std::calloc(1, size ? size : 1);
}
void Free(void *, void *p)
{
    std::free(p);
}

struct Answer {
    std::string settings;
    std::string kind;
    uint32_t count;
    std::string result;
    std::string value;
};

std::string Describe(const Path &path)
{
    std::string s;
    for (const Constraint &c : path) {
        if (!s.empty()) {
            s += ", ";
        }
        if (c.type == C_INT) {
            s += "int " + std::to_string(c.index) + " = " + std::to_string(c.value);
        } else if (c.type == C_STR) {
            s += "str " + std::to_string(c.index) + " = " + DbcJsonString(c.text);
        } else if (c.type == C_COUNTRY) {
            s += "country " + std::to_string(c.value);
        } else if (c.absent) {
            s += "item " + std::to_string(c.index) + " not stored";
        } else {
            s += "item " + std::to_string(c.index) + " = " + std::to_string(c.value);
        }
    }
    return s.empty() ? "any" : s;
}

// Asks the engine for the key with the path's settings.
Answer Ask(const ZMD_ImageView &view, uint32_t key, int database, const Path &path)
{
    FakeState state{false, 0, 1};
    ZMD_Platform platform{&state, OpenPrinter, ClosePrinter, GetPrinterData, GetLocalTime, GetCountryText, Alloc, Free};
    ZMD_Env env{&view, &platform};
    static const uint32_t shapeStr[7] = {1, 0, 5, 0, 0, 8, 0};
    static const uint32_t shapeInt[7] = {1, 95, 13, 1, 4, 16, 95};
    std::vector<int32_t> ints(shapeInt[database], 0);
    if (database == 1) {
        // The user-defined and alternate paper sizes of the driver record.
        ints[25] = 21000, ints[26] = 29700, ints[29] = 10000, ints[30] = 15000;
    }
    std::vector<std::string> texts(shapeStr[database], "");
    for (const Constraint &c : path) {
        if (c.type == C_INT && c.index < ints.size()) {
            ints[c.index] = static_cast<int32_t>(c.value);
        }
        if (c.type == C_STR && c.index < texts.size()) {
            texts[c.index] = c.text;
        }
        if (c.type == C_PRINTER) {
            state.stored = !c.absent, state.value = static_cast<int32_t>(c.value);
        }
        if (c.type == C_COUNTRY) {
            state.country = static_cast<int>(c.value);
        }
    }
    std::vector<const char *> ptrs;
    for (const std::string &t : texts) {
        ptrs.push_back(t.c_str());
    }
    int printerHandle = 0;
    ZMD_SettingsRecord rec{&printerHandle,
                           0,
                           static_cast<uint32_t>(ptrs.size()),
                           ptrs.empty() ? nullptr : ptrs.data(),
                           static_cast<uint32_t>(ints.size()),
                           ints.empty() ? nullptr : ints.data(),
                           nullptr};
    Answer a;
    a.settings = Describe(path);
    ZMD_Node node{0, 0};
    int32_t r = ZMD_FindKey(&env, key, &rec, &node);
    a.kind = r == ZMD_OK ? DbcKindName(ZMD_NodeKindOf(node.w0)) : "";
    a.count = ZMD_NodeLow(node.w1);
    std::vector<uint8_t> buf(4096);
    uint32_t size = 0;
    int32_t found = r;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (database == 1) {
            r = ZMD_QueryDrvDataBase(&env, key, &rec, static_cast<uint32_t>(buf.size()), buf.data(), &size);
        } else if (found == ZMD_OK) {
            r = ZMD_ExtractValue(&env, &rec, static_cast<uint32_t>(buf.size()), buf.data(), &size, node);
        }
        if (r != ZMD_MORE_DATA) {
            break;
        }
        buf.assign(size, 0);
    }
    a.result = DbcResultName(r);
    if (r == ZMD_OK) {
        DbcValueForm form =
            ZMD_IsListKey(&view, key) ? DBC_FORM_LIST : DbcFormOfNode(ZMD_NodeKindOf(node.w0), ZMD_NodeLow(node.w1));
        a.value = DbcFormatValue(form, buf.data(), size);
        if (form == DBC_FORM_BYTES) {
            a.value = std::to_string(size) + " bytes: " + a.value;
        }
    }
    return a;
}

std::string Cell(const std::string &s)
{
    std::string out;
    for (char c : s) {
        out += c == '|' ? std::string("\\|") : std::string(1, c);
    }
    return out;
}

std::string Settings(const std::vector<Path> &paths)
{
    std::set<std::pair<int, uint32_t>> seen;
    for (const Path &p : paths) {
        for (const Constraint &c : p) {
            seen.insert({c.type, c.index});
        }
    }
    std::string s;
    for (auto [type, index] : seen) {
        if (!s.empty()) {
            s += ", ";
        }
        s += type == C_INT       ? "integer " + std::to_string(index)
             : type == C_STR     ? "string " + std::to_string(index)
             : type == C_PRINTER ? "printer-data item " + std::to_string(index)
                                 : std::string("country");
    }
    return s.empty() ? "—" : s;
}

// The internal keys whose trees also shape a list key's answer (default
// pair, per-choice values).
std::vector<uint32_t> HelperKeys(uint32_t key)
{
    switch (key) {
    case 0x100C:
        return {0x5003, 0x500C, 0x500B};
    case 0x100E:
        return {0x5004};
    case 0x1012:
        return {0x5002};
    case 0x1014:
        return {0x500D};
    case 0x104D:
    case 0x104E:
        return {0x5010};
    case 0x1016:
        return {0x5005, 0x5006, 0x5007};
    case 0x1017:
        return {0x5005};
    default:
        return {};
    }
}

// Paths of another key's tree, added to the walk's paths.
void AddHelperPaths(const ZMD_ImageView &v, uint32_t helper, Walk *w)
{
    for (uint32_t j = 0; j < v.counts.keys; ++j) {
        if (v.keys[j] != helper || v.keyNodes[j] == 0) {
            continue;
        }
        Walk h(v, helper);
        WalkTree(&h, v.keyNodes[j]);
        for (const Path &p : h.paths) {
            if (w->paths.size() < kMaxPaths && !p.empty()) {
                w->paths.push_back(p);
            }
        }
        w->truncated = w->truncated || h.truncated;
    }
}

// "TEXT × 11..34", "INT16_ARRAY × 1/2".
std::string KindSummary(const std::map<std::string, std::set<uint32_t>> &kinds)
{
    std::string s;
    for (const auto &[kind, counts] : kinds) {
        if (!s.empty()) {
            s += ", ";
        }
        s += kind + " × ";
        if (counts.size() > 3) {
            s += std::to_string(*counts.begin()) + ".." + std::to_string(*counts.rbegin());
            continue;
        }
        std::string c;
        for (uint32_t n : counts) {
            c += (c.empty() ? "" : "/") + std::to_string(n);
        }
        s += c;
    }
    return s.empty() ? "—" : s;
}

void KeySection(const ZMD_ImageView &v, uint32_t i, std::string *out)
{
    uint32_t key = v.keys[i];
    int database = DbcDatabaseOfKey(key);
    int shape = database == 6 ? 1 : database;
    *out += "### " + DbcHexKey(key) + "\n\n";
    if (v.keyNodes[i] == 0) {
        *out += "Its tree is node 0, the list of every key's top node: it answers the first value for " +
                DbcHexKey(key) + " anywhere in the image.\n\n";
        return;
    }
    Walk w(v, key);
    WalkTree(&w, v.keyNodes[i]);
    for (uint32_t helper : HelperKeys(key)) {
        AddHelperPaths(v, helper, &w);
    }
    if (w.paths.empty()) {
        w.paths.push_back(Path());
    }
    std::vector<Answer> answers;
    std::map<std::string, std::set<uint32_t>> kinds;
    std::set<std::string> seen;
    for (const Path &p : w.paths) {
        Answer a = Ask(v, key, shape, p);
        if (!seen.insert(a.settings).second) {
            continue;
        }
        if (!a.kind.empty()) {
            kinds[a.kind].insert(a.count);
        }
        answers.push_back(a);
    }
    *out += "Kind × count: " + KindSummary(kinds) + ". Chosen by: " + Settings(w.paths) + ".\n\n";
    *out += "| Settings | Result | Value |\n|---|---|---|\n";
    for (const Answer &a : answers) {
        *out += "| " + Cell(a.settings) + " | " + a.result + " | " + Cell(a.value) + " |\n";
    }
    if (w.truncated) {
        *out += "\n(The first " + std::to_string(kMaxPaths) + " ways through the tree are shown.)\n";
    }
    *out += "\n";
}

void SequenceSection(const ZMD_ImageView &v, uint32_t s, std::string *out)
{
    uint32_t key = v.seqKeys[s];
    *out += "### " + DbcHexKey(key) + " (command sequence, " + std::to_string(v.seqPartCounts[s]) + " parts)\n\n";
    Walk w(v, 0x5008);
    for (uint32_t m = 0; m < v.seqPartCounts[s]; ++m) {
        WalkTree(&w, v.seqParts[v.seqStarts[s] + m]);
    }
    if (w.paths.empty()) {
        w.paths.push_back(Path());
    }
    *out += "Parts chosen by: " + Settings(w.paths) +
            ". Each row sets what one way through one part needs; the other settings are 0.\n\n";
    *out += "| Settings | Result | Value |\n|---|---|---|\n";
    std::set<std::string> seen;
    for (const Path &p : w.paths) {
        Answer a = Ask(v, key, 1, p);
        if (!seen.insert(a.settings).second) {
            continue;
        }
        *out += "| " + Cell(a.settings) + " | " + a.result + " | " + Cell(a.value) + " |\n";
    }
    if (w.truncated) {
        *out += "\n(The first " + std::to_string(kMaxPaths) + " ways through the parts are shown.)\n";
    }
    *out += "\n";
}

void ParameterSetSection(const ZMD_ImageView &v, std::string *out)
{
    *out += "### 0x101E (parameter set)\n\n192 bytes chosen by integer settings 4, 9, 5, 8, 6 and 81 from " +
            std::to_string(v.counts.selectionRows) + " selection rows; blocks A, B, C and D of each row:\n\n";
    *out += "| Row | int 4, 9, 5, 8, 6, 81 | A | B | C | D |\n|---|---|---|---|---|---|\n";
    for (uint32_t r = 0; r < v.counts.selectionRows; ++r) {
        const ZMD_SelectionRow &row = v.selectionRows[r];
        std::string sel;
        for (int k = 0; k < 6; ++k) {
            sel += (k ? ", " : "") + std::to_string(row.selector[k]);
        }
        *out += "| " + std::to_string(r) + " | " + sel + " | " + std::to_string(row.block[0]) + " | " +
                std::to_string(row.block[1]) + " | " + std::to_string(row.block[2]) + " | " +
                std::to_string(row.block[3]) + " |\n";
    }
    *out += "\n";
}

} // namespace

bool DbcWriteCatalogue(const ZMD_ImageView &view, std::string *out)
{
    std::string faults;
    if (!DbcValidateView(view, &faults)) {
        *out = "the image is malformed:\n" + faults;
        return false;
    }
    const ZMD_ImageCounts &n = view.counts;
    std::string s;
    s += "# Database keys\n\n";
    s += "Generated by `dbc catalogue` from the database sources in `src/zmd/zmdapi/depbase/db/`; do not edit.\n";
    s += "Every key of the image with the kind and element count of its values, the settings its tree tests on\n";
    s += "the way to them, and the answer of the engine for one set of settings per way through the tree\n";
    s += "(settings not named are 0 or the empty string, except the driver's paper sizes: user-defined\n";
    s += "10000 x 15000 in settings 29 and 30, alternate 21000 x 29700 in settings 25 and 26; the printer\n";
    s += "stores the named value, or nothing; the clock reads 2026-12-07 03:09:41; the country code is 1).\n";
    s += "Driver keys are asked through the driver query, so list keys answer their items, and their rows\n";
    s += "include the settings that choose their default mark and per-choice values.\n\n";
    s += "Image: " + std::to_string(n.nodes) + " nodes, " + std::to_string(n.keys) + " keys; pools: int32 " +
         std::to_string(n.int32Pool) + ", int16 " + std::to_string(n.int16Pool) + ", bytes " +
         std::to_string(n.bytePool) + ", case strings " + std::to_string(n.caseStringPool) + ".\n";
    static const char *const titles[7] = {
        "Root database", "Driver database",         "Language monitor database",          "Maintenance database",
        "PA database",   "Status monitor database", "Internal keys of the driver queries"};
    int current = -2;
    for (uint32_t i = 0; i < n.keys; ++i) {
        int db = DbcDatabaseOfKey(view.keys[i]);
        if (db != current) {
            current = db;
            s += "\n## " + std::string(db >= 0 ? titles[db] : "Keys of no database") + "\n\n";
        }
        KeySection(view, i, &s);
        if (db == 1 && (i + 1 == n.keys || DbcDatabaseOfKey(view.keys[i + 1]) != 1)) {
            s += "## Driver query tables\n\n";
            for (uint32_t q = 0; q < n.seqKeys; ++q) {
                SequenceSection(view, q, &s);
            }
            if (n.selectionRows) {
                ParameterSetSection(view, &s);
            }
        }
    }
    *out = s;
    return true;
}
