// Making the calibrated copy: the source copied into a temporary file of
// calibDir and calibrated there, then renamed onto its final name, so that
// a copy appears under a listed name only complete.
#include "cal_types.h"
#include "copy.h"
#include "curve_update.h"
#include "table_file.h"

namespace {

// Copies the open source into the open temporary file through a buffer of
// CAL_COPY_CHUNK bytes. An empty source is no calibration data file.
int16_t bytesCopy(CalibContext *ctx, FileRef *source, FileRef *temp)
{
    MemBlock chunk;
    memInit(&chunk, ctx->platform);
    if (memAllocBlock(CAL_COPY_CHUNK, &chunk) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    int16_t rc = CAL_OK;
    int64_t total = 0;
    for (;;) {
        int32_t got = 0;
        if (fileReadSome(source, chunk.data, CAL_COPY_CHUNK, &got) != CAL_OK) {
            rc = CAL_ERR_FILE;
            break;
        }
        if (got == 0) {
            break;
        }
        total += got;
        if (total > 0x7FFFFFFF || fileWrite(temp, chunk.data, got) != CAL_OK) {
            rc = CAL_ERR_FILE;
            break;
        }
    }
    memRelease(&chunk);
    if (rc == CAL_OK && total == 0) {
        rc = CAL_ERR_FILE;
    }
    return rc;
}

// The temporary file's tables updated in place; the file stays open.
int16_t tempCalibrate(CalibContext *ctx)
{
    TableFile *tf = &ctx->table.tableFile;
    int16_t rc = tablesUpdateAll(ctx);
    tableRelease(tf); // nothing stays loaded, whatever path was taken
    if (rc == CAL_ERR_NO_MEMORY) {
        return rc;
    }
    return rc != CAL_OK ? CAL_ERR_FILE : CAL_OK;
}

} // namespace

int16_t tempClear(CalibContext *ctx)
{
    FileRef f;
    fileInit(&f, ctx->platform);
    if (fileRemoveIfPresent(&f, ctx->calibDir, CAL_TEMP_COPY_NAME) != CAL_OK ||
        fileRemoveIfPresent(&f, ctx->calibDir, CAL_TEMP_LIST_NAME) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    return CAL_OK;
}

int16_t copyMake(CalibContext *ctx)
{
    FileRef *temp = &ctx->table.tableFile.file;
    if (fileRemoveIfPresent(temp, ctx->calibDir, CAL_TEMP_COPY_NAME) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    FileRef source;
    fileInit(&source, ctx->platform);
    if (fileOpenNamed(&source, ctx->sourceDir, ctx->names->sourceName, CAL_MODE_READ_SOURCE) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    int16_t rc = fileCreateNew(temp, ctx->calibDir, CAL_TEMP_COPY_NAME);
    if (rc == CAL_OK) {
        rc = bytesCopy(ctx, &source, temp);
    }
    fileClose(&source);
    if (rc == CAL_OK) {
        rc = tempCalibrate(ctx);
    }
    if (rc == CAL_OK && fileFlush(temp) != CAL_OK) {
        rc = CAL_ERR_FILE;
    }
    bool created = temp->handle != nullptr;
    fileClose(temp);
    if (rc != CAL_OK && created) {
        FileRef gone;
        fileInit(&gone, ctx->platform);
        fileRemoveIfPresent(&gone, ctx->calibDir, CAL_TEMP_COPY_NAME);
    }
    return rc;
}

int16_t copyInstall(CalibContext *ctx)
{
    if (fileRenameNamed(ctx->platform, ctx->calibDir, CAL_TEMP_COPY_NAME, ctx->chosenName) == CAL_OK) {
        return CAL_OK;
    }
    FileRef gone;
    fileInit(&gone, ctx->platform);
    fileRemoveIfPresent(&gone, ctx->calibDir, CAL_TEMP_COPY_NAME);
    return CAL_ERR_FILE;
}

int16_t copyClearName(CalibContext *ctx)
{
    FileRef f;
    fileInit(&f, ctx->platform);
    if (fileRemoveIfPresent(&f, ctx->calibDir, ctx->chosenName) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    // Durable before the list names the name for the new key: after a power
    // cut the line must not find the file it replaced (another key's copy).
    return dirSync(ctx->platform, ctx->calibDir);
}
