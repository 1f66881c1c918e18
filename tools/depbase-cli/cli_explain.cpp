// depbase-cli explain: the query answered through the export's own frame with
// an observer, which turns every step the evaluation reports (observe.h) into
// a line for people and the members of a JSON object. Nothing here decides
// anything: each step says what the engine did, and the answer is the one
// the observed call gave.
#include <cstdio>
#include <unordered_map>

#include "cli.h"
#include "cli_lines.h"
#include "computed_ops.h"
#include "dbc.h"
#include "dbc_format.h"
#include "drv_internal.h"
#include "env.h"
#include "image_format.h"

namespace {

std::string Hex(uint32_t v, int digits = 4)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
    return buf;
}

std::string Quoted(const std::string &s)
{
    return CliJsonText(s);
}

// Where the image's nodes and keys were written (the generated line table).
struct Sources {
    const ZMD_ImageView *image = nullptr;
    const CliSourceLines *lines = nullptr;
    std::unordered_map<uint64_t, uint32_t> firstIndex; // node words -> first node index with them

    explicit Sources(const ZMD_ImageView *img) : image(img), lines(CliShippedLines())
    {
        if (lines->nNodes != image->counts.nodes || lines->nKeys != image->counts.keys) {
            lines = nullptr; // a table of other sources names nothing
        }
        for (uint32_t i = image->counts.nodes; i-- > 0;) {
            firstIndex[uint64_t{image->nodes[i].w0} << 32 | image->nodes[i].w1] = i;
        }
    }
    std::string At(uint32_t pos) const
    {
        const uint32_t file = pos >> 24, line = pos & 0xFFFFFFu;
        if (line == 0 || file >= lines->nFiles) {
            return "";
        }
        return "db/" + std::string(lines->files[file]) + ":" + std::to_string(line);
    }
    std::string Node(uint32_t index) const { return lines && index < lines->nNodes ? At(lines->nodePos[index]) : ""; }
    // A node known by its words: the first node of the image with them (the
    // compiler lays identical subtrees out once).
    std::string Words(ZMD_Node n) const
    {
        auto it = firstIndex.find(uint64_t{n.w0} << 32 | n.w1);
        return it == firstIndex.end() ? "" : Node(it->second);
    }
    std::string Key(uint32_t key, ZMD_Node top) const
    {
        for (uint32_t i = 0; lines && i < image->counts.keys; ++i) {
            if (image->keys[i] == key) {
                return At(lines->keyPos[i]);
            }
        }
        return Words(top);
    }
};

std::string KeyName(uint32_t key)
{
    const int db = DbcDatabaseOfKey(key);
    return (db >= 0 && db < 6 ? std::string(CliDatabaseName(db)) : std::string("internal")) + " " + Hex(key);
}

std::string ItemField(uint32_t field)
{
    static const char *const names[5] = {"id", "name id", "value1", "value2", "default"};
    return field < 5 ? names[field] : "word " + std::to_string(field);
}

int32_t IntSetting(const ZMD_SettingsRecord *rec, uint32_t index, bool *present)
{
    *present = rec && rec->pnInts && index < rec->cInts;
    return *present ? rec->pnInts[index] : 0;
}

// What a computed value is made from: the settings it reads (with the values
// the record holds) or what the host gives it.
std::string ComputedInputs(uint32_t type, const ZMD_SettingsRecord *rec, std::string *json)
{
    std::vector<uint32_t> settings;
    std::string host;
    switch (type) {
    case 1:
        settings = {ZMD_SET_CUSTOM_WIDTH, ZMD_SET_CUSTOM_LENGTH, ZMD_SET_MARGIN_VARIANT};
        break;
    case 4:
        settings = {ZMD_SET_CUSTOM_LENGTH, ZMD_SET_MARGIN_VARIANT};
        break;
    case 2:
        settings = {ZMD_SET_CUSTOM_WIDTH, ZMD_SET_CUSTOM_LENGTH, ZMD_SET_MARGIN_VARIANT};
        break;
    case 3:
        settings = {ZMD_SET_ALT_WIDTH, ZMD_SET_ALT_LENGTH, ZMD_SET_MARGIN_VARIANT};
        break;
    case 5:
        host = "the local time";
        break;
    case 6:
        settings = {ZMD_SET_OPTION_FLAGS, ZMD_SET_OPTION_PARAM};
        break;
    case 7:
        host = "the quiet window stored with the printer and the local time";
        break;
    default:
        break;
    }
    std::string text;
    *json = ", \"inputs\": [";
    for (size_t i = 0; i < settings.size(); ++i) {
        bool present = false;
        const int32_t v = IntSetting(rec, settings[i], &present);
        const std::string name = "integer " + std::to_string(settings[i]);
        text += (i ? ", " : "") + name + (present ? " = " + std::to_string(v) : " (absent)");
        *json += std::string(i ? ", " : "") + "{\"setting\": " + Quoted(name) +
                 (present ? ", \"value\": " + std::to_string(v) : std::string()) + "}";
    }
    *json += "]";
    if (!host.empty()) {
        *json += ", \"host\": " + Quoted(host);
        text = host;
    }
    return text;
}

