// Key lookup and rule-tree evaluation.
//
// A key's tree is walked from its top node; the first value node reached
// that carries the key is the answer. ZMD_NOT_FOUND means "this subtree has
// no value for the key": sequences go on to their next child, every other
// result stops the walk and travels up unchanged. Nodes and cases decode
// through the image format (image_format.h). The image is trusted to be one
// the validator accepted, but every node index, pool offset and case-range
// index is still checked against its table before use, so that even an
// image that was never validated answers ZMD_ERROR instead of reading
// outside a table.
#include "engine.h"

#include "extract.h"

// For code the common query never takes: out of line, so that the common path
// stays short.
#if defined(__GNUC__)
#define ZMD_COLD_PATH __attribute__((noinline, cold))
#elif defined(_MSC_VER)
#define ZMD_COLD_PATH __declspec(noinline)
#else
#define ZMD_COLD_PATH
#endif

namespace {

// Never the key of a value node (keys are 16 bits).
const uint32_t kNoKey = 0x10000u;

// What a step of the walk answers when the walk goes on with the node it put
// in *next, one level deeper: a selector's case target, a sequence's last
// child. Never a result code. The walk loops on such a node instead of
// recursing, so that only a child after which a next sibling may still be
// tried takes a frame; each turn of the loop counts as one level of depth.
const int32_t kGoOn = 0x7FFF0001;

struct Walk {
    const ZMD_Env *env;
    uint32_t key; // low 16 bits of the requested key
    const ZMD_SettingsRecord *record;
    ZMD_Node *out;
    // A walk for two keys at once: the second key and its value node, and
    // which of the two have been reached (null for a walk of one key).
    uint32_t key2 = kNoKey;
    ZMD_Node *out2 = nullptr;
    bool *reached = nullptr;
};

int32_t Eval(const Walk &w, ZMD_Node node, unsigned depth);

ZMD_OBSERVER_PATH void NoteWalk(const ZMD_Env *env, uint32_t kind, uint32_t key, uint32_t key2, ZMD_Node node,
                                int32_t result, const ZMD_SettingsRecord *record);

// A value node reached within the depth limit: ZMD_OK for the walk's key,
// ZMD_NOT_FOUND for a value of another key (passed over; the value is not
// read here). A walk for two keys goes on until both are reached.
inline int32_t ReachValue(const Walk &w, ZMD_Node node)
{
    const uint32_t high = ZMD_NodeHigh(node.w1);
    if (high == w.key) {
        if (w.env->observer) {
            NoteWalk(w.env, ZMD_SEEN_VALUE, w.key, 0, node, 0, w.record);
        }
        if (!w.reached) {
            *w.out = node;
            return ZMD_OK;
        }
        if (!w.reached[0]) {
            *w.out = node;
            w.reached[0] = true;
        }
        return w.reached[1] ? ZMD_OK : ZMD_NOT_FOUND;
    }
    // key2 is kNoKey, which no value carries, unless the walk is for two keys.
    if (high == w.key2) {
        if (w.env->observer) {
            NoteWalk(w.env, ZMD_SEEN_VALUE, w.key2, 0, node, 0, w.record);
        }
        if (!w.reached[1]) {
            *w.out2 = node;
            w.reached[1] = true;
        }
        return w.reached[0] ? ZMD_OK : ZMD_NOT_FOUND;
    }
    return ZMD_NOT_FOUND;
}

// A child that is a value node within the depth limit is decided here, as
// Eval would decide it, without a call of Eval (valuesHere: the children's
// level is within the limit).
inline bool IsValueHere(ZMD_Node child, bool valuesHere)
{
    return valuesHere && ZMD_IsValueKind(ZMD_NodeKindOf(child.w0));
}

// A value of neither of the walk's keys, passed over unread.
inline bool PassedOver(const Walk &w, ZMD_Node value)
{
    const uint32_t high = ZMD_NodeHigh(value.w1);
    return high != w.key && high != w.key2;
}

// The steps told to an observer (observe.h). Each is called only when the
// environment has one, so that the walk without one builds no step.
ZMD_OBSERVER_PATH void NoteRead(const Walk &w, ZMD_Node selector, uint32_t arg, int32_t value, int32_t raw,
                                int32_t result, const char *text = nullptr)
{
    ZMD_Step s;
    s.kind = ZMD_SEEN_READ;
    s.key = w.key;
    s.node = selector;
    s.arg = arg;
    s.value = value;
    s.value2 = raw;
    s.result = result;
    s.text = text;
    s.record = w.record;
    ZMD_Observe(w.env, s);
}

ZMD_OBSERVER_PATH void NoteCase(const Walk &w, uint32_t kind, uint64_t index, ZMD_Node node)
{
    ZMD_Step s;
    s.kind = kind;
    s.key = w.key;
    s.index = static_cast<uint32_t>(index);
    s.node = node;
    s.record = w.record;
    ZMD_Observe(w.env, s);
}

ZMD_OBSERVER_PATH void NoteWalk(const ZMD_Env *env, uint32_t kind, uint32_t key, uint32_t key2, ZMD_Node node,
                                int32_t result, const ZMD_SettingsRecord *record)
{
    ZMD_Step s;
    s.kind = kind;
    s.key = key;
    s.key2 = key2;
    s.node = node;
    s.result = result;
    s.record = record;
    ZMD_Observe(env, s);
}

// The key table searched without its index: the binary search finds the
// first entry not below the key, which in an ascending table is also the first
// match of a scan. Only when that misses is the table scanned, so that a table
// out of order still answers as a plain first-match scan would. Taken only
// when the key index is absent or not believed, so it stays out of line.
ZMD_COLD_PATH int32_t SearchKeyTable(const ZMD_ImageView *image, uint16_t wanted, ZMD_Node *top)
{
    uint32_t lo = 0;
    uint32_t hi = image->counts.keys;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (image->keys[mid] < wanted) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo < image->counts.keys && image->keys[lo] == wanted) {
        return ZMD_GetNode(image, image->keyNodes[lo], top) ? ZMD_OK : ZMD_ERROR;
    }
    for (uint32_t i = 0; i < image->counts.keys; ++i) {
        if (image->keys[i] == wanted) {
            return ZMD_GetNode(image, image->keyNodes[i], top) ? ZMD_OK : ZMD_ERROR;
        }
    }
    return ZMD_NO_KEY;
}

