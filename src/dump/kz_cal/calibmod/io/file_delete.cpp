// Deleting and renaming files of a directory.
#include "cal_types.h"
#include "file_layer.h"
#include "file_path.h"

namespace {

// fileAssign, then deletes the file; absentIsDone says whether "nothing there"
// counts as done.
int16_t fileRemoveNamed(FileRef *file, const KZ_WCHAR *dir, const char *name, bool absentIsDone)
{
    fileAssign(file, dir, name);
    FilePath path;
    int16_t rc = pathBuild(file, &path);
    if (rc == CAL_OK) {
        const CalPlatform *p = calPlatformOr(file->platform);
        CalIo io = p->remove(p->ctx, path.path);
        if (io != CAL_IO_OK && !(absentIsDone && io == CAL_IO_ABSENT)) {
            rc = CAL_ERR_FILE;
        }
    }
    pathRelease(&path);
    return rc;
}

} // namespace

int16_t fileRemoveIfPresent(FileRef *file, const KZ_WCHAR *dir, const char *name)
{
    return fileRemoveNamed(file, dir, name, true);
}

int16_t fileRenameNamed(const CalPlatform *platform, const KZ_WCHAR *dir, const char *from, const char *to)
{
    FileRef a;
    FileRef b;
    fileInit(&a, platform);
    fileInit(&b, platform);
    fileAssign(&a, dir, from);
    fileAssign(&b, dir, to);
    FilePath pa;
    FilePath pb;
    int16_t rc = pathBuild(&a, &pa);
    if (rc == CAL_OK) {
        rc = pathBuild(&b, &pb);
        if (rc == CAL_OK) {
            const CalPlatform *p = calPlatformOr(platform);
            if (!p->rename(p->ctx, pa.path, pb.path)) {
                rc = CAL_ERR_FILE;
            }
        }
        pathRelease(&pb);
    }
    pathRelease(&pa);
    // The rename is a change of the directory: synced, so that a power cut
    // after the call cannot take it back (and with it the copy or the list
    // the call answered for).
    return rc == CAL_OK ? dirSync(platform, dir) : rc;
}
