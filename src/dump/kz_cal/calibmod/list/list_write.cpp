// Writing the list file after a new copy has been made.
#include <cstring>

#include "cal_types.h"
#include "file_layer.h"
#include "list_file.h"
#include "text_util.h"

namespace {

// Appends length bytes to the list in one write, first ending an unended
// last line with the CR LF in front of data (data - 2 must be writable).
// A write that fails is cut back off, so that the list keeps no part of it.
int16_t listAppendLine(ListState *list, char *data, int16_t length)
{
    FileRef *f = &list->listFile.file;
    if (fileOpenNamed(f, list->calibDir, list->listFileName, CAL_MODE_APPEND) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    int16_t rc = CAL_OK;
    int32_t size = fileSize(f);
    char last = '\n';
    if (size < 0) {
        rc = CAL_ERR_FILE;
    } else if (size > 0 && (fileSeek(f, size - 1) != CAL_OK || fileRead(f, &last, 1) != CAL_OK)) {
        rc = CAL_ERR_FILE;
    }
    if (rc == CAL_OK) {
        // Appending to a last line without an end would run the two together
        // and make the whole list malformed on the next call.
        if (last != '\r' && last != '\n' && last != 0) {
            data -= 2;
            data[0] = '\r';
            data[1] = '\n';
            length = static_cast<int16_t>(length + 2);
        }
        if (fileWrite(f, data, length) != CAL_OK || fileFlush(f) != CAL_OK) {
            fileTruncate(f, size);
            rc = CAL_ERR_FILE;
        }
    }
    fileClose(f);
    return rc;
}

// Whether an unended last line may be ended and kept when the new line is
// appended. The decision never saw it: kept, a line with the request's key
// would answer the next call instead of the new one, a line naming the new
// copy would share it, one that is no line would spoil the whole list, and
// one that is the 128th line would push the new line out of reading. Such a
// line is dropped by rewriting the list instead.
bool openLineKeepable(const ListState *list)
{
    if (list->openLineState == CAL_OPEN_LINE_NONE) {
        return true;
    }
    if (list->openLineState != CAL_OPEN_LINE_GOOD || list->entryCount + 2 > CAL_LINE_MAX) {
        return false;
    }
    if (listEntryHasKey(&list->openLine, list->request)) {
        return false;
    }
    return !textSameNoCase(list->openLine.name, list->chosenName, CAL_NAME_SIZE, -1);
}

} // namespace

int16_t listFormatLine(char *buffer, int16_t size, int16_t listNumber, int32_t param1, int32_t param2, int32_t param3,
                       const char *name)
{
    bufferZeroFill(buffer, size);
    size_t nameLength = strnlen(name, CAL_NAME_SIZE);
    // At most four ten-digit numbers, four commas, the name, CR LF.
    if (size < 0 || static_cast<size_t>(size) < 4 * 10 + 4 + nameLength + 2) {
        return 0; // does not fit
    }
    int16_t n = textFormatUnsigned(buffer, static_cast<uint32_t>(static_cast<int32_t>(listNumber)));
    const int32_t params[3] = {param1, param2, param3};
    for (int i = 0; i < 3; ++i) {
        buffer[n++] = ',';
        n = static_cast<int16_t>(n + textFormatUnsigned(buffer + n, static_cast<uint32_t>(params[i])));
    }
    buffer[n++] = ',';
    memcpy(buffer + n, name, nameLength);
    n = static_cast<int16_t>(n + nameLength);
    buffer[n++] = '\r';
    buffer[n++] = '\n';
    return n;
}

int16_t listFormatNewLine(ListState *list, char *buffer, int16_t size)
{
    const CalibRequest *r = list->request;
    return listFormatLine(buffer, size, r->listNumber, r->param1, r->param2, r->param3, list->chosenName);
}

int16_t listUpdate(ListState *list)
{
    if (list->state == CAL_STATE_NEW_ENTRY && (list->listPartial || !openLineKeepable(list))) {
        return listRewrite(list); // an appended line would not be read back as the answer
    }
    for (int16_t i = 0; i < list->entryCount; ++i) {
        if (list->entries[i].lineNo == CAL_LINE_DROPPED) {
            return listRewrite(list);
        }
    }
    return listWriteNewLine(list);
}

namespace {

// Writes the kept entries (the oldest giving way when the list is full) and
// the new line into the open temporary list.
int16_t linesWrite(ListState *list, FileRef *f)
{
    // The new line must be among the 128 lines a reader records: the oldest
    // kept entries give way when the list is full.
    int16_t kept = 0;
    for (int16_t i = 0; i < list->entryCount; ++i) {
        kept = static_cast<int16_t>(kept + (list->entries[i].lineNo != CAL_LINE_DROPPED));
    }
    int16_t skip = kept > CAL_LINE_MAX - 1 ? static_cast<int16_t>(kept - (CAL_LINE_MAX - 1)) : 0;
    char line[CAL_LINE_BUFFER];
    for (int16_t i = 0; i < list->entryCount; ++i) {
        const ListEntry &e = list->entries[i];
        if (e.lineNo == CAL_LINE_DROPPED) {
            continue;
        }
        if (skip > 0) {
            --skip;
            continue;
        }
        int16_t n = listFormatLine(line, sizeof line, e.listNumber, e.param1, e.param2, e.param3, e.name);
        if (n <= 0 || fileWrite(f, line, n) != CAL_OK) {
            return CAL_ERR_FILE;
        }
    }
    int16_t n = listFormatNewLine(list, line, sizeof line);
    return (n > 0 && fileWrite(f, line, n) == CAL_OK) ? CAL_OK : CAL_ERR_FILE;
}

} // namespace

int16_t listRewrite(ListState *list)
{
    FileRef *f = &list->listFile.file;
    bool created = fileRemoveIfPresent(f, list->calibDir, CAL_TEMP_LIST_NAME) == CAL_OK &&
                   fileCreateNew(f, list->calibDir, CAL_TEMP_LIST_NAME) == CAL_OK;
    int16_t rc = created ? linesWrite(list, f) : CAL_ERR_FILE;
    if (rc == CAL_OK) {
        rc = fileFlush(f);
    }
    fileClose(f); // the one close of the temporary list, whatever step failed
    if (!created) {
        return CAL_ERR_FILE; // the temporary name holds nothing this call made
    }
    if (rc == CAL_OK) {
        rc = fileRenameNamed(list->platform, list->calibDir, CAL_TEMP_LIST_NAME, list->listFileName);
    }
    if (rc != CAL_OK) {
        FileRef gone;
        fileInit(&gone, list->platform);
        fileRemoveIfPresent(&gone, list->calibDir, CAL_TEMP_LIST_NAME);
        return CAL_ERR_FILE;
    }
    return CAL_OK;
}

int16_t listWriteNewLine(ListState *list)
{
    if (list->state == CAL_STATE_NEW_LIST) {
        // No entry is kept: whatever stood under the list's name was empty
        // or not a list.
        int16_t count = list->entryCount;
        list->entryCount = 0;
        int16_t rc = listRewrite(list);
        list->entryCount = count;
        return rc;
    }
    if (list->state != CAL_STATE_NEW_ENTRY) {
        return CAL_ERR_FILE; // only a new list or a new entry adds a line
    }
    // Room for a CR LF that ends an unterminated last line, then the line.
    char line[2 + CAL_LINE_BUFFER];
    int16_t n = listFormatNewLine(list, line + 2, CAL_LINE_BUFFER);
    if (n <= 0) {
        return CAL_ERR_FILE;
    }
    return listAppendLine(list, line + 2, n);
}

int16_t listTempClear(const ListState *list)
{
    FileRef f;
    fileInit(&f, list->platform);
    return fileRemoveIfPresent(&f, list->calibDir, CAL_TEMP_LIST_NAME) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
}
