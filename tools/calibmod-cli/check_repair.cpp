// calibmod-cli check --repair: removing what a scan found wrong, so that the
// next KZCalibration call rebuilds it.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_types.h"
#include "dir_check.h"
#include "inspect_dir.h"

namespace cli {

namespace {

bool keepEntry(const EntryReport &e)
{
    if (!e.line.read || e.duplicateName || e.duplicateKey || e.wrongList) {
        return false;
    }
    return !verdictRemovable(e.copy.verdict);
}

bool removeFile(int dirFd, const std::string &name, RepairResult *r)
{
    if (unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT) {
        r->removed.push_back(name);
        return true;
    }
    r->left.push_back("cannot remove " + name + ": " + std::strerror(errno));
    r->failed = true;
    return false;
}

// Writes the list anew as the module rewrites one (a temporary file made
// durable, then a rename).
bool rewriteList(const std::string &calibDir, const std::string &name, const std::string &text, RepairResult *r)
{
    std::basic_string<KZ_WCHAR> wide = wideDir(calibDir);
    if (text.size() > 0x7FFFFFFFu || inspectListRewrite(nullptr, wide.c_str(), name.c_str(), text.data(),
                                                        static_cast<int32_t>(text.size())) != CAL_OK) {
        r->left.push_back("cannot write the new " + name + "; it was left as it was");
        r->failed = true;
        return false;
    }
    r->rewritten.push_back(name);
    return true;
}

} // namespace

RepairResult repairDirectory(const DirReport &report)
{
    RepairResult r;
    int dirFd = open(report.calibDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        r.left.push_back("cannot open " + report.calibDir + ": " + std::strerror(errno));
        r.failed = true;
        return r;
    }
    // Leftovers first: the list rewrite below uses one of their names.
    for (const std::string &t : report.temporaries) {
        removeFile(dirFd, t, &r);
    }

    std::set<std::string> kept, dropped;
    for (const ListReport &l : report.lists) {
        if (!l.readable) {
            r.left.push_back(l.name + " cannot be read (" + l.error +
                             "): left as it is, and no file was taken "
                             "for an orphan");
            continue;
        }
        std::string text;
        size_t keptLines = 0;
        for (const EntryReport &e : l.entries) {
            if (keepEntry(e)) {
                text += e.line.text + "\r\n";
                kept.insert(e.line.name);
                ++keptLines;
                if (e.copy.verdict != COPY_HEALTHY) {
                    r.left.push_back(l.name + " line " + std::to_string(e.line.number) + " (" + e.line.name +
                                     "): kept, " + e.copy.detail);
                }
            } else {
                dropped.insert(e.line.name);
            }
        }
        bool changed = keptLines != l.entries.size() || !l.badLines.empty();
        if (!changed) {
            // Lines are rewritten only when one goes; an unchanged list stays byte for byte.
            continue;
        }
        if (keptLines == 0) {
            removeFile(dirFd, l.name, &r);
        } else {
            rewriteList(report.calibDir, l.name, text, &r);
        }
    }
    // A copy goes when no kept line names it any more.
    for (const std::string &name : dropped) {
        if (kept.count(name)) {
            continue;
        }
        struct stat st;
        if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue; // missing: nothing to remove
        }
        if (S_ISDIR(st.st_mode)) {
            r.left.push_back(name + " is a directory: left as it is; no call can make a copy of that name");
            continue;
        }
        removeFile(dirFd, name, &r);
    }
    for (const std::string &o : report.orphans) {
        if (!kept.count(o)) {
            removeFile(dirFd, o, &r);
        }
    }
    for (const std::string &s : report.strangers) {
        r.left.push_back(s + " is a directory or special file: left as it is");
    }
    fsync(dirFd);
    close(dirFd);
    return r;
}

} // namespace cli
