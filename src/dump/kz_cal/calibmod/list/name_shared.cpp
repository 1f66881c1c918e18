// Whether a listed name answers another key too: a name named by two lines
// (written by an earlier version, or by hand) holds at most one key's
// curves, so it is never answered to either of them.
#include <cstring>

#include "cal_types.h"
#include "list_file.h"
#include "text_util.h"

namespace {

struct Share {
    ListState *list;
    const ListEntry *own; // the line whose name is asked about
    bool caseTwin;        // the list read is named as the own list but for case
    bool shared;
    MemBlock text; // the head of another list, CAL_LIST_READ_MAX + 1 bytes, once one is met
    int16_t rc;    // CAL_ERR_NO_MEMORY when the text could not be had, else CAL_OK
};

bool sameName(const char *a, const char *b)
{
    size_t n = strnlen(a, CAL_NAME_SIZE);
    return n == strnlen(b, CAL_NAME_SIZE) && textSameNoCase(a, b, static_cast<int32_t>(n), -1);
}

bool sameKey(const ListEntry *a, const ListEntry *b)
{
    return a->listNumber == b->listNumber && a->param1 == b->param1 && a->param2 == b->param2 && a->param3 == b->param3;
}

void entryCheck(void *arg, const ListEntry *entry)
{
    Share *share = static_cast<Share *>(arg);
    if (!sameName(entry->name, share->own->name)) {
        return;
    }
    // Where the file system does not tell case apart, a list named as the
    // own one but for case is the own list listed again: its copy of the
    // own line is no other line.
    if (share->caseTwin && sameKey(entry, share->own) && strncmp(entry->name, share->own->name, CAL_NAME_SIZE) == 0) {
        return;
    }
    share->shared = true;
}

// Reads another list (its head, as its own calls read it) and looks for the
// name in it. A list that vanished names nothing; one that cannot be opened
// or read (a FIFO, a directory, an I/O error) answers nothing to its own
// calls either, which then end with -138: it is passed over.
void listCheck(Share *share, const char *name)
{
    FileRef file;
    fileInit(&file, share->list->platform);
    fileAssign(&file, share->list->calibDir, name);
    if (fileOpenOrAbsent(&file, CAL_MODE_READ) != CAL_OK) {
        return;
    }
    char *text = static_cast<char *>(share->text.data);
    int32_t got = 0;
    int16_t rc = fileReadSome(&file, text, CAL_LIST_READ_MAX + 1, &got);
    fileClose(&file);
    if (rc == CAL_OK) {
        listScanEntries(text, got, entryCheck, share);
    }
}

bool listVisit(void *arg, const char *name)
{
    Share *share = static_cast<Share *>(arg);
    const char *own = share->list->listFileName;
    if (!listNameHasListShape(name) || strncmp(name, own, CAL_LIST_NAME_SIZE) == 0) {
        return true; // not a list, or the own list, whose entries are parsed
    }
    size_t n = strnlen(name, CAL_LIST_NAME_SIZE);
    if (share->text.data == nullptr && memAllocBlock(CAL_LIST_READ_MAX + 1, &share->text) != CAL_OK) {
        share->rc = CAL_ERR_NO_MEMORY;
        return false;
    }
    share->caseTwin = n == strnlen(own, CAL_LIST_NAME_SIZE) && textSameNoCase(name, own, static_cast<int32_t>(n), -1);
    listCheck(share, name);
    return !share->shared;
}

} // namespace

int16_t listNameShared(ListState *list, int16_t index, bool *shared)
{
    *shared = false;
    const ListEntry *own = &list->entries[index];
    // Lines of the own list: a later line of the same key is never read
    // (the first one wins), so only another key's line shares the name.
    for (int16_t i = 0; i < list->entryCount; ++i) {
        if (i != index && !sameKey(&list->entries[i], own) && sameName(list->entries[i].name, own->name)) {
            *shared = true;
            return CAL_OK;
        }
    }
    if (list->openLineState == CAL_OPEN_LINE_GOOD && !sameKey(&list->openLine, own) &&
        sameName(list->openLine.name, own->name)) {
        *shared = true;
        return CAL_OK;
    }
    Share share;
    share.list = list;
    share.own = own;
    share.caseTwin = false;
    share.shared = false;
    share.rc = CAL_OK;
    memInit(&share.text, list->platform); // taken when the first other list is met
    int16_t rc = dirList(list->platform, list->calibDir, list->dirLock, listVisit, &share);
    memRelease(&share.text);
    if (share.rc != CAL_OK) {
        return share.rc;
    }
    if (rc != CAL_OK) {
        return CAL_ERR_FILE;
    }
    *shared = share.shared;
    return CAL_OK;
}
