// The directory's lock and the safe rewrite of a list.
#include "inspect_dir.h"

#include "cal_types.h"
#include "list_file.h"

int16_t inspectDirLock(const CalPlatform *platform, const KZ_WCHAR *dir, uint32_t waitMs, CalHandle *token)
{
    return dirLock(platform, dir, waitMs, token);
}

void inspectDirUnlock(const CalPlatform *platform, CalHandle token)
{
    dirUnlock(platform, token);
}

int16_t inspectListRewrite(const CalPlatform *platform, const KZ_WCHAR *dir, const char *name, const char *text,
                           int32_t length)
{
    FileRef f;
    fileInit(&f, platform);
    bool created = fileRemoveIfPresent(&f, dir, CAL_TEMP_LIST_NAME) == CAL_OK &&
                   fileCreateNew(&f, dir, CAL_TEMP_LIST_NAME) == CAL_OK;
    int16_t rc = created ? fileWrite(&f, text, length) : CAL_ERR_FILE;
    if (rc == CAL_OK) {
        rc = fileFlush(&f);
    }
    fileClose(&f);
    if (!created) {
        return CAL_ERR_FILE; // the temporary name holds nothing written here
    }
    if (rc == CAL_OK) {
        rc = fileRenameNamed(platform, dir, CAL_TEMP_LIST_NAME, name);
    }
    if (rc != CAL_OK) {
        FileRef gone;
        fileInit(&gone, platform);
        fileRemoveIfPresent(&gone, dir, CAL_TEMP_LIST_NAME);
        return CAL_ERR_FILE;
    }
    return CAL_OK;
}
