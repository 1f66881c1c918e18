// The directory states in which tests stop a call part-way (a kill, a power
// cut): a new list, a new entry, a refresh of a stale or a missing copy, a
// list rewritten to recycle its oldest entry, and orphan files reused.
#ifndef KZ_TEST_CRASH_SCENES_H
#define KZ_TEST_CRASH_SCENES_H

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cal_harness.h"
#include "kz_read.h"
#include "temp_dir.h"

// A request for key (list, p1, p2, p3) with the idSet-th id set of
// distinctIdSets: keys of a scene get copies that differ from each other.
KeyedCall crashKeyed(int16_t list, int32_t p1, int32_t p2, int32_t p3, size_t idSet);
// The list file name of list number list ("abcde007.ini").
std::string crashListName(int16_t list);

// A directory state to stop a call in, and the call.
struct CrashScene {
    TempDir source;
    TempDir calib;
    KeyedCall victim = crashKeyed(7, 1, 2, 3, 0);
    std::vector<KeyedCall> listed; // keys listed before the call
    bool mayReplaceOldest = false; // the call recycles the oldest similar entry of its list (listed[0])

    CrashScene();
    void setSource(const std::string &ident);
    kzfile::Bytes sourceBytes() const;
    // A key made listed by a real call; throws when the call fails.
    void add(const KeyedCall &c);
};

struct CrashCase {
    const char *name;
    std::function<void(CrashScene &)> prepare;
};
void PrintTo(const CrashCase &c, std::ostream *os);

// Every scene, in a fixed order.
const std::vector<CrashCase> &crashCases();

#endif // KZ_TEST_CRASH_SCENES_H
