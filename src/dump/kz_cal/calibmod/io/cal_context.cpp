// Filling and emptying the per-call context.
#include "cal_context.h"

#include <cstring>

#include "cal_types.h"

void contextInit(CalibContext *ctx, const CalPlatform *platform, const CalibRequest *request, CalibNames *names,
                 const int16_t *adjustIds, const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir)
{
    ctx->request = request;
    ctx->names = names;
    ctx->adjustIds = adjustIds;
    ctx->sourceDir = sourceDir;
    ctx->calibDir = calibDir;
    ctx->byteOrder = 1; // host order; the entry sets it from the host probe
    ctx->state = CAL_STATE_NONE;
    memset(ctx->listFileName, 0, sizeof ctx->listFileName);
    bufferedFileInit(&ctx->listFile, platform);
    ctx->entryCount = 0;
    ctx->entries = nullptr;
    memInit(&ctx->entryBlock, platform);
    memset(ctx->chosenNameBuf, 0, sizeof ctx->chosenNameBuf);
    ctx->chosenName = ctx->chosenNameBuf;
    fileInit(&ctx->table.tableFile.file, platform);
    memInit(&ctx->table.tableFile.request.bodyBlock, platform);
    ctx->platform = platform;
    ctx->dirLock = nullptr;
}

void contextReleaseBuffers(CalibContext *ctx)
{
    memRelease(&ctx->entryBlock);
    ctx->entries = nullptr;
    ctx->entryCount = 0;
    memRelease(&ctx->listFile.buffer);
    fileClose(&ctx->listFile.file);
    TableFile *tf = &ctx->table.tableFile;
    memRelease(&tf->request.bodyBlock);
    tf->request.body = nullptr;
    tf->loadedBody = nullptr;
    fileClose(&tf->file);
}
