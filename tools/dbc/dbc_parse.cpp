// The parser: top-level statements, node lines, cases and the driver tables.
// Structure comes from indentation: the lines below a line and indented
// deeper are its block (children, cases, a case's target, continuation data).
#include <cstdio>

#include "dbc_lex.h"

namespace {

struct Parser {
    DbcProgram *prog;
    int file;
    std::vector<DbcLine> lines;
    int database; // from the last `database` statement of this file, or -1
};

// One statement: a line and the range of lines of its block.
struct Stmt {
    int line;
    int bb;
    int be;
};

// The key that untagged values get, if any.
struct TagCtx {
    bool has;
    uint32_t tag;
    const char *missing; // why there is none, for the message
};

DbcLoc LocOf(const Parser &p, int line)
{
    return DbcLoc{p.file, p.lines[static_cast<size_t>(line)].number};
}

void Err(Parser &p, int line, const std::string &message)
{
    DbcError(p.prog, LocOf(p, line), message);
}

// Splits the lines [b, e) into statements at the indentation of line b.
void SplitBlock(Parser &p, int b, int e, std::vector<Stmt> *out)
{
    if (b >= e) {
        return;
    }
    int depth = p.lines[static_cast<size_t>(b)].indent;
    for (int i = b; i < e; ++i) {
        int ind = p.lines[static_cast<size_t>(i)].indent;
        if (ind > depth && !out->empty()) {
            out->back().be = i + 1;
            continue;
        }
        if (ind != depth) {
            Err(p, i, "indentation does not line up with the lines above");
        }
        out->push_back(Stmt{i, i + 1, i + 1});
    }
}

const std::vector<DbcToken> &Toks(const Parser &p, int line)
{
    return p.lines[static_cast<size_t>(line)].toks;
}

bool IsWord(const std::vector<DbcToken> &t, size_t i, const char *w)
{
    return i < t.size() && t[i].type == DBC_TOK_WORD && t[i].text == w;
}

bool IsPunct(const std::vector<DbcToken> &t, size_t i, const char *w)
{
    return i < t.size() && t[i].type == DBC_TOK_PUNCT && t[i].text == w;
}

// Reads a number token at toks[*i] within [lo, hi].
bool ReadNumber(Parser &p, int line, size_t *i, int64_t lo, int64_t hi, const char *what, int64_t *v)
{
    const std::vector<DbcToken> &t = Toks(p, line);
    if (*i >= t.size() || t[*i].type != DBC_TOK_WORD || !DbcParseInt(t[*i].text, v)) {
        Err(p, line, std::string("expected ") + what + (*i < t.size() ? ", found '" + t[*i].text + "'" : ""));
        return false;
    }
    if (*v < lo || *v > hi) {
        Err(p, line,
            std::string(what) + " " + t[*i].text + " out of range " + std::to_string(lo) + ".." + std::to_string(hi));
        return false;
    }
    ++*i;
    return true;
}

bool ExpectEnd(Parser &p, int line, size_t i)
{
    const std::vector<DbcToken> &t = Toks(p, line);
    if (i < t.size()) {
        Err(p, line, "unexpected '" + t[i].text + "' at the end of the line");
        return false;
    }
    return true;
}

bool ExpectNoBlock(Parser &p, const Stmt &s, const char *what)
{
    if (s.bb < s.be) {
        Err(p, s.bb, std::string("nothing may be indented below ") + what);
        return false;
    }
    return true;
}

// Reads "int N" / "str N" / "item N" naming a setting.
bool ReadSetting(Parser &p, int line, size_t *i, const char *word, int64_t *v)
{
    const std::vector<DbcToken> &t = Toks(p, line);
    if (!IsWord(t, *i, word)) {
        Err(p, line, std::string("expected '") + word + " N' naming the setting");
        return false;
    }
    ++*i;
    return ReadNumber(p, line, i, 0, 65535, "setting index", v);
}

int NewNode(Parser &p, uint32_t kind, int line)
{
    DbcSrcNode n;
    n.kind = kind;
    n.loc = LocOf(p, line);
    p.prog->nodes.push_back(n);
    return static_cast<int>(p.prog->nodes.size()) - 1;
}

int ParseNode(Parser &p, int line, size_t pos, int bb, int be, const TagCtx &tag, bool allowAll);

// A node that must stand alone in the block [bb, be) (a case's target, a key's tree).
int ParseSingle(Parser &p, int ownerLine, int bb, int be, const TagCtx &tag, bool allowAll, const char *what)
{
    std::vector<Stmt> stmts;
    SplitBlock(p, bb, be, &stmts);
    if (stmts.size() != 1) {
        Err(p, ownerLine,
            std::string(what) + (stmts.empty() ? " has no node" : " has more than one node; put them in a `list`"));
        return -1;
    }
    return ParseNode(p, stmts[0].line, 0, stmts[0].bb, stmts[0].be, tag, allowAll);
}

// After `:` the node is on the same line and takes the block; otherwise it
// is the one statement of the block.
int ParseTarget(Parser &p, int line, size_t pos, int bb, int be, const TagCtx &tag, bool allowAll, const char *what)
{
    const std::vector<DbcToken> &t = Toks(p, line);
    if (IsPunct(t, pos, ":")) {
        if (pos + 1 >= t.size()) {
            Err(p, line, "expected a node after ':'");
            return -1;
        }
        return ParseNode(p, line, pos + 1, bb, be, tag, allowAll);
    }
    if (!ExpectEnd(p, line, pos)) {
        return -1;
    }
    return ParseSingle(p, line, bb, be, tag, allowAll, what);
}

void ParseChildren(Parser &p, int node, int bb, int be, const TagCtx &tag)
{
    std::vector<Stmt> stmts;
    SplitBlock(p, bb, be, &stmts);
    for (const Stmt &s : stmts) {
        int c = ParseNode(p, s.line, 0, s.bb, s.be, tag, false);
        if (c >= 0) {
            p.prog->nodes[static_cast<size_t>(node)].children.push_back(c);
        }
    }
}

void ParseCases(Parser &p, int node, bool stringSelector, int bb, int be, const TagCtx &tag)
{
    std::vector<Stmt> stmts;
    SplitBlock(p, bb, be, &stmts);
    for (const Stmt &s : stmts) {
        const std::vector<DbcToken> &t = Toks(p, s.line);
        DbcCase c;
        c.loc = LocOf(p, s.line);
        size_t i = 1;
        std::vector<int64_t> values;
        if (IsWord(t, 0, "default")) {
            c.kind = ZMD_KIND_CASE_DEFAULT;
        } else if (IsWord(t, 0, "case")) {
            if (i < t.size() && t[i].type == DBC_TOK_STRING) {
                if (!stringSelector) {
                    Err(p, s.line,
                        "case of the wrong kind: an integer selector takes number cases, not \"" + t[i].text + "\"");
                    continue;
                }
                c.kind = ZMD_KIND_CASE_STRING;
                c.text = t[i].text;
                ++i;
            } else if (stringSelector) {
                Err(p, s.line, "case of the wrong kind: select_string takes `case \"TEXT\"` and `default`");
                continue;
            } else if (i < t.size() && t[i].type == DBC_TOK_WORD && t[i].text.find("..") != std::string::npos) {
                const std::string &r = t[i].text;
                size_t dots = r.find("..");
                int64_t lo = 0, hi = 0;
                if (!DbcParseInt(r.substr(0, dots), &lo) || !DbcParseInt(r.substr(dots + 2), &hi)) {
                    Err(p, s.line, "malformed range '" + r + "'; write LOW..HIGH");
                    continue;
                }
                if (lo < -2147483648LL || hi > 2147483647LL || lo > hi) {
                    Err(p, s.line, "range " + r + " must lie within signed 32 bits, low end first");
                    continue;
                }
                c.kind = ZMD_KIND_CASE_RANGE;
                c.value = lo;
                c.high = hi;
                ++i;
            } else {
                c.kind = ZMD_KIND_CASE_EQUAL;
                bool ok = true;
                for (;;) {
                    int64_t v = 0;
                    if (!ReadNumber(p, s.line, &i, -2147483648LL, 4294967295LL, "case value", &v)) {
                        ok = false;
                        break;
                    }
                    values.push_back(v);
                    if (!IsPunct(t, i, ",")) {
                        break;
                    }
                    ++i;
                }
                if (!ok) {
                    continue;
                }
            }
        } else {
            Err(p, s.line, "a selector holds only `case` and `default` lines, not '" + t[0].text + "'");
            continue;
        }
        c.target = ParseTarget(p, s.line, i, s.bb, s.be, tag, false, "a case");
        if (c.target < 0) {
            continue;
        }
        DbcSrcNode &n = p.prog->nodes[static_cast<size_t>(node)];
        if (values.empty()) {
            n.cases.push_back(c);
        } else {
            for (int64_t v : values) {
                c.value = v;
                n.cases.push_back(c);
            }
        }
    }
}

bool ReadArray(Parser &p, int line, size_t pos, int bb, int be, uint32_t kind, std::vector<int64_t> *out)
{
    int64_t lo = 0, hi = 0;
    const char *name = "";
    switch (kind) {
    case ZMD_KIND_INT8_ARRAY:
        lo = -128, hi = 127, name = "int8";
        break;
    case ZMD_KIND_UINT8_ARRAY:
        lo = 0, hi = 255, name = "uint8";
        break;
    case ZMD_KIND_INT16_ARRAY:
        lo = -32768, hi = 32767, name = "int16";
        break;
    case ZMD_KIND_UINT16_ARRAY:
        lo = 0, hi = 65535, name = "uint16";
        break;
    default:
        lo = -2147483648LL, hi = 2147483647LL, name = "int32";
        break;
    }
    bool ok = true;
    auto take = [&](int ln, const std::vector<DbcToken> &t, size_t from) {
        for (size_t i = from; i < t.size(); ++i) {
            if (t[i].type == DBC_TOK_PUNCT && t[i].text == ",") {
                continue;
            }
            int64_t v = 0;
            if (t[i].type != DBC_TOK_WORD || !DbcParseInt(t[i].text, &v)) {
                Err(p, ln, std::string(name) + " value '" + t[i].text + "' is not a number");
                ok = false;
                return;
            }
            if (v < lo || v > hi) {
                Err(p, ln,
                    std::string(name) + " value " + t[i].text + " out of range " + std::to_string(lo) + ".." +
                        std::to_string(hi));
                ok = false;
                return;
            }
            out->push_back(v);
        }
    };
    take(line, Toks(p, line), pos);
    for (int i = bb; i < be && ok; ++i) {
        take(i, Toks(p, i), 0);
    }
    return ok;
}

int ParseValue(Parser &p, int line, size_t pos, int bb, int be, uint32_t tag)
{
    const std::vector<DbcToken> &t = Toks(p, line);
    const std::string &w = t[pos].text;
    uint32_t kind = 0;
    if (w == "bytes") {
        kind = ZMD_KIND_BYTES;
    } else if (w == "int32") {
        kind = ZMD_KIND_INT32_ARRAY;
    } else if (w == "int8") {
        kind = ZMD_KIND_INT8_ARRAY;
    } else if (w == "int16") {
        kind = ZMD_KIND_INT16_ARRAY;
    } else if (w == "uint8") {
        kind = ZMD_KIND_UINT8_ARRAY;
    } else if (w == "uint16") {
        kind = ZMD_KIND_UINT16_ARRAY;
    } else if (w == "text") {
        kind = ZMD_KIND_TEXT;
    } else {
        kind = ZMD_KIND_COMPUTED;
    }
    int node = NewNode(p, kind, line);
    DbcSrcNode n = p.prog->nodes[static_cast<size_t>(node)];
    n.tag = tag;
    ++pos;
    bool ok = true;
    if (kind == ZMD_KIND_BYTES) {
        DbcLoc loc = LocOf(p, line);
        ok = DbcParseByteData(p.prog, loc, t, pos, &n.bytes);
        for (int i = bb; i < be && ok; ++i) {
            ok = DbcParseByteData(p.prog, LocOf(p, i), Toks(p, i), 0, &n.bytes);
        }
    } else if (kind == ZMD_KIND_TEXT) {
        if (pos >= t.size() || t[pos].type != DBC_TOK_STRING) {
            Err(p, line, "text takes one \"string\"");
            ok = false;
        } else {
            const std::string &s = t[pos].text;
            if (s.find('\0') != std::string::npos) {
                Err(p, line, "text may not hold a NUL; it gets one at its end");
                ok = false;
            }
            n.bytes.assign(s.begin(), s.end());
            n.bytes.push_back(0);
            ok = ok && ExpectEnd(p, line, pos + 1) && ExpectNoBlock(p, Stmt{line, bb, be}, "a text");
        }
    } else if (kind == ZMD_KIND_COMPUTED) {
        int64_t v = 0;
        ok = ReadNumber(p, line, &pos, 1, 7, "computed type", &v) && ExpectEnd(p, line, pos) &&
             ExpectNoBlock(p, Stmt{line, bb, be}, "a computed value");
        n.computedType = static_cast<uint32_t>(v);
    } else {
        ok = ReadArray(p, line, pos, bb, be, kind, &n.numbers);
    }
    if (!ok) {
        return -1;
    }
    p.prog->nodes[static_cast<size_t>(node)] = n;
    return node;
}

bool IsValueWord(const std::string &w)
{
    return w == "bytes" || w == "int32" || w == "int8" || w == "int16" || w == "uint8" || w == "uint16" ||
           w == "text" || w == "computed";
}

int ParseNode(Parser &p, int line, size_t pos, int bb, int be, const TagCtx &tag, bool allowAll)
{
    const std::vector<DbcToken> &t = Toks(p, line);
    if (IsPunct(t, pos, "@")) {
        int64_t k = 0;
        ++pos;
        if (!ReadNumber(p, line, &pos, 1, 0xFFFF, "key after '@'", &k)) {
            return -1;
        }
        if (pos >= t.size() || t[pos].type != DBC_TOK_WORD || !IsValueWord(t[pos].text)) {
            Err(p, line,
                "'@KEY' must be followed by a value (bytes, int8, int16, int32, uint8, uint16, text, "
                "computed)");
            return -1;
        }
        return ParseValue(p, line, pos, bb, be, static_cast<uint32_t>(k));
    }
    if (pos >= t.size() || t[pos].type != DBC_TOK_WORD) {
        Err(p, line, "expected a node" + (pos < t.size() ? ", found '" + t[pos].text + "'" : std::string()));
        return -1;
    }
    const std::string w = t[pos].text;
    if (IsValueWord(w)) {
        if (!tag.has) {
            Err(p, line, std::string("this value's key is not known (") + tag.missing + "); write @KEY before it");
            return -1;
        }
        return ParseValue(p, line, pos, bb, be, tag.tag);
    }
    ++pos;
    if (w == "list") {
        if (!ExpectEnd(p, line, pos)) {
            return -1;
        }
        int n = NewNode(p, ZMD_KIND_LIST, line);
        ParseChildren(p, n, bb, be, tag);
        return n;
    }
    if (w == "switch") {
        int64_t s = 0;
        if (!ReadSetting(p, line, &pos, "int", &s) || !ExpectEnd(p, line, pos)) {
            return -1;
        }
        int n = NewNode(p, ZMD_KIND_SWITCH, line);
        p.prog->nodes[static_cast<size_t>(n)].arg = static_cast<uint32_t>(s);
        ParseChildren(p, n, bb, be, tag);
        return n;
    }
    if (w == "when") {
        int64_t v = 0;
        if (!ReadNumber(p, line, &pos, 0, 65535, "when value", &v)) {
            return -1;
        }
        int n = NewNode(p, ZMD_KIND_WHEN, line);
        p.prog->nodes[static_cast<size_t>(n)].arg = static_cast<uint32_t>(v);
        if (IsPunct(t, pos, ":")) {
            int c = ParseTarget(p, line, pos, bb, be, tag, false, "a when");
            if (c < 0) {
                return -1;
            }
            p.prog->nodes[static_cast<size_t>(n)].children.push_back(c);
        } else {
            if (!ExpectEnd(p, line, pos)) {
                return -1;
            }
            ParseChildren(p, n, bb, be, tag);
        }
        return n;
    }
    if (w == "select_int" || w == "select_masked" || w == "select_string" || w == "select_printer_data" ||
        w == "select_country") {
        uint32_t kind = w == "select_int"            ? ZMD_KIND_SELECT_INT
                        : w == "select_masked"       ? ZMD_KIND_SELECT_MASKED
                        : w == "select_string"       ? ZMD_KIND_SELECT_STRING
                        : w == "select_printer_data" ? ZMD_KIND_SELECT_PRINTER_DATA
                                                     : ZMD_KIND_SELECT_COUNTRY;
        int64_t arg = 0, mask = 0;
        bool ok = true;
        if (kind == ZMD_KIND_SELECT_STRING) {
            ok = ReadSetting(p, line, &pos, "str", &arg);
        } else if (kind == ZMD_KIND_SELECT_PRINTER_DATA) {
            ok = ReadSetting(p, line, &pos, "item", &arg);
        } else if (kind == ZMD_KIND_SELECT_COUNTRY) {
            ok = ReadNumber(p, line, &pos, 0, 65535, "country selector", &arg);
            if (ok && arg != 0x500F) {
                Err(p, line, "select_country takes the selector 0x500F");
                ok = false;
            }
        } else {
            ok = ReadSetting(p, line, &pos, "int", &arg);
        }
        if (ok && kind == ZMD_KIND_SELECT_MASKED) {
            if (!IsWord(t, pos, "mask")) {
                Err(p, line, "select_masked needs 'mask M' after the setting");
                return -1;
            }
            ++pos;
            ok = ReadNumber(p, line, &pos, 0, 0xFFFFFFFFLL, "mask", &mask);
        }
        if (!ok || !ExpectEnd(p, line, pos)) {
            return -1;
        }
        int n = NewNode(p, kind, line);
        p.prog->nodes[static_cast<size_t>(n)].arg = static_cast<uint32_t>(arg);
        p.prog->nodes[static_cast<size_t>(n)].mask = static_cast<uint32_t>(mask);
        ParseCases(p, n, kind == ZMD_KIND_SELECT_STRING, bb, be, tag);
        return n;
    }
    if (w == "use") {
        if (pos >= t.size() || t[pos].type != DBC_TOK_WORD) {
            Err(p, line, "use takes the name of a tree");
            return -1;
        }
        int n = NewNode(p, DBC_KIND_USE, line);
        p.prog->nodes[static_cast<size_t>(n)].useName = t[pos].text;
        if (!ExpectEnd(p, line, pos + 1) || !ExpectNoBlock(p, Stmt{line, bb, be}, "a use")) {
            return -1;
        }
        return n;
    }
    if (w == "all") {
        if (!allowAll) {
            Err(p, line, "`all` (node 0) may only be a key's whole tree");
            return -1;
        }
        if (!ExpectEnd(p, line, pos) || !ExpectNoBlock(p, Stmt{line, bb, be}, "all")) {
            return -1;
        }
        return NewNode(p, DBC_KIND_ALL, line);
    }
    if (w == "case" || w == "default") {
        Err(p, line, "'" + w + "' outside a selector");
        return -1;
    }
    Err(p, line, "unknown node kind '" + w + "'");
    return -1;
}

int DatabaseByName(const std::string &w)
{
    static const char *const names[] = {"root", "drv", "lm", "mnt", "pa", "sm", "internal"};
    for (int i = 0; i < 7; ++i) {
        if (w == names[i]) {
            return i;
        }
    }
    return -1;
}

void ParseKey(Parser &p, const Stmt &s)
{
    const std::vector<DbcToken> &t = Toks(p, s.line);
    size_t i = 1;
    std::vector<uint32_t> keys;
    while (i < t.size() && !IsPunct(t, i, ":")) {
        if (IsPunct(t, i, ",")) {
            ++i;
            continue;
        }
        int64_t k = 0;
        if (!ReadNumber(p, s.line, &i, 0, 0xFFFF, "key", &k)) {
            return;
        }
        keys.push_back(static_cast<uint32_t>(k));
    }
    if (keys.empty()) {
        Err(p, s.line, "key needs at least one key number");
        return;
    }
    for (uint32_t k : keys) {
        int db = DbcDatabaseOfKey(k);
        if (db < 0) {
            Err(p, s.line, "key " + DbcHexKey(k) + " belongs to no database");
            return;
        }
        if (p.database >= 0 && db != p.database) {
            Err(p, s.line, "key " + DbcHexKey(k) + " is not a key of database " + DbcDatabaseName(p.database));
            return;
        }
    }
    TagCtx tag{keys.size() == 1, keys[0], "the tree answers several keys"};
    int root = ParseTarget(p, s.line, i, s.bb, s.be, tag, true, "a key");
    if (root < 0) {
        return;
    }
    for (uint32_t k : keys) {
        DbcKeyDef d;
        d.key = k;
        d.root = root;
        d.database = p.database;
        d.loc = LocOf(p, s.line);
        p.prog->keys.push_back(d);
    }
}

void ParseTree(Parser &p, const Stmt &s)
{
    const std::vector<DbcToken> &t = Toks(p, s.line);
    if (t.size() < 2 || t[1].type != DBC_TOK_WORD) {
        Err(p, s.line, "tree needs a name");
        return;
    }
    size_t i = 2;
    TagCtx tag{false, 0, "the tree has no `tag`"};
    if (IsWord(t, i, "tag")) {
        ++i;
        int64_t k = 0;
        if (!ReadNumber(p, s.line, &i, 1, 0xFFFF, "tag key", &k)) {
            return;
        }
        tag.has = true;
        tag.tag = static_cast<uint32_t>(k);
    }
    int root = ParseTarget(p, s.line, i, s.bb, s.be, tag, false, "a tree");
    if (root < 0) {
        return;
    }
    DbcTreeDef d;
    d.name = t[1].text;
    d.root = root;
    d.loc = LocOf(p, s.line);
    p.prog->trees.push_back(d);
}

void ParseCatalogue(Parser &p, const Stmt &s)
{
    size_t i = 1;
    DbcCatalogueDef d;
    d.loc = LocOf(p, s.line);
    if (!ReadNumber(p, s.line, &i, 0, 65535, "list number", &d.number) || !ExpectEnd(p, s.line, i)) {
        return;
    }
    for (int ln = s.bb; ln < s.be; ++ln) {
        const std::vector<DbcToken> &t = Toks(p, ln);
        DbcCatalogueEntry e;
        e.loc = LocOf(p, ln);
        size_t j = 0;
        if (!ReadNumber(p, ln, &j, 0, 65535, "list id", &e.id)) {
            continue;
        }
        if (IsPunct(t, j, ",")) {
            ++j;
        }
        if (!ReadNumber(p, ln, &j, -2147483648LL, 4294967295LL, "display-name id", &e.nameId)) {
            continue;
        }
        if (!ExpectEnd(p, ln, j)) {
            continue;
        }
        d.entries.push_back(e);
    }
    p.prog->catalogue.push_back(d);
}

void ParseSequence(Parser &p, const Stmt &s)
{
    size_t i = 1;
    int64_t k = 0;
    if (!ReadNumber(p, s.line, &i, 0, 0xFFFF, "sequence key", &k) || !ExpectEnd(p, s.line, i)) {
        return;
    }
    DbcSequenceDef d;
    d.key = static_cast<uint32_t>(k);
    d.loc = LocOf(p, s.line);
    std::vector<Stmt> stmts;
    SplitBlock(p, s.bb, s.be, &stmts);
    TagCtx tag{true, 0x5008, ""};
    for (const Stmt &ps : stmts) {
        if (!IsWord(Toks(p, ps.line), 0, "part")) {
            Err(p, ps.line, "a sequence holds only `part` lines");
            continue;
        }
        int root = ParseTarget(p, ps.line, 1, ps.bb, ps.be, tag, false, "a part");
        if (root >= 0) {
            d.parts.push_back(root);
        }
    }
    p.prog->sequences.push_back(d);
}

void ParseSelection(Parser &p, const Stmt &s)
{
    if (!ExpectEnd(p, s.line, 1)) {
        return;
    }
    for (int ln = s.bb; ln < s.be; ++ln) {
        const std::vector<DbcToken> &t = Toks(p, ln);
        DbcRowDef r;
        r.loc = LocOf(p, ln);
        if (!IsWord(t, 0, "row")) {
            Err(p, ln, "the selection table holds only `row` lines");
            continue;
        }
        size_t j = 1;
        bool ok = true;
        for (int k = 0; k < 6 && ok; ++k) {
            ok = ReadNumber(p, ln, &j, -32768, 32767, "selector", &r.selector[k]);
        }
        if (ok && !IsWord(t, j, "->")) {
            Err(p, ln, "a row is six selectors, '->' and four block indices");
            ok = false;
        }
        ++j;
        for (int k = 0; k < 4 && ok; ++k) {
            ok = ReadNumber(p, ln, &j, 0, 32767, "block index", &r.block[k]);
        }
        if (ok && ExpectEnd(p, ln, j)) {
            p.prog->rows.push_back(r);
        }
    }
}

void ParseBlock(Parser &p, const Stmt &s)
{
    const std::vector<DbcToken> &t = Toks(p, s.line);
    DbcBlockDef d;
    d.loc = LocOf(p, s.line);
    if (t.size() < 2 || t[1].type != DBC_TOK_WORD || t[1].text.size() != 1 || t[1].text[0] < 'A' ||
        t[1].text[0] > 'D') {
        Err(p, s.line, "block needs its table A, B, C or D and its index");
        return;
    }
    d.table = t[1].text[0] - 'A';
    size_t i = 2;
    if (!ReadNumber(p, s.line, &i, 0, 32767, "block index", &d.index) || !ExpectEnd(p, s.line, i)) {
        return;
    }
    for (int ln = s.bb; ln < s.be; ++ln) {
        if (!DbcParseByteData(p.prog, LocOf(p, ln), Toks(p, ln), 0, &d.bytes)) {
            return;
        }
    }
    p.prog->blocks.push_back(d);
}

// Reads "KEYWORD NUMBER" into *v when the keyword is at toks[*i].
bool ReadRuleKey(Parser &p, int line, size_t *i, const char *what, uint16_t *v)
{
    ++*i;
    int64_t k = 0;
    if (!ReadNumber(p, line, i, 1, 0xFFFF, what, &k)) {
        return false;
    }
    *v = static_cast<uint16_t>(k);
    return true;
}

// The item word a per-choice key fills: name, value1 or value2 (0: not one).
uint16_t ChoiceFieldByName(const std::vector<DbcToken> &t, size_t i)
{
    static const char *const names[] = {"name", "value1", "value2"};
    for (uint16_t f = 0; f < 3; ++f) {
        if (IsWord(t, i, names[f])) {
            return static_cast<uint16_t>(f + 1);
        }
    }
    return 0;
}

// query K list|catalogue N|sequence|parameters, then for the lists the
// optional clauses names N, choice int S FIELD K [FIELD K], offered K,
// default K [required] and (own-tree lists) absent.
void ParseQuery(Parser &p, const Stmt &s)
{
    const std::vector<DbcToken> &t = Toks(p, s.line);
    if (!ExpectNoBlock(p, s, "a query rule")) {
        return;
    }
    DbcRuleDef d;
    d.loc = LocOf(p, s.line);
    ZMD_QueryRule &r = d.rule;
    r.listNumber = ZMD_QUERY_NO_LIST;
    size_t i = 1;
    int64_t v = 0;
    if (!ReadNumber(p, s.line, &i, 0, 0xFFFF, "key", &v)) {
        return;
    }
    r.key = static_cast<uint16_t>(v);
    if (IsWord(t, i, "list")) {
        r.form = ZMD_QUERY_LIST;
        ++i;
    } else if (IsWord(t, i, "catalogue")) {
        r.form = ZMD_QUERY_CATALOGUE_LIST;
        ++i;
        if (!ReadNumber(p, s.line, &i, 0, 65534, "list number", &v)) {
            return;
        }
        r.listNumber = static_cast<uint16_t>(v);
    } else if (IsWord(t, i, "sequence") || IsWord(t, i, "parameters")) {
        r.form = IsWord(t, i, "sequence") ? ZMD_QUERY_SEQUENCE : ZMD_QUERY_PARAMETER_SET;
        if (ExpectEnd(p, s.line, i + 1)) {
            p.prog->rules.push_back(d);
        }
        return;
    } else {
        Err(p, s.line, "a query rule answers with list, catalogue N, sequence or parameters");
        return;
    }
    while (i < t.size()) {
        if (IsWord(t, i, "names") && r.form == ZMD_QUERY_LIST && r.listNumber == ZMD_QUERY_NO_LIST) {
            ++i;
            if (!ReadNumber(p, s.line, &i, 0, 65534, "list number", &v)) {
                return;
            }
            r.listNumber = static_cast<uint16_t>(v);
        } else if (IsWord(t, i, "choice") && r.choiceKeys[0] == 0) {
            ++i;
            if (!ReadSetting(p, s.line, &i, "int", &v)) {
                return;
            }
            r.choiceSetting = static_cast<uint16_t>(v);
            for (int f = 0; f < 2 && ChoiceFieldByName(t, i) != 0; ++f) {
                r.choiceFields[f] = ChoiceFieldByName(t, i);
                if (!ReadRuleKey(p, s.line, &i, "per-choice key", &r.choiceKeys[f])) {
                    return;
                }
            }
            if (r.choiceKeys[0] == 0) {
                Err(p, s.line, "choice needs one or two of name K, value1 K, value2 K after its setting");
                return;
            }
        } else if (IsWord(t, i, "offered") && r.offeredKey == 0) {
            if (!ReadRuleKey(p, s.line, &i, "offered key", &r.offeredKey)) {
                return;
            }
        } else if (IsWord(t, i, "absent") && !d.absent && r.form == ZMD_QUERY_LIST) {
            d.absent = true;
            ++i;
        } else if (IsWord(t, i, "default") && r.defaultKey == 0) {
            if (!ReadRuleKey(p, s.line, &i, "default key", &r.defaultKey)) {
                return;
            }
            if (IsWord(t, i, "required")) {
                r.flags |= ZMD_QUERY_DEFAULT_REQUIRED;
                ++i;
            }
        } else {
            Err(p, s.line,
                "unexpected '" + t[i].text +
                    "' in a query rule (expected names, choice, offered, default or absent, each once)");
            return;
        }
    }
    p.prog->rules.push_back(d);
}

} // namespace