// The text of a TEXT value node (the value names of printer data).
std::string NodeText(const ZMD_ImageView *image, ZMD_Node n)
{
    const uint32_t offset = ZMD_NodeOperand(n.w0), count = ZMD_NodeLow(n.w1);
    std::string s;
    if (ZMD_NodeKindOf(n.w0) != ZMD_KIND_TEXT || uint64_t{offset} + count > image->counts.bytePool) {
        return s;
    }
    for (uint32_t i = 0; i < count && image->bytePool[offset + i] != 0; ++i) {
        s += static_cast<char>(image->bytePool[offset + i]);
    }
    return s;
}

struct Recorder {
    const ZMD_ImageView *image;
    Sources sources;
    std::vector<CliStep> steps;
    int depth = 0;
    bool answered = false;    // the last step was an answer: the next call starts afresh
    ZMD_Node valueName{0, 0}; // the value name the last printer-data selector walked to
    explicit Recorder(const ZMD_ImageView *img) : image(img), sources(img) {}
};

std::string Source(const std::string &where)
{
    return where.empty() ? "" : " (" + where + ")";
}

std::string SourceField(const std::string &where)
{
    return where.empty() ? "" : ", \"source\": " + Quoted(where);
}

// A selector's read: which setting, stored printer value or country, and what it found.
void DescribeRead(Recorder *r, const ZMD_Step &s, CliStep *out)
{
    const uint32_t kind = ZMD_NodeKindOf(s.node.w0);
    const std::string where = r->sources.Words(s.node);
    std::string setting, found;
    std::string json;
    switch (kind) {
    case ZMD_KIND_SELECT_STRING:
        setting = "string " + std::to_string(s.arg);
        found = s.result == 0 ? Quoted(s.text ? s.text : "") : "";
        json = s.result == 0 ? ", \"value\": " + Quoted(s.text ? s.text : "") : "";
        break;
    case ZMD_KIND_SELECT_COUNTRY:
        setting = "country";
        found = std::to_string(s.value);
        json = ", \"value\": " + found;
        break;
    case ZMD_KIND_SELECT_PRINTER_DATA: {
        const std::string name = NodeText(r->image, r->valueName);
        setting = "printer-data item " + std::to_string(s.arg) + (name.empty() ? "" : " (" + name + ")");
        found = s.result == 0 ? std::to_string(s.value) : s.result == 1 ? "not stored" : "";
        json = ", \"value_name\": " + Quoted(name) +
               (s.result == 0 ? ", \"value\": " + found : std::string(", \"stored\": false"));
        break;
    }
    case ZMD_KIND_SELECT_MASKED: {
        ZMD_Node mask{0, 0};
        ZMD_GetNode(r->image, ZMD_NodeOperand(s.node.w0), &mask);
        setting = "integer " + std::to_string(s.arg);
        found = std::to_string(s.value2) + " & " + Hex(mask.w1, 1) + " = " + std::to_string(s.value);
        json = ", \"value\": " + std::to_string(s.value2) + ", \"mask\": " + std::to_string(mask.w1) +
               ", \"masked\": " + std::to_string(s.value);
        break;
    }
    default: // SELECT_INT, SWITCH
        setting = "integer " + std::to_string(s.arg);
        found = std::to_string(s.value);
        json = ", \"value\": " + found;
        break;
    }
    std::string kindName = DbcKindName(kind);
    for (char &c : kindName) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    if (s.result != 0 && !(kind == ZMD_KIND_SELECT_PRINTER_DATA && s.result == 1)) {
        out->line = kindName + " reads " + setting + ": " + DbcResultName(s.result) + Source(where);
        json = ", \"result\": " + Quoted(DbcResultName(s.result));
    } else {
        out->line = kindName + " reads " + setting + " = " + found + Source(where);
    }
    out->fields =
        ", \"selector\": " + Quoted(kindName) + ", \"setting\": " + Quoted(setting) + json + SourceField(where);
}

