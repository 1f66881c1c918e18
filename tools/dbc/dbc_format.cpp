// Decoding delivered values for people.
#include "dbc_format.h"

#include <cstdio>

#include "image.h"

namespace {

std::string Hex2(uint8_t b)
{
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", b);
    return buf;
}

std::string HexRun(const uint8_t *p, uint32_t n)
{
    std::string s;
    for (uint32_t i = 0; i < n; ++i) {
        s += (i ? " " : "") + Hex2(p[i]);
    }
    return s;
}

std::string Quote(const uint8_t *p, uint32_t n)
{
    std::string s = "\"";
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t c = p[i];
        if (c == '\n') {
            s += "\\n";
        } else if (c == '"') {
            s += "\\\"";
        } else if (c == '\\') {
            s += "\\\\";
        } else if (c < 0x20 || c > 0x7E) {
            s += "\\x" + Hex2(c);
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

bool Printable(uint8_t c)
{
    return (c >= 0x20 && c <= 0x7E) || c == '\n';
}

// Bytes with runs of four or more printable characters shown as strings.
std::string Mixed(const uint8_t *p, uint32_t n)
{
    std::string s;
    uint32_t i = 0;
    while (i < n) {
        uint32_t j = i;
        while (j < n && Printable(p[j])) {
            ++j;
        }
        if (!s.empty()) {
            s += " ";
        }
        if (j - i >= 4) {
            s += Quote(p + i, j - i);
            i = j;
        } else {
            s += Hex2(p[i]);
            ++i;
        }
    }
    return s;
}

} // namespace

DbcValueForm DbcFormOfNode(uint32_t kind, uint32_t count)
{
    switch (kind) {
    case ZMD_KIND_INT32_ARRAY:
    case ZMD_KIND_INT8_ARRAY:
    case ZMD_KIND_INT16_ARRAY:
        return DBC_FORM_INTS;
    case ZMD_KIND_UINT8_ARRAY:
    case ZMD_KIND_UINT16_ARRAY:
        return DBC_FORM_UINTS;
    case ZMD_KIND_TEXT:
        return DBC_FORM_TEXT;
    case ZMD_KIND_COMPUTED:
        if (count == 2 || count == 3) {
            return DBC_FORM_AREA;
        }
        if (count == 4) {
            return DBC_FORM_UINTS;
        }
        return DBC_FORM_BYTES;
    default:
        return DBC_FORM_BYTES;
    }
}

std::string DbcResultName(int32_t result)
{
    switch (result) {
    case 0:
        return "ZMD_OK";
    case 1:
        return "ZMD_NOT_FOUND";
    case 2:
        return "ZMD_MORE_DATA";
    case 3:
        return "ZMD_NO_KEY";
    case -1:
        return "ZMD_ERROR";
    case -2:
        return "ZMD_BAD_STRING_SETTING";
    case -3:
        return "ZMD_BAD_INT_SETTING";
    case -4:
        return "ZMD_BAD_RECORD";
    default:
        return std::to_string(result);
    }
}

const char *DbcKindName(uint32_t kind)
{
    static const char *const names[] = {"?",
                                        "BYTES",
                                        "INT32_ARRAY",
                                        "INT8_ARRAY",
                                        "INT16_ARRAY",
                                        "UINT8_ARRAY",
                                        "UINT16_ARRAY",
                                        "TEXT",
                                        "LIST",
                                        "SWITCH",
                                        "WHEN",
                                        "SELECT_INT",
                                        "SELECT_STRING",
                                        "SELECT_PRINTER_DATA",
                                        "SELECT_COUNTRY",
                                        "CASE_EQUAL",
                                        "CASE_STRING",
                                        "CASE_DEFAULT",
                                        "COMPUTED",
                                        "SELECT_MASKED",
                                        "MASK",
                                        "CASE_RANGE"};
    return kind <= 21 ? names[kind] : "?";
}

std::string DbcFormatValue(DbcValueForm form, const uint8_t *data, uint32_t size)
{
    std::string s;
    switch (form) {
    case DBC_FORM_INTS:
    case DBC_FORM_UINTS:
        for (uint32_t i = 0; i + 4 <= size; i += 4) {
            int32_t v = DbcLe32(data + i);
            s += (i ? ", " : "") +
                 (form == DBC_FORM_INTS ? std::to_string(v) : std::to_string(static_cast<uint32_t>(v)));
        }
        if (size % 4) {
            s += (s.empty() ? "" : " ") + std::string("+ ") + HexRun(data + size - size % 4, size % 4);
        }
        return s;
    case DBC_FORM_TEXT: {
        std::string text;
        bool wide = false;
        for (uint32_t i = 0; i + 2 <= size; i += 2) {
            uint16_t c = static_cast<uint16_t>(data[i] | data[i + 1] << 8);
            if (c == 0 && i + 2 == size) {
                break;
            }
            if (c > 0xFF) {
                wide = true;
            }
            text.push_back(static_cast<char>(c & 0xFF));
        }
        s = Quote(reinterpret_cast<const uint8_t *>(text.data()), static_cast<uint32_t>(text.size()));
        if (size < 2 || data[size - 1] != 0 || data[size - 2] != 0) {
            s += " (no NUL)";
        }
        if (wide) {
            s += " (characters beyond 8 bits)";
        }
        return s;
    }
    case DBC_FORM_AREA:
        if (size != 16) {
            return HexRun(data, size);
        }
        return "left " + std::to_string(DbcLe32(data)) + ", width " + std::to_string(DbcLe32(data + 4)) + ", top " +
               std::to_string(DbcLe32(data + 8)) + ", length " + std::to_string(DbcLe32(data + 12));
    case DBC_FORM_LIST:
        for (uint32_t i = 0; i + 20 <= size; i += 20) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "[id %d name 0x%X v1 %d v2 %d default %d]", DbcLe32(data + i),
                          static_cast<unsigned>(DbcLe32(data + i + 4)), DbcLe32(data + i + 8), DbcLe32(data + i + 12),
                          DbcLe32(data + i + 16));
            s += (i ? " " : "") + std::string(buf);
        }
        return s;
    default:
        return Mixed(data, size);
    }
}

