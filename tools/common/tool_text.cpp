// Escaping echoed input and ordering the errors about one input.
#include <algorithm>
#include <cstdio>

#include "tool_text.h"

namespace {

// The length of the well-formed UTF-8 sequence of one printable character
// at s[i], or 0.
size_t PrintableUtf8(const std::string &s, size_t i)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c < 0x7F) {
        return 1;
    }
    size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) {
        return 0;
    }
    unsigned cp = c & (n == 2 ? 0x1Fu : n == 3 ? 0x0Fu : 0x07u);
    for (size_t k = 1; k < n; ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (t & 0x3Fu);
    }
    bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    bool control = cp >= 0x80 && cp <= 0x9F; // C1 controls
    if (overlong || surrogate || control || cp > 0x10FFFF) {
        return 0;
    }
    return n;
}

// bytes escaped, cut after limit bytes of output (at a whole character) with
// "..." after the cut.
std::string EscapeUpTo(const std::string &bytes, size_t limit)
{
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        if (out.size() >= limit) {
            return out + "...";
        }
        size_t n = PrintableUtf8(bytes, i);
        if (n > 0) {
            out.append(bytes, i, n);
            i += n;
            continue;
        }
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(bytes[i]));
        out += hex;
        ++i;
    }
    return out;
}

} // namespace

std::string ToolEscape(const std::string &bytes)
{
    return EscapeUpTo(bytes, std::string::npos);
}

std::string ToolEscapeLines(const std::string &text)
{
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            return out + ToolEscape(text.substr(at));
        }
        out += ToolEscape(text.substr(at, end - at)) + "\n";
        at = end + 1;
    }
    return out;
}

void ToolErrorAdd(ToolErrors *errors, int input, long line, const std::string &text)
{
    errors->list.push_back(ToolError{input, line, errors->list.size(), text});
}

std::string ToolErrorsText(const ToolErrors &errors, const char *tool)
{
    std::vector<const ToolError *> sorted;
    for (const ToolError &e : errors.list) {
        sorted.push_back(&e);
    }
    std::sort(sorted.begin(), sorted.end(), [](const ToolError *a, const ToolError *b) {
        if (a->input != b->input) {
            return a->input < b->input;
        }
        return a->line != b->line ? a->line < b->line : a->order < b->order;
    });
    std::string out;
    size_t shown = std::min(sorted.size(), kToolErrorLimit);
    for (size_t i = 0; i < shown; ++i) {
        out += EscapeUpTo(sorted[i]->text, kToolErrorWidth) + "\n";
    }
    if (sorted.size() > shown) {
        out += std::string(tool) + ": too many errors (" + std::to_string(sorted.size() - shown) + " more not shown)\n";
    }
    return out;
}
