// The decision flow of KZCalibration.
//
// States: the decision sets 1 (the key is listed), 2 (no usable list) or 3
// (the key is not listed, or its name is named by another line too); the
// presence and currency checks turn 1 into 4 (the listed copy is missing or
// stale). State 1 ends the call with the
// listed name; 2, 3 and 4 copy the source and update its tables; 2 and 3
// then record the copy in the list file, 4 leaves the list as it is.
// Calls on one calibration directory are serialised by its lock.
#include "byte_order.h"
#include "cal_types.h"
#include "calib_flow.h"
#include "curve_update.h"
#include "list_file.h"

namespace {

// The key gave up a name that another line names too: what it holds was
// made for one of the keys at most, so it is removed before the key's line
// is rewritten, and the other key's next call makes its own copy there. A
// name shaped like a list's is never removed. CAL_OK or CAL_ERR_FILE.
int16_t sharedClear(CalibContext *ctx)
{
    if (ctx->list.sharedName[0] == 0 || listNameHasListShape(ctx->list.sharedName)) {
        return CAL_OK;
    }
    FileRef f;
    fileInit(&f, ctx->platform);
    if (fileRemoveIfPresent(&f, ctx->calibDir, ctx->list.sharedName) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    // Durable before the list is rewritten: after a power cut the other
    // key's line must not find the file again.
    return dirSync(ctx->platform, ctx->calibDir);
}

// Removes what a killed call may have left: both temporary names. CAL_OK,
// or CAL_ERR_FILE when something at either name cannot be removed.
int16_t tempClear(const CalibContext *ctx)
{
    if (copyTempClear(&ctx->copy) != CAL_OK || listTempClear(&ctx->list) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    return CAL_OK;
}

// Steps 5 to 10 on a created context that holds the directory's lock: the
// decision, the checks of a listed copy, the copy, the table update and the
// list update.
//
// A copy is made complete under a temporary name before anything names it.
// A refresh then renames it over the stale copy in one step. A new entry
// first clears its name (an orphan, or the recycled entry's copy, which the
// old list still names), then writes the list, then renames the copy in: a
// call stopped at any point leaves every listed name holding its own
// complete copy or nothing, which the next call for that key makes anew.
int16_t flowRun(CalibContext *ctx)
{
    int16_t rc = listDecide(&ctx->list);
    if (rc != CAL_OK) {
        return rc;
    }
    if (ctx->list.state == CAL_STATE_FOUND) {
        if (copyCurrency(&ctx->copy) != CAL_EQUAL) {
            ctx->list.state = CAL_STATE_REFRESH;
        }
    }
    if (ctx->list.state == CAL_STATE_FOUND) {
        return CAL_OK; // the listed copy is current
    }
    // A listed name shaped like a list file's (written there by hand, or by
    // another program) is never made a copy: the rename would put a copy in
    // the place of a list.
    if (listNameHasListShape(ctx->list.chosenName)) {
        return CAL_ERR_FILE;
    }
    // A call that writes first removes what a stopped call may have left;
    // a call answered from the list changes nothing.
    rc = tempClear(ctx);
    if (rc == CAL_OK) {
        rc = copyMake(&ctx->copy);
    }
    if (rc != CAL_OK) {
        return rc;
    }
    if (ctx->list.state != CAL_STATE_REFRESH) {
        rc = copyClearName(&ctx->copy);
        if (rc == CAL_OK) {
            rc = sharedClear(ctx);
        }
        if (rc == CAL_OK) {
            rc = listUpdate(&ctx->list);
        }
    }
    if (rc == CAL_OK) {
        return copyInstall(&ctx->copy);
    }
    FileRef gone;
    fileInit(&gone, ctx->platform);
    fileRemoveIfPresent(&gone, ctx->calibDir, CAL_TEMP_COPY_NAME);
    return rc;
}

// The codes the export may answer; anything else is a file failure.
int16_t codeForExport(int16_t rc)
{
    if (rc == CAL_OK || rc == CAL_ERR_REQUEST || rc == CAL_ERR_NO_MEMORY || rc == CAL_ERR_FILE) {
        return rc;
    }
    return CAL_ERR_FILE;
}

} // namespace

void nameReturn(CalibNames *names, const char *from)
{
    for (int i = 0; i < CAL_NAME_SIZE; ++i) {
        names->resultName[i] = 0;
    }
    for (int i = 0; i < CAL_NAME_SIZE; ++i) {
        names->resultName[i] = from[i];
        if (from[i] == 0) {
            break;
        }
    }
}

int16_t flowCalibrate(const CalPlatform *platform, const CalibRequest *request, CalibNames *names,
                      const int16_t *adjustIds, const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir)
{
    // Steps 1 to 3: nothing is opened or allocated before the request has
    // passed, and a pass-through request is answered with the caller's file.
    int16_t rc = requestCheck(request, names, adjustIds, sourceDir, calibDir);
    if (rc != CAL_OK || passThroughTest(request, adjustIds) == CAL_FAIL) {
        if (names != nullptr) {
            nameReturn(names, names->sourceName);
        }
        return rc;
    }

    // Step 4: the context, zero-filled from the global heap.
    MemBlock block;
    memInit(&block, platform);
    if (memAllocBlock(sizeof(CalibContext), &block) != CAL_OK) {
        nameReturn(names, names->sourceName);
        return CAL_ERR_NO_MEMORY;
    }
    CalibContext *ctx = static_cast<CalibContext *>(block.data);
    contextInit(ctx, platform, request, names, adjustIds, sourceDir, calibDir);
    ctx->table.byteOrder = byteOrderFlag(byteOrderProbe());

    // One call at a time per calibration directory, from the decision to
    // the list update.
    // The listings of the directory, and the reads of the list and of the
    // copy, go through the lock's own handle.
    rc = dirLock(platform, calibDir, CAL_LOCK_WAIT_MS, &ctx->dirLock);
    if (rc == CAL_OK) {
        ctx->list.dirLock = ctx->dirLock;
        ctx->copy.calibLock = ctx->dirLock;
        rc = flowRun(ctx);
        ctx->list.dirLock = nullptr;
        ctx->copy.calibLock = nullptr;
        dirUnlock(platform, ctx->dirLock);
        ctx->dirLock = nullptr;
    }
    rc = codeForExport(rc);

    // Steps 11 and 12: the name to use, then everything released.
    nameReturn(names, rc == CAL_OK ? ctx->list.chosenName : names->sourceName);
    contextReleaseBuffers(ctx);
    memRelease(&block);
    return rc;
}