void DbcParseSource(DbcProgram *prog, const DbcSource &source)
{
    Parser p;
    p.prog = prog;
    p.file = static_cast<int>(prog->fileNames.size());
    p.database = -1;
    prog->fileNames.push_back(source.name);
    DbcLexSource(prog, p.file, source.text, &p.lines);
    int count = static_cast<int>(p.lines.size());
    if (count > 0 && p.lines[0].indent != 0) {
        Err(p, 0, "the first statement of a file may not be indented");
    }
    std::vector<Stmt> stmts;
    SplitBlock(p, 0, count, &stmts);
    for (const Stmt &s : stmts) {
        const std::vector<DbcToken> &t = Toks(p, s.line);
        if (t[0].type != DBC_TOK_WORD) {
            Err(p, s.line, "expected a statement, found '" + t[0].text + "'");
            continue;
        }
        const std::string &w = t[0].text;
        if (w == "database") {
            if (t.size() != 2 || DatabaseByName(t[1].text) < 0) {
                Err(p, s.line, "database takes one of root, drv, lm, mnt, pa, sm, internal");
                continue;
            }
            p.database = DatabaseByName(t[1].text);
            ExpectNoBlock(p, s, "database");
        } else if (w == "key") {
            ParseKey(p, s);
        } else if (w == "tree") {
            ParseTree(p, s);
        } else if (w == "catalogue") {
            ParseCatalogue(p, s);
        } else if (w == "sequence") {
            ParseSequence(p, s);
        } else if (w == "selection") {
            ParseSelection(p, s);
        } else if (w == "block") {
            ParseBlock(p, s);
        } else if (w == "query") {
            ParseQuery(p, s);
        } else {
            Err(p, s.line,
                "unknown statement '" + w +
                    "' (expected database, key, tree, catalogue, sequence, selection, block or query)");
        }
    }
}
