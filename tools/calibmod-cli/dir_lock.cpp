// calibmod-cli: the calibration directory's lock.
#include "dir_lock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

namespace cli {

namespace {

const int kPollMs = 20;

void sleepMs(int ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

} // namespace

int lockDirectory(const std::string &dir, bool exclusive, int waitMs, std::string *error)
{
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot open the directory " + dir + ": " + std::strerror(errno);
        return -1;
    }
    for (int waited = 0;; waited += kPollMs) {
        if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) {
            return fd;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *error = "cannot lock the directory " + dir + ": " + std::strerror(errno);
            close(fd);
            return -1;
        }
        if (waited >= waitMs) {
            break;
        }
        sleepMs(kPollMs);
    }
    *error = "the directory " + dir + " is still held by another call after " + std::to_string(waitMs / 1000) +
             " s; try again when it is done";
    close(fd);
    return -1;
}

void unlockDirectory(int fd)
{
    if (fd < 0) {
        return;
    }
    flock(fd, LOCK_UN);
    close(fd);
}

} // namespace cli
