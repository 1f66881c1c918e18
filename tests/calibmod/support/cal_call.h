// One KZCalibration call's records for tests: request, names, ids and a
// context on a given platform, released when the object goes.
#ifndef KZ_TEST_CAL_CALL_H
#define KZ_TEST_CAL_CALL_H

#include <cstring>

#include "cal_context.h"

struct CalCall {
    CalibRequest request{};
    CalibNames names{};
    int16_t adjustIds[6]{};
    CalibContext ctx{};

    // Key (listNumber 7, params 1, 2, 3), mode 1, the given source name and
    // list prefix; the context is filled for calibDir (and sourceDir).
    CalCall(const CalPlatform *platform, const KZ_WCHAR *calibDir, const char *sourceName = "Table0.dat",
            const char *prefix = "abcde", const KZ_WCHAR *sourceDir = nullptr)
    {
        request.listNumber = 7;
        request.mode = 1;
        request.param1 = 1;
        request.param2 = 2;
        request.param3 = 3;
        memcpy(names.sourceName, sourceName, strnlen(sourceName, sizeof names.sourceName));
        memcpy(names.listPrefix, prefix, strnlen(prefix, sizeof names.listPrefix));
        contextInit(&ctx, platform, &request, &names, adjustIds, sourceDir, calibDir);
    }
    ~CalCall() { contextReleaseBuffers(&ctx); }
    CalCall(const CalCall &) = delete;
    CalCall &operator=(const CalCall &) = delete;
};

#endif // KZ_TEST_CAL_CALL_H
