// Which candidate names the rest of the calibration directory holds: names
// that another list file names, and list files themselves. A copy made
// under such a name would overwrite another key's copy, or a list.
#include <cstring>

#include "cal_types.h"
#include "list_file.h"
#include "name_alloc.h"
#include "text_util.h"

namespace {

struct Scan {
    ListState *list;
    int16_t length; // of the candidate names
    int16_t varied; // the position that varies
    NameSet taken;  // the characters at the varied position of the names taken
    MemBlock text;  // the head of another list, CAL_LIST_READ_MAX + 1 bytes
    int16_t rc;     // the first failure, CAL_OK while there is none
};

void nameMark(void *arg, const char *name)
{
    Scan *scan = static_cast<Scan *>(arg);
    int16_t c = nameVariedChar(scan->list->chosenName, scan->length, scan->varied, name);
    if (c > 0) {
        scan->taken.bits[c >> 6] |= 1ull << (c & 63);
    }
}

void entryMark(void *arg, const ListEntry *entry)
{
    nameMark(arg, entry->name);
}

// Reads another list (its head, as its own calls read it) and marks every
// candidate it names. A list that vanished names nothing; one that is there
// but cannot be read ends the allocation: its copies are unknown.
int16_t listNamesMark(Scan *scan, const char *name)
{
    FileRef file;
    fileInit(&file, scan->list->platform);
    fileAssign(&file, scan->list->calibDir, name);
    int16_t rc = fileOpenOrAbsent(&file, CAL_MODE_READ);
    if (rc == CAL_ERR_OPEN) {
        return CAL_OK;
    }
    if (rc != CAL_OK) {
        return CAL_ERR_FILE;
    }
    // The scan's one text buffer, which the scan owns, serves every list.
    char *text = static_cast<char *>(scan->text.data);
    int32_t got = 0;
    rc = fileReadSome(&file, text, CAL_LIST_READ_MAX + 1, &got);
    fileClose(&file);
    if (rc != CAL_OK) {
        return CAL_ERR_FILE;
    }
    listScanEntries(text, got, entryMark, scan);
    return CAL_OK;
}

bool nameVisit(void *arg, const char *name)
{
    Scan *scan = static_cast<Scan *>(arg);
    if (!listNameHasListShape(name)) {
        return true;
    }
    nameMark(scan, name); // a list file is never a copy's place
    // This call's own list: its entries are in list->entries. Only the exact
    // name is: where the file system tells case apart, a name that differs
    // in case is another list, whose copies must count as taken. Where it
    // does not, the own list stored in other case is read as another list:
    // its names count as taken, so a full list then gives no name to
    // recycle (CAL_ERR_FILE) rather than one that may be another key's.
    if (strncmp(name, scan->list->listFileName, CAL_LIST_NAME_SIZE) == 0) {
        return true;
    }
    scan->rc = listNamesMark(scan, name);
    return scan->rc == CAL_OK;
}

} // namespace

int16_t nameVariedChar(const char *pattern, int16_t length, int16_t varied, const char *name)
{
    if (strnlen(name, CAL_NAME_SIZE) != static_cast<size_t>(length) || !textSameNoCase(name, pattern, length, varied)) {
        return 0;
    }
    return static_cast<unsigned char>(textLower(name[varied]));
}

bool nameSetHas(const NameSet *set, char c)
{
    unsigned char u = static_cast<unsigned char>(textLower(c));
    return ((set->bits[u >> 6] >> (u & 63)) & 1u) != 0;
}

int16_t nameScanDirectory(ListState *list, int16_t length, int16_t varied, NameSet *taken)
{
    memset(taken, 0, sizeof *taken);
    Scan scan;
    scan.list = list;
    scan.length = length;
    scan.varied = varied;
    memset(&scan.taken, 0, sizeof scan.taken);
    scan.rc = CAL_OK;
    memInit(&scan.text, list->platform);
    if (memAllocBlock(CAL_LIST_READ_MAX + 1, &scan.text) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    // The own list's name, should it be a candidate while the list is not
    // there yet.
    nameMark(&scan, list->listFileName);
    int16_t rc = dirList(list->platform, list->calibDir, list->dirLock, nameVisit, &scan);
    memRelease(&scan.text);
    if (scan.rc != CAL_OK) {
        return scan.rc;
    }
    if (rc != CAL_OK) {
        return CAL_ERR_FILE;
    }
    *taken = scan.taken;
    return CAL_OK;
}
