// calibmod-cli: a calibration list file as the module reads it (through its
// inspection layer), every line kept so that it can be shown: the lines a
// call reads, the ones it passes over and why, and what is wrong with a
// malformed one.
#ifndef CALIBMOD_CLI_LIST_VIEW_H
#define CALIBMOD_CLI_LIST_VIEW_H

#include <cstdint>
#include <string>
#include <vector>

#include "calibmod.h"

namespace cli {

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

// Splits and judges a list file's whole text.
ListText readListText(const std::string &text);

// Reads the list file name of dir as a call opens it. 1 with *text, 0 when
// nothing is at the name, -1 with *error (why it cannot be read).
int readListFile(const std::string &dir, const std::string &name, std::string *text, std::string *error);

// True for a name the module accepts as a copy name.
bool copyNameIsSafe(const std::string &name);

// True when a file name has the form the module gives a list file: five
// bytes of prefix, at least three decimal digits, ".ini" in any case.
bool isListFileName(const std::string &name);

// The list file of a prefix and list number, as a call names it.
std::string listFileName(const std::string &prefix, int16_t listNumber);

// The list number of a list file's name, when some request reads it.
bool listNumberOf(const std::string &name, int16_t *number);

// A directory as the module takes it (UTF-8 in, UTF-16 out, no trailing '/').
std::basic_string<KZ_WCHAR> wideDir(const std::string &utf8);

// Why a file of dir that the module cannot open or read is so, in plain
// words ("it is a symbolic link, which the module never follows").
std::string unreadableWhy(const std::string &dir, const std::string &name);

} // namespace cli

#endif // CALIBMOD_CLI_LIST_VIEW_H
