// Line splitting, tokens, numbers and byte data of the database source.
#include "dbc_lex.h"

#include <cctype>

namespace {

bool IsPunct(char c)
{
    return c == ':' || c == ',' || c == '(' || c == ')' || c == '@';
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes a string literal starting at text[i] == '"'. Advances i past the
// closing quote. Returns false with a message on error.
bool LexString(const std::string &text, size_t *i, std::string *out, std::string *message)
{
    size_t p = *i + 1;
    while (p < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[p]);
        if (c == '"') {
            *i = p + 1;
            return true;
        }
        if (c >= 0x80) {
            *message = "only 8-bit ASCII is allowed in strings";
            return false;
        }
        if (c != '\\') {
            out->push_back(static_cast<char>(c));
            ++p;
            continue;
        }
        if (p + 1 >= text.size()) {
            break;
        }
        char e = text[p + 1];
        p += 2;
        switch (e) {
        case 'n':
            out->push_back('\n');
            break;
        case 'r':
            out->push_back('\r');
            break;
        case 't':
            out->push_back('\t');
            break;
        case '0':
            out->push_back('\0');
            break;
        case '\\':
            out->push_back('\\');
            break;
        case '"':
            out->push_back('"');
            break;
        case 'x': {
            int h = p < text.size() ? HexDigit(text[p]) : -1;
            int l = p + 1 < text.size() ? HexDigit(text[p + 1]) : -1;
            if (h < 0 || l < 0) {
                *message = "\\x needs two hex digits";
                return false;
            }
            out->push_back(static_cast<char>(h * 16 + l));
            p += 2;
            break;
        }
        default:
            *message = std::string("unknown escape \\") + e;
            return false;
        }
    }
    *message = "unterminated string";
    return false;
}

bool IsHexRun(const std::string &s)
{
    if (s.empty() || s.size() % 2 != 0) {
        return false;
    }
    for (char c : s) {
        if (HexDigit(c) < 0) {
            return false;
        }
    }
    return true;
}

// Reads "( arg, arg, ... )" starting at toks[*pos] == "(".
bool ReadArgs(const std::vector<DbcToken> &toks, size_t *pos, std::vector<DbcToken> *args)
{
    size_t p = *pos;
    if (p >= toks.size() || toks[p].type != DBC_TOK_PUNCT || toks[p].text != "(") {
        return false;
    }
    ++p;
    bool wantArg = true;
    while (p < toks.size()) {
        const DbcToken &t = toks[p];
        if (t.type == DBC_TOK_PUNCT && t.text == ")") {
            if (wantArg && !args->empty()) {
                return false;
            }
            *pos = p + 1;
            return true;
        }
        if (t.type == DBC_TOK_PUNCT && t.text == ",") {
            if (wantArg) {
                return false;
            }
            wantArg = true;
        } else if (t.type == DBC_TOK_PUNCT) {
            return false;
        } else {
            if (!wantArg) {
                return false;
            }
            args->push_back(t);
            wantArg = false;
        }
        ++p;
    }
    return false;
}

void PutNumber(std::vector<uint8_t> *out, uint64_t v, int width, bool bigEndian)
{
    for (int i = 0; i < width; ++i) {
        int shift = bigEndian ? 8 * (width - 1 - i) : 8 * i;
        out->push_back(static_cast<uint8_t>(v >> shift));
    }
}

} // namespace

void DbcLexSource(DbcProgram *prog, int file, const std::string &text, std::vector<DbcLine> *lines)
{
    size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string raw = text.substr(start, end - start);
        ++number;
        start = end + 1;
        if (!raw.empty() && raw.back() == '\r') {
            raw.pop_back();
        }
        DbcLoc loc{file, number};
        DbcLine line{number, 0, {}};
        size_t i = 0;
        while (i < raw.size() && raw[i] == ' ') {
            ++i;
        }
        line.indent = static_cast<int>(i);
        bool bad = false;
        while (i < raw.size() && !bad) {
            char c = raw[i];
            if (c == ' ') {
                ++i;
            } else if (c == '\t') {
                DbcError(prog, loc, "tab character; indent and separate with spaces");
                bad = true;
            } else if (c == '#') {
                break;
            } else if (c == '"') {
                std::string s, message;
                if (!LexString(raw, &i, &s, &message)) {
                    DbcError(prog, loc, message);
                    bad = true;
                } else {
                    line.toks.push_back({DBC_TOK_STRING, s});
                }
            } else if (IsPunct(c)) {
                line.toks.push_back({DBC_TOK_PUNCT, std::string(1, c)});
                ++i;
            } else if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20) {
                DbcError(prog, loc, "character outside printable ASCII");
                bad = true;
            } else {
                size_t j = i;
                while (j < raw.size() && raw[j] != ' ' && raw[j] != '\t' && raw[j] != '"' && raw[j] != '#' &&
                       !IsPunct(raw[j])) {
                    ++j;
                }
                line.toks.push_back({DBC_TOK_WORD, raw.substr(i, j - i)});
                i = j;
            }
        }
        if (!bad && !line.toks.empty()) {
            lines->push_back(line);
        }
        if (end == text.size()) {
            break;
        }
    }
}

