// calibmod-cli: judging one calibrated copy against the source directory.
#include "copy_judge.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "curve_set.h"

namespace cli {

namespace {

const int kDatabaseNumbers[30] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  12,  13,  14,
                                  15, 16, 17, 18, 20, 21, 22, 24, 25, 26, 27, 100, 101, 102, 128};
const int kSlotsCorrected = 4; // mode 1 uses slots 0 to 3

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The KZHT table ids the source's KZDB tables name and that have built-in curves.
std::set<uint16_t> correctedTables(const kzfile::Bytes &file, const kzfile::FileInfo &info)
{
    std::set<uint16_t> ids;
    for (int n : kDatabaseNumbers) {
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzdb, static_cast<uint16_t>(1000 + n));
        if (!e) {
            continue;
        }
        kzfile::KzdbInfo k = kzfile::inspectKzdb(file, *e);
        if (!k.recordsOk) {
            continue;
        }
        for (int32_t t : k.kzhtIds) {
            if (hasBuiltInTable(t)) {
                ids.insert(static_cast<uint16_t>(t));
            }
        }
    }
    return ids;
}

// The curves of one table at slots 0..3, keyed by slot.
std::vector<std::pair<int32_t, kzfile::Curve>> correctedCurves(const kzfile::Bytes &file, const kzfile::FileInfo &info,
                                                               uint16_t id)
{
    std::vector<std::pair<int32_t, kzfile::Curve>> out;
    const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzht, id);
    if (!e || !e->sizeOk) {
        return out;
    }
    kzfile::KzhtInfo h = kzfile::inspectKzht(file, *e);
    if (!h.wellFormed) {
        return out;
    }
    for (const kzfile::CurveInfo &c : h.curves) {
        if (c.slot >= 0 && c.slot < kSlotsCorrected) {
            out.push_back({c.slot, kzfile::curveAt(file, c.offset)});
        }
    }
    return out;
}

} // namespace

const char *verdictName(CopyVerdict v)
{
    switch (v) {
    case COPY_HEALTHY:
        return "healthy";
    case COPY_MISSING:
        return "missing";
    case COPY_NOT_REGULAR:
        return "not_regular";
    case COPY_UNREADABLE:
        return "unreadable";
    case COPY_STALE:
        return "stale";
    case COPY_UNCALIBRATED:
        return "uncalibrated";
    case COPY_NO_SOURCE:
        return "no_source";
    case COPY_SOURCE_UNREADABLE:
        return "source_unreadable";
    }
    return "unknown";
}

bool verdictRemovable(CopyVerdict v)
{
    return v == COPY_MISSING || v == COPY_NOT_REGULAR || v == COPY_UNREADABLE || v == COPY_STALE ||
           v == COPY_UNCALIBRATED;
}

std::vector<std::string> sourcesOf(const std::string &srcDir, const std::string &copyName)
{
    std::vector<std::string> found;
    DIR *d = opendir(srcDir.c_str());
    if (d == nullptr) {
        return found;
    }
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        size_t dot = name.rfind('.');
        if (name.size() != copyName.size() || dot == std::string::npos || dot == 0) {
            continue;
        }
        bool match = true;
        for (size_t i = 0; i < name.size() && match; ++i) {
            match = i == dot - 1 || upper(name[i]) == upper(copyName[i]);
        }
        if (match) {
            found.push_back(name);
        }
    }
    closedir(d);
    std::sort(found.begin(), found.end());
    return found;
}

bool identOf(const kzfile::Bytes &b, std::string *ident)
{
    if (b.size() < 8) {
        return false;
    }
    uint64_t block = kzfile::getU32(b, 4);
    if (block + 8 > b.size()) {
        return false;
    }
    int32_t length = static_cast<int32_t>(kzfile::getU32(b, block + 4));
    if (length <= 0) {
        ident->clear();
        return true;
    }
    if (block + 8 + static_cast<uint64_t>(length) > b.size()) {
        return false;
    }
    ident->assign(b.begin() + static_cast<long>(block) + 8, b.begin() + static_cast<long>(block) + 8 + length);
    return true;
}