// Steps 1 to 3 of the key lookup: the key's top node, ZMD_NO_KEY when the key
// table lacks the key, ZMD_ERROR when the table is malformed.
int32_t LookupTopNode(const ZMD_ImageView *image, uint32_t key, ZMD_Node *top)
{
    if (!image->keys || !image->keyNodes || image->counts.keys == 0) {
        return ZMD_ERROR;
    }
    const uint16_t wanted = static_cast<uint16_t>(key & 0xFFFFu);
    // The key index names the key's entry directly. An index that names an
    // entry out of bounds or of another key is not believed: the search
    // answers as if there were none.
    const uint32_t group = wanted >> 12u;
    if (image->keyRanges && image->keySlots && group < image->counts.keyRanges) {
        const ZMD_KeyRange &range = image->keyRanges[group];
        const uint32_t offset = static_cast<uint32_t>(wanted) - range.first;
        if (offset >= range.count) {
            return ZMD_NO_KEY;
        }
        const uint64_t slot = static_cast<uint64_t>(range.slotStart) + offset;
        if (slot < image->counts.keySlots) {
            const uint32_t at = image->keySlots[slot];
            if (at == ZMD_NO_SLOT) {
                return ZMD_NO_KEY;
            }
            if (at < image->counts.keys && image->keys[at] == wanted) {
                return ZMD_GetNode(image, image->keyNodes[at], top) ? ZMD_OK : ZMD_ERROR;
            }
        }
    }
    return SearchKeyTable(image, wanted, top);
}

