// calibmod-cli calibrate: finding on disk what made a call answer
// CAL_ERR_FILE. The module answers the code alone; this looks at the source
// file, both directories and the list file through the module's own file
// layer, the source's tables through its inspection layer, and names what
// stands in the way.
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_types.h"
#include "cli.h"
#include "data_view.h"
#include "inspect_dir.h"
#include "calib_flow.h"

namespace cli {

namespace {

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

// A file as the module opens it (fileOpenOrAbsent in the given mode): false
// with a sentence when it cannot.
bool checkFile(const char *what, const std::string &dir, const std::string &name, int16_t mode, bool mustExist,
               std::vector<std::string> *out)
{
    const std::string path = dir + "/" + name;
    std::basic_string<KZ_WCHAR> wide = wideDir(dir);
    FileRef f;
    fileInit(&f, nullptr);
    fileAssign(&f, wide.c_str(), name.c_str());
    int16_t rc = fileOpenOrAbsent(&f, mode);
    int32_t size = rc == CAL_OK ? fileSize(&f) : 0;
    fileClose(&f);
    if (rc == CAL_ERR_OPEN && !mustExist) {
        return true;
    }
    if (rc != CAL_OK) {
        std::string why = unreadableWhy(dir, name);
        if (mode == CAL_MODE_READ_WRITE && access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
            why = reason();
        }
        out->push_back(std::string("the ") + what + " " + path + " cannot be opened" +
                       (mode == CAL_MODE_READ_WRITE ? " for writing: " : ": ") + why);
        return false;
    }
    if (mustExist && size == 0) {
        out->push_back(std::string("the ") + what + " " + path + " is empty");
        return false;
    }
    return true;
}

// What in the source's contents makes the table update fail: the first
// table the update meets that is missing or malformed.
void checkSourceContents(const std::string &dir, const std::string &name, std::vector<std::string> *out)
{
    const std::string path = dir + "/" + name;
    DataView view = dataViewOfFile(dir, name);
    if (view.rc == CAL_FAIL) {
        out->push_back("the source file " + path + " is not a calibration data file: too short for a header (" +
                       std::to_string(view.head.size) + " bytes)");
        return;
    }
    if (view.rc != CAL_OK) {
        out->push_back("the source file " + path + " cannot be read whole");
        return;
    }
    for (const InspectKzht &t : view.kzht) {
        if (!t.named) {
            break;
        }
        if (t.state == INSPECT_TABLE_ABSENT) {
            out->push_back("the table update fails on the copy of " + path + ": its KZDB tables name KZHT table " +
                           std::to_string(t.tableId) + ", which is not in the file");
            return;
        }
        if (t.state == INSPECT_TABLE_DAMAGED || (t.state == INSPECT_TABLE_MALFORMED && t.hasBuiltIn)) {
            out->push_back("the table update fails on the copy of " + path + ": KZHT table " +
                           std::to_string(t.tableId) + " is malformed (see calibmod-cli inspect " + path + ")");
            return;
        }
    }
}

} // namespace

std::vector<std::string> explainFileError(const std::string &sourceDir, const std::string &source,
                                          const std::string &calibDir, const std::string &listName)
{
    std::vector<std::string> out;
    if (checkDirectory("source directory", sourceDir, false, &out) &&
        checkFile("source file", sourceDir, source, CAL_MODE_READ_SOURCE, true, &out)) {
        checkSourceContents(sourceDir, source, &out);
    }
    if (checkDirectory("calibration directory", calibDir, true, &out)) {
        checkFile("list file", calibDir, listName, CAL_MODE_READ_WRITE, false, &out);
        // The directory was reached and read above: a lock that cannot be
        // had at once is held by another call.
        std::basic_string<KZ_WCHAR> wide = wideDir(calibDir);
        CalHandle token = nullptr;
        if (inspectDirLock(nullptr, wide.c_str(), 0, &token) != CAL_OK) {
            out.push_back("another call holds the calibration directory " + calibDir + " (a call waits at most " +
                          std::to_string(CAL_LOCK_WAIT_MS / 1000) + " s for it)");
        }
        inspectDirUnlock(nullptr, token);
    }
    if (out.empty()) {
        out.push_back("nothing found on disk that stands in the way; the file system may have failed a read or "
                      "write during the call, or a file changed while it ran");
    }
    return out;
}

} // namespace cli
