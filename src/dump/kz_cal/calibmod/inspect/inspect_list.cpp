// Reading a list text as a call reads it, every line kept.
#include "inspect_list.h"

#include <cstring>

#include "cal_types.h"
#include "list_file.h"
#include "text_util.h"

namespace {

bool lineEnd(char c)
{
    return c == '\r' || c == '\n' || c == 0;
}

// The number of non-empty lines of the text, ended or not.
int32_t lineCount(const char *text, int32_t length)
{
    int32_t count = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (!lineEnd(text[i]) && (i + 1 == length || lineEnd(text[i + 1]))) {
            ++count;
        }
    }
    return count;
}

// Marks the lines textSplitLines records in the head a call reads: their
// starts and lengths, and whether its scan stopped at a zero byte.
int16_t markRead(InspectList *list, const char *text, int32_t length, bool *usable)
{
    int32_t head = length < CAL_LIST_READ_MAX ? length : CAL_LIST_READ_MAX;
    MemBlock copy;
    memInit(&copy, list->block.platform);
    if (memAllocBlock(static_cast<uint32_t>(head) + 1, &copy) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    char *scan = static_cast<char *>(copy.data);
    memcpy(scan, text, static_cast<size_t>(head));
    LineTable table;
    textSplitLines(scan, head, &table);
    *usable = true;
    int32_t next = 0;
    for (int16_t t = 0; t < table.count; ++t) {
        int32_t start = static_cast<int32_t>(table.starts[t] - scan);
        while (next < list->count && list->lines[next].start < start) {
            ++next;
        }
        if (next < list->count && list->lines[next].start == start) {
            list->lines[next].unread = INSPECT_READ;
        }
        ListEntry entry;
        *usable = *usable && listParseLine(table.starts[t], table.lengths[t], &entry) == CAL_OK;
    }
    memRelease(&copy);
    return CAL_OK;
}

// Why a call passes over line i: the first of a zero byte before it, the
// line limit reached, no line end, the end of the head.
int16_t unreadReason(const InspectList *list, const char *text, int32_t length, int32_t i, int32_t readBefore,
                     bool zeroBefore)
{
    const InspectLine &line = list->lines[i];
    if (readBefore >= CAL_LINE_MAX) {
        return INSPECT_UNREAD_LINES;
    }
    if (zeroBefore) {
        return INSPECT_UNREAD_ZERO;
    }
    if (line.start + line.length >= length || !lineEnd(text[line.start + line.length])) {
        return INSPECT_UNREAD_NO_END;
    }
    return INSPECT_UNREAD_PAST;
}

// Judges one line with listLineCheck on a copy of it.
void lineJudge(InspectLine *line, const char *text, char *scratch)
{
    int16_t length = line->length < CAL_LIST_READ_MAX ? static_cast<int16_t>(line->length) : CAL_LIST_READ_MAX;
    memcpy(scratch, text + line->start, static_cast<size_t>(length));
    scratch[length] = 0;
    line->verdict = listLineCheck(scratch, length, &line->entry, &line->detail);
}

} // namespace

void inspectListInit(InspectList *list, const CalPlatform *platform)
{
    list->count = 0;
    list->lines = nullptr;
    list->usable = true;
    memInit(&list->block, platform);
}

void inspectListRelease(InspectList *list)
{
    memRelease(&list->block);
    list->count = 0;
    list->lines = nullptr;
    list->usable = true;
}