bool GetIntSetting(const ZMD_SettingsRecord *record, uint32_t index, int32_t *value)
{
    if (!record || !record->pnInts || index >= record->cInts) {
        return false;
    }
    *value = record->pnInts[index];
    return true;
}

// The number of nodes in the table (none without a table): a child at or
// beyond it answers ZMD_ERROR when the walk reaches it, as fetching it would.
inline uint64_t NodesInTable(const ZMD_ImageView *image)
{
    return image->nodes ? image->counts.nodes : 0;
}

// Evaluates `count` contiguous nodes from `first` in order; the first result
// that is not ZMD_NOT_FOUND wins. The last child's result is the sequence's:
// it is handed back in *next (kGoOn).
int32_t EvalSequence(const Walk &w, uint32_t first, uint32_t count, unsigned depth, ZMD_Node *next)
{
    const ZMD_ImageView *image = w.env->image;
    const uint64_t inTable = NodesInTable(image);
    const bool valuesHere = depth + 1 <= ZMD_MAX_TREE_DEPTH;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = static_cast<uint64_t>(first) + i;
        if (at >= inTable) {
            return ZMD_ERROR;
        }
        const ZMD_Node child = image->nodes[at];
        if (IsValueHere(child, valuesHere)) {
            if (PassedOver(w, child)) {
                continue;
            }
            const int32_t r = ReachValue(w, child);
            if (r != ZMD_NOT_FOUND) {
                return r;
            }
            continue;
        }
        if (i + 1 == count) {
            *next = child;
            return kGoOn;
        }
        int32_t r = Eval(w, child, depth + 1);
        if (r != ZMD_NOT_FOUND) {
            return r;
        }
    }
    return ZMD_NOT_FOUND;
}

// A SWITCH: WHEN children are taken when the integer setting equals their
// value, every other child unconditionally; several may be tried in order.
// A last child taken is handed back in *next (kGoOn).
int32_t EvalSwitch(const Walk &w, ZMD_Node node, unsigned depth, ZMD_Node *next)
{
    const uint32_t first = ZMD_NodeOperand(node.w0);
    const uint32_t setting = ZMD_NodeHigh(node.w1);
    const uint32_t count = ZMD_NodeLow(node.w1);
    const ZMD_ImageView *image = w.env->image;
    const uint64_t inTable = NodesInTable(image);
    const bool valuesHere = depth + 1 <= ZMD_MAX_TREE_DEPTH;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = static_cast<uint64_t>(first) + i;
        if (at >= inTable) {
            return ZMD_ERROR;
        }
        const ZMD_Node child = image->nodes[at];
        if (ZMD_NodeKindOf(child.w0) == ZMD_KIND_WHEN) {
            int32_t v;
            if (!GetIntSetting(w.record, setting, &v)) {
                if (w.env->observer) {
                    NoteRead(w, node, setting, 0, 0, ZMD_BAD_INT_SETTING);
                }
                return ZMD_BAD_INT_SETTING;
            }
            if (w.env->observer) {
                NoteRead(w, node, setting, v, v, 0);
            }
            if (v != static_cast<int32_t>(ZMD_NodeHigh(child.w1))) {
                continue;
            }
            if (w.env->observer) {
                NoteCase(w, ZMD_SEEN_CASE, static_cast<uint64_t>(first) + i, child);
            }
        } else if (IsValueHere(child, valuesHere)) {
            if (PassedOver(w, child)) {
                continue;
            }
            const int32_t r = ReachValue(w, child);
            if (r != ZMD_NOT_FOUND) {
                return r;
            }
            continue;
        }
        if (i + 1 == count) {
            *next = child;
            return kGoOn;
        }
        int32_t r = Eval(w, child, depth + 1);
        if (r != ZMD_NOT_FOUND) {
            return r;
        }
    }
    return ZMD_NOT_FOUND;
}

// The target named by a case's operand, for the walk to go on with (kGoOn).
int32_t CaseTarget(const Walk &w, ZMD_Node caseNode, ZMD_Node *next)
{
    if (!ZMD_GetNode(w.env->image, ZMD_NodeOperand(caseNode.w0), next)) {
        return ZMD_ERROR;
    }
    return kGoOn;
}

