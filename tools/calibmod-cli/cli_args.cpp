// calibmod-cli: command-line helpers shared by the commands.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "cli.h"
#include "tool_io.h"
#include "tool_text.h"

namespace cli {

int usageError(const std::string &command, const std::string &message)
{
    std::fprintf(stderr, "calibmod-cli: %s\n", message.c_str());
    std::fprintf(stderr, "Try 'calibmod-cli %s%s--help'.\n", command.c_str(), command.empty() ? "" : " ");
    return kUsage;
}

void printEscaped(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) {
        std::vsnprintf(&text[0], text.size() + 1, format, again);
    }
    va_end(again);
    std::fputs(ToolEscapeLines(text).c_str(), stdout);
}

bool readInput(const std::string &path, std::vector<uint8_t> *bytes, std::string *error)
{
    std::string text;
    if (!ToolReadInput(path, &text, error)) {
        *error = ToolEscape(*error);
        return false;
    }
    bytes->assign(text.begin(), text.end());
    return true;
}

bool writeOutput(const std::string &path, const std::string &bytes)
{
    std::string error;
    if (!ToolWriteOutput(path, bytes, &error)) {
        std::fprintf(stderr, "calibmod-cli: %s\n", ToolEscape(error).c_str());
        return false;
    }
    return true;
}

bool parseNumber(const std::string &text, int64_t min, int64_t max, int64_t *out)
{
    size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at++] == '-';
    }
    int base = 10;
    if (text.size() > at + 1 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
        base = 16;
        at += 2;
    }
    if (at >= text.size()) {
        return false;
    }
    int64_t value = 0;
    for (; at < text.size(); ++at) {
        char c = text[at];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        if (value > (INT64_MAX - digit) / base) {
            return false;
        }
        value = value * base + digit;
    }
    if (negative) {
        value = -value;
    }
    if (value < min || value > max) {
        return false;
    }
    *out = value;
    return true;
}

const char *resultCodeName(int code)
{
    switch (code) {
    case CAL_OK:
        return "CAL_OK";
    case CAL_ERR_REQUEST:
        return "CAL_ERR_REQUEST";
    case CAL_ERR_NO_MEMORY:
        return "CAL_ERR_NO_MEMORY";
    case CAL_ERR_FILE:
        return "CAL_ERR_FILE";
    default:
        return "unknown";
    }
}

} // namespace cli
