// What every internal depbase function works against: an image and a platform.
// The exports build one from the shipped image and the default platform;
// tests build their own from synthetic images and counting platforms.
#ifndef ZMD_ENV_H
#define ZMD_ENV_H

#include "image.h"
#include "observe.h"
#include "platform.h"

struct ZMD_Env {
    const ZMD_ImageView *image;
    const ZMD_Platform *platform;
    // The printer hold of the query in progress, set by the export frame;
    // null outside a query.
    ZMD_PrinterHold *hold = nullptr;
    // Told every step of the evaluation (observe.h); null in the exports.
    const ZMD_Observer *observer = nullptr;
};

// Reports a step to the environment's observer; callers test
// env->observer first, so that without one no step is even built.
inline void ZMD_Observe(const ZMD_Env *env, const ZMD_Step &step)
{
    env->observer->step(env->observer->ctx, &step);
}

// Reads a value stored with the printer: through the query's hold when it is
// for this printer and the platform keeps holds, else straight from the host.
inline bool ZMD_GetPrinterData(const ZMD_Env *env, void *handle, const ZMD_WCHAR *valueName, void *data,
                               uint32_t cbData, uint32_t *cbNeeded)
{
    const ZMD_Platform *platform = env->platform;
    if (env->hold && env->hold->handle == handle && platform->getHeldPrinterData) {
        return platform->getHeldPrinterData(platform->ctx, env->hold, valueName, data, cbData, cbNeeded);
    }
    return platform->getPrinterData(platform->ctx, handle, valueName, data, cbData, cbNeeded);
}

// Database numbers (ZMD_DatabaseId).
enum ZMD_DatabaseId : uint32_t {
    ZMD_DB_ROOT = 0,
    ZMD_DB_DRV = 1,
    ZMD_DB_LM = 2,
    ZMD_DB_MNT = 3,
    ZMD_DB_PA = 4,
    ZMD_DB_SM = 5,
};

#endif // ZMD_ENV_H
