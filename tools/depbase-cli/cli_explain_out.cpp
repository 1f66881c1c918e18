// Printing an explanation: the answer as query prints it, then one line per
// step, indented by the nesting of key walks; or the same as JSON.
#include <cstdio>

#include "cli.h"

std::string CliJsonText(const std::string &text)
{
    std::string s = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            s += buf;
        } else {
            s += static_cast<char>(c); // UTF-8 passes as it is
        }
    }
    return s + "\"";
}

std::string CliFormatExplanation(const CliRequest &req, const CliExplanation &e)
{
    std::string s = CliFormatAnswer(req, e.answer) + "How:\n";
    for (const CliStep &step : e.steps) {
        s += std::string(2 + 2 * static_cast<size_t>(step.depth), ' ') + step.line + "\n";
    }
    return s;
}

std::string CliFormatExplanationJson(const CliRequest &req, const CliExplanation &e)
{
    std::string s = "{\"answer\": " + CliFormatJson(req, e.answer) + ", \"steps\": [";
    for (size_t i = 0; i < e.steps.size(); ++i) {
        const CliStep &step = e.steps[i];
        s += std::string(i ? ",\n  " : "\n  ") + "{\"step\": \"" + step.name +
             "\", \"depth\": " + std::to_string(step.depth) + ", \"text\": " + CliJsonText(step.line) + step.fields +
             "}";
    }
    return s + "\n]}";
}
