// calibmod-cli check: the health of a calibration directory, and its repair.
//
// The directory holds list files and the copies they name. A scan reads
// every list file, judges every entry's copy against the source directory,
// and finds names listed twice, keys listed twice in one list, malformed and
// unread lines, files no list names and temporaries left by an interrupted
// call. A repair removes what is wrong so that the next call rebuilds it,
// and never touches a healthy entry.
#ifndef CALIBMOD_CLI_DIR_CHECK_H
#define CALIBMOD_CLI_DIR_CHECK_H

#include <string>
#include <vector>

#include "copy_view.h"
#include "inspect_dir.h"
#include "list_view.h"

namespace cli {

// The lock file the Windows module keeps in the directory between calls
// (POSIX locks the directory itself): part of a healthy directory, never
// reported and never removed.
const char kLockFileName[] = INSPECT_LOCK_FILE_NAME;

// The directory's lock, the one KZCalibration takes, waited for at most
// waitMs (a call waits CAL_LOCK_WAIT_MS: kLockWaitMs). Null with *error
// naming the path and the reason when it cannot be had.
extern const unsigned kLockWaitMs;
void *lockDirectory(const std::string &dir, unsigned waitMs, std::string *error);
// Releases it; null does nothing.
void unlockDirectory(void *lock);

struct EntryReport {
    ListLine line;
    CopyJudgement copy;
    bool duplicateName = false; // another entry (of any list) names the same copy
    bool duplicateKey = false;  // an earlier entry of the same list has the same key: never found
    bool wrongList = false;     // its list number is not the one of its list file: never found
};

struct ListReport {
    std::string name;
    bool readable = true;
    std::string error; // why it cannot be read
    size_t bytes = 0;
    bool usable = true;     // no read line is malformed
    bool hasNumber = false; // the list number in the file's name fits 16 bits
    int16_t number = 0;
    std::vector<EntryReport> entries; // well-formed lines, read or not
    std::vector<ListLine> badLines;   // malformed or unread lines
};

struct DirReport {
    std::string calibDir, sourceDir;
    std::vector<ListReport> lists;        // in name order
    std::vector<std::string> orphans;     // regular files or links no list names
    std::vector<std::string> temporaries; // left by an interrupted call
    std::vector<std::string> strangers;   // directories and special files: never touched
    int problems = 0;
};

// Scans calibDir (which the caller has locked). Lists are the files a call
// takes for lists (".ini" in any case), and no file a call reads as a list
// or as a listed copy is an orphan. False with *error when the
// directory cannot be read at all.
bool scanDirectory(const std::string &calibDir, const std::string &sourceDir, DirReport *report, std::string *error);

struct RepairResult {
    std::vector<std::string> removed;   // files removed
    std::vector<std::string> rewritten; // list files written anew (through a temporary and a rename)
    std::vector<std::string> left;      // sentences: what was left and why
    bool failed = false;                // a removal or rewrite failed (named in left)
};

// Removes what the report found wrong: the lines of entries whose copies are
// missing, foreign, stale or uncalibrated, of entries sharing a name, of
// later duplicate keys, malformed and unread lines; the copies no kept line
// names any more, orphans and temporaries. A list left with no line is
// removed. The caller holds the directory's exclusive lock.
RepairResult repairDirectory(const DirReport &report);

} // namespace cli

#endif // CALIBMOD_CLI_DIR_CHECK_H
