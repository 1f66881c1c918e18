// Deleting a file of a directory.
#include "cal_types.h"
#include "file_layer.h"
#include "file_path.h"

int16_t fileDeleteNamed(FileRef *file, const KZ_WCHAR *dir, const char *name) {
    fileAssign(file, dir, name);
    FilePath path;
    int16_t rc = pathBuild(file, &path);
    if (rc == CAL_OK) {
        const CalPlatform *p = calPlatformOr(file->platform);
        if (!p->remove(p->ctx, path.path)) {
            rc = CAL_ERR_FILE;
        }
    }
    pathRelease(&path);
    return rc;
}
