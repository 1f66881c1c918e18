// calibmod-cli check: scanning a calibration directory.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_types.h"
#include "dir_check.h"
#include "inspect_list.h"
#include "list_file.h"
#include "copy.h"

namespace cli {

namespace {

bool readList(const std::string &calibDir, const std::string &name, ListReport *list, std::string *text)
{
    std::string error;
    if (readListFile(calibDir, name, text, &error) <= 0) {
        list->readable = false;
        list->error = error.empty() ? std::string("it vanished") : error;
        return false;
    }
    list->bytes = text->size();
    return true;
}

// The names a call reads as listed: every good line the module's own name
// checks read from every list of the directory.
void calledListed(void *arg, const char *, const ListEntry *entry)
{
    if (entry != nullptr) {
        static_cast<std::set<std::string> *>(arg)->insert(
            std::string(entry->name, strnlen(entry->name, CAL_NAME_SIZE)));
    }
}

void scanList(const std::string &calibDir, const std::string &name, const std::string &sourceDir, ListReport *list)
{
    list->name = name;
    list->hasNumber = listNumberOf(name, &list->number);
    std::string text;
    if (!readList(calibDir, name, list, &text)) {
        return;
    }
    ListText parsed = readListText(text);
    list->usable = parsed.usable;
    std::set<std::string> keys;
    for (const ListLine &line : parsed.lines) {
        if (!line.wellFormed || !line.read) {
            list->badLines.push_back(line);
            if (!line.wellFormed) {
                continue;
            }
        }
        EntryReport e;
        e.line = line;
        if (line.read) {
            std::string key = std::to_string(line.listNumber) + "," + std::to_string(line.param1) + "," +
                              std::to_string(line.param2) + "," + std::to_string(line.param3);
            e.duplicateKey = !keys.insert(key).second;
            e.wrongList = list->hasNumber && line.listNumber != list->number;
        }
        e.copy = judgeCopy(calibDir, line.name, sourceDir);
        list->entries.push_back(e);
    }
}

int countProblems(DirReport *r)
{
    int n = static_cast<int>(r->orphans.size() + r->temporaries.size());
    for (const ListReport &l : r->lists) {
        if (!l.readable) {
            ++n;
        }
        n += static_cast<int>(l.badLines.size());
        for (const EntryReport &e : l.entries) {
            if (!e.line.read) {
                continue; // counted with the unread lines
            }
            if (e.copy.verdict != COPY_HEALTHY || e.duplicateName || e.duplicateKey || e.wrongList) {
                ++n;
            }
        }
    }
    return n;
}

} // namespace

bool scanDirectory(const std::string &calibDir, const std::string &sourceDir, DirReport *report, std::string *error)
{
    *report = DirReport{};
    report->calibDir = calibDir;
    report->sourceDir = sourceDir;
    int dirFd = open(calibDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        *error = "cannot open the calibration directory " + calibDir + ": " + std::strerror(errno);
        return false;
    }
    DIR *d = fdopendir(dup(dirFd));
    if (d == nullptr) {
        *error = "cannot read the calibration directory " + calibDir + ": " + std::strerror(errno);
        close(dirFd);
        return false;
    }
    std::vector<std::string> names;
    errno = 0;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    int readErrno = errno;
    closedir(d);
    if (readErrno != 0) {
        *error = "cannot read the calibration directory " + calibDir + ": " + std::strerror(readErrno);
        close(dirFd);
        return false;
    }
    std::sort(names.begin(), names.end());

    std::vector<std::string> others;
    for (const std::string &name : names) {
        struct stat st;
        bool regular = fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
        if (name == kLockFileName && regular) {
            continue; // the Windows module's lock: no copy, no list, no leftover
        }
        if (name == CAL_TEMP_COPY_NAME || name == CAL_TEMP_LIST_NAME) {
            report->temporaries.push_back(name);
        } else if (isListFileName(name) && regular) {
            ListReport list;
            scanList(calibDir, name, sourceDir, &list);
            report->lists.push_back(list);
        } else {
            others.push_back(name);
        }
    }

    // Names listed more than once, across every list; names listed at all.
    std::map<std::string, int> listed;
    bool allListsRead = true;
    for (const ListReport &l : report->lists) {
        allListsRead = allListsRead && l.readable;
        for (const EntryReport &e : l.entries) {
            ++listed[e.line.name];
        }
    }
    for (ListReport &l : report->lists) {
        for (EntryReport &e : l.entries) {
            e.duplicateName = listed[e.line.name] > 1;
        }
    }
    // What the module itself reads as listed is never an orphan, whatever
    // the reading above made of it.
    std::set<std::string> called;
    std::basic_string<KZ_WCHAR> wide = wideDir(calibDir);
    if (inspectListedNames(nullptr, wide.c_str(), calledListed, &called) != CAL_OK) {
        allListsRead = false;
    }
    for (const std::string &n : called) {
        listed[n] += 0;
    }
    for (const std::string &name : others) {
        struct stat st;
        bool known = fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (known && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            if (!listed.count(name)) {
                report->strangers.push_back(name);
            }
        } else if (!listed.count(name) && allListsRead) {
            report->orphans.push_back(name);
        }
    }
    close(dirFd);
    report->problems = countProblems(report);
    return true;
}

} // namespace cli
