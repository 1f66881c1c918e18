// calibmod-cli: shared declarations of the commands and their helpers.
#ifndef CALIBMOD_CLI_H
#define CALIBMOD_CLI_H

#include <cstdint>
#include <string>
#include <vector>

#include "calibmod.h"
#include "list_view.h"

namespace cli {

// Exit codes.
const int kOk = 0;     // the command did what was asked
const int kFailed = 1; // it ran, but the answer is a failure (a result code, a damaged file)
const int kUsage = 2;  // bad command line, unreadable input

// Each command takes the arguments after its name.
int cmdCalibrate(const std::vector<std::string> &args);
int cmdInspect(const std::vector<std::string> &args);
int cmdList(const std::vector<std::string> &args);
int cmdMakeSample(const std::vector<std::string> &args);
int cmdPlot(const std::vector<std::string> &args);
int cmdCheck(const std::vector<std::string> &args);

// Prints "calibmod-cli: message" and a pointer to the command's help on
// stderr; returns kUsage.
int usageError(const std::string &command, const std::string &message);

// printf to stdout with every byte that is not printable (names and lines
// read from files) shown as "\xNN"; line ends stay.
void printEscaped(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Reads a whole input file ("-": standard input); false with "cannot read
// PATH: reason" when it cannot. Both FILE and SOURCE may not be "-".
bool readInput(const std::string &path, std::vector<uint8_t> *bytes, std::string *error);

// Writes an output file ("-": standard output) complete or not at all; on
// failure says why on stderr and returns false.
bool writeOutput(const std::string &path, const std::string &bytes);

// A whole decimal number (optionally negative, or 0x hex) within [min, max].
bool parseNumber(const std::string &text, int64_t min, int64_t max, int64_t *out);

// Sentences naming what on disk made a call answer CAL_ERR_FILE: the
// source directory and file, the calibration directory, the list file
// (cli_diagnose.cpp).
std::vector<std::string> explainFileError(const std::string &sourceDir, const std::string &source,
                                          const std::string &calibDir, const std::string &listName);

// The name of a result code ("CAL_OK", ...), or "unknown".
const char *resultCodeName(int code);

// What one KZCalibration call did to the calibration directory, worked out
// from the directory before and after the call (cli_state.cpp).
struct DirSnapshot {
    struct Entry {
        std::string name;
        int64_t size;
        int64_t mtimeNs;
        uint64_t inode;
    };
    bool exists = false;
    std::vector<Entry> files;
    bool listExists = false;
    std::string listText;
};
DirSnapshot snapshotDir(const std::string &dir, const std::string &listName);
// A line that says which state the call reached, or why that cannot be told.
std::string describeState(const DirSnapshot &before, const DirSnapshot &after, int16_t result,
                          const std::string &resultName, const std::string &sourceName, bool passThrough);

} // namespace cli

#endif // CALIBMOD_CLI_H