bool differsWhereCorrected(const kzfile::Bytes &copy, const kzfile::Bytes &source, bool *anyCorrectable)
{
    *anyCorrectable = false;
    kzfile::FileInfo si, ci;
    if (!kzfile::inspect(source, &si, nullptr)) {
        return false;
    }
    if (!kzfile::inspect(copy, &ci, nullptr)) {
        return true;
    }
    for (uint16_t id : correctedTables(source, si)) {
        auto was = correctedCurves(source, si, id);
        if (was.empty()) {
            continue;
        }
        *anyCorrectable = true;
        auto now = correctedCurves(copy, ci, id);
        if (now != was) {
            return true;
        }
    }
    return false;
}

std::string readAtError(int err)
{
    switch (err) {
    case ELOOP:
        return "it is a symbolic link, which the module never follows";
    case EISDIR:
        return "it is a directory";
    case EINVAL:
        return "it is not a regular file";
    default:
        return std::strerror(err);
    }
}

bool readAt(int dirFd, const std::string &name, kzfile::Bytes *bytes)
{
    int fd = openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    bytes->clear();
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            int saved = errno;
            close(fd);
            errno = saved;
            return false;
        }
        if (n == 0) {
            break;
        }
        bytes->insert(bytes->end(), buf, buf + n);
    }
    close(fd);
    return true;
}

CopyJudgement judgeCopy(int dirFd, const std::string &name, const std::string &srcDir)
{
    CopyJudgement j;
    struct stat st;
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        j.verdict = errno == ENOENT ? COPY_MISSING : COPY_UNREADABLE;
        j.detail = errno == ENOENT ? "missing" : std::string("cannot be looked at: ") + std::strerror(errno);
        return j;
    }
    if (!S_ISREG(st.st_mode)) {
        j.verdict = COPY_NOT_REGULAR;
        j.detail = S_ISLNK(st.st_mode)   ? "a symbolic link, which the module never opens"
                   : S_ISDIR(st.st_mode) ? "a directory, not a copy"
                                         : "not a regular file";
        return j;
    }
    kzfile::Bytes copy;
    if (!readAt(dirFd, name, &copy)) {
        j.verdict = COPY_UNREADABLE;
        j.detail = "cannot be read: " + readAtError(errno);
        return j;
    }
    std::vector<std::string> sources = sourcesOf(srcDir, name);
    if (sources.empty()) {
        j.verdict = COPY_NO_SOURCE;
        j.detail = "no file of " + srcDir + " can be its source";
        return j;
    }
    std::string copyIdent;
    bool copyIdentOk = identOf(copy, &copyIdent);
    bool anySourceRead = false;
    for (const std::string &s : sources) {
        kzfile::Bytes source;
        std::string error, ident;
        if (!kzfile::readFile(srcDir + "/" + s, &source, &error) || !identOf(source, &ident)) {
            continue;
        }
        anySourceRead = true;
        if (!copyIdentOk || ident != copyIdent) {
            continue;
        }
        j.source = s;
        bool correctable = false;
        if (differsWhereCorrected(copy, source, &correctable) || !correctable) {
            j.verdict = COPY_HEALTHY;
            j.nothingToCorrect = !correctable;
            j.detail = std::string("current") + (correctable ? ", calibrated" : ", nothing to correct") + " (source " +
                       s + ")";
            return j;
        }
        j.verdict = COPY_UNCALIBRATED;
        j.detail = "identical to its source " + s + " on every curve the module corrects: never calibrated";
        return j;
    }
    if (!anySourceRead) {
        j.verdict = COPY_SOURCE_UNREADABLE;
        j.source = sources[0];
        j.detail = "the identification string of its source " + sources[0] + " cannot be read";
        return j;
    }
    j.verdict = COPY_STALE;
    j.source = sources[0];
    j.detail = copyIdentOk ? "stale: its identification string is not its source's (" + sources[0] + ")"
                           : "stale: its identification string cannot be read";
    return j;
}

} // namespace cli
