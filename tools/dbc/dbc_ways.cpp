// The ways through a key's tree and the engine's answers for them (see
// dbc_ways.h).
#include "dbc_ways.h"

#include <cstdlib>
#include <set>

#include "computed.h"
#include "dbc.h"
#include "drv_query.h"
#include "drv_rules.h"
#include "engine.h"
#include "extract.h"
#include "tree_walk.h"

namespace {

const size_t kMaxPaths = kDbcMaxWays;

enum {
    C_INT = DBC_SET_INT,
    C_STR = DBC_SET_STR,
    C_PRINTER = DBC_SET_PRINTER,
    C_COUNTRY = DBC_SET_COUNTRY
};

using Constraint = DbcSetting;
using Path = DbcWay;

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

} // namespace

void DbcAddTreeWays(const ZMD_ImageView &view, uint32_t key, uint32_t top, DbcWays *out)
{
    Walk w(view, key);
    w.paths = std::move(out->ways);
    w.truncated = out->truncated;
    WalkTree(&w, top);
    out->ways = std::move(w.paths);
    out->truncated = w.truncated;
}

void DbcAddHelperWays(const ZMD_ImageView &view, uint32_t helper, DbcWays *out)
{
    for (uint32_t j = 0; j < view.counts.keys; ++j) {
        if (view.keys[j] != helper || view.keyNodes[j] == 0) {
            continue;
        }
        DbcWays h;
        DbcAddTreeWays(view, helper, view.keyNodes[j], &h);
        for (const DbcWay &p : h.ways) {
            if (out->ways.size() < kMaxPaths && !p.empty()) {
                out->ways.push_back(p);
            }
        }
        out->truncated = out->truncated || h.truncated;
    }
}

std::vector<uint32_t> DbcHelperKeys(uint32_t key)
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

std::string DbcDescribeWay(const DbcWay &way)
{
    std::string s;
    for (const Constraint &c : way) {
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

DbcAnswer DbcAsk(const ZMD_ImageView &view, uint32_t key, int database, const DbcWay &way)
{
    FakeState state{false, 0, 1};
    ZMD_Platform platform{&state, OpenPrinter, ClosePrinter, GetPrinterData, GetLocalTime, GetCountryText, Alloc, Free};
    ZMD_Env env{&view, &platform};
    static const uint32_t shapeStr[6] = {1, 0, 5, 0, 0, 8};
    static const uint32_t shapeInt[6] = {1, 95, 13, 1, 4, 16};
    if (database < 0 || database > 5) {
        database = 1; // the internal keys answer through the driver's record
    }
    std::vector<int32_t> ints(shapeInt[database], 0);
    if (database == 1) {
        // The user-defined and alternate paper sizes of the driver record.
        ints[25] = 21000, ints[26] = 29700, ints[29] = 10000, ints[30] = 15000;
    }
    std::vector<std::string> texts(shapeStr[database], "");
    for (const Constraint &c : way) {
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
    DbcAnswer a;
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
    a.result = r;
    if (r == ZMD_OK) {
        a.form =
            ZMD_IsListKey(&view, key) ? DBC_FORM_LIST : DbcFormOfNode(ZMD_NodeKindOf(node.w0), ZMD_NodeLow(node.w1));
        a.data.assign(buf.begin(), buf.begin() + (size < buf.size() ? size : buf.size()));
        a.value = DbcFormatValue(a.form, a.data.data(), static_cast<uint32_t>(a.data.size()));
        if (a.form == DBC_FORM_BYTES) {
            a.value = std::to_string(size) + " bytes: " + a.value;
        }
    }
    return a;
}

std::string DbcWaySettingNames(const std::vector<DbcWay> &ways)
{
    std::set<std::pair<int, uint32_t>> seen;
    for (const DbcWay &p : ways) {
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