// The case scan of the integer selectors: CASE_EQUAL, CASE_DEFAULT and
// CASE_RANGE in order; the first match decides, its target is where the walk
// goes on (kGoOn, the target in *next). The
// cases are read straight from the node table and matched without being
// decoded (ZMD_MatchIntCase); a case beyond the table or one the selector
// does not take answers ZMD_ERROR when the scan reaches it, as before.
int32_t ScanIntCases(const Walk &w, uint32_t first, uint32_t count, int32_t v, ZMD_Node *next)
{
    const ZMD_ImageView *image = w.env->image;
    const uint64_t nodeCount = image->nodes ? image->counts.nodes : 0;
    const uint64_t inTable = first < nodeCount ? nodeCount - first : 0;
    const uint32_t scanned = inTable < count ? static_cast<uint32_t>(inTable) : count;
    const ZMD_Node *cases = image->nodes + (first < nodeCount ? first : 0);
    for (uint32_t i = 0; i < scanned; ++i) {
        const ZMD_Node c = cases[i];
        const int32_t match = ZMD_MatchIntCase(image, c, v);
        if (match < 0) {
            return ZMD_ERROR;
        }
        if (match) {
            if (w.env->observer) {
                NoteCase(w, ZMD_SEEN_CASE, static_cast<uint64_t>(first) + i, c);
            }
            return CaseTarget(w, c, next);
        }
    }
    if (scanned < count) {
        return ZMD_ERROR;
    }
    if (w.env->observer) {
        NoteCase(w, ZMD_SEEN_NO_CASE, first, ZMD_Node{0, 0});
    }
    return ZMD_NOT_FOUND;
}

// True when the terminated string value is exactly the length characters of
// text (text not terminated). Reads value no further than its first
// character that differs, its terminator or the character after length: a
// mismatch in the first character, the common case, costs one look.
bool EqualsCaseText(const char *value, const char *text, uint32_t length)
{
    if (text == nullptr) {
        return false;
    }
    for (uint32_t i = 0; i < length; ++i) {
        const char c = value[i];
        if (c == '\0' || c != text[i]) {
            return false;
        }
    }
    return value[length] == '\0';
}

int32_t EvalSelectString(const Walk &w, ZMD_Node node, ZMD_Node *next)
{
    // What the loop reads on every case is taken once: the image does not
    // change under a walk, nor the record, and an observer only looks.
    const ZMD_ImageView image = *w.env->image;
    const bool observed = w.env->observer != nullptr;
    const uint32_t first = ZMD_NodeOperand(node.w0);
    const uint32_t setting = ZMD_NodeHigh(node.w1);
    const uint32_t count = ZMD_NodeLow(node.w1);
    const char *value = "";
    for (uint32_t i = 0; i < count; ++i) {
        ZMD_Node c;
        if (!ZMD_GetNode(&image, static_cast<uint64_t>(first) + i, &c)) {
            return ZMD_ERROR;
        }
        if (ZMD_NodeKindOf(c.w0) == ZMD_KIND_CASE_DEFAULT) {
            if (observed) {
                NoteCase(w, ZMD_SEEN_CASE, static_cast<uint64_t>(first) + i, c);
            }
            return CaseTarget(w, c, next);
        }

        ZMD_Case decoded;
        if (ZMD_DecodeCase(&image, c, true, &decoded) != ZMD_OK) {
            return ZMD_ERROR;
        }
        // Every case before this one was a string case, so the setting is
        // read (and judged) at the first case.
        if (i == 0) {
            const ZMD_SettingsRecord *rec = w.record;
            if (!rec || !rec->ppszStrings || setting >= rec->cStrings) {
                if (observed) {
                    NoteRead(w, node, setting, 0, 0, ZMD_BAD_STRING_SETTING);
                }
                return ZMD_BAD_STRING_SETTING;
            }
            if (rec->ppszStrings[setting]) {
                value = rec->ppszStrings[setting];
            }
            if (observed) {
                NoteRead(w, node, setting, 0, 0, 0, value);
            }
        }
        if (EqualsCaseText(value, decoded.text, decoded.length)) {
            if (observed) {
                NoteCase(w, ZMD_SEEN_CASE, static_cast<uint64_t>(first) + i, c);
            }
            return CaseTarget(w, c, next);
        }
    }
    if (observed) {
        NoteCase(w, ZMD_SEEN_NO_CASE, first, ZMD_Node{0, 0});
    }
    return ZMD_NOT_FOUND;
}

