// The calibration directory as a whole: its listing and its lock.
#include "cal_types.h"
#include "file_layer.h"

int16_t dirList(const CalPlatform *platform, const KZ_WCHAR *dir, CalHandle lock, CalDirVisit visit, void *arg)
{
    if (dir == nullptr) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = calPlatformOr(platform);
    return p->listDir(p->ctx, dir, lock, visit, arg) == CAL_IO_OK ? CAL_OK : CAL_ERR_FILE;
}

int16_t dirSync(const CalPlatform *platform, const KZ_WCHAR *dir)
{
    if (dir == nullptr) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = calPlatformOr(platform);
    return p->syncDir(p->ctx, dir) ? CAL_OK : CAL_ERR_FILE;
}

int16_t dirLock(const CalPlatform *platform, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *token)
{
    *token = nullptr;
    if (dir == nullptr) {
        return CAL_ERR_FILE;
    }
    const CalPlatform *p = calPlatformOr(platform);
    CalHandle h = nullptr;
    if (!p->lock(p->ctx, dir, waitMs, &h) || h == nullptr) {
        return CAL_ERR_FILE;
    }
    *token = h;
    return CAL_OK;
}

void dirUnlock(const CalPlatform *platform, CalHandle token)
{
    if (token != nullptr) {
        const CalPlatform *p = calPlatformOr(platform);
        p->unlock(p->ctx, token);
    }
}
