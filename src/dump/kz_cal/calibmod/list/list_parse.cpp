// Parsing the list text into entries, and finding the request's entry.
#include <cstring>

#include "cal_types.h"
#include "list_file.h"
#include "text_util.h"

bool listNameIsSafe(const char *name)
{
    size_t len = strnlen(name, CAL_NAME_SIZE);
    if (len == 0 || len >= CAL_NAME_SIZE) {
        return false;
    }
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) {
        return false;
    }
    // A name must also read back from its list line as written: a comma
    // would start another field, CR or LF another line, and blanks at either
    // end are trimmed away on reading.
    if (name[0] == ' ' || name[len - 1] == ' ') {
        return false;
    }
    return strpbrk(name, "/\\:,\r\n") == nullptr;
}

int16_t listParseLine(char *line, int16_t length, ListEntry *entry)
{
    int16_t detail = 0;
    return listLineCheck(line, length, entry, &detail) == CAL_LINE_GOOD ? CAL_OK : CAL_FAIL;
}

CalLineVerdict listLineCheck(char *line, int16_t length, ListEntry *entry, int16_t *detail)
{
    *detail = 0;
    char *fields[CAL_FIELD_MAX];
    int16_t count = 0;
    if (textSplitFields(line, length, fields, &count) != CAL_OK) {
        return CAL_LINE_EXTRA_FIELD;
    }
    if (count != CAL_FIELD_MAX) {
        *detail = count;
        return CAL_LINE_FEW_FIELDS;
    }
    int32_t values[4];
    for (int i = 0; i < 4; ++i) {
        if (textParseNumber(fields[i], &values[i]) != CAL_OK) {
            *detail = static_cast<int16_t>(i + 1);
            return CAL_LINE_BAD_NUMBER;
        }
    }
    // The name must name a file inside calibDir: anything else would make the
    // module read or write elsewhere.
    if (!listNameIsSafe(fields[4])) {
        size_t n = strnlen(fields[4], CAL_LIST_READ_MAX);
        *detail = static_cast<int16_t>(n);
        return CAL_LINE_BAD_NAME;
    }
    entry->listNumber = static_cast<int16_t>(values[0]);
    entry->param1 = values[1];
    entry->param2 = values[2];
    entry->param3 = values[3];
    memset(entry->name, 0, sizeof entry->name);
    for (int i = 0; i < CAL_NAME_SIZE; ++i) {
        entry->name[i] = fields[4][i];
        if (fields[4][i] == 0) {
            break;
        }
    }
    return CAL_LINE_GOOD;
}

namespace {

// True when textSplitLines will not see the whole text, so that a line appended
// to it would not be read back: a zero byte ends its scan, and it stops after
// 32767 bytes (and after 128 lines, which listParse checks).
bool textPartlyUnread(const char *text, int32_t length)
{
    if (text == nullptr || length <= 0) {
        return false;
    }
    return length > 32767 || memchr(text, 0, static_cast<size_t>(length)) != nullptr;
}

// A last line without a line end is not read by textSplitLines. Parses it on its
// own (without touching the text) so that the writer can decide whether it
// may be ended and kept: CAL_OPEN_LINE_NONE there is none, CAL_OPEN_LINE_GOOD
// it is a good line, CAL_OPEN_LINE_BAD it is not.
CalOpenLine openLineParse(const char *text, int32_t length, ListEntry *entry)
{
    if (text == nullptr || length <= 0 || length > 32767) {
        return CAL_OPEN_LINE_NONE;
    }
    int32_t start = length;
    while (start > 0 && text[start - 1] != '\r' && text[start - 1] != '\n' && text[start - 1] != 0) {
        --start;
    }
    const int32_t rest = length - start;
    if (rest == 0) {
        return CAL_OPEN_LINE_NONE;
    }
    char line[CAL_LINE_BUFFER];
    if (rest >= static_cast<int32_t>(sizeof line)) {
        return CAL_OPEN_LINE_BAD;
    }
    memcpy(line, text + start, static_cast<size_t>(rest));
    line[rest] = 0;
    return listParseLine(line, static_cast<int16_t>(rest), entry) == CAL_OK ? CAL_OPEN_LINE_GOOD : CAL_OPEN_LINE_BAD;
}

} // namespace

int16_t listParse(ListState *list)
{
    LineTable table;
    const char *text = static_cast<const char *>(list->listFile.buffer.data);
    list->listPartial = textPartlyUnread(text, list->listFile.length);
    list->openLineState = openLineParse(text, list->listFile.length, &list->openLine);
    textSplitLines(static_cast<char *>(list->listFile.buffer.data), list->listFile.length, &table);
    if (table.count >= CAL_LINE_MAX) {
        list->listPartial = true; // lines after the 128th are not read
    }

    list->entryCount = 0;
    list->entries = nullptr;
    memRelease(&list->entryBlock); // an earlier array, if any
    if (memAllocBlock(static_cast<uint32_t>(table.count) * sizeof(ListEntry), &list->entryBlock) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    ListEntry *entries = static_cast<ListEntry *>(list->entryBlock.data);
    for (int16_t i = 0; i < table.count; ++i) {
        if (listParseLine(table.starts[i], table.lengths[i], &entries[i]) != CAL_OK) {
            // One malformed line makes the whole list unusable.
            memRelease(&list->entryBlock);
            return CAL_FAIL;
        }
        entries[i].lineNo = static_cast<int16_t>(i + 1);
    }
    list->entries = entries;
    list->entryCount = table.count;
    return CAL_OK;
}

void listScanEntries(char *text, int32_t length, ListEntryVisit visit, void *arg)
{
    // The unended last line first: the split below does not record it, but
    // its list may still end it and keep it.
    ListEntry entry;
    if (openLineParse(text, length, &entry) == CAL_OPEN_LINE_GOOD) {
        visit(arg, &entry);
    }
    LineTable table;
    textSplitLines(text, length, &table);
    for (int16_t i = 0; i < table.count; ++i) {
        if (listParseLine(table.starts[i], table.lengths[i], &entry) == CAL_OK) {
            visit(arg, &entry);
        }
    }
}

bool listNameHasListShape(const char *name)
{
    // Five prefix bytes, at least three digits, ".ini".
    size_t len = strnlen(name, CAL_FILE_NAME_SIZE);
    if (len < 5 + 3 + 4 || len >= CAL_FILE_NAME_SIZE) {
        return false;
    }
    const char *ext = name + len - 4;
    if (ext[0] != '.' || !textSameNoCase(ext + 1, "ini", 3, -1)) {
        return false;
    }
    for (size_t i = 5; i < len - 4; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

bool listEntryHasKey(const ListEntry *entry, const CalibRequest *request)
{
    return entry->listNumber == request->listNumber && entry->param1 == request->param1 &&
           entry->param2 == request->param2 && entry->param3 == request->param3;
}

int16_t listFind(ListState *list, int16_t *index)
{
    for (int16_t i = 0; i < list->entryCount; ++i) {
        if (listEntryHasKey(&list->entries[i], list->request)) {
            *index = i;
            return CAL_OK;
        }
    }
    *index = -1;
    return CAL_FAIL;
}
