// The decision: list file name, reading, key search, name allocation.
#include <cstring>

#include "cal_types.h"
#include "list_file.h"
#include "name_alloc.h"
#include "text_util.h"

bool listBuildName(ListState *list)
{
    char *out = list->listFileName;
    bufferZeroFill(out, CAL_LIST_NAME_SIZE);
    const char *prefix = list->names->listPrefix;
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
    int16_t n = textFormatUnsigned(digits, static_cast<uint32_t>(static_cast<int32_t>(list->request->listNumber)));
    int pos = 5;
    for (int16_t pad = n; pad < 3; ++pad) {
        out[pos++] = '0';
    }
    memcpy(out + pos, digits, static_cast<size_t>(n));
    pos += n;
    memcpy(out + pos, ".ini", 4);
    return true;
}

int16_t listRead(ListState *list)
{
    if (!listBuildName(list)) {
        return CAL_ERR_REQUEST;
    }
    // Only as much as is parsed, and one byte more to tell that more follows;
    // opened through the directory's lock when the call holds it.
    fileBindDir(&list->listFile.file, list->calibDir, list->dirLock);
    int16_t rc = fileReadHead(&list->listFile, list->calibDir, list->listFileName, CAL_LIST_READ_MAX + 1);
    fileBindDir(&list->listFile.file, list->calibDir, nullptr);
    return rc;
}

namespace {

// Steps 2 to 5 of the decision; the caller releases the text.
int16_t listDecideSteps(ListState *list)
{
    int16_t rc = listRead(list);
    if (rc != CAL_OK && rc != CAL_ERR_OPEN) {
        // Only a list that is not there is no list: one that cannot be
        // opened or read is left as it is, with every entry it holds.
        return rc == CAL_ERR_NO_MEMORY || rc == CAL_ERR_REQUEST ? rc : CAL_ERR_FILE;
    }
    CalState mode = CAL_STATE_NEW_LIST; // missing or empty
    if (rc == CAL_OK && list->listFile.length > 0) {
        rc = listParse(list);
        if (rc == CAL_ERR_NO_MEMORY) {
            return rc;
        }
        if (rc == CAL_OK) {
            int16_t index = -1;
            bool shared = false;
            if (listFind(list, &index) == CAL_OK) {
                rc = listNameShared(list, index, &shared);
                if (rc != CAL_OK) {
                    return rc;
                }
            }
            if (shared) {
                // Another line names the key's copy too: the key is made a
                // new entry with a name of its own, its line rewritten.
                ListEntry &e = list->entries[index];
                memcpy(list->sharedName, e.name, CAL_NAME_SIZE);
                e.lineNo = CAL_LINE_DROPPED;
            } else if (index >= 0) {
                const char *name = list->entries[index].name;
                for (int i = 0; i < CAL_NAME_SIZE; ++i) {
                    list->chosenName[i] = name[i];
                    if (name[i] == 0) {
                        break;
                    }
                }
                list->state = CAL_STATE_FOUND;
                return CAL_OK;
            }
            mode = CAL_STATE_NEW_ENTRY;
        } // else a malformed line: no usable list
    }
    rc = nameAllocate(list, mode);
    if (rc == CAL_OK) {
        list->state = mode;
    }
    return rc;
}

} // namespace

int16_t listDecide(ListState *list)
{
    int16_t rc = listDecideSteps(list);
    memRelease(&list->listFile.buffer);
    list->listFile.length = 0;
    return rc;
}
