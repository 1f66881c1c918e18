// A calibmod platform for tests: wraps the real backend, counts allocations
// and file operations, fails the n-th of either, can make the n-th read or
// write short, and reports what is still allocated or open.
#ifndef KZ_TEST_FAKE_PLATFORM_H
#define KZ_TEST_FAKE_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cal_platform.h"

struct FakePlatform {
    CalPlatform table; // pass &fake.table (or fake.platform()) to the code under test
    const CalPlatform *real;

    // Counters since init / resetCounts.
    long allocs = 0;  // allocation attempts
    long fileOps = 0; // open, remove, seek, read, write, copy, size, flush, flushStart, truncate,
                      // rename, syncDir, listDir, lock and toWide attempts
    long opens = 0;   // successful opens
    long closes = 0;
    long removes = 0; // successful deletions
    long writes = 0;  // successful writes
    long renames = 0; // successful renames
    long ioCalls = 0; // read, write and copy attempts (shortIoAt counts these)
    long copies = 0;  // copyRange attempts
    long copied = 0;  // bytes the system copied

    // Failure injection (1-based; 0 = never).
    long failAllocAt = 0;              // the n-th allocation returns null
    long failFileOpAt = 0;             // the n-th file operation fails
    long shortIoAt = 0;                // the n-th read or write succeeds but moves one byte fewer;
                                       // a copy moves one byte at most
    long noSystemCopyFrom = 0;         // the n-th copyRange and every later one answer
                                       // CAL_COPY_UNSUPPORTED (1: a host without a system copy)
    long failAllocsFrom = 0;           // every allocation from the n-th on fails
    long killAtFileOp = 0;             // the process kills itself (SIGKILL) at the n-th file operation
    CalIo failedOpenIs = CAL_IO_ERROR; // what an open failed by failFileOpAt reports
    long lockWaitMs = -1;              // >= 0: the wait every lock is given instead of the caller's
    // flush and syncDir succeed without asking the system to write through:
    // what a killed process wrote stays in the page cache, so tests of kills
    // and faults need no real fsync (only a power loss would).
    bool flushSkipsSync = false;

    // The path of the last open or delete, as the backend received it.
    std::basic_string<KZ_WCHAR> lastPath;
    // Every path opened for writing, created or deleted (attempts included),
    // in order; cleared by resetCounts.
    std::vector<std::basic_string<KZ_WCHAR>> touched;

    // With logOps set, one entry per file operation attempted, in order:
    // the operation and the last path component it worked on, such as
    // "open abcde007.ini", "read abcde007.ini", "rename ~kz,copy.tmp table1.dat",
    // "lock", "listDir", "toWide". Cleared by resetCounts.
    bool logOps = false;
    std::vector<std::string> opLog;
    // The 1-based number of the first logged operation that starts with
    // prefix (such as "open abcde007.ini"), 0 when there is none.
    long firstOp(const std::string &prefix) const;

    // State now.
    long outstandingAllocs = 0;
    long openHandles = 0;
    long locksHeld = 0;
    long long bytesOutstanding = 0;               // bytes of the allocations not yet freed
    long long peakBytes = 0;                      // the most bytesOutstanding has been since init / resetCounts
    std::map<const void *, size_t> blockSizes;    // live allocations
    std::map<CalHandle, std::string> handleNames; // open handles and the name each was opened at

    FakePlatform();
    FakePlatform(const FakePlatform &) = delete;
    FakePlatform &operator=(const FakePlatform &) = delete;
    const CalPlatform *platform() const { return &table; }
    void resetCounts(); // clears counters and failure settings, keeps the state
};

#endif // KZ_TEST_FAKE_PLATFORM_H
