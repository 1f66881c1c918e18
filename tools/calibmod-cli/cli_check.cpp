// calibmod-cli check: the health of a calibration directory, for the people
// who support printers in the field; --repair removes what is wrong.
#include <cerrno>
#include <cstdio>
#include <dirent.h>

#include "args.h"
#include "cli.h"
#include "dir_check.h"
#include "json_out.h"
#include "tool_io.h"
#include "tool_text.h"

namespace cli {

namespace {

const char kHelp[] = "Usage: calibmod-cli check CALIBDIR --source-dir DIR [--repair] [--json]\n"
                     "\n"
                     "Reads every list file of CALIBDIR (five characters of prefix, at least three\n"
                     "digits, \".ini\" in any case) the way KZCalibration reads them and reports,\n"
                     "per entry, whether its copy exists, is a regular file (not a symbolic link),\n"
                     "is current (has the size and carries the identification string of its source\n"
                     "in DIR) and was calibrated\n"
                     "(differs from its source on a curve the module corrects). It also reports\n"
                     "names listed by two entries or two lists, keys listed twice in one list,\n"
                     "entries of another list number, malformed lines and lines the module never\n"
                     "reads, files no list names (orphans) and the temporary files \"~kz,copy.tmp\"\n"
                     "and \"~kz,list.tmp\" left by an interrupted call. The lock file \"~kz,lock\"\n"
                     "that the Windows module keeps belongs to a healthy directory.\n"
                     "\n"
                     "  --source-dir DIR  the directory of the calibration data files (sourceDir)\n"
                     "  --repair          remove what is wrong so that the next call rebuilds it:\n"
                     "                    the lines of entries whose copies are missing, foreign\n"
                     "                    (not a regular file, unreadable, stale) or uncalibrated,\n"
                     "                    of entries sharing a name, of repeated keys and of other\n"
                     "                    list numbers, malformed and unread lines; then the copies\n"
                     "                    no kept line names, orphans and temporaries. A healthy\n"
                     "                    entry is never touched; a list is rewritten through a\n"
                     "                    temporary file and a rename, and removed when no line is\n"
                     "                    left. Then the directory is checked again.\n"
                     "  --json            the report as JSON (docs/json.md)\n"
                     "  -h, --help        this text\n"
                     "      --version     the version of the tools\n"
                     "\n"
                     "The directory is locked as KZCalibration locks it (flock on the directory),\n"
                     "waiting at most 10 s for a call in progress. Nothing outside CALIBDIR is\n"
                     "written; DIR is only read.\n"
                     "\n"
                     "Examples:\n"
                     "  calibmod-cli check /var/lib/zmd/calib --source-dir /usr/share/zmd\n"
                     "  calibmod-cli check calib --source-dir samples --repair\n"
                     "\n"
                     "Exit status: 0 when the directory is healthy (after --repair: when the repair\n"
                     "left it healthy); 1 when it is not; 2 for a bad command line, or when\n"
                     "CALIBDIR cannot be read or locked, or DIR does not exist or cannot be read.\n";

const ArgDef kOptions[] = {
    {"--source-dir", nullptr, ARG_VALUE},
    {"--repair", nullptr, ARG_FLAG},
    {"--json", nullptr, ARG_FLAG},
};

std::string keyText(const ListLine &l)
{
    return std::to_string(l.listNumber) + "," + std::to_string(l.param1) + "," + std::to_string(l.param2) + "," +
           std::to_string(l.param3);
}

// The problems of one entry, as short names.
std::vector<std::string> entryProblems(const EntryReport &e)
{
    std::vector<std::string> p;
    if (e.copy.verdict != COPY_HEALTHY) {
        p.push_back(verdictName(e.copy.verdict));
    }
    if (e.duplicateName) {
        p.push_back("duplicate_name");
    }
    if (e.duplicateKey) {
        p.push_back("duplicate_key");
    }
    if (e.wrongList) {
        p.push_back("wrong_list");
    }
    return p;
}

void printText(const DirReport &r)
{
    printEscaped("%s (sources in %s)\n", r.calibDir.c_str(), r.sourceDir.c_str());
    if (r.lists.empty()) {
        printEscaped("  no list file\n");
    }
    for (const ListReport &l : r.lists) {
        if (!l.readable) {
            printEscaped("%s: cannot be read: %s (every call for this list answers CAL_ERR_FILE)\n", l.name.c_str(),
                         l.error.c_str());
            continue;
        }
        printEscaped("%s: %zu bytes, %zu entr%s%s\n", l.name.c_str(), l.bytes, l.entries.size(),
                     l.entries.size() == 1 ? "y" : "ies",
                     l.usable ? "" : "; unusable: the next new copy starts the list anew and its lines are lost");
        for (const EntryReport &e : l.entries) {
            if (!e.line.read) {
                continue;
            }
            printEscaped("  line %zu  %s  %s  %s\n", e.line.number, keyText(e.line).c_str(), e.line.name.c_str(),
                         e.copy.detail.c_str());
            if (e.duplicateName) {
                printEscaped("    duplicate name: another entry names %s too, so one copy answers two keys\n",
                             e.line.name.c_str());
            }
            if (e.duplicateKey) {
                printEscaped("    duplicate key: an earlier line has the key %s; this line is never found\n",
                             keyText(e.line).c_str());
            }
            if (e.wrongList) {
                printEscaped("    wrong list: list number %d in the list of number %d; this line is never found\n",
                             e.line.listNumber, l.number);
            }
        }
        for (const ListLine &b : l.badLines) {
            if (!b.wellFormed && b.read) {
                printEscaped("  line %zu  malformed (%s): %s\n", b.number, b.problem.c_str(), b.text.c_str());
            } else {
                printEscaped("  line %zu  never read (%s): %s\n", b.number, b.unread.c_str(), b.text.c_str());
            }
        }
    }
    for (const std::string &o : r.orphans) {
        printEscaped("orphan: %s (no list names it)\n", o.c_str());
    }
    for (const std::string &t : r.temporaries) {
        printEscaped("leftover: %s (a temporary file of an interrupted call)\n", t.c_str());
    }
    for (const std::string &s : r.strangers) {
        printEscaped("not a file: %s (left alone)\n", s.c_str());
    }
    if (r.problems == 0) {
        printEscaped("healthy\n");
    } else {
        printEscaped("not healthy: %d problem%s\n", r.problems, r.problems == 1 ? "" : "s");
    }
}

void jsonLine(Json &j, const ListLine &l)
{
    jsonField(j, "line", static_cast<int64_t>(l.number));
    jsonField(j, "text", l.text);
    jsonFlag(j, "read", l.read);
    if (!l.read) {
        jsonField(j, "unread_reason", l.unread);
    }
    jsonFlag(j, "well_formed", l.wellFormed);
    if (!l.wellFormed) {
        jsonField(j, "problem", l.problem);
    }
}

void jsonReport(Json &j, const DirReport &r)
{
    jsonBeginObject(j);
    jsonField(j, "calib_dir", r.calibDir);
    jsonField(j, "source_dir", r.sourceDir);
    jsonFlag(j, "healthy", r.problems == 0);
    jsonField(j, "problems", static_cast<int64_t>(r.problems));
    jsonKey(j, "lists");
    jsonBeginArray(j);
    for (const ListReport &l : r.lists) {
        jsonBeginObject(j);
        jsonField(j, "name", l.name);
        jsonFlag(j, "readable", l.readable);
        if (!l.readable) {
            jsonField(j, "error", l.error);
        }
        jsonField(j, "bytes", static_cast<int64_t>(l.bytes));
        jsonFlag(j, "usable", l.usable);
        jsonKey(j, "entries");
        jsonBeginArray(j);
        for (const EntryReport &e : l.entries) {
            if (!e.line.read) {
                continue;
            }
            jsonBeginObject(j);
            jsonField(j, "line", static_cast<int64_t>(e.line.number));
            jsonField(j, "list_number", static_cast<int64_t>(e.line.listNumber));
            jsonField(j, "param1", static_cast<int64_t>(e.line.param1));
            jsonField(j, "param2", static_cast<int64_t>(e.line.param2));
            jsonField(j, "param3", static_cast<int64_t>(e.line.param3));
            jsonField(j, "name", e.line.name);
            jsonField(j, "copy", verdictName(e.copy.verdict));
            if (!e.copy.source.empty()) {
                jsonField(j, "source", e.copy.source);
            }
            jsonField(j, "detail", e.copy.detail);
            jsonKey(j, "problems");
            jsonBeginArray(j);
            for (const std::string &p : entryProblems(e)) {
                jsonString(j, p);
            }
            jsonEndArray(j);
            jsonEndObject(j);
        }
        jsonEndArray(j);
        jsonKey(j, "bad_lines");
        jsonBeginArray(j);
        for (const ListLine &b : l.badLines) {
            jsonBeginObject(j);
            jsonLine(j, b);
            jsonEndObject(j);
        }
        jsonEndArray(j);
        jsonEndObject(j);
    }
    jsonEndArray(j);
    const std::pair<const char *, const std::vector<std::string> *> groups[] = {
        {"orphans", &r.orphans}, {"temporaries", &r.temporaries}, {"not_files", &r.strangers}};
    for (const auto &g : groups) {
        jsonKey(j, g.first);
        jsonBeginArray(j);
        for (const std::string &n : *g.second) {
            jsonString(j, n);
        }
        jsonEndArray(j);
    }
}

void jsonStrings(Json &j, const char *key, const std::vector<std::string> &v)
{
    jsonKey(j, key);
    jsonBeginArray(j);
    for (const std::string &s : v) {
        jsonString(j, s);
    }
    jsonEndArray(j);
}

bool sourceDirReadable(const std::string &dir, std::string *error)
{
    DIR *d = opendir(dir.c_str());
    if (d != nullptr) {
        closedir(d);
        return true;
    }
    int err = errno;
    if (err == ENOENT) {
        *error = "the source directory " + dir + " does not exist";
    } else if (err == ENOTDIR) {
        *error = "the source directory " + dir + " is not a directory";
    } else {
        *error = "cannot read the source directory " + dir + ": " + ToolErrnoText(err);
    }
    return false;
}

} // namespace

int cmdCheck(const std::vector<std::string> &args)
{
    ParsedArgs p;
    std::string error;
    if (!ArgsParse(args, kOptions, sizeof kOptions / sizeof kOptions[0], &p, &error)) {
        return usageError("check", error);
    }
    if (p.help) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (p.version) {
        return ArgsPrintVersion("calibmod-cli");
    }
    std::string sourceDir;
    if (p.positionals.empty()) {
        return usageError("check", "no CALIBDIR given");
    }
    if (p.positionals.size() > 1) {
        return usageError("check", "more than one CALIBDIR given");
    }
    if (!ArgsLast(p, "--source-dir", &sourceDir)) {
        return usageError("check", "--source-dir is required");
    }
    const std::string &calibDir = p.positionals[0];
    const bool repair = ArgsHas(p, "--repair"), json = ArgsHas(p, "--json");
    // Without its sources every copy would look sourceless, and a repair
    // would remove them all: a source directory that cannot be read stops
    // the command.
    if (!sourceDirReadable(sourceDir, &error)) {
        std::fprintf(stderr, "calibmod-cli: %s\n", ToolEscape(error).c_str());
        return kUsage;
    }

    void *lock = lockDirectory(calibDir, kLockWaitMs, &error);
    if (lock == nullptr) {
        std::fprintf(stderr, "calibmod-cli: %s\n", ToolEscape(error).c_str());
        return kUsage;
    }
    DirReport report;
    if (!scanDirectory(calibDir, sourceDir, &report, &error)) {
        unlockDirectory(lock);
        std::fprintf(stderr, "calibmod-cli: %s\n", ToolEscape(error).c_str());
        return kUsage;
    }
    RepairResult fixed;
    DirReport after;
    if (repair) {
        fixed = repairDirectory(report);
        if (!scanDirectory(calibDir, sourceDir, &after, &error)) {
            unlockDirectory(lock);
            std::fprintf(stderr, "calibmod-cli: %s\n", ToolEscape(error).c_str());
            return kUsage;
        }
    }
    unlockDirectory(lock);
    const DirReport &final = repair ? after : report;

    if (json) {
        Json j;
        if (!repair) {
            jsonReport(j, report);
            jsonEndObject(j);
        } else {
            jsonBeginObject(j);
            jsonKey(j, "before");
            jsonReport(j, report);
            jsonEndObject(j);
            jsonKey(j, "repair");
            jsonBeginObject(j);
            jsonStrings(j, "removed", fixed.removed);
            jsonStrings(j, "rewritten", fixed.rewritten);
            jsonStrings(j, "left", fixed.left);
            jsonFlag(j, "failed", fixed.failed);
            jsonEndObject(j);
            jsonKey(j, "after");
            jsonReport(j, after);
            jsonEndObject(j);
            jsonFlag(j, "healthy", after.problems == 0);
            jsonEndObject(j);
        }
        std::fputs(j.out.c_str(), stdout);
    } else {
        printText(report);
        if (repair) {
            for (const std::string &f : fixed.rewritten) {
                printEscaped("repair: rewrote %s\n", f.c_str());
            }
            for (const std::string &f : fixed.removed) {
                printEscaped("repair: removed %s\n", f.c_str());
            }
            for (const std::string &f : fixed.left) {
                printEscaped("repair: %s\n", f.c_str());
            }
            if (fixed.removed.empty() && fixed.rewritten.empty()) {
                printEscaped("repair: nothing to remove\n");
            }
            printEscaped("after repair: ");
            if (after.problems == 0) {
                printEscaped("healthy; the next calls rebuild what was removed\n");
            } else {
                printEscaped("%d problem%s left\n", after.problems, after.problems == 1 ? "" : "s");
            }
        }
    }
    return final.problems == 0 ? kOk : kFailed;
}

} // namespace cli
