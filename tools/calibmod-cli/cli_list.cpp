// calibmod-cli list: the entries of a calibration list file, read the way
// the module reads it, and which copies exist and are current.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "args.h"
#include "cli.h"
#include "copy_view.h"
#include "json_out.h"
#include "list_view.h"
#include "tool_io.h"
#include "tool_text.h"

namespace cli {

namespace {

const char kHelp[] = "Usage: calibmod-cli list DIR PREFIX NUMBER [--source-dir SRCDIR] [--json]\n"
                     "\n"
                     "Prints the entries of the list file PREFIX + NUMBER (at least three digits) +\n"
                     ".ini in DIR the way KZCalibration reads them (the first 128 lines; one\n"
                     "malformed line makes the whole list unusable), and whether each copy exists.\n"
                     "\n"
                     "  PREFIX               exactly 5 characters (listPrefix)\n"
                     "  NUMBER               the list number, -32768..32767; write a negative one\n"
                     "                       after '--' (list DIR calib -- -1)\n"
                     "  --source-dir SRCDIR  also tell whether each copy is current: its source is\n"
                     "                       the file of SRCDIR whose name matches the copy's in every\n"
                     "                       place but the one before the last '.' (letter case\n"
                     "                       aside), and a copy is current when it carries the\n"
                     "                       source's identification string\n"
                     "  --json               the same as JSON (docs/json.md)\n"
                     "  -h, --help           this text\n"
                     "      --version        the version of the tools\n"
                     "\n"
                     "Example:\n"
                     "  calibmod-cli list /tmp/calib calib 1 --source-dir samples\n"
                     "\n"
                     "Exit status: 0; 1 when the module would find the list unusable; 2 for a bad\n"
                     "command line or a list file that exists but cannot be read.\n";

const ArgDef kOptions[] = {
    {"--source-dir", nullptr, ARG_VALUE},
    {"--json", nullptr, ARG_FLAG},
};

// The copy's state in words, and its short name for JSON.
std::string copyStatus(const std::string &dir, const std::string &name, const std::string &srcDir, std::string *code)
{
    CopyJudgement j = judgeCopy(dir, name, srcDir);
    if (j.verdict == COPY_MISSING) {
        *code = "missing";
        return "missing (the next call makes it again)";
    }
    if (j.verdict == COPY_NOT_REGULAR || j.verdict == COPY_UNREADABLE) {
        *code = verdictName(j.verdict);
        return j.detail;
    }
    if (srcDir.empty()) {
        *code = "present";
        return "present";
    }
    if (j.verdict == COPY_NO_SOURCE) {
        *code = "no_source";
        return "present, no source found in " + srcDir;
    }
    if (j.verdict == COPY_STALE || j.verdict == COPY_SOURCE_UNREADABLE) {
        *code = "stale";
        return "present, " + j.detail;
    }
    *code = "current";
    return "present, current (source " + j.source + ")" +
           (j.verdict == COPY_UNCALIBRATED ? ", but never calibrated: identical to its source" : "");
}

} // namespace

int cmdList(const std::vector<std::string> &args)
{
    ParsedArgs p;
    std::string error;
    if (!ArgsParse(args, kOptions, sizeof kOptions / sizeof kOptions[0], &p, &error)) {
        return usageError("list", error);
    }
    if (p.help) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (p.version) {
        return ArgsPrintVersion("calibmod-cli");
    }
    std::string srcDir;
    ArgsLast(p, "--source-dir", &srcDir);
    const bool json = ArgsHas(p, "--json");
    if (p.positionals.size() != 3) {
        return usageError("list", "expected DIR PREFIX NUMBER");
    }
    const std::string &dir = p.positionals[0];
    const std::string &prefix = p.positionals[1];
    int64_t number = 0;
    if (prefix.size() != 5) {
        return usageError("list", "PREFIX: '" + prefix + "' has " + std::to_string(prefix.size()) +
                                      " characters; the list prefix has exactly 5");
    }
    if (!parseNumber(p.positionals[2], -32768, 32767, &number)) {
        return usageError("list", "NUMBER must be a 16-bit number, not '" + p.positionals[2] + "'");
    }
    const std::string file = listFileName(prefix, static_cast<int16_t>(number));
    const std::string path = dir + "/" + file;

    struct stat st;
    int err = stat(dir.c_str(), &st) != 0 ? errno : (S_ISDIR(st.st_mode) ? 0 : ENOTDIR);
    if (err != 0) {
        std::fprintf(stderr, "calibmod-cli: cannot open the directory %s: %s\n", ToolEscape(dir).c_str(),
                     err == ENOENT ? "it does not exist" : ToolErrnoText(err).c_str());
        return kUsage;
    }
    std::string bytes, readError;
    int found = readListFile(dir, file, &bytes, &readError);
    bool exists = found > 0;
    if (found < 0) {
        std::fprintf(stderr, "calibmod-cli: cannot read %s: %s (every call for this list answers CAL_ERR_FILE)\n",
                     ToolEscape(path).c_str(), readError.c_str());
        return kUsage;
    }
    ListText list = readListText(bytes);

    Json j;
    if (json) {
        jsonBeginObject(j);
        jsonField(j, "list_file", path);
        jsonFlag(j, "exists", exists);
        jsonField(j, "bytes", static_cast<int64_t>(bytes.size()));
        jsonField(j, "lines", static_cast<int64_t>(list.lines.size()));
        jsonFlag(j, "usable", list.usable);
        jsonKey(j, "entries");
        jsonBeginArray(j);
    } else if (!exists) {
        printEscaped("%s: no list file (the next call for this list starts a new one)\n", path.c_str());
    } else {
        printEscaped("%s: %zu bytes, %zu line%s\n", path.c_str(), bytes.size(), list.lines.size(),
                     list.lines.size() == 1 ? "" : "s");
        if (list.lines.empty()) {
            printEscaped("  no entries (an empty file counts as no list)\n");
        } else {
            printEscaped("  %4s  %6s  %11s  %11s  %11s  %-15s  %s\n", "line", "list", "param1", "param2", "param3",
                         "copy", "status");
        }
    }
    for (const ListLine &l : list.lines) {
        if (!l.read || !l.wellFormed) {
            continue;
        }
        std::string code, status = copyStatus(dir, l.name, srcDir, &code);
        if (!json) {
            printEscaped("  %4zu  %6d  %11d  %11d  %11d  %-15s  %s\n", l.number, l.listNumber, l.param1, l.param2,
                         l.param3, l.name.c_str(), status.c_str());
            continue;
        }
        jsonBeginObject(j);
        jsonField(j, "line", static_cast<int64_t>(l.number));
        jsonField(j, "list_number", static_cast<int64_t>(l.listNumber));
        jsonField(j, "param1", static_cast<int64_t>(l.param1));
        jsonField(j, "param2", static_cast<int64_t>(l.param2));
        jsonField(j, "param3", static_cast<int64_t>(l.param3));
        jsonField(j, "name", l.name);
        jsonField(j, "copy", code);
        jsonField(j, "status", status);
        jsonEndObject(j);
    }
    if (json) {
        jsonEndArray(j);
        jsonKey(j, "problems");
        jsonBeginArray(j);
    }
    for (const ListLine &l : list.lines) {
        if (l.read && l.wellFormed) {
            continue;
        }
        if (json) {
            jsonBeginObject(j);
            jsonField(j, "line", static_cast<int64_t>(l.number));
            jsonField(j, "kind", l.read ? "malformed" : "unread");
            jsonField(j, "reason", l.read ? l.problem : l.unread);
            jsonField(j, "text", l.text);
            jsonEndObject(j);
        } else if (l.read) {
            printEscaped("  %4zu  malformed (%s): %s\n", l.number, l.problem.c_str(), l.text.c_str());
        } else {
            printEscaped("  %4zu  not read (%s): %s\n", l.number, l.unread.c_str(), l.text.c_str());
        }
    }
    if (json) {
        jsonEndArray(j);
        jsonEndObject(j);
        std::fputs(j.out.c_str(), stdout);
    } else if (!list.usable) {
        printEscaped("the module finds this list unusable: the next new copy starts a new list holding only its "
                     "line\n");
    }
    return list.usable ? kOk : kFailed;
}

} // namespace cli