std::string DbcAnnotateCommands(const uint8_t *data, uint32_t size, const std::string &indent)
{
    std::string s;
    uint32_t i = 0;
    while (i < size) {
        uint32_t rest = size - i;
        const uint8_t *p = data + i;
        // ESC ( X or ESC [ X with a little-endian parameter length.
        if (rest >= 5 && p[0] == 0x1B && (p[1] == '(' || p[1] == '[')) {
            uint32_t len = static_cast<uint32_t>(p[3] | p[4] << 8);
            if (len <= rest - 5) {
                s += indent + HexRun(p, 5) + "  ESC " + static_cast<char>(p[1]) + " " +
                     (Printable(p[2]) ? std::string(1, static_cast<char>(p[2])) : Hex2(p[2])) + ", " +
                     std::to_string(len) + " bytes" + (len ? ": " + HexRun(p + 5, len) : std::string()) + "\n";
                i += 5 + len;
                continue;
            }
        }
        if (rest >= 2 && p[0] == 0x1B && p[1] == '@') {
            s += indent + "1B 40  ESC @ (reset)\n";
            i += 2;
            continue;
        }
        uint32_t j = i;
        while (j < size && Printable(data[j])) {
            ++j;
        }
        if (j - i >= 4) {
            // Text lines of a text command, one a line.
            uint32_t k = i;
            while (k < j) {
                uint32_t e = k;
                while (e < j && data[e] != '\n') {
                    ++e;
                }
                if (e < j) {
                    ++e;
                }
                s += indent + Quote(data + k, e - k) + "\n";
                k = e;
            }
            i = j;
            continue;
        }
        // Anything else: hex up to the next escape.
        uint32_t e = i + 1;
        while (e < size && data[e] != 0x1B) {
            ++e;
        }
        s += indent + HexRun(p, e - i) + "\n";
        i = e;
    }
    return s;
}

std::string DbcHexDump(const uint8_t *data, uint32_t size, const std::string &indent)
{
    std::string s;
    for (uint32_t i = 0; i < size; i += 16) {
        s += indent + HexRun(data + i, size - i < 16 ? size - i : 16) + "\n";
    }
    return s;
}

std::string DbcJsonString(const std::string &text)
{
    std::string s = "\"";
    for (unsigned char c : text) {
        if (c == '"') {
            s += "\\\"";
        } else if (c == '\\') {
            s += "\\\\";
        } else if (c == '\n') {
            s += "\\n";
        } else if (c < 0x20 || c > 0x7E) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            s += buf;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

int32_t DbcLe32(const uint8_t *p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
