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

int32_t Le32(const uint8_t *p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

std::string Head(const CliRequest &req, const CliAnswer &a)
{
    std::string s = std::string(CliDatabaseName(req.database)) + " " + Hex4(req.key & 0xFFFFu) + ": " +
                    DbcResultName(a.result);
    if (a.result == 0 || a.result == 2) s += ", " + std::to_string(a.size) + " bytes";
    if (a.result == 0 && !a.kind.empty())
        s += ", " + a.kind + (a.form == DBC_FORM_LIST || a.kind.find("ARRAY") != std::string::npos || a.kind == "TEXT" ||
                                      a.kind == "BYTES"
                                  ? " × " + std::to_string(a.count)
                                  : "");
    return s;
}

std::string ParameterSet(const std::vector<uint8_t> &b)
{
    static const struct {
        const char *name;
        uint32_t from, to;
    } parts[] = {{"block A", 0, 48}, {"block B", 48, 88}, {"block C", 88, 124}, {"block D", 124, 172}, {"rest", 172, 192}};
    std::string s;
    for (const auto &p : parts) {
        if (b.size() < p.to) break;
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
            int32_t v = Le32(&b[i]);
            s += (i ? ", " : "") + (a.form == DBC_FORM_INTS ? std::to_string(v) : std::to_string(static_cast<uint32_t>(v)));
        }
        return s + "]";
    case DBC_FORM_TEXT: {
        std::string text;
        for (uint32_t i = 0; i + 2 <= n; i += 2) {
            if (b[i] == 0 && b[i + 1] == 0 && i + 2 == n) break;
            text.push_back(static_cast<char>(b[i]));
        }
        return DbcJsonString(text);
    }
    case DBC_FORM_AREA:
        if (n != 16) break;
        return "{\"left\": " + std::to_string(Le32(&b[0])) + ", \"width\": " + std::to_string(Le32(&b[4])) +
               ", \"top\": " + std::to_string(Le32(&b[8])) + ", \"length\": " + std::to_string(Le32(&b[12])) + "}";
    case DBC_FORM_LIST:
        s = "[";
        for (uint32_t i = 0; i + 20 <= n; i += 20)
            s += std::string(i ? ", " : "") + "{\"id\": " + std::to_string(Le32(&b[i])) + ", \"nameId\": " +
                 std::to_string(Le32(&b[i + 4])) + ", \"value1\": " + std::to_string(Le32(&b[i + 8])) +
                 ", \"value2\": " + std::to_string(Le32(&b[i + 12])) + ", \"default\": " + std::to_string(Le32(&b[i + 16])) + "}";
        return s + "]";
    default:
        break;
    }
    std::string hex = DbcHexDump(b.data(), n, "");
    std::string flat;
    for (char c : hex) flat += c == '\n' ? ' ' : c;
    while (!flat.empty() && flat.back() == ' ') flat.pop_back();
    return DbcJsonString(flat);
}

} // namespace

std::string CliFormatAnswer(const CliRequest &req, const CliAnswer &a)
{
    std::string s = Head(req, a) + "\n";
    if (a.result != 0) return s;
    const uint8_t *p = a.bytes.data();
    uint32_t n = static_cast<uint32_t>(a.bytes.size());
    if (req.raw) return s + DbcHexDump(p, n, "  ");
    switch (a.form) {
    case DBC_FORM_LIST:
        for (uint32_t i = 0; i + 20 <= n; i += 20) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "  [%u] id %d  name id 0x%X  value1 %d  value2 %d  default %d\n", i / 20,
                          Le32(p + i), static_cast<unsigned>(Le32(p + i + 4)), Le32(p + i + 8), Le32(p + i + 12),
                          Le32(p + i + 16));
            s += buf;
        }
        return s;
    case DBC_FORM_AREA:
        if (n == 16)
            return s + "  left offset " + std::to_string(Le32(p)) + ", printable width " + std::to_string(Le32(p + 4)) +
                   ", top offset " + std::to_string(Le32(p + 8)) + ", printable length " + std::to_string(Le32(p + 12)) +
                   " (0.01 mm)\n";
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
    if (a.result == 0 || a.result == 2) s += ", \"size\": " + std::to_string(a.size);
    if (a.result == 0) {
        if (!a.kind.empty()) s += ", \"kind\": " + DbcJsonString(a.kind) + ", \"count\": " + std::to_string(a.count);
        s += ", \"value\": " + JsonValue(a);
    }
    return s + "}";
}

std::string CliFormatLine(const CliRequest &req, const CliAnswer &a)
{
    std::string s = Head(req, a);
    if (a.result != 0) return s;
    DbcValueForm form = a.form == CLI_FORM_PARAMETER_SET ? DBC_FORM_BYTES : static_cast<DbcValueForm>(a.form);
    return s + ": " + DbcFormatValue(form, a.bytes.data(), static_cast<uint32_t>(a.bytes.size()));
}