int16_t inspectListText(InspectList *list, const char *text, int32_t length)
{
    inspectListRelease(list);
    if (text == nullptr || length < 0) {
        length = 0;
    }
    int32_t count = lineCount(text, length);
    uint64_t bytes = static_cast<uint64_t>(count) * sizeof(InspectLine) + CAL_LIST_READ_MAX + 1;
    if (bytes > 0xFFFFFFFFu || memAllocBlock(static_cast<uint32_t>(bytes), &list->block) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    list->lines = static_cast<InspectLine *>(list->block.data);
    char *scratch = static_cast<char *>(list->block.data) + count * sizeof(InspectLine);
    list->count = count;
    int32_t n = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (lineEnd(text[i]) || (i > 0 && !lineEnd(text[i - 1]))) {
            continue;
        }
        int32_t end = i;
        while (end < length && !lineEnd(text[end])) {
            ++end;
        }
        InspectLine &line = list->lines[n++];
        memset(&line, 0, sizeof line);
        line.start = i;
        line.length = end - i;
        line.unread = INSPECT_UNREAD_PAST; // until the split records it
    }
    if (markRead(list, text, length, &list->usable) != CAL_OK) {
        inspectListRelease(list);
        return CAL_ERR_NO_MEMORY;
    }
    int32_t readBefore = 0;
    bool zeroBefore = false;
    int32_t pos = 0;
    for (int32_t i = 0; i < count; ++i) {
        InspectLine &line = list->lines[i];
        for (; pos < line.start; ++pos) {
            zeroBefore = zeroBefore || text[pos] == 0;
        }
        if (line.unread != INSPECT_READ) {
            line.unread = unreadReason(list, text, length, i, readBefore, zeroBefore);
        } else {
            ++readBefore;
        }
        lineJudge(&line, text, scratch);
        line.entry.lineNo = static_cast<int16_t>(i + 1 <= 0x7FFF ? i + 1 : 0x7FFF);
    }
    return CAL_OK;
}

int16_t inspectFileRead(BufferedFile *bf, const KZ_WCHAR *dir, const char *name)
{
    bf->length = 0;
    fileAssign(&bf->file, dir, name);
    int16_t rc = fileOpenOrAbsent(&bf->file, CAL_MODE_READ);
    if (rc != CAL_OK) {
        return rc;
    }
    int32_t size = fileSize(&bf->file);
    if (size < 0) {
        rc = CAL_ERR_FILE;
    } else if (memAllocBlock(static_cast<uint32_t>(size) + 1, &bf->buffer) != CAL_OK) {
        rc = CAL_ERR_NO_MEMORY;
    } else {
        rc = fileReadSome(&bf->file, bf->buffer.data, size, &bf->length);
    }
    fileClose(&bf->file);
    return rc;
}

bool inspectListName(const char *prefix, int16_t listNumber, char *name)
{
    CalibRequest request;
    memset(&request, 0, sizeof request);
    request.listNumber = listNumber;
    CalibNames names;
    memset(&names, 0, sizeof names);
    memcpy(names.listPrefix, prefix, sizeof names.listPrefix);
    MemBlock block;
    memInit(&block, nullptr);
    if (memAllocBlock(sizeof(ListState), &block) != CAL_OK) {
        return false;
    }
    ListState *list = static_cast<ListState *>(block.data);
    listStateInit(list, nullptr, &request, &names, nullptr);
    bool ok = listBuildName(list);
    memcpy(name, list->listFileName, CAL_LIST_NAME_SIZE);
    memRelease(&block);
    return ok;
}

bool inspectListNumber(const char *name, int16_t *number)
{
    size_t len = strnlen(name, CAL_FILE_NAME_SIZE);
    if (!listNameHasListShape(name) || len - 9 > 10) {
        return false;
    }
    uint64_t v = 0;
    for (size_t i = 5; i + 4 < len; ++i) {
        v = v * 10u + static_cast<uint64_t>(name[i] - '0');
    }
    // A number is written widened with its sign, as unsigned 32 bits.
    if (v > 32767u && (v < 4294934528ull || v > 4294967295ull)) {
        return false;
    }
    int16_t n = static_cast<int16_t>(static_cast<int32_t>(static_cast<uint32_t>(v)));
    char built[CAL_LIST_NAME_SIZE];
    if (!inspectListName(name, n, built) || strnlen(built, CAL_LIST_NAME_SIZE) != len ||
        !textSameNoCase(built, name, static_cast<int32_t>(len), -1) || memcmp(built, name, len - 4) != 0) {
        return false;
    }
    *number = n;
    return true;
}
