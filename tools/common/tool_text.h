// Text the tools echo back from their input, and the errors they report
// about one input.
//
// Anything a tool echoes from a file or an argument (a source line, a list
// line, a printer value) goes through ToolEscape before it reaches the
// terminal: printable ASCII and well-formed UTF-8 of printable characters
// stay as they are, every other byte reads "\xNN".
//
// Errors about one input are collected, then printed in line order, at
// most kToolErrorLimit of them and then one "too many errors" line:
//
//     ToolErrors errors;
//     ToolErrorAdd(&errors, 0, 12, "src.zdb:12: unknown escape \\q");
//     std::string text = ToolErrorsText(errors, "dbc");
#ifndef ZMD_TOOL_TEXT_H
#define ZMD_TOOL_TEXT_H

#include <cstddef>
#include <string>
#include <vector>

// The most errors printed about one run's input, and the longest error line
// (a longer one is cut, and ends in "...").
const size_t kToolErrorLimit = 20;
const size_t kToolErrorWidth = 300;

// bytes with every byte that is not printable as "\xNN".
std::string ToolEscape(const std::string &bytes);

// The same for a text of lines: its line ends stay as they are.
std::string ToolEscapeLines(const std::string &text);

struct ToolError {
    int input;        // which input (order given), so that files stay apart
    long line;        // 1-based; 0 for the input as a whole
    size_t order;     // the order the error was found, for errors of one line
    std::string text; // the whole message line, without its line end
};

struct ToolErrors {
    std::vector<ToolError> list;
};

// Adds one error; text is escaped when printed.
void ToolErrorAdd(ToolErrors *errors, int input, long line, const std::string &text);

// The errors sorted by input and line (found order within a line), escaped
// and cut to kToolErrorWidth, one a line; after kToolErrorLimit of them "<tool>: too many errors (N more
// not shown)".
std::string ToolErrorsText(const ToolErrors &errors, const char *tool);

#endif // ZMD_TOOL_TEXT_H
