// Path building for the file layer.
#include "file_path.h"

#include <cstring>

#include "cal_types.h"

namespace {

// Longest directory taken, in wide characters (the longest Windows path).
const uint32_t kMaxDir = 32767;

// A name that stays inside the directory: not empty, no separator or drive
// or stream mark, not "." or "..".
bool nameStaysInside(const char *name)
{
    if (name[0] == 0 || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) {
        return false;
    }
    return strpbrk(name, "/\\:") == nullptr;
}

} // namespace

int16_t pathBuild(const FileRef *file, FilePath *out)
{
    memInit(&out->full, file->platform);
    memInit(&out->name, file->platform);
    out->path = nullptr;
    if (file->dir == nullptr || !nameStaysInside(file->name)) {
        return CAL_ERR_FILE;
    }
    uint32_t dirLen = 0;
    while (file->dir[dirLen] != 0) {
        if (++dirLen > kMaxDir) {
            return CAL_ERR_FILE;
        }
    }
    uint32_t nameLen = static_cast<uint32_t>(strnlen(file->name, CAL_FILE_NAME_SIZE - 1));

    void *full = nullptr;
    if (memAlloc((dirLen + nameLen + 2) * sizeof(KZ_WCHAR), &out->full, &full) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    out->full.data = full;
    KZ_WCHAR *path = static_cast<KZ_WCHAR *>(full);
    memcpy(path, file->dir, dirLen * sizeof(KZ_WCHAR));
    path[dirLen] = calPlatformOr(file->platform)->separator;

    void *wideName = nullptr;
    if (memAlloc((nameLen + 1) * sizeof(KZ_WCHAR), &out->name, &wideName) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    out->name.data = wideName;
    const CalPlatform *p = calPlatformOr(file->platform);
    int converted = p->toWide(p->ctx, file->name, static_cast<int>(nameLen), static_cast<KZ_WCHAR *>(wideName),
                              static_cast<int>(nameLen + 1));
    if (converted <= 0 || static_cast<uint32_t>(converted) > nameLen) {
        return CAL_ERR_FILE;
    }
    // Both buffers are zero-filled, so the path stays terminated.
    memcpy(path + dirLen + 1, wideName, static_cast<size_t>(converted) * sizeof(KZ_WCHAR));
    out->path = path;
    return CAL_OK;
}

void pathRelease(FilePath *path)
{
    memRelease(&path->name);
    memRelease(&path->full);
    path->path = nullptr;
}
