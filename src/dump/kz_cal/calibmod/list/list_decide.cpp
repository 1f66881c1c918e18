// The decision: list file name, reading, key search, name allocation.
#include <cstring>

#include "cal_types.h"
#include "list_file.h"
#include "name_alloc.h"
#include "text_util.h"

bool listBuildName(CalibContext *ctx)
{
    char *out = ctx->listFileName;
    bufferZeroFill(out, CAL_LIST_NAME_SIZE);
    const char *prefix = ctx->names->listPrefix;
    for (int i = 0; i < 5; ++i) {
        char c = prefix[i];
        if (c == 0 || c == '/' || c == '\\' || c == ':') {
            bufferZeroFill(out, CAL_LIST_NAME_SIZE);
            return false; // the list would not be a file of calibDir
        }
        out[i] = c;
    }
    // Widened with its sign and written unsigned: -1 gives 4294967295, so
    // the longest name has 19 characters.
    char digits[12];
    int16_t n = textFormatUnsigned(digits, static_cast<uint32_t>(static_cast<int32_t>(ctx->request->listNumber)));
    int pos = 5;
    for (int16_t pad = n; pad < 3; ++pad) {
        out[pos++] = '0';
    }
    memcpy(out + pos, digits, static_cast<size_t>(n));
    pos += n;
    memcpy(out + pos, ".ini", 4);
    return true;
}

int16_t listRead(CalibContext *ctx)
{
    if (!listBuildName(ctx)) {
        return CAL_ERR_REQUEST;
    }
    // Only as much as is parsed, and one byte more to tell that more follows.
    return fileReadHead(&ctx->listFile, ctx->calibDir, ctx->listFileName, CAL_LIST_READ_MAX + 1);
}

namespace {

// Steps 2 to 5 of the decision; the caller releases the text.
int16_t listDecideSteps(CalibContext *ctx)
{
    int16_t rc = listRead(ctx);
    if (rc != CAL_OK && rc != CAL_ERR_OPEN) {
        // Only a list that is not there is no list: one that cannot be
        // opened or read is left as it is, with every entry it holds.
        return rc == CAL_ERR_NO_MEMORY || rc == CAL_ERR_REQUEST ? rc : CAL_ERR_FILE;
    }
    int16_t mode = CAL_STATE_NEW_LIST; // missing or empty
    if (rc == CAL_OK && ctx->listFile.length > 0) {
        rc = listParse(ctx);
        if (rc == CAL_ERR_NO_MEMORY) {
            return rc;
        }
        if (rc == CAL_OK) {
            int16_t index = -1;
            bool shared = false;
            if (listFind(ctx, &index) == CAL_OK) {
                rc = listNameShared(ctx, index, &shared);
                if (rc != CAL_OK) {
                    return rc;
                }
            }
            if (shared) {
                // Another line names the key's copy too: the key is made a
                // new entry with a name of its own, its line rewritten.
                ListEntry &e = ctx->entries[index];
                memcpy(ctx->sharedName, e.name, CAL_NAME_SIZE);
                e.lineNo = CAL_LINE_DROPPED;
            } else if (index >= 0) {
                const char *name = ctx->entries[index].name;
                for (int i = 0; i < CAL_NAME_SIZE; ++i) {
                    ctx->chosenNameBuf[i] = name[i];
                    if (name[i] == 0) {
                        break;
                    }
                }
                ctx->state = CAL_STATE_FOUND;
                return CAL_OK;
            }
            mode = CAL_STATE_NEW_ENTRY;
        } // else a malformed line: no usable list
    }
    rc = nameAllocate(ctx, mode);
    if (rc == CAL_OK) {
        ctx->state = mode;
    }
    return rc;
}

} // namespace

int16_t listDecide(CalibContext *ctx)
{
    int16_t rc = listDecideSteps(ctx);
    memRelease(&ctx->listFile.buffer);
    ctx->listFile.length = 0;
    return rc;
}