bool DbcParseInt(const std::string &text, int64_t *value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) {
        return false;
    }
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        int d = HexDigit(text[i]);
        if (d < 0 || d >= base) {
            return false;
        }
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (v > (1ull << 62)) {
            return false;
        }
    }
    *value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return true;
}

bool DbcParseByteData(DbcProgram *prog, DbcLoc loc, const std::vector<DbcToken> &toks, size_t pos,
                      std::vector<uint8_t> *out)
{
    while (pos < toks.size()) {
        const DbcToken &t = toks[pos];
        if (t.type == DBC_TOK_STRING) {
            out->insert(out->end(), t.text.begin(), t.text.end());
            ++pos;
            continue;
        }
        if (t.type == DBC_TOK_PUNCT && t.text == ",") {
            ++pos;
            continue;
        }
        bool isCall = t.type == DBC_TOK_WORD && pos + 1 < toks.size() && toks[pos + 1].type == DBC_TOK_PUNCT &&
                      toks[pos + 1].text == "(";
        if (!isCall) {
            if (t.type == DBC_TOK_WORD && IsHexRun(t.text)) {
                for (size_t k = 0; k < t.text.size(); k += 2) {
                    out->push_back(static_cast<uint8_t>(HexDigit(t.text[k]) * 16 + HexDigit(t.text[k + 1])));
                }
                ++pos;
                continue;
            }
            DbcError(prog, loc,
                     "byte data: '" + t.text +
                         "' is not hex bytes, a \"string\" or one of u8() le16() be16() le32() be32() "
                         "zeros() field()");
            return false;
        }
        std::string fn = t.text;
        ++pos;
        std::vector<DbcToken> args;
        if (!ReadArgs(toks, &pos, &args)) {
            DbcError(prog, loc, "byte data: malformed argument list of " + fn + "()");
            return false;
        }
        if (fn == "field") {
            int64_t width = 0;
            if (args.size() != 2 || args[0].type != DBC_TOK_WORD || !DbcParseInt(args[0].text, &width) ||
                args[1].type != DBC_TOK_STRING) {
                DbcError(prog, loc, "field() takes a width and a \"string\": field(20, \"NAME.TBL\")");
                return false;
            }
            if (width < 0 || width > 65535 || static_cast<int64_t>(args[1].text.size()) > width) {
                DbcError(prog, loc, "field(): the string does not fit the field's width");
                return false;
            }
            out->insert(out->end(), args[1].text.begin(), args[1].text.end());
            out->resize(out->size() + static_cast<size_t>(width) - args[1].text.size(), 0);
            continue;
        }
        int width = 0;
        bool bigEndian = false;
        if (fn == "u8") {
            width = 1;
        } else if (fn == "le16") {
            width = 2;
        } else if (fn == "be16") {
            width = 2, bigEndian = true;
        } else if (fn == "le32") {
            width = 4;
        } else if (fn == "be32") {
            width = 4, bigEndian = true;
        } else if (fn != "zeros") {
            DbcError(prog, loc, "byte data: unknown function " + fn + "()");
            return false;
        }
        for (const DbcToken &a : args) {
            int64_t v = 0;
            if (a.type != DBC_TOK_WORD || !DbcParseInt(a.text, &v)) {
                DbcError(prog, loc, fn + "(): '" + a.text + "' is not a number");
                return false;
            }
            if (fn == "zeros") {
                if (v < 0 || v > 65535) {
                    DbcError(prog, loc, "zeros(): count out of range 0..65535");
                    return false;
                }
                out->resize(out->size() + static_cast<size_t>(v), 0);
                continue;
            }
            int64_t lo = width == 4 ? -2147483648LL : -(1LL << (8 * width - 1));
            int64_t hi = width == 4 ? 4294967295LL : (1LL << (8 * width)) - 1;
            if (v < lo || v > hi) {
                DbcError(prog, loc, fn + "(): " + a.text + " does not fit in " + std::to_string(8 * width) + " bits");
                return false;
            }
            PutNumber(out, static_cast<uint64_t>(v), width, bigEndian);
        }
    }
    return true;
}
