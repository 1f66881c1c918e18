// calibmod-cli: judging one calibrated copy against the source directory:
// whether it exists, is a regular file, is current (carries the
// identification string of its source) and was calibrated (differs from its
// source where the source has curves the module corrects).
#ifndef CALIBMOD_CLI_COPY_JUDGE_H
#define CALIBMOD_CLI_COPY_JUDGE_H

#include <string>
#include <vector>

#include "kzfile.h"

namespace cli {

enum CopyVerdict {
    COPY_HEALTHY,           // current, and calibrated where there is anything to calibrate
    COPY_MISSING,           // no file of that name
    COPY_NOT_REGULAR,       // a symbolic link, a directory or another special file
    COPY_UNREADABLE,        // it cannot be opened or read
    COPY_STALE,             // its identification string is not its source's
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

// The files of srcDir a copy of this name may have been made from: the
// same length, equal in every place but the one before the last '.', letter
// case aside.
std::vector<std::string> sourcesOf(const std::string &srcDir, const std::string &copyName);

// The identification string of a file's bytes; false when it cannot be read
// from them (the block or the text lies past the end).
bool identOf(const kzfile::Bytes &file, std::string *ident);

// True when the copy differs from the source on some curve of a KZHT table
// that a KZDB table of the source names and that has built-in curves (slots
// 0 to 3, the ones mode 1 corrects). *anyCorrectable tells whether there is
// such a curve at all.
bool differsWhereCorrected(const kzfile::Bytes &copy, const kzfile::Bytes &source, bool *anyCorrectable);

// Judges calibDir/name (opened relative to dirFd without following a
// symbolic link) against srcDir.
CopyJudgement judgeCopy(int dirFd, const std::string &name, const std::string &srcDir);

// Reads a whole file relative to dirFd, without following a symbolic link
// and without blocking; false with errno set when it cannot (EISDIR for a
// directory, EINVAL for any other file that is not a regular one).
bool readAt(int dirFd, const std::string &name, kzfile::Bytes *bytes);

// Why readAt failed, in plain words ("it is a directory").
std::string readAtError(int err);

} // namespace cli

#endif // CALIBMOD_CLI_COPY_JUDGE_H
