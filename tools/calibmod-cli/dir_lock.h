// calibmod-cli: the calibration directory's lock, the one KZCalibration
// takes: flock on a descriptor of the directory itself, waited for a bounded
// time. No lock file is made.
#ifndef CALIBMOD_CLI_DIR_LOCK_H
#define CALIBMOD_CLI_DIR_LOCK_H

#include <string>

namespace cli {

// How long a command waits for a call that holds the directory.
const int kLockWaitMs = 10000;

// Opens dir (O_RDONLY | O_DIRECTORY | O_CLOEXEC) and locks it, exclusive or
// shared, polling with LOCK_NB for at most waitMs. Returns the descriptor
// (which holds the lock until closed), or -1 with *error naming the path and
// the reason.
int lockDirectory(const std::string &dir, bool exclusive, int waitMs, std::string *error);
// Releases the lock and closes the descriptor.
void unlockDirectory(int fd);

} // namespace cli

#endif // CALIBMOD_CLI_DIR_LOCK_H
