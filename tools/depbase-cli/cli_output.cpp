// Printing an answer: decoded for people, as hex, as JSON, or in one line.
#include <cstdio>

#include "cli.h"
#include "dbc_format.h"

namespace {

std::string Hex4(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

std::string KindLabel(const CliAnswer &a)
{
    if (a.kind.empty()) {
        return "bytes";
    }
    if (a.kind == "computed") {
        return "computed type " + std::to_string(a.computedType);
    }
    return a.kind;
}

std::string Head(const CliRequest &req, const CliAnswer &a)
{
    std::string s =
        std::string(CliDatabaseName(req.database)) + " " + Hex4(req.key & 0xFFFFu) + ": " + DbcResultName(a.result);
    if (a.result == 0 || a.result == 2) {
        s += ", " + std::to_string(a.size) + " bytes";
    }
    if (a.result == 0) {
        bool counted =
            a.kind == "list" || a.kind == "text" || a.kind == "bytes" || a.kind.find("_array") != std::string::npos;
        s += ", " + KindLabel(a) + (counted ? " × " + std::to_string(CliElementCount(a)) : "");
    }
    return s;
}

// A JSON string of UTF-16 text (the trailing NUL left out); anything beyond
// printable ASCII as \u escapes.
std::string JsonUtf16(const uint8_t *p, uint32_t n)
{
    std::string s = "\"";
    for (uint32_t i = 0; i + 2 <= n; i += 2) {
        unsigned c = p[i] | p[i + 1] << 8;
        if (c == 0 && i + 2 == n) {
            break;
        }
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c == '\n') {
            s += "\\n";
        } else if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            s += buf;
        }
    }
    return s + "\"";
}

std::string JsonByteArray(const uint8_t *p, uint32_t n)
{
    std::string s = "[";
    for (uint32_t i = 0; i < n; ++i) {
        s += (i ? ", " : "") + std::to_string(p[i]);
    }
    return s + "]";
}

std::string ParameterSet(const std::vector<uint8_t> &b)
{
    static const struct {
        const char *name;
        uint32_t from, to;
    } parts[] = {
        {"block A", 0, 48}, {"block B", 48, 88}, {"block C", 88, 124}, {"block D", 124, 172}, {"rest", 172, 192}};
    std::string s;
    for (const auto &p : parts) {
        if (b.size() < p.to) {
            break;
        }
        s += "  " + std::string(p.name) + " (bytes " + std::to_string(p.from) + "-" + std::to_string(p.to - 1) + "):\n";
        s += DbcHexDump(b.data() + p.from, p.to - p.from, "    ");
    }
    return s;
}

std::string JsonValue(const CliAnswer &a)
{
    const std::vector<uint8_t> &b = a.bytes;
    uint32_t n = static_cast<uint32_t>(b.size());
    std::string s;
    switch (a.form) {
    case DBC_FORM_INTS:
    case DBC_FORM_UINTS:
        s = "[";
        for (uint32_t i = 0; i + 4 <= n; i += 4) {
            int32_t v = DbcLe32(&b[i]);
            s += (i ? ", " : "") +
                 (a.form == DBC_FORM_INTS ? std::to_string(v) : std::to_string(static_cast<uint32_t>(v)));
        }
        return s + "]";
    case DBC_FORM_TEXT:
        return JsonUtf16(b.data(), n);
    case DBC_FORM_AREA:
        if (n != 16) {
            break;
        }
        return "{\"left\": " + std::to_string(DbcLe32(&b[0])) + ", \"width\": " + std::to_string(DbcLe32(&b[4])) +
               ", \"top\": " + std::to_string(DbcLe32(&b[8])) + ", \"length\": " + std::to_string(DbcLe32(&b[12])) +
               "}";
    case DBC_FORM_LIST:
        s = "[";
        for (uint32_t i = 0; i + 20 <= n; i += 20) {
            s += std::string(i ? ", " : "") + "{\"id\": " + std::to_string(DbcLe32(&b[i])) +
                 ", \"name_id\": " + std::to_string(DbcLe32(&b[i + 4])) +
                 ", \"value1\": " + std::to_string(DbcLe32(&b[i + 8])) +
                 ", \"value2\": " + std::to_string(DbcLe32(&b[i + 12])) +
                 ", \"default\": " + std::to_string(DbcLe32(&b[i + 16])) + "}";
        }
        return s + "]";
    default:
        break;
    }
    return JsonByteArray(b.data(), n);
}

} // namespace

std::string CliFormatAnswer(const CliRequest &req, const CliAnswer &a)
{
    std::string s = Head(req, a) + "\n";
    if (a.result != 0) {
        return s;
    }
    const uint8_t *p = a.bytes.data();
    uint32_t n = static_cast<uint32_t>(a.bytes.size());
    if (req.raw) {
        return s + DbcHexDump(p, n, "  ");
    }
    switch (a.form) {
    case DBC_FORM_LIST:
        for (uint32_t i = 0; i + 20 <= n; i += 20) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "  [%u] id %d  name id 0x%X  value1 %d  value2 %d  default %d\n", i / 20,
                          DbcLe32(p + i), static_cast<unsigned>(DbcLe32(p + i + 4)), DbcLe32(p + i + 8),
                          DbcLe32(p + i + 12), DbcLe32(p + i + 16));
            s += buf;
        }
        return s;
    case DBC_FORM_AREA:
        if (n == 16) {
            return s + "  left offset " + std::to_string(DbcLe32(p)) + ", printable width " +
                   std::to_string(DbcLe32(p + 4)) + ", top offset " + std::to_string(DbcLe32(p + 8)) +
                   ", printable length " + std::to_string(DbcLe32(p + 12)) + " (0.01 mm)\n";
        }
        return s + DbcHexDump(p, n, "  ");
    case CLI_FORM_PARAMETER_SET:
        return s + ParameterSet(a.bytes);
    case DBC_FORM_BYTES:
        return s + DbcAnnotateCommands(p, n, "  ");
    default:
        return s + "  " + DbcFormatValue(static_cast<DbcValueForm>(a.form), p, n) + "\n";
    }
}

std::string CliFormatJson(const CliRequest &req, const CliAnswer &a)
{
    std::string s = "{\"database\": \"" + std::string(CliDatabaseName(req.database)) + "\", \"key\": \"" +
                    Hex4(req.key & 0xFFFFu) + "\", \"result\": \"" + DbcResultName(a.result) +
                    "\", \"code\": " + std::to_string(a.result);
    if (a.result == 0 || a.result == 2) {
        s += ", \"size\": " + std::to_string(a.size);
    }
    if (a.result == 0) {
        s += ", \"kind\": \"" + (a.kind.empty() ? std::string("bytes") : a.kind) + "\"";
        if (a.kind == "computed") {
            s += ", \"computed_type\": " + std::to_string(a.computedType);
        }
        s += ", \"count\": " + std::to_string(CliElementCount(a));
        s += ", \"value\": " + JsonValue(a);
    }
    return s + "}";
}

std::string CliFormatLine(const CliRequest &req, const CliAnswer &a)
{
    std::string s = Head(req, a);
    if (a.result != 0) {
        return s;
    }
    DbcValueForm form = a.form == CLI_FORM_PARAMETER_SET ? DBC_FORM_BYTES : static_cast<DbcValueForm>(a.form);
    return s + ": " + DbcFormatValue(form, a.bytes.data(), static_cast<uint32_t>(a.bytes.size()));
}
