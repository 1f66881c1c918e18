// Making the calibrated copy: the source copied into a temporary file of
// calibDir (by the system where it can: no byte passes through the module)
// and only its tables rewritten there, then flushed and renamed onto its
// final name, so that a copy appears under a listed name only complete.
#include "cal_types.h"
#include "copy.h"
#include "curve_update.h"
#include "table_file.h"

namespace {

// Bytes asked of one system copy; it may move fewer. After each step the
// device is asked to start writing what was copied, so that it writes
// while the rest is copied and the final flush finds little left to do.
const int32_t kSystemCopyStep = 1 << 20;

// The largest copy: sizes and positions in the file are 32-bit signed.
const int64_t kCopyMax = 0x7FFFFFFF;

// Copies the rest of the open source into the open temporary file through
// a buffer of CAL_COPY_CHUNK bytes; *total counts the bytes copied.
int16_t bufferCopy(const CopyJob *job, FileRef *source, FileRef *temp, int64_t *total)
{
    MemBlock chunk;
    memInit(&chunk, job->platform);
    if (memAllocBlock(CAL_COPY_CHUNK, &chunk) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    int16_t rc = CAL_OK;
    for (;;) {
        int32_t got = 0;
        if (fileReadSome(source, chunk.data, CAL_COPY_CHUNK, &got) != CAL_OK) {
            rc = CAL_ERR_FILE;
            break;
        }
        if (got == 0) {
            break;
        }
        *total += got;
        if (*total > kCopyMax || fileWrite(temp, chunk.data, got) != CAL_OK) {
            rc = CAL_ERR_FILE;
            break;
        }
    }
    memRelease(&chunk);
    return rc;
}

// Copies the open source into the open temporary file inside the system,
// for as long as it copies: CAL_OK once it reports the end of a source of
// the size the source had when opened; CAL_FAIL when it cannot copy these
// files or stops short of that size (a file whose size the system does not
// tell), and the buffer copy goes on from where it stopped; CAL_ERR_FILE.
int16_t systemCopy(FileRef *source, FileRef *temp, int32_t size, int64_t *total)
{
    for (;;) {
        int32_t got = 0;
        int16_t rc = fileCopySome(source, temp, kSystemCopyStep, &got);
        if (rc != CAL_OK) {
            return rc;
        }
        if (got == 0) {
            return *total >= size && *total > 0 ? CAL_OK : CAL_FAIL;
        }
        *total += got;
        if (*total > kCopyMax) {
            return CAL_ERR_FILE;
        }
        fileFlushStart(temp);
    }
}

// Copies the open source into the open temporary file, inside the system
// where it can, else through a buffer. An empty source is no calibration
// data file.
int16_t bytesCopy(const CopyJob *job, FileRef *source, FileRef *temp)
{
    int32_t size = fileSizeAtOpen(source); // opened just now, read-only
    if (size < 0) {
        return CAL_ERR_FILE; // too large, or unknown
    }
    int64_t total = 0;
    int16_t rc = systemCopy(source, temp, size, &total);
    if (rc == CAL_FAIL) {
        rc = bufferCopy(job, source, temp, &total);
    }
    if (rc == CAL_OK && total == 0) {
        rc = CAL_ERR_FILE;
    }
    return rc;
}

// The temporary file's tables updated in place; the file stays open.
int16_t tempCalibrate(CopyJob *job)
{
    TableFile *tf = &job->table->tableFile;
    int16_t rc = tablesUpdateAll(job->table);
    tableRelease(tf); // nothing stays loaded, whatever path was taken
    if (rc == CAL_ERR_NO_MEMORY) {
        return rc;
    }
    return rc != CAL_OK ? CAL_ERR_FILE : CAL_OK;
}

} // namespace

int16_t copyTempClear(const CopyJob *job)
{
    FileRef f;
    fileInit(&f, job->platform);
    return fileRemoveIfPresent(&f, job->calibDir, CAL_TEMP_COPY_NAME) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
}

int16_t copyMake(CopyJob *job)
{
    FileRef *temp = &job->table->tableFile.file;
    if (fileRemoveIfPresent(temp, job->calibDir, CAL_TEMP_COPY_NAME) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    FileRef source;
    fileInit(&source, job->platform);
    if (fileOpenNamed(&source, job->sourceDir, job->sourceName, CAL_MODE_READ_SOURCE) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    int16_t rc = fileCreateNew(temp, job->calibDir, CAL_TEMP_COPY_NAME);
    if (rc == CAL_OK) {
        rc = bytesCopy(job, &source, temp);
    }
    fileClose(&source);
    if (rc == CAL_OK) {
        rc = tempCalibrate(job);
    }
    if (rc == CAL_OK && fileFlush(temp) != CAL_OK) {
        rc = CAL_ERR_FILE;
    }
    bool created = temp->handle != nullptr;
    fileClose(temp);
    if (rc != CAL_OK && created) {
        FileRef gone;
        fileInit(&gone, job->platform);
        fileRemoveIfPresent(&gone, job->calibDir, CAL_TEMP_COPY_NAME);
    }
    return rc;
}

int16_t copyInstall(const CopyJob *job)
{
    if (fileRenameNamed(job->platform, job->calibDir, CAL_TEMP_COPY_NAME, job->copyName) == CAL_OK) {
        return CAL_OK;
    }
    FileRef gone;
    fileInit(&gone, job->platform);
    fileRemoveIfPresent(&gone, job->calibDir, CAL_TEMP_COPY_NAME);
    return CAL_ERR_FILE;
}

int16_t copyClearName(const CopyJob *job)
{
    FileRef f;
    fileInit(&f, job->platform);
    if (fileRemoveIfPresent(&f, job->calibDir, job->copyName) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    // Durable before the list names the name for the new key: after a power
    // cut the line must not find the file it replaced (another key's copy).
    return dirSync(job->platform, job->calibDir);
}
