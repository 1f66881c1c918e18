// calibmod-cli calibrate: finding on disk what made a call answer
// CAL_ERR_FILE. The module answers the code alone; this looks at the source
// file, both directories and the list file the way the module opens them
// (no symbolic link followed, regular files only) and names what stands in
// the way.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli.h"
#include "kzfile.h"

namespace cli {

namespace {

const int kDatabaseNumbers[30] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  12,  13,  14,
                                  15, 16, 17, 18, 20, 21, 22, 24, 25, 26, 27, 100, 101, 102, 128};

std::string reason()
{
    return std::strerror(errno);
}

// A directory the module must reach; write: it must also create files there.
bool checkDirectory(const char *what, const std::string &dir, bool write, std::vector<std::string> *out)
{
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        out->push_back(std::string("the ") + what + " " + dir + " cannot be reached: " + reason());
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        out->push_back(std::string("the ") + what + " " + dir + " is not a directory");
        return false;
    }
    if (access(dir.c_str(), R_OK | X_OK) != 0) {
        out->push_back(std::string("the ") + what + " " + dir + " cannot be read: " + reason());
        return false;
    }
    if (write && access(dir.c_str(), W_OK) != 0) {
        out->push_back(std::string("the ") + what + " " + dir + " cannot be written: " + reason());
        return false;
    }
    return true;
}

// A file as the module opens it: false with a sentence when it cannot.
bool checkFile(const char *what, const std::string &path, int flags, bool mustExist, std::vector<std::string> *out)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT && !mustExist) {
            return true;
        }
        out->push_back(std::string("the ") + what + " " + path + " cannot be opened: " + reason());
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        out->push_back(std::string("the ") + what + " " + path + " is a symbolic link, which the module never follows");
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        out->push_back(std::string("the ") + what + " " + path + " is not a regular file");
        return false;
    }
    int fd = open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        out->push_back(std::string("the ") + what + " " + path + " cannot be opened" +
                       ((flags & O_ACCMODE) == O_RDWR ? " for writing: " : ": ") + reason());
        return false;
    }
    close(fd);
    if (mustExist && st.st_size == 0) {
        out->push_back(std::string("the ") + what + " " + path + " is empty");
        return false;
    }
    return true;
}

// What in the source's contents makes the table update fail.
void checkSourceContents(const std::string &path, std::vector<std::string> *out)
{
    kzfile::Bytes b;
    std::string error;
    if (!kzfile::readFile(path, &b, &error)) {
        out->push_back(error);
        return;
    }
    kzfile::FileInfo info;
    if (!kzfile::inspect(b, &info, &error)) {
        out->push_back("the source file " + path + " is not a calibration data file: " + error);
        return;
    }
    std::set<int32_t> named;
    for (int n : kDatabaseNumbers) {
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzdb, static_cast<uint16_t>(1000 + n));
        if (!e) {
            continue;
        }
        kzfile::KzdbInfo k = kzfile::inspectKzdb(b, *e);
        if (k.recordsOk) {
            named.insert(k.kzhtIds.begin(), k.kzhtIds.end());
        }
    }
    for (int32_t t : named) {
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzht, static_cast<uint16_t>(t & 0xFFFF));
        if (!e) {
            out->push_back("the table update fails on the copy of " + path + ": its KZDB tables name KZHT table " +
                           std::to_string(t) + ", which is not in the file");
            return;
        }
        if (!e->sizeOk || !kzfile::inspectKzht(b, *e).wellFormed) {
            out->push_back("the table update fails on the copy of " + path + ": KZHT table " + std::to_string(t) +
                           " is malformed (see calibmod-cli inspect " + path + ")");
            return;
        }
    }
}

} // namespace

std::vector<std::string> explainFileError(const std::string &sourceDir, const std::string &source,
                                          const std::string &calibDir, const std::string &listName)
{
    std::vector<std::string> out;
    const std::string sourcePath = sourceDir + "/" + source;
    if (checkDirectory("source directory", sourceDir, false, &out) &&
        checkFile("source file", sourcePath, O_RDONLY, true, &out)) {
        checkSourceContents(sourcePath, &out);
    }
    if (checkDirectory("calibration directory", calibDir, true, &out)) {
        checkFile("list file", calibDir + "/" + listName, O_RDWR, false, &out);
        int fd = open(calibDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
                out.push_back("another call holds the calibration directory " + calibDir +
                              " (a call waits at most 10 s for it)");
            }
            close(fd);
        }
    }
    if (out.empty()) {
        out.push_back("nothing found on disk that stands in the way; the file system may have failed a read or "
                      "write during the call, or a file changed while it ran");
    }
    return out;
}

} // namespace cli
