// calibmod-cli check --repair: removing what a scan found wrong, so that the
// next KZCalibration call rebuilds it.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "dir_check.h"

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

// Writes text to the temporary list name, makes it durable, and renames it
// onto name; the file keeps the mode of the list it replaces.
bool rewriteList(int dirFd, const std::string &name, const std::string &text, RepairResult *r)
{
    struct stat old;
    mode_t mode = fstatat(dirFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 ? (old.st_mode & 07777) : 0644;
    unlinkat(dirFd, kTempListName, 0);
    int fd = openat(dirFd, kTempListName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    bool ok = fd >= 0;
    const char *step = "create";
    for (size_t done = 0; ok && done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ok = false;
            step = "write";
        } else {
            done += static_cast<size_t>(n);
        }
    }
    if (ok && (fchmod(fd, mode) != 0 || fsync(fd) != 0)) {
        ok = false;
        step = "write";
    }
    int saved = errno;
    if (fd >= 0 && close(fd) != 0 && ok) {
        ok = false;
        step = "write";
        saved = errno;
    }
    if (ok && renameat(dirFd, kTempListName, dirFd, name.c_str()) != 0) {
        ok = false;
        step = "rename onto";
        saved = errno;
    }
    if (!ok) {
        if (fd >= 0) {
            unlinkat(dirFd, kTempListName, 0);
        }
        r->left.push_back(std::string("cannot ") + step + " the new " + name + ": " + std::strerror(saved) +
                          "; it was left as it was");
        r->failed = true;
        return false;
    }
    fsync(dirFd);
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
            rewriteList(dirFd, l.name, text, &r);
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
