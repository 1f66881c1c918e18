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
    work->tableIds.count = 0;
}

void tableWorkRelease(TableWork *work)
{
    TableFile *tf = &work->tableFile;
    memRelease(&tf->request.bodyBlock);
    tf->request.body = nullptr;
    tf->loadedBody = nullptr;
    fileClose(&tf->file);
}
