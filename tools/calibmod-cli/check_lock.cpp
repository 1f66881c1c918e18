// calibmod-cli: the calibration directory's lock, taken through the module.
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "cal_types.h"
#include "dir_check.h"
#include "inspect_dir.h"
#include "calib_flow.h"

namespace cli {

const unsigned kLockWaitMs = CAL_LOCK_WAIT_MS;

namespace {

// What keeps a command from the lock, in words.
std::string lockError(const std::string &dir, unsigned waitMs)
{
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        return "cannot open the directory " + dir + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(st.st_mode)) {
        return "cannot open the directory " + dir + ": " + std::strerror(ENOTDIR);
    }
    return "the directory " + dir + " is still held by another call after " + std::to_string(waitMs / 1000) +
           " s; try again when it is done";
}

} // namespace

void *lockDirectory(const std::string &dir, unsigned waitMs, std::string *error)
{
    std::basic_string<KZ_WCHAR> wide = wideDir(dir);
    CalHandle token = nullptr;
    if (inspectDirLock(nullptr, wide.c_str(), waitMs, &token) != CAL_OK) {
        *error = lockError(dir, waitMs);
        return nullptr;
    }
    return token;
}

void unlockDirectory(void *lock)
{
    inspectDirUnlock(nullptr, lock);
}

} // namespace cli
