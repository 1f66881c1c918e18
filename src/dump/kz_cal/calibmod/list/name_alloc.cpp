// Allocation of a new copy name for a request that has no list entry.
#include <cstring>

#include "cal_types.h"
#include "list_file.h"
#include "name_alloc.h"
#include "text_util.h"

namespace {

// The name alphabet; candidates start at its second character.
const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const int kCandidates = 35;

// True when a similar entry already uses candidate c at the varied position.
bool takenByEntry(const ListState *list, const int16_t *similar, int16_t count, int16_t varied, char c)
{
    for (int16_t k = 0; k < count; ++k) {
        if (textLower(list->entries[similar[k]].name[varied]) == c) {
            return true;
        }
    }
    return false;
}

// Puts the first candidate that no similar entry uses, no other list names
// and no file holds at the varied position. Failing that, the first such
// candidate whose name holds a regular file that no list names (an orphan,
// left by a call that was stopped, or by hand): reusing it keeps every good
// entry. False when neither is left.
bool candidateTakeFree(ListState *list, const int16_t *similar, int16_t count, int16_t varied, const NameSet *foreign)
{
    char orphan = 0;
    for (int i = 1; i <= kCandidates; ++i) {
        char c = kAlphabet[i];
        if (nameSetHas(foreign, c) || takenByEntry(list, similar, count, varied, c)) {
            continue;
        }
        list->chosenName[varied] = c;
        if (listNameHasListShape(list->chosenName)) {
            continue; // some list may be written under this name one day
        }
        FileRef probe;
        fileInit(&probe, list->platform);
        int16_t there = fileProbe(&probe, list->calibDir, list->chosenName);
        if (there == CAL_PROBE_ABSENT) {
            return true; // nothing at the name
        }
        if (there == CAL_PROBE_REGULAR && orphan == 0) {
            orphan = c;
        }
        // A link, a directory, a FIFO or a file that cannot be told: taken.
    }
    if (orphan != 0) {
        list->chosenName[varied] = orphan;
        return true;
    }
    return false;
}

// True when name is the shared name the key gave up (without case).
bool namedShared(const ListState *list, const char *name)
{
    size_t n = strnlen(list->sharedName, CAL_NAME_SIZE);
    return n > 0 && n == strnlen(name, CAL_NAME_SIZE) &&
           textSameNoCase(name, list->sharedName, static_cast<int32_t>(n), -1);
}

} // namespace

void nameCopyLower(char *dst, const char *src, int16_t *length, int16_t *varied)
{
    *length = CAL_NAME_SIZE;
    *varied = -1;
    int16_t lastDot = -1;
    for (int16_t i = 0; i < CAL_NAME_SIZE; ++i) {
        dst[i] = textLower(src[i]);
        if (src[i] == 0) {
            *length = i;
            break;
        }
        if (src[i] == '.') {
            lastDot = i;
        }
    }
    if (lastDot > 0) {
        *varied = static_cast<int16_t>(lastDot - 1);
    }
}

int16_t nameCollectSimilar(const ListState *list, int16_t length, int16_t varied, int16_t similar[CAL_SIMILAR_MAX])
{
    const char *source = list->names->sourceName;
    int16_t count = 0;
    for (int16_t i = 0; i < list->entryCount && count < CAL_SIMILAR_MAX; ++i) {
        if (textSameNoCase(list->entries[i].name, source, length, varied)) {
            similar[count++] = i;
        }
    }
    return count;
}

void nameRecycleOldest(ListState *list, const int16_t *similar, int16_t count, int16_t varied)
{
    int16_t oldest = similar[0];
    for (int16_t k = 1; k < count; ++k) {
        if (list->entries[similar[k]].lineNo < list->entries[oldest].lineNo) {
            oldest = similar[k];
        }
    }
    list->entries[oldest].lineNo = CAL_LINE_DROPPED;
    list->chosenName[varied] = list->entries[oldest].name[varied]; // as stored, not lower-cased
}

int16_t nameAllocate(ListState *list, int16_t mode)
{
    int16_t length = 0;
    int16_t varied = -1;
    memset(list->chosenName, 0, sizeof list->chosenName);
    nameCopyLower(list->chosenName, list->names->sourceName, &length, &varied);
    // No terminator within 16 bytes, no character before the last '.', or a
    // name that would leave calibDir: there is no copy name to give.
    if (length >= CAL_NAME_SIZE || varied < 0 || !listNameIsSafe(list->chosenName)) {
        memset(list->chosenName, 0, sizeof list->chosenName);
        return CAL_ERR_REQUEST;
    }

    int16_t similar[CAL_SIMILAR_MAX];
    int16_t count = 0;
    if (mode == CAL_STATE_NEW_ENTRY) {
        count = nameCollectSimilar(list, length, varied, similar);
    }
    NameSet foreign;
    int16_t rc = nameScanDirectory(list, length, varied, &foreign);
    if (rc != CAL_OK) {
        return rc;
    }
    if (candidateTakeFree(list, similar, count, varied, &foreign)) {
        return CAL_OK;
    }
    // Every candidate is taken: the oldest similar entry of this list gives
    // way, unless another list names its copy too, or it is the key's own
    // line that is given up because its name answers another key too (that
    // name stays the other key's).
    int16_t own = 0;
    for (int16_t k = 0; k < count; ++k) {
        const ListEntry &e = list->entries[similar[k]];
        if (!nameSetHas(&foreign, e.name[varied]) && e.lineNo != CAL_LINE_DROPPED && !namedShared(list, e.name)) {
            similar[own++] = similar[k];
        }
    }
    if (own == 0) {
        return CAL_ERR_FILE; // no name can be given without touching another key's copy
    }
    nameRecycleOldest(list, similar, own, varied);
    // Another entry of this list naming the same file would be answered the
    // new key's curves: it gives way too.
    for (int16_t k = 0; k < own; ++k) {
        ListEntry &e = list->entries[similar[k]];
        if (textLower(e.name[varied]) == textLower(list->chosenName[varied])) {
            e.lineNo = CAL_LINE_DROPPED;
        }
    }
    if (!listNameIsSafe(list->chosenName)) {
        return CAL_ERR_REQUEST;
    }
    return CAL_OK;
}
