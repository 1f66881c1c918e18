// Filling and emptying the table layer's record.
#include "table_work.h"

void tableWorkInit(TableWork *work, const CalPlatform *platform, const CalibRequest *request, const int16_t *adjustIds)
{
    work->request = request;
    work->adjustIds = adjustIds;
    work->byteOrder = 1; // host order; the caller sets it from the host probe
    fileInit(&work->tableFile.file, platform);
    memInit(&work->tableFile.request.bodyBlock, platform);
    work->tableFile.request.body = nullptr;
    work->tableFile.loadedBody = nullptr;
    work->tableFile.loadedSize = 0;
    work->tableFile.cacheOn = 0;
    for (int i = 0; i < CAL_TABLE_DIR_CACHES; ++i) {
        work->tableFile.dirs[i].held = 0;
        memInit(&work->tableFile.dirs[i].entries, platform);
    }
    work->tableIds.count = 0;
}

void tableWorkRelease(TableWork *work)
{
    TableFile *tf = &work->tableFile;
    memRelease(&tf->request.bodyBlock);
    tf->request.body = nullptr;
    tf->loadedBody = nullptr;
    tf->cacheOn = 0;
    for (int i = 0; i < CAL_TABLE_DIR_CACHES; ++i) {
        tf->dirs[i].held = 0;
        memRelease(&tf->dirs[i].entries);
    }
    fileClose(&tf->file);
}
