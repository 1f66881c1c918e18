// Filling and emptying the per-call context.
#include "cal_context.h"

void contextInit(CalibContext *ctx, const CalPlatform *platform, const CalibRequest *request, CalibNames *names,
                 const int16_t *adjustIds, const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir)
{
    ctx->request = request;
    ctx->names = names;
    ctx->adjustIds = adjustIds;
    ctx->sourceDir = sourceDir;
    ctx->calibDir = calibDir;
    ctx->platform = platform;
    listStateInit(&ctx->list, platform, request, names, calibDir);
    tableWorkInit(&ctx->table, platform, request, adjustIds);
    ctx->copy.platform = platform;
    ctx->copy.sourceDir = sourceDir;
    ctx->copy.sourceName = names != nullptr ? names->sourceName : nullptr;
    ctx->copy.calibDir = calibDir;
    ctx->copy.copyName = ctx->list.chosenName;
    ctx->copy.calibLock = nullptr;
    ctx->copy.table = &ctx->table;
    ctx->dirLock = nullptr;
}

void contextReleaseBuffers(CalibContext *ctx)
{
    listStateRelease(&ctx->list);
    tableWorkRelease(&ctx->table);
}
