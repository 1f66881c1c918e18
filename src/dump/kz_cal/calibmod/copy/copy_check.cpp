// Whether an existing copy can answer the request: it must be present in
// calibDir, have its source's size and carry the source's identification
// string.
#include <cstring>

#include "byte_order.h"
#include "cal_types.h"
#include "copy.h"

namespace {

// Text is compared in pieces of this size, so that a string of any length is
// compared whole without a buffer of its size.
const int32_t kCompareChunk = 256;

// The 32-bit number stored at offset, converted to host order.
int16_t numberReadAt(FileRef *file, int64_t offset, int32_t *value)
{
    if (offset < 0 || offset > 0x7FFFFFFF || fileSeek(file, static_cast<int32_t>(offset)) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    uint8_t bytes[4];
    if (fileRead(file, bytes, 4) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    if (byteOrderProbe() != 0) {
        bytesSwap(bytes, 4, 4);
    }
    memcpy(value, bytes, 4);
    return CAL_OK;
}

// CAL_EQUAL when the two texts (of equal length) agree byte for byte,
// CAL_DIFFERENT when they differ or the copy cannot be read, CAL_ERR_FILE when the source
// cannot be read.
int16_t identCompare(FileRef *source, FileRef *copy, const IdentString &a, const IdentString &b)
{
    if (a.length == 0) {
        return CAL_EQUAL;
    }
    if (fileSeek(source, a.offset) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    if (fileSeek(copy, b.offset) != CAL_OK) {
        return CAL_DIFFERENT;
    }
    uint8_t left[kCompareChunk];
    uint8_t right[kCompareChunk];
    for (int32_t done = 0; done < a.length;) {
        int32_t n = a.length - done < kCompareChunk ? a.length - done : kCompareChunk;
        if (fileRead(source, left, n) != CAL_OK) {
            return CAL_ERR_FILE;
        }
        if (fileRead(copy, right, n) != CAL_OK || memcmp(left, right, static_cast<size_t>(n)) != 0) {
            return CAL_DIFFERENT;
        }
        done += n;
    }
    return CAL_EQUAL;
}

} // namespace

int16_t identLocate(FileRef *file, IdentString *ident)
{
    ident->offset = 0;
    ident->length = 0;
    int32_t size = fileSize(file);
    if (size < 0) {
        return CAL_ERR_FILE;
    }
    int32_t block = 0;
    int32_t length = 0;
    if (numberReadAt(file, 4, &block) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    // The block position is an unsigned 32-bit offset.
    int64_t at = static_cast<int64_t>(static_cast<uint32_t>(block));
    if (numberReadAt(file, at + 4, &length) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    ident->offset = static_cast<int32_t>(at + 8);
    ident->length = length > 0 ? length : 0;
    if (at + 8 + ident->length > size) {
        return CAL_ERR_FILE; // the text would run past the end of the file
    }
    return CAL_OK;
}

int16_t copyPresence(CalibContext *ctx)
{
    FileRef probe;
    fileInit(&probe, ctx->platform);
    return fileProbe(&probe, ctx->calibDir, ctx->chosenName) == CAL_PROBE_REGULAR ? CAL_OK : CAL_FAIL;
}

int16_t copyCurrency(CalibContext *ctx)
{
    return copyCompare(ctx->platform, ctx->sourceDir, ctx->names->sourceName, ctx->calibDir, ctx->chosenName);
}

int16_t copyCompare(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *sourceName,
                    const KZ_WCHAR *calibDir, const char *copyName)
{
    FileRef source;
    FileRef copy;
    fileInit(&source, platform);
    fileInit(&copy, platform);
    IdentString a;
    IdentString b;
    int16_t rc = CAL_DIFFERENT;
    if (fileOpenNamed(&source, sourceDir, sourceName, CAL_MODE_READ_SOURCE) != CAL_OK ||
        identLocate(&source, &a) != CAL_OK) {
        rc = CAL_ERR_FILE;
    } else if (fileOpenNamed(&copy, calibDir, copyName, CAL_MODE_READ) == CAL_OK &&
               fileSize(&copy) == fileSize(&source) && identLocate(&copy, &b) == CAL_OK && a.length == b.length) {
        // Calibration never changes a file's size: a copy of another size
        // (cut short, or grown) is not the source's copy, whatever it carries.
        // Whole strings: a different length is a different string, whatever
        // the first bytes hold.
        rc = identCompare(&source, &copy, a, b);
    }
    // Both files are this function's: closed here on every path (a file
    // that did not open holds no handle).
    fileClose(&copy);
    fileClose(&source);
    return rc;
}
