// Filling and emptying the list layer's record.
#include "list_state.h"

#include <cstring>

void listStateInit(ListState *list, const CalPlatform *platform, const CalibRequest *request, const CalibNames *names,
                   const KZ_WCHAR *calibDir)
{
    list->request = request;
    list->names = names;
    list->calibDir = calibDir;
    list->platform = platform;
    list->dirLock = nullptr;
    list->state = CAL_STATE_NONE;
    memset(list->listFileName, 0, sizeof list->listFileName);
    bufferedFileInit(&list->listFile, platform);
    list->entryCount = 0;
    list->entries = nullptr;
    memInit(&list->entryBlock, platform);
    memset(list->sharedName, 0, sizeof list->sharedName);
    memset(list->chosenName, 0, sizeof list->chosenName);
}

void listStateRelease(ListState *list)
{
    memRelease(&list->entryBlock);
    list->entries = nullptr;
    list->entryCount = 0;
    memRelease(&list->listFile.buffer);
    fileClose(&list->listFile.file);
}
