// calibmod-cli: one calibrated copy as the module judges it, in words.
#include "copy_view.h"

#include <cstring>
#include <sys/stat.h>

#include "inspect_copy.h"
#include "list_view.h"

namespace cli {

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

CopyJudgement judgeCopy(const std::string &calibDir, const std::string &name, const std::string &srcDir)
{
    CopyJudgement j;
    std::basic_string<KZ_WCHAR> calib = wideDir(calibDir), source = wideDir(srcDir);
    InspectCopy c;
    if (inspectCopyJudge(nullptr, calib.c_str(), name.c_str(), srcDir.empty() ? nullptr : source.c_str(), &c) !=
        CAL_OK) {
        j.verdict = COPY_UNREADABLE;
        j.detail = "cannot be judged: no memory";
        return j;
    }
    j.source = std::string(c.source, strnlen(c.source, sizeof c.source));
    j.nothingToCorrect = c.verdict == INSPECT_COPY_HEALTHY && c.nothingToCorrect;
    struct stat st;
    switch (c.verdict) {
    case INSPECT_COPY_MISSING:
        j.verdict = COPY_MISSING;
        j.detail = "missing";
        break;
    case INSPECT_COPY_NOT_REGULAR:
        // The module cannot open it; what is there, in words.
        if (lstat((calibDir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            j.verdict = COPY_UNREADABLE;
            j.detail = "cannot be read: " + unreadableWhy(calibDir, name);
        } else {
            j.verdict = COPY_NOT_REGULAR;
            j.detail = lstat((calibDir + "/" + name).c_str(), &st) != 0 ? "cannot be looked at"
                       : S_ISLNK(st.st_mode) ? "a symbolic link, which the module never opens"
                       : S_ISDIR(st.st_mode) ? "a directory, not a copy"
                                             : "not a regular file";
        }
        break;
    case INSPECT_COPY_NO_SOURCE:
        j.verdict = COPY_NO_SOURCE;
        j.detail = "no file of " + srcDir + " can be its source";
        break;
    case INSPECT_COPY_SOURCE_UNREADABLE:
        j.verdict = COPY_SOURCE_UNREADABLE;
        j.detail = "the identification string of its source " + j.source + " cannot be read";
        break;
    case INSPECT_COPY_STALE:
        j.verdict = COPY_STALE;
        j.detail = !c.identReadable ? "stale: its identification string cannot be read"
                   : c.sizeDiffers  ? "stale: its size is not its source's (" + j.source + ")"
                                    : "stale: its identification string is not its source's (" + j.source + ")";
        break;
    case INSPECT_COPY_UNCALIBRATED:
        j.verdict = COPY_UNCALIBRATED;
        j.detail = "identical to its source " + j.source + " on every curve the module corrects: never calibrated";
        break;
    default:
        j.verdict = COPY_HEALTHY;
        j.detail = std::string("current") + (c.nothingToCorrect ? ", nothing to correct" : ", calibrated") +
                   " (source " + j.source + ")";
        break;
    }
    return j;
}

} // namespace cli