// SELECT_PRINTER_DATA: the selector picks a value name from root key 0x0008,
// evaluated internally with a root-shaped record; the value stored under that
// name with the printer selects the case. An absent value follows a trailing
// CASE_DEFAULT, if any.
int32_t EvalSelectPrinterData(const Walk &w, ZMD_Node node, unsigned depth, ZMD_Node *next)
{
    const ZMD_Env *env = w.env;
    const uint32_t first = ZMD_NodeOperand(node.w0);
    const uint32_t selector = ZMD_NodeHigh(node.w1);
    const uint32_t count = ZMD_NodeLow(node.w1);

    ZMD_Node top;
    int32_t r = LookupTopNode(env->image, ZMD_VALUE_NAME_KEY, &top);
    if (r != ZMD_OK) {
        return r;
    }

    // The inner record lives in this frame; the heap only if a root record
    // ever outgrew the frame's room.
    ZMD_RecordStorage storage;
    ZMD_SettingsRecord *names = ZMD_InitSettingsRecord(ZMD_DB_ROOT, nullptr, &storage);
    const bool onHeap = names == nullptr;
    if (onHeap) {
        names = ZMD_CreateSettingsRecord(env, ZMD_DB_ROOT, nullptr);
    }
    if (!names) {
        return ZMD_ERROR;
    }
    names->pnInts[0] = static_cast<int32_t>(selector);
    ZMD_Node nameNode{0, 0};
    const Walk inner{env, ZMD_VALUE_NAME_KEY, names, &nameNode};
    if (env->observer) {
        NoteWalk(env, ZMD_SEEN_KEY, ZMD_VALUE_NAME_KEY, 0, top, 0, names);
    }
    r = Eval(inner, top, depth + 1);
    if (env->observer) {
        NoteWalk(env, ZMD_SEEN_END, ZMD_VALUE_NAME_KEY, 0, nameNode, r, names);
    }
    if (onHeap) {
        ZMD_FreeSettingsRecord(env, names);
    }
    if (r != ZMD_OK) {
        return ZMD_ERROR;
    }

    if (!w.record || !w.record->hPrinter) {
        return ZMD_BAD_RECORD;
    }

    int32_t v = 0;
    r = ZMD_ReadPrinterDword(env, w.record->hPrinter, nameNode.w0, nameNode.w1, &v);
    if (env->observer) {
        NoteRead(w, node, selector, v, static_cast<int32_t>(nameNode.w0), r);
    }
    if (r == 0) {
        return ScanIntCases(w, first, count, v, next);
    }
    if (r != 1) {
        return r;
    }
    ZMD_Node last{0, 0};
    if (count != 0 && !ZMD_GetNode(env->image, static_cast<uint64_t>(first) + count - 1, &last)) {
        return ZMD_ERROR;
    }
    if (count == 0 || ZMD_NodeKindOf(last.w0) != ZMD_KIND_CASE_DEFAULT) {
        if (env->observer) {
            NoteCase(w, ZMD_SEEN_NO_CASE, first, ZMD_Node{0, 0});
        }
        return ZMD_NOT_FOUND;
    }
    if (env->observer) {
        NoteCase(w, ZMD_SEEN_CASE, static_cast<uint64_t>(first) + count - 1, last);
    }
    return CaseTarget(w, last, next);
}

