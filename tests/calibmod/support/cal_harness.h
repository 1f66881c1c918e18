// Tools for tests that drive KZCalibration across processes and kills:
// request keys and calls, a strict reader of every list file of a
// calibration directory, directory snapshots, the copy a fresh directory
// gives, and running a piece of a test in a forked child with a hang guard.
#ifndef KZ_TEST_CAL_HARNESS_H
#define KZ_TEST_CAL_HARNESS_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cal_platform.h"
#include "calibmod.h"
#include "kz_read.h"

// The four numbers that key a list entry.
struct CalKey {
    int16_t listNumber = 7;
    int32_t param1 = 1, param2 = 2, param3 = 3;
    bool operator<(const CalKey &o) const;
    bool operator==(const CalKey &o) const;
    std::string str() const;
};

// One request: its key, adjustment ids (mode 1) and source name.
struct KeyedCall {
    CalKey key;
    int16_t ids[6] = {-3, 0, 3, -3, 0, 0};
    std::string sourceName = "Table0.dat";
    std::string prefix = "abcde";
};

struct CallResult {
    int16_t rc = 0;
    std::string name;      // resultName up to its terminator
    std::string nameBytes; // all 16 bytes of resultName
};

// One call: through the export when platform is null, else flowCalibrate.
CallResult calibrateKey(const CalPlatform *platform, const KeyedCall &call, const KZ_WCHAR *sourceDir,
                        const KZ_WCHAR *calibDir);
// calibrateKey on a process-wide test platform whose flush skips the sync
// to disk (see FakePlatform::flushSkipsSync), for tests that make thousands
// of calls. One thread at a time.
CallResult calibrateQuick(const KeyedCall &call, const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir);
// sourceName as resultName holds it after a failure: the name, then zeros.
std::string failureName(const KeyedCall &call);

struct ListedEntry {
    CalKey key;
    std::string name;
};

// Parses a list text strictly, as the module writes it: every line ends in
// CR LF and holds four decimal numbers and a name, comma separated. False
// with the reason when the text is anything else.
bool parseListText(const std::string &text, std::vector<ListedEntry> *entries, std::string *why);

// True for the names of list files: five characters, at least three digits, ".ini".
bool hasListShape(const std::string &name);

// Every list file of a calibration directory, strictly parsed.
struct DirLists {
    std::map<std::string, std::vector<ListedEntry>> lists; // by list file name
    std::vector<std::string> otherNames;                   // every other name in the directory
    std::string problem;                                   // empty when everything is sound
    // The name listed for key by the list file, or "" when it is not listed.
    std::string nameOf(const std::string &list, const CalKey &key) const;
};
// Reads dir. problem names the first of: a list that does not parse, a key
// listed twice in one list, a name listed by two lines (of any lists).
DirLists readDirLists(const std::string &dir);

// The regular files of a directory, by name, with their bytes.
using DirSnapshot = std::map<std::string, std::string>;
DirSnapshot snapshotDir(const std::string &dir);
// The names that differ between two snapshots ("name changed", "name
// added", "name gone"), empty when they are the same.
std::string snapshotDiff(const DirSnapshot &before, const DirSnapshot &after);
// Writes every file of the snapshot into dir.
void restoreDir(const std::string &dir, const DirSnapshot &snapshot);

// The copy a fresh calibration directory gives for this source and these
// ids (made once per pair with calibrateQuick and checked against
// expectedCopy, then remembered). One thread at a time.
const kzfile::Bytes &freshCopy(const kzfile::Bytes &source, const int16_t ids[6]);
// Up to count id sets of mode 1 (slots 0 to 3 from -3, 0, 3) whose copies of
// source all differ from each other and from source.
std::vector<std::vector<int16_t>> distinctIdSets(const kzfile::Bytes &source, size_t count);

kzfile::Bytes bytesOf(const std::string &s);

// How a forked child ended.
struct ChildStatus {
    bool exited = false; // by _exit: code holds its status
    int code = -1;
    int signal = 0; // the signal that ended it, 0 when it exited
};
// Runs body in a forked child, which _exits with body's value (99 when it
// throws). A child still running after guardSeconds is ended by SIGALRM, so
// a hang fails the test instead of blocking it. Fork only where the process
// has a single thread.
ChildStatus runInChild(const std::function<int()> &body, unsigned guardSeconds);
// Starts body in a forked child without waiting; returns its pid.
int startChild(const std::function<int()> &body, unsigned guardSeconds);
ChildStatus waitChild(int pid);

#endif // KZ_TEST_CAL_HARNESS_H
