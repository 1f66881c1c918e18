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

// The first bytes of a file, read in one piece: the header and, in every
// file the tools make, the identification string too, so that a current
// copy is told with one read of each file and no positioning.
const int32_t kHeadBytes = 256;

struct FileHead {
    uint8_t bytes[kHeadBytes];
    int32_t length; // bytes read from the start of the file
};

// The 32-bit number stored at bytes, converted to host order.
int32_t numberFrom(const uint8_t *bytes)
{
    uint8_t b[4];
    memcpy(b, bytes, 4);
    if (byteOrderProbe() != 0) {
        bytesSwap(b, 4, 4);
    }
    int32_t value;
    memcpy(&value, b, 4);
    return value;
}

// The 32-bit number stored at offset: from the head when it lies there, else
// read from the file. CAL_OK or CAL_ERR_FILE.
int16_t numberAt(FileRef *file, const FileHead &head, int64_t offset, int32_t *value)
{
    if (offset >= 0 && offset + 4 <= head.length) {
        *value = numberFrom(head.bytes + offset);
        return CAL_OK;
    }
    uint8_t bytes[4];
    if (offset < 0 || offset > 0x7FFFFFFF || fileSeek(file, static_cast<int32_t>(offset)) != CAL_OK ||
        fileRead(file, bytes, 4) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    *value = numberFrom(bytes);
    return CAL_OK;
}

// Reads the head of a file of size bytes that is positioned at its start.
int16_t headRead(FileRef *file, int32_t size, FileHead *head)
{
    head->length = size < kHeadBytes ? size : kHeadBytes;
    return fileRead(file, head->bytes, head->length);
}

// identLocate on a file of size bytes whose head has been read.
int16_t identFind(FileRef *file, int32_t size, const FileHead &head, IdentString *ident)
{
    ident->offset = 0;
    ident->length = 0;
    int32_t block = 0;
    int32_t length = 0;
    if (numberAt(file, head, 4, &block) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    // The block position is an unsigned 32-bit offset.
    int64_t at = static_cast<int64_t>(static_cast<uint32_t>(block));
    if (numberAt(file, head, at + 4, &length) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    ident->offset = static_cast<int32_t>(at + 8);
    ident->length = length > 0 ? length : 0;
    if (at + 8 + ident->length > size) {
        return CAL_ERR_FILE; // the text would run past the end of the file
    }
    return CAL_OK;
}

// True when the text lies inside the head.
bool inHead(const FileHead &head, const IdentString &s)
{
    return static_cast<int64_t>(s.offset) + s.length <= head.length;
}

// CAL_EQUAL when the two texts (of equal length) agree byte for byte,
// CAL_DIFFERENT when they differ or the copy cannot be read, CAL_COMPARE_FAILED when the source
// cannot be read. Texts inside the heads are compared there.
CalCompare identCompare(FileRef *source, FileRef *copy, const FileHead &sourceHead, const FileHead &copyHead,
                        const IdentString &a, const IdentString &b)
{
    if (a.length == 0) {
        return CAL_EQUAL;
    }
    if (inHead(sourceHead, a) && inHead(copyHead, b)) {
        return memcmp(sourceHead.bytes + a.offset, copyHead.bytes + b.offset, static_cast<size_t>(a.length)) == 0
                   ? CAL_EQUAL
                   : CAL_DIFFERENT;
    }
    if (fileSeek(source, a.offset) != CAL_OK) {
        return CAL_COMPARE_FAILED;
    }
    if (fileSeek(copy, b.offset) != CAL_OK) {
        return CAL_DIFFERENT;
    }
    uint8_t left[kCompareChunk];
    uint8_t right[kCompareChunk];
    for (int32_t done = 0; done < a.length;) {
        int32_t n = a.length - done < kCompareChunk ? a.length - done : kCompareChunk;
        if (fileRead(source, left, n) != CAL_OK) {
            return CAL_COMPARE_FAILED;
        }
        if (fileRead(copy, right, n) != CAL_OK || memcmp(left, right, static_cast<size_t>(n)) != 0) {
            return CAL_DIFFERENT;
        }
        done += n;
    }
    return CAL_EQUAL;
}

// The head and the identification string of the open file of size bytes
// (a negative size: a size that could not be had): CAL_OK or CAL_ERR_FILE.
// The file must be positioned at its start.
int16_t fileIdent(FileRef *file, int32_t size, FileHead *head, IdentString *ident)
{
    if (size < 0 || headRead(file, size, head) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    return identFind(file, size, *head, ident);
}

} // namespace

int16_t identLocate(FileRef *file, IdentString *ident)
{
    ident->offset = 0;
    ident->length = 0;
    FileHead head;
    if (fileSeek(file, 0) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    return fileIdent(file, fileSize(file), &head, ident);
}

namespace {

// copyCompare with the token of calibDir's lock when the caller holds it
// (the copy is then opened through it), else null.
CalCompare compareIn(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *sourceName,
                     const KZ_WCHAR *calibDir, CalHandle calibLock, const char *copyName)
{
    FileRef source;
    FileRef copy;
    fileInit(&source, platform);
    fileInit(&copy, platform);
    fileBindDir(&copy, calibDir, calibLock);
    FileHead sourceHead;
    FileHead copyHead;
    IdentString a;
    IdentString b;
    int32_t sourceSize = 0;
    int32_t copySize = 0;
    CalCompare rc = CAL_DIFFERENT;
    // The copy first, and once: a regular file at the name that opens for
    // reading is present (a link, a directory or a FIFO there is stale).
    // Freshly opened files are at their start, so the heads are read
    // without positioning, and their sizes are those their opens found.
    if (fileOpenNamed(&copy, calibDir, copyName, CAL_MODE_READ) != CAL_OK) {
        rc = CAL_DIFFERENT;
    } else if (fileOpenNamed(&source, sourceDir, sourceName, CAL_MODE_READ_SOURCE) != CAL_OK ||
               fileIdent(&source, sourceSize = fileSizeAtOpen(&source), &sourceHead, &a) != CAL_OK) {
        rc = CAL_COMPARE_FAILED;
    } else if (fileIdent(&copy, copySize = fileSizeAtOpen(&copy), &copyHead, &b) == CAL_OK && copySize == sourceSize &&
               a.length == b.length) {
        // Calibration never changes a file's size: a copy of another size
        // (cut short, or grown) is not the source's copy, whatever it carries.
        // Whole strings: a different length is a different string, whatever
        // the first bytes hold.
        rc = identCompare(&source, &copy, sourceHead, copyHead, a, b);
    }
    // Both files are this function's: closed here on every path (a file
    // that did not open holds no handle).
    fileClose(&copy);
    fileClose(&source);
    return rc;
}

} // namespace

CalCompare copyCurrency(const CopyJob *job)
{
    return compareIn(job->platform, job->sourceDir, job->sourceName, job->calibDir, job->calibLock, job->copyName);
}

CalCompare copyCompare(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *sourceName,
                       const KZ_WCHAR *calibDir, const char *copyName)
{
    return compareIn(platform, sourceDir, sourceName, calibDir, nullptr, copyName);
}
