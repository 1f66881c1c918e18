// A calibmod platform for tests: wraps the real backend, counts allocations
// and file operations, fails the n-th of either, can make the n-th read or
// write short, and reports what is still allocated or open.
#ifndef KZ_TEST_FAKE_PLATFORM_H
#define KZ_TEST_FAKE_PLATFORM_H

#include <cstdint>
#include <string>
#include <vector>

#include "cal_platform.h"

struct FakePlatform {
    CalPlatform table; // pass &fake.table (or fake.platform()) to the code under test
    const CalPlatform *real;

    // Counters since init / resetCounts.
    long allocs = 0;  // allocation attempts
    long fileOps = 0; // open, remove, seek, read, write, size, flush, truncate, rename,
                      // listDir, lock and toWide attempts
    long opens = 0;   // successful opens
    long closes = 0;
    long removes = 0; // successful deletions
    long writes = 0;  // successful writes
    long renames = 0; // successful renames
    long ioCalls = 0; // read and write attempts (shortIoAt counts these)

    // Failure injection (1-based; 0 = never).
    long failAllocAt = 0;  // the n-th allocation returns null
    long failFileOpAt = 0; // the n-th file operation fails
    long shortIoAt = 0;    // the n-th read or write succeeds but moves one byte fewer
    long failAllocsFrom = 0; // every allocation from the n-th on fails
    long killAtFileOp = 0;   // the process kills itself (SIGKILL) at the n-th file operation
    CalIo failedOpenIs = CAL_IO_ERROR; // what an open failed by failFileOpAt reports
    long lockWaitMs = -1;    // >= 0: the wait every lock is given instead of the caller's

    // The path of the last open or delete, as the backend received it.
    std::basic_string<KZ_WCHAR> lastPath;
    // Every path opened for writing, created or deleted (attempts included),
    // in order; cleared by resetCounts.
    std::vector<std::basic_string<KZ_WCHAR>> touched;

    // State now.
    long outstandingAllocs = 0;
    long openHandles = 0;
    long locksHeld = 0;

    FakePlatform();
    FakePlatform(const FakePlatform &) = delete;
    FakePlatform &operator=(const FakePlatform &) = delete;
    const CalPlatform *platform() const { return &table; }
    void resetCounts(); // clears counters and failure settings, keeps the state
};

#endif // KZ_TEST_FAKE_PLATFORM_H