void DescribeCase(Recorder *r, const ZMD_Step &s, CliStep *out)
{
    const std::string where = r->sources.Node(s.index);
    const uint32_t kind = ZMD_NodeKindOf(s.node.w0);
    std::string what;
    if (kind == ZMD_KIND_WHEN) {
        what = "when " + std::to_string(static_cast<int32_t>(ZMD_NodeHigh(s.node.w1)));
    } else {
        ZMD_Case c{};
        if (ZMD_DecodeCase(r->image, s.node, kind == ZMD_KIND_CASE_STRING, &c) != ZMD_OK) {
            what = "case";
        } else if (c.kind == ZMD_KIND_CASE_DEFAULT) {
            what = "default";
        } else if (c.kind == ZMD_KIND_CASE_STRING) {
            what = "case " + Quoted(std::string(c.text, c.length));
        } else if (c.kind == ZMD_KIND_CASE_RANGE) {
            what = "case " + std::to_string(c.low) + ".." + std::to_string(c.high);
        } else {
            what = "case " + std::to_string(c.low);
        }
    }
    out->line = what + (what == "default" ? " taken" : " matched") + Source(where);
    out->fields = ", \"case\": " + Quoted(what) + SourceField(where);
}

std::string Lower(std::string s)
{
    for (char &c : s) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return s;
}

// The value node a walk reached: its kind and count, or its computed type.
std::string NodeKind(ZMD_Node n)
{
    const uint32_t kind = ZMD_NodeKindOf(n.w0), count = ZMD_NodeLow(n.w1);
    if (kind == ZMD_KIND_COMPUTED) {
        return "computed type " + std::to_string(count);
    }
    return Lower(DbcKindName(kind)) + " × " + std::to_string(count);
}

std::string BytesJson(const std::vector<uint8_t> &b)
{
    std::string s = "[";
    for (size_t i = 0; i < b.size(); ++i) {
        s += (i ? ", " : "") + std::to_string(b[i]);
    }
    return s + "]";
}