// The walk from `node`: a loop over the nodes whose result is the walk's
// result (a case target, a sequence's last child), recursing only for a child
// after which the walk may go on to a next sibling. Each turn is one level
// deeper, so that a cycle in a malformed image ends at the depth limit.
int32_t Eval(const Walk &w, ZMD_Node node, unsigned depth)
{
    for (;; ++depth) {
        if (depth > ZMD_MAX_TREE_DEPTH) {
            return ZMD_ERROR;
        }
        const uint32_t kind = ZMD_NodeKindOf(node.w0);
        const uint32_t operand = ZMD_NodeOperand(node.w0);
        int32_t r;
        switch (kind) {
        case ZMD_KIND_BYTES:
        case ZMD_KIND_INT32_ARRAY:
        case ZMD_KIND_INT8_ARRAY:
        case ZMD_KIND_INT16_ARRAY:
        case ZMD_KIND_UINT8_ARRAY:
        case ZMD_KIND_UINT16_ARRAY:
        case ZMD_KIND_TEXT:
        case ZMD_KIND_COMPUTED:
            return ReachValue(w, node);

        case ZMD_KIND_LIST:
        case ZMD_KIND_WHEN:
        case ZMD_KIND_CASE_EQUAL:
        case ZMD_KIND_CASE_DEFAULT:
            // Evaluated as nodes these are plain sequences; WHEN's value is only
            // compared by its SWITCH.
            r = EvalSequence(w, operand, ZMD_NodeLow(node.w1), depth, &node);
            break;

        case ZMD_KIND_SWITCH:
            r = EvalSwitch(w, node, depth, &node);
            break;

        case ZMD_KIND_SELECT_INT: {
            int32_t v = 0;
            const bool got = GetIntSetting(w.record, ZMD_NodeHigh(node.w1), &v);
            if (w.env->observer) {
                NoteRead(w, node, ZMD_NodeHigh(node.w1), v, v, got ? 0 : ZMD_BAD_INT_SETTING);
            }
            if (!got) {
                return ZMD_BAD_INT_SETTING;
            }
            r = ScanIntCases(w, operand, ZMD_NodeLow(node.w1), v, &node);
            break;
        }

        case ZMD_KIND_SELECT_MASKED: {
            ZMD_Node mask;
            if (!ZMD_GetNode(w.env->image, operand, &mask) || ZMD_NodeKindOf(mask.w0) != ZMD_KIND_MASK) {
                return ZMD_ERROR;
            }
            int32_t v = 0;
            const bool got = GetIntSetting(w.record, ZMD_NodeHigh(node.w1), &v);
            const int32_t raw = v;
            v = static_cast<int32_t>(static_cast<uint32_t>(v) & mask.w1);
            if (w.env->observer) {
                NoteRead(w, node, ZMD_NodeHigh(node.w1), v, raw, got ? 0 : ZMD_BAD_INT_SETTING);
            }
            if (!got) {
                return ZMD_BAD_INT_SETTING;
            }
            r = ScanIntCases(w, ZMD_NodeOperand(mask.w0), ZMD_NodeLow(node.w1), v, &node);
            break;
        }

        case ZMD_KIND_SELECT_COUNTRY: {
            int32_t v;
            if (ZMD_GetUserCountryCode(w.env, ZMD_NodeHigh(node.w1), &v) != 0) {
                return ZMD_ERROR;
            }
            if (w.env->observer) {
                NoteRead(w, node, ZMD_NodeHigh(node.w1), v, v, 0);
            }
            r = ScanIntCases(w, operand, ZMD_NodeLow(node.w1), v, &node);
            break;
        }

        case ZMD_KIND_SELECT_PRINTER_DATA:
            r = EvalSelectPrinterData(w, node, depth, &node);
            break;

        case ZMD_KIND_SELECT_STRING:
            r = EvalSelectString(w, node, &node);
            break;

        default:
            // CASE_STRING, MASK and CASE_RANGE are only read by their selectors;
            // kind 0 and kinds above 21 do not exist.
            return ZMD_ERROR;
        }
        if (r != kGoOn) {
            return r;
        }
    }
}

