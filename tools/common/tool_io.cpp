// Reading a tool's input and writing its output files ("-": standard I/O).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tool_io.h"

namespace {

bool ReadAll(int fd, std::string *bytes, int *err)
{
    char buf[65536];
    for (;;) {
        ssize_t got = read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            *err = errno;
            return false;
        }
        if (got == 0) {
            return true;
        }
        bytes->append(buf, static_cast<size_t>(got));
    }
}

bool WriteAll(int fd, const std::string &bytes, int *err)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0) {
            *err = errno;
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

std::string CannotWrite(const std::string &path, int err)
{
    return "cannot write " + path + ": " + ToolErrnoText(err);
}

} // namespace

bool ToolIsStdio(const std::string &path)
{
    return path == "-";
}

std::string ToolErrnoText(int err)
{
    if (err == EISDIR) {
        return "it is a directory";
    }
    if (err == ENOTDIR) {
        return "a part of the path is not a directory";
    }
    return std::strerror(err);
}

bool ToolReadInput(const std::string &path, std::string *bytes, std::string *error)
{
    bytes->clear();
    int err = 0;
    if (ToolIsStdio(path)) {
        if (!ReadAll(STDIN_FILENO, bytes, &err)) {
            *error = "cannot read standard input: " + ToolErrnoText(err);
            return false;
        }
        return true;
    }
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot read " + path + ": " + ToolErrnoText(errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        err = EISDIR;
    } else {
        ReadAll(fd, bytes, &err);
    }
    close(fd);
    if (err != 0) {
        *error = "cannot read " + path + ": " + ToolErrnoText(err);
        bytes->clear();
        return false;
    }
    return true;
}

bool ToolWriteOutput(const std::string &path, const std::string &bytes, std::string *error)
{
    int err = 0;
    if (ToolIsStdio(path)) {
        std::fflush(stdout);
        if (!WriteAll(STDOUT_FILENO, bytes, &err)) {
            *error = CannotWrite("standard output", err);
            return false;
        }
        return true;
    }
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *error = CannotWrite(path, EISDIR);
        return false;
    }
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        bool ok = fd >= 0 && WriteAll(fd, bytes, &err);
        err = fd < 0 ? errno : err;
        if (fd >= 0 && close(fd) != 0 && ok) {
            ok = false;
            err = errno;
        }
        if (!ok) {
            *error = CannotWrite(path, err);
        }
        return ok;
    }
    const std::string temp = path + "." + std::to_string(static_cast<long>(getpid())) + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        *error = CannotWrite(path, errno);
        return false;
    }
    bool ok = WriteAll(fd, bytes, &err);
    if (ok && fsync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        *error = CannotWrite(path, err);
    }
    return ok;
}
