// Making the calibrated copy: the source file copied whole into calibDir,
// and discarded again when the calibration cannot be completed.
#include "cal_types.h"
#include "calib_flow.h"

int16_t copySource(CalibContext *ctx, bool *created) {
    *created = false;
    BufferedFile bf;
    bufferedFileInit(&bf, ctx->platform);
    // Cannot open, empty, unreadable or no memory: the copy cannot be made.
    int16_t rc = fileReadAll(&bf, ctx->sourceDir, ctx->names->sourceName) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
    if (rc == CAL_OK) {
        rc = fileRecreateNamed(&bf.file, ctx->calibDir, ctx->chosenName);
        if (rc == CAL_OK) {
            *created = true;
            bf.offset = 0;
            rc = fileWriteAt(&bf, ctx->calibDir, ctx->chosenName);
        }
        if (rc != CAL_OK) {
            rc = CAL_ERR_FILE;
        }
    }
    memRelease(&bf.buffer);
    memReset(&bf.buffer);
    return rc;
}

int16_t copyDiscard(CalibContext *ctx) {
    FileRef copy;
    fileInit(&copy, ctx->platform);
    return fileDeleteNamed(&copy, ctx->calibDir, ctx->chosenName);
}
