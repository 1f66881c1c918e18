// calibmod-cli: one calibrated copy as the module judges it (through its
// inspection layer): whether it exists, is a regular file, is current (its
// source's size and identification string) and was calibrated (differs from
// its source where the source has curves the module corrects), in words.
#ifndef CALIBMOD_CLI_COPY_VIEW_H
#define CALIBMOD_CLI_COPY_VIEW_H

#include <string>

namespace cli {

enum CopyVerdict {
    COPY_HEALTHY,           // current, and calibrated where there is anything to calibrate
    COPY_MISSING,           // no file of that name
    COPY_NOT_REGULAR,       // a symbolic link, a directory or another special file
    COPY_UNREADABLE,        // it cannot be opened or read
    COPY_STALE,             // its size or identification string is not its source's
    COPY_UNCALIBRATED,      // identical to its source on every curve the module corrects
    COPY_NO_SOURCE,         // no file of the source directory can be its source
    COPY_SOURCE_UNREADABLE, // its source cannot be read
};

struct CopyJudgement {
    CopyVerdict verdict = COPY_HEALTHY;
    std::string source;            // the source's name, when one was found
    std::string detail;            // a sentence for people: what was found
    bool nothingToCorrect = false; // healthy, and the source has no curve the module corrects
};

// "healthy", "missing", "not_regular", ... (the names of the JSON answers).
const char *verdictName(CopyVerdict v);
// True when removing the copy (and its entry) lets the next call rebuild it.
bool verdictRemovable(CopyVerdict v);

// Judges calibDir/name against srcDir (empty: no source directory).
CopyJudgement judgeCopy(const std::string &calibDir, const std::string &name, const std::string &srcDir);

} // namespace cli

#endif // CALIBMOD_CLI_COPY_VIEW_H