void Describe(Recorder *r, const ZMD_Step &s, CliStep *out)
{
    switch (s.kind) {
    case ZMD_SEEN_KEY: {
        const std::string where = r->sources.Key(s.key, s.node);
        out->name = "key";
        out->line = "key " + KeyName(s.key) + (s.key2 ? " and " + KeyName(s.key2) + " (one tree)" : "") + Source(where);
        out->fields = ", \"key\": " + Quoted(Hex(s.key)) + (s.key2 ? ", \"key2\": " + Quoted(Hex(s.key2)) : "") +
                      SourceField(where);
        return;
    }
    case ZMD_SEEN_END:
        out->name = "end";
        out->result = s.result;
        out->line = "end of " + KeyName(s.key) + ": " + DbcResultName(s.result) +
                    (s.result == ZMD_NOT_FOUND ? " (no value of the key on the way taken)" : "");
        out->fields = ", \"key\": " + Quoted(Hex(s.key)) + ", \"result\": " + Quoted(DbcResultName(s.result));
        return;
    case ZMD_SEEN_READ:
        out->name = "read";
        DescribeRead(r, s, out);
        return;
    case ZMD_SEEN_CASE:
        out->name = "case";
        DescribeCase(r, s, out);
        return;
    case ZMD_SEEN_NO_CASE: {
        const std::string where = r->sources.Node(s.index);
        out->name = "no-case";
        out->line = "no case matched" + Source(where);
        out->fields = SourceField(where);
        return;
    }
    case ZMD_SEEN_VALUE: {
        const std::string where = r->sources.Words(s.node);
        out->name = "value";
        out->line = "value of " + KeyName(s.key) + ": " + NodeKind(s.node) + Source(where);
        out->fields =
            ", \"key\": " + Quoted(Hex(s.key)) + ", \"kind\": " + Quoted(NodeKind(s.node)) + SourceField(where);
        return;
    }
    case ZMD_SEEN_EXTRACT: {
        const uint32_t kind = ZMD_NodeKindOf(s.node.w0), count = ZMD_NodeLow(s.node.w1);
        const auto *p = static_cast<const uint8_t *>(s.bytes);
        out->name = "extract";
        out->bytes.assign(p, p + s.size);
        const std::string value = DbcFormatValue(DbcFormOfNode(kind, count), p, s.size);
        std::string inputs;
        if (kind == ZMD_KIND_COMPUTED) {
            std::string json;
            inputs = ComputedInputs(count, s.record, &json);
            out->line = "computed type " + std::to_string(count) + " from " + (inputs.empty() ? "nothing" : inputs) +
                        ": " + value;
            out->fields = ", \"computed_type\": " + std::to_string(count) + json;
        } else {
            out->line = "extracted " + NodeKind(s.node) + ": " + value;
        }
        out->fields += ", \"bytes\": " + BytesJson(out->bytes);
        return;
    }
    case ZMD_SEEN_LIST:
        out->name = "list";
        out->line = std::to_string(s.index) + " items of " + KeyName(s.key) +
                    (s.arg != ZMD_QUERY_NO_LIST ? ", named from catalogue list " + std::to_string(s.arg) : "");
        out->fields = ", \"key\": " + Quoted(Hex(s.key)) + ", \"items\": " + std::to_string(s.index) +
                      (s.arg != ZMD_QUERY_NO_LIST ? ", \"catalogue_list\": " + std::to_string(s.arg) : "");
        return;
    case ZMD_SEEN_ITEM:
        out->name = "item";
        out->line = "item " + std::to_string(s.index) + ": id " + std::to_string(s.value) + ", walked with integer " +
                    std::to_string(s.arg) + " = " + std::to_string(s.value);
        out->fields = ", \"item\": " + std::to_string(s.index) + ", \"id\": " + std::to_string(s.value) +
                      ", \"setting\": " + Quoted("integer " + std::to_string(s.arg));
        return;
    case ZMD_SEEN_FIELD:
        out->name = "field";
        out->line = "item " + std::to_string(s.index) + " " + ItemField(s.arg) + " = " + std::to_string(s.value) +
                    " (from " + KeyName(s.key) + ")";
        out->fields = ", \"item\": " + std::to_string(s.index) + ", \"field\": " + Quoted(ItemField(s.arg)) +
                      ", \"value\": " + std::to_string(s.value) + ", \"key\": " + Quoted(Hex(s.key));
        return;
    case ZMD_SEEN_DEFAULT:
        out->name = "default";
        out->result = s.result;
        if (s.result == ZMD_OK) {
            out->line = "default mark " + std::to_string(s.value2) + " on the item with id " + std::to_string(s.value) +
                        " (from " + KeyName(s.key) + ")";
            out->fields = ", \"key\": " + Quoted(Hex(s.key)) + ", \"id\": " + std::to_string(s.value) +
                          ", \"mark\": " + std::to_string(s.value2);
        } else {
            out->line = "no default pair from " + KeyName(s.key) + ": " + DbcResultName(s.result);
            out->fields = ", \"key\": " + Quoted(Hex(s.key)) + ", \"result\": " + Quoted(DbcResultName(s.result));
        }
        return;
    case ZMD_SEEN_PART: {
        const std::string where = r->sources.Node(s.arg);
        out->name = "part";
        out->line = "part " + std::to_string(s.index) + Source(where);
        out->fields = ", \"part\": " + std::to_string(s.index) + SourceField(where);
        return;
    }
    case ZMD_SEEN_ROW:
        out->name = "row";
        out->result = s.result;
        out->line = s.result == ZMD_OK
                        ? "selection row " + std::to_string(s.index) + " matches integers 4, 9, 5, 8, 6 and 81"
                        : "no selection row matches integers 4, 9, 5, 8, 6 and 81";
        out->fields = s.result == ZMD_OK ? ", \"row\": " + std::to_string(s.index) : ", \"row\": null";
        return;
    default: { // ZMD_SEEN_ANSWER
        const auto *p = static_cast<const uint8_t *>(s.bytes);
        out->name = "answer";
        out->result = s.result;
        if (p) {
            out->bytes.assign(p, p + s.size);
        }
        out->line = "answer: " + DbcResultName(s.result) +
                    (s.result == ZMD_OK ? ", " + std::to_string(s.size) + " bytes" : std::string());
        out->fields = ", \"result\": " + Quoted(DbcResultName(s.result)) +
                      (s.result == ZMD_OK ? ", \"bytes\": " + BytesJson(out->bytes) : std::string());
        return;
    }
    }
}

void OnStep(void *ctx, const ZMD_Step *s)
{
    auto *r = static_cast<Recorder *>(ctx);
    if (r->answered) {
        r->steps.clear();
        r->depth = 0;
        r->answered = false;
    }
    if (s->kind == ZMD_SEEN_END) {
        r->depth = r->depth > 0 ? r->depth - 1 : 0;
        if (s->key == ZMD_VALUE_NAME_KEY) {
            r->valueName = s->node;
        }
    }
    CliStep step;
    step.depth = r->depth;
    Describe(r, *s, &step);
    r->steps.push_back(step);
    if (s->kind == ZMD_SEEN_KEY) {
        ++r->depth;
    }
    r->answered = s->kind == ZMD_SEEN_ANSWER;
}

} // namespace

CliExplanation CliExplain(const CliRequest &req)
{
    Recorder recorder(ZMD_ShippedImage());
    const ZMD_Observer observer{&recorder, OnStep};
    CliExplanation e;
    e.answer = CliQueryObserved(req, &observer);
    e.steps = recorder.steps;
    // The answer step in the answer's own form, as dump prints a value.
    if (!e.steps.empty() && e.steps.back().name == "answer" && e.answer.result == ZMD_OK) {
        const std::string line = CliFormatLine(req, e.answer);
        const size_t colon = line.find(": ", line.find(": ") + 2);
        e.steps.back().line += colon == std::string::npos ? "" : line.substr(colon);
    }
    return e;
}
