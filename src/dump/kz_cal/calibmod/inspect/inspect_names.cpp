// The names a directory's lists take, as a call's name checks read them.
#include <cstring>

#include "cal_types.h"
#include "inspect_list.h"
#include "list_file.h"

namespace {

struct Listed {
    const CalPlatform *platform;
    const KZ_WCHAR *dir;
    InspectNameVisit visit;
    void *arg;
    const char *listName; // the list being read
    MemBlock text;        // the head of a list, CAL_LIST_READ_MAX + 1 bytes
};

void entryVisit(void *arg, const ListEntry *entry)
{
    Listed *listed = static_cast<Listed *>(arg);
    listed->visit(listed->arg, listed->listName, entry);
}

bool listVisit(void *arg, const char *name)
{
    Listed *listed = static_cast<Listed *>(arg);
    if (!listNameHasListShape(name)) {
        return true;
    }
    // Its head, as its own calls and every other call's name checks read it;
    // a list that cannot be opened or read names nothing to them.
    FileRef file;
    fileInit(&file, listed->platform);
    fileAssign(&file, listed->dir, name);
    if (fileOpenOrAbsent(&file, CAL_MODE_READ) != CAL_OK) {
        listed->visit(listed->arg, name, nullptr);
        return true;
    }
    char *text = static_cast<char *>(listed->text.data);
    int32_t got = 0;
    int16_t rc = fileReadSome(&file, text, CAL_LIST_READ_MAX + 1, &got);
    fileClose(&file);
    listed->visit(listed->arg, name, nullptr);
    if (rc == CAL_OK) {
        listed->listName = name;
        listScanEntries(text, got, entryVisit, listed);
    }
    return true;
}

} // namespace

int16_t inspectListedNames(const CalPlatform *platform, const KZ_WCHAR *dir, InspectNameVisit visit, void *arg)
{
    Listed listed;
    listed.platform = platform;
    listed.dir = dir;
    listed.visit = visit;
    listed.arg = arg;
    listed.listName = nullptr;
    memInit(&listed.text, platform);
    if (memAllocBlock(CAL_LIST_READ_MAX + 1, &listed.text) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    int16_t rc = dirList(platform, dir, nullptr, listVisit, &listed);
    memRelease(&listed.text);
    return rc;
}