// A walk of one key from its top node, between its KEY and END steps.
ZMD_OBSERVER_PATH int32_t EvalObserved(const Walk &w, ZMD_Node top)
{
    NoteWalk(w.env, ZMD_SEEN_KEY, w.key, 0, top, 0, w.record);
    const int32_t r = Eval(w, top, 0);
    NoteWalk(w.env, ZMD_SEEN_END, w.key, 0, r == ZMD_OK ? *w.out : ZMD_Node{0, 0}, r, w.record);
    return r;
}

} // namespace

namespace {

// The evaluation of a node for one key, for callers that have checked the
// environment and its image.
inline int32_t EvaluateChecked(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, ZMD_Node node,
                               ZMD_Node *out)
{
    if (!out) {
        return ZMD_ERROR;
    }
    const uint32_t key16 = key & 0xFFFFu;
    // A node that is itself a value is decided as the walk's first turn
    // would decide it (ReachValue for one key), without building the walk.
    if (!env->observer && ZMD_IsValueKind(ZMD_NodeKindOf(node.w0))) {
        if (ZMD_NodeHigh(node.w1) != key16) {
            return ZMD_NOT_FOUND;
        }
        *out = node;
        return ZMD_OK;
    }
    const Walk w{env, key16, pRecord, out};
    if (env->observer) {
        return EvalObserved(w, node);
    }
    return Eval(w, node, 0);
}

} // namespace

int32_t ZMD_FindKey(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, ZMD_Node *out)
{
    if (!env || !env->image) {
        return ZMD_ERROR;
    }
    ZMD_Node top;
    int32_t r = LookupTopNode(env->image, key, &top);
    if (r != ZMD_OK) {
        return r;
    }
    return EvaluateChecked(env, key, pRecord, top, out);
}

int32_t ZMD_LookupKey(const ZMD_Env *env, uint32_t key, ZMD_Node *top)
{
    if (!env || !env->image || !top) {
        return ZMD_ERROR;
    }
    return LookupTopNode(env->image, key, top);
}

int32_t ZMD_EvaluateNode(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t w0, uint32_t w1,
                         ZMD_Node *out)
{
    if (!out || !env || !env->image) {
        return ZMD_ERROR;
    }
    return EvaluateChecked(env, key, pRecord, ZMD_Node{w0, w1}, out);
}

void ZMD_EvaluateNodePair(const ZMD_Env *env, const uint32_t keys[2], const ZMD_SettingsRecord *pRecord, uint32_t w0,
                          uint32_t w1, ZMD_Node out[2], int32_t results[2])
{
    const uint32_t a = keys[0] & 0xFFFFu, b = keys[1] & 0xFFFFu;
    if (!out || !env || !env->image || a == b) {
        results[0] = ZMD_EvaluateNode(env, a, pRecord, w0, w1, out ? &out[0] : nullptr);
        results[1] = ZMD_EvaluateNode(env, b, pRecord, w0, w1, out ? &out[1] : nullptr);
        return;
    }
    bool reached[2] = {false, false};
    ZMD_Node found[2] = {};
    Walk w{env, a, pRecord, &found[0]};
    w.key2 = b;
    w.out2 = &found[1];
    w.reached = reached;
    // Where the walk stopped is where a walk for a key not reached would
    // have stopped too, with the same result.
    if (env->observer) {
        NoteWalk(env, ZMD_SEEN_KEY, a, b, ZMD_Node{w0, w1}, 0, pRecord);
    }
    const int32_t r = Eval(w, ZMD_Node{w0, w1}, 0);
    if (env->observer) {
        NoteWalk(env, ZMD_SEEN_END, a, b, ZMD_Node{0, 0}, r, pRecord);
    }
    for (int k = 0; k < 2; ++k) {
        results[k] = reached[k] ? ZMD_OK : r;
        if (reached[k]) {
            out[k] = found[k];
        }
    }
}
