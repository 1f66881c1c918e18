// calibmod-cli: telling the state a KZCalibration call reached from what it
// did to the calibration directory.
#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "cli.h"

namespace cli {

namespace {

const DirSnapshot::Entry *findFile(const DirSnapshot &s, const std::string &name)
{
    for (const DirSnapshot::Entry &e : s.files) {
        if (e.name == name) {
            return &e;
        }
    }
    return nullptr;
}

int countLines(const std::string &text)
{
    int lines = 0;
    bool inLine = false;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == 0) {
            lines += inLine ? 1 : 0;
            inLine = false;
        } else {
            inLine = true;
        }
    }
    return lines;
}

} // namespace

DirSnapshot snapshotDir(const std::string &dir, const std::string &listName)
{
    DirSnapshot s;
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) {
        return s;
    }
    s.exists = true;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        struct stat st;
        if (name == "." || name == ".." || stat((dir + "/" + name).c_str(), &st) != 0) {
            continue;
        }
        s.files.push_back({name, static_cast<int64_t>(st.st_size),
                           static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                           static_cast<uint64_t>(st.st_ino)});
    }
    closedir(d);
    std::ifstream in(dir + "/" + listName, std::ios::binary);
    if (in) {
        s.listExists = true;
        std::ostringstream text;
        text << in.rdbuf();
        s.listText = text.str();
    }
    return s;
}

std::string describeState(const DirSnapshot &before, const DirSnapshot &after, int16_t result,
                          const std::string &resultName, const std::string &sourceName, bool passThrough)
{
    if (result != CAL_OK) {
        return "none: the call failed, and the driver goes on with its own file";
    }
    if (passThrough && resultName == sourceName) {
        return "pass-through: an id in use asks for no calibration; no file was opened";
    }
    bool listChanged = before.listExists != after.listExists || before.listText != after.listText;
    const DirSnapshot::Entry *copyBefore = findFile(before, resultName);
    const DirSnapshot::Entry *copyAfter = findFile(after, resultName);
    if (!listChanged) {
        if (copyBefore && copyAfter && copyBefore->size == copyAfter->size &&
            copyBefore->mtimeNs == copyAfter->mtimeNs && copyBefore->inode == copyAfter->inode) {
            return "1 (found): the listed copy is current; nothing was written";
        }
        return std::string("4 (refresh): the listed copy was ") + (copyBefore ? "stale" : "missing") +
               "; made again under its name, the list left as it was";
    }
    if (!before.listExists || before.listText.empty()) {
        return "2 (new list): no list file yet; the copy was made and the list file created";
    }
    if (after.listText.compare(0, before.listText.size(), before.listText) == 0) {
        return "3 (new entry): the key was not listed; the copy was made and its line appended";
    }
    if (countLines(after.listText) == 1) {
        return "2 (new list): the list file was unusable; the copy was made and the list written anew";
    }
    return "3 (new entry): every name was taken; the oldest similar entry gave up its name and the list "
           "was rewritten without it";
}

} // namespace cli
