// calibmod-cli: reading a calibration list file the way the module reads
// it, keeping what the module never sees as well, so that it can be shown.
//
// The module looks at the first 32767 bytes, up to a zero byte; CR, LF and
// a zero byte end a line, empty lines are skipped, a last line without an
// end is not read, and only the first 128 lines are read. A read line is
// "listNumber,param1,param2,param3,name" with blanks around fields ignored;
// one malformed read line makes the whole list unusable.
#ifndef CALIBMOD_CLI_LIST_READ_H
#define CALIBMOD_CLI_LIST_READ_H

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

const size_t kListLinesRead = 128;
const size_t kListBytesRead = 32767;

struct ListLine {
    size_t number = 0;  // 1-based among the non-empty lines of the whole text
    std::string text;   // without its line end
    bool read = false;  // the module reads it
    std::string unread; // why not, when it is not read
    bool wellFormed = false;
    std::string problem;    // why it is malformed
    int16_t listNumber = 0; // the fields, when well-formed
    int32_t param1 = 0, param2 = 0, param3 = 0;
    std::string name;
};

struct ListText {
    std::vector<ListLine> lines;
    bool usable = true; // no read line is malformed
};

// Splits and parses a list file's whole text.
ListText readListText(const std::string &text);

// True for a name the module accepts as a copy name: 1 to 15 characters, no
// '/', '\\', ':', ',', CR or LF, no blank at either end, not "." or "..".
bool copyNameIsSafe(const std::string &name);

// True when a file name has the form of a list file: five bytes of prefix,
// at least three decimal digits, ".ini".
bool isListFileName(const std::string &name);

// The list file of a prefix and list number: prefix, the number widened
// with its sign and written unsigned, at least three digits, ".ini".
std::string listFileName(const std::string &prefix, int16_t listNumber);

} // namespace cli

#endif // CALIBMOD_CLI_LIST_READ_H
