// A calibmod platform on which the power can go, in the manner of a
// crash-test file system: it wraps the real POSIX backend inside one
// directory and remembers what of that directory is durable.
//
// Durable is what the system was asked to sync: the content of a file as of
// the last fsync (or fdatasync) of it, and the names of the directory as of
// the last fsync of the directory itself. Those system calls are observed
// where the backend issues them (this file's support defines fsync and
// fdatasync for the test program), so a backend whose flush does not sync
// makes nothing durable, whatever it answers.
//
// The power goes instead of the cutAt-th file operation: that operation and
// every later one of the call fail, as in a process that is gone (closes and
// unlocks still release what they hold). powerCut then rebuilds the
// directory as a restart would find it: the durable names, each later
// creation, rename and removal kept or lost at random, and every file whose
// content was not synced made of its synced and its written content mixed
// at random, 512-byte sector by sector, its length either one's.
#ifndef KZ_TEST_POWER_CUT_H
#define KZ_TEST_POWER_CUT_H

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cal_platform.h"

struct PowerCut {
    CalPlatform table; // pass platform() to the code under test
    const CalPlatform *real;

    long cutAt = 0;         // the power goes instead of this file operation (1-based); 0: not during the call
    long fileOps = 0;       // file operations attempted (open, remove, seek, read, write, copy, size,
                            // flush, flushStart, truncate, rename, syncDir, listDir, lock, toWide)
    bool powerGone = false; // the cut has happened (during the call, or by powerCut)
    long changes = 0;       // successful creations, removals, renames, writes, copies, truncations and syncs: a
                            // cut at two operations with as many changes before it finds one state
    long fileSyncs = 0;     // fsyncs of a file of the directory seen
    long dirSyncs = 0;      // fsyncs of the directory seen
    long openHandles = 0;

    // Starts on the files now in dir (a path without a trailing '/'), all durable.
    explicit PowerCut(const std::string &dir);
    ~PowerCut();
    PowerCut(const PowerCut &) = delete;
    PowerCut &operator=(const PowerCut &) = delete;
    const CalPlatform *platform() const { return &table; }

    // Cuts the power (if the call did not reach cutAt) and rewrites dir as a
    // restart finds it; the choices are those of seed. The platform is of no
    // further use; later calls run on another.
    void powerCut(uint64_t seed);
    // What is durable now but not yet on the disk, for messages: the changes
    // of the directory since its last sync, and the files not synced.
    std::string unsynced() const;

    // ---- the model (internal) ----
    struct Node {
        std::string durable; // content as of the last sync
        std::string frozen;  // content when its last name went (removed or replaced)
        bool isFrozen = false;
        bool dirty = false; // opened for writing since the last sync
    };
    enum OpKind {
        OP_CREATE,
        OP_RENAME,
        OP_REMOVE
    };
    struct DirOp {
        OpKind kind;
        std::string from; // the created or removed name, or the old name
        std::string to;   // the new name of a rename
        int node;
    };
    struct Handle {
        int node = -1; // -1: a file outside the directory
        dev_t dev = 0;
        ino_t ino = 0;
    };
    std::string dir;
    dev_t dirDev = 0;
    ino_t dirIno = 0;
    std::vector<Node> nodes;
    std::map<std::string, int> durableNames; // as of the last directory sync
    std::map<std::string, int> names;        // now
    std::vector<DirOp> pending;              // since the last directory sync, in order
    std::map<CalHandle, Handle> handles;
};

#endif // KZ_TEST_POWER_CUT_H
