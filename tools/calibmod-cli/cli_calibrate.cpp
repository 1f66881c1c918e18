// calibmod-cli calibrate: one KZCalibration call with every argument given
// on the command line.
#include <cstdio>
#include <cstring>

#include "args.h"
#include "cli.h"
#include "request_explain.h"

namespace cli {

namespace {

const char kHelp[] = "Usage: calibmod-cli calibrate --source-dir DIR --source NAME --calib-dir DIR [options]\n"
                     "\n"
                     "Calls KZCalibration once, as the driver does, and prints the result code, the\n"
                     "state the call reached and the name of the file to use.\n"
                     "\n"
                     "  --source-dir DIR    directory of the calibration data file (sourceDir)\n"
                     "  --source NAME       the data file's name (sourceName): at most 15 characters,\n"
                     "                      a '.' after the first, none of / \\ : , CR LF\n"
                     "  --calib-dir DIR     directory of the list file and the copies (calibDir)\n"
                     "  --prefix TEXT       the list file's name begins with it (listPrefix): exactly\n"
                     "                      5 characters, none of / \\ : (default calib)\n"
                     "  --list-number N     selects the list file, -32768..32767 (default 1)\n"
                     "  --param1 N, --param2 N, --param3 N\n"
                     "                      the rest of the request key, 32-bit (default 0)\n"
                     "  --mode N            which adjustment ids are in use, -32768..32767 (default 1;\n"
                     "                      the module accepts only 1, which uses slots 0 to 3)\n"
                     "  --ids A,B,C,D[,E,F] adjustment ids of the slots, 16-bit (default 0,0,0,0,0,0;\n"
                     "                      0 leaves a slot's curves, -3 and 3 choose built-in curves,\n"
                     "                      -8 asks for no calibration at all)\n"
                     "  -h, --help          this text\n"
                     "      --version       the version of the tools\n"
                     "\n"
                     "Options may stand in any order, as --opt VALUE or --opt=VALUE. When the call\n"
                     "answers CAL_ERR_REQUEST, the tool says on stderr which part of the request\n"
                     "the module refused; when it answers CAL_ERR_FILE, it looks at the source\n"
                     "file, both directories and the list file and says what stands in the way.\n"
                     "\n"
                     "Example:\n"
                     "  calibmod-cli calibrate --source-dir samples --source Table0.dat \\\n"
                     "      --calib-dir /tmp/calib --ids -3,0,3,-3\n"
                     "\n"
                     "Exit status: 0 when the call answered CAL_OK, 1 for any other result code,\n"
                     "2 for a bad command line.\n";

const size_t kMaxSourceName = 15; // the 16-byte field keeps its terminator
const size_t kPrefixLength = 5;

struct Options {
    std::string sourceDir, source, calibDir;
    std::string prefix = "calib";
    CalibRequest request{1, 1, 0, 0, 0};
    int16_t ids[6] = {0, 0, 0, 0, 0, 0};
};

bool parseIds(const std::string &text, int16_t ids[6])
{
    std::vector<std::string> parts;
    size_t at = 0;
    for (;;) {
        size_t comma = text.find(',', at);
        parts.push_back(text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (comma == std::string::npos) {
            break;
        }
        at = comma + 1;
    }
    if (parts.size() < 1 || parts.size() > 6) {
        return false;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        int64_t v = 0;
        if (!parseNumber(parts[i], -32768, 32767, &v)) {
            return false;
        }
        ids[i] = static_cast<int16_t>(v);
    }
    for (size_t i = parts.size(); i < 6; ++i) {
        ids[i] = 0;
    }
    return true;
}

const ArgDef kOptions[] = {
    {"--source-dir", nullptr, ARG_VALUE}, {"--source", nullptr, ARG_VALUE},      {"--calib-dir", nullptr, ARG_VALUE},
    {"--prefix", nullptr, ARG_VALUE},     {"--list-number", nullptr, ARG_VALUE}, {"--mode", nullptr, ARG_VALUE},
    {"--param1", nullptr, ARG_VALUE},     {"--param2", nullptr, ARG_VALUE},      {"--param3", nullptr, ARG_VALUE},
    {"--ids", nullptr, ARG_VALUE},
};

// Why a source name cannot be a copy's pattern, or "".
std::string sourceNameProblem(const std::string &v)
{
    if (v.empty()) {
        return "--source: the name is empty";
    }
    if (v.size() > kMaxSourceName) {
        return "--source: '" + v + "' has " + std::to_string(v.size()) + " characters; the name holds at most " +
               std::to_string(kMaxSourceName);
    }
    size_t dot = v.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return "--source: '" + v +
               "' has no '.' after its first character; the copy's name varies the character "
               "before the last '.'";
    }
    if (v.find_first_of("/\\:,\r\n") != std::string::npos) {
        return "--source: '" + v + "' holds one of / \\ : , CR LF, which a copy's name cannot hold";
    }
    if (v.front() == ' ' || v.back() == ' ') {
        return "--source: '" + v + "' begins or ends with a blank";
    }
    return "";
}

// Parses the options; an empty error means success.
std::string parse(const ParsedArgs &p, Options *o)
{
    if (!p.positionals.empty()) {
        return "unexpected argument '" + p.positionals[0] + "'";
    }
    for (const ArgOption &opt : p.options) {
        const std::string &a = opt.name, &v = opt.value;
        int64_t n = 0;
        if (a == "--source-dir") {
            o->sourceDir = v;
        } else if (a == "--source") {
            std::string problem = sourceNameProblem(v);
            if (!problem.empty()) {
                return problem;
            }
            o->source = v;
        } else if (a == "--calib-dir") {
            o->calibDir = v;
        } else if (a == "--prefix") {
            if (v.size() != kPrefixLength) {
                return "--prefix: '" + v + "' has " + std::to_string(v.size()) +
                       " characters; the list prefix has exactly 5";
            }
            if (v.find_first_of(std::string("/\\:\0", 4)) != std::string::npos) {
                return "--prefix: '" + v + "' holds one of / \\ :, which a list file's name cannot hold";
            }
            o->prefix = v;
        } else if (a == "--list-number" || a == "--mode") {
            if (!parseNumber(v, -32768, 32767, &n)) {
                return a + ": '" + v + "' is not a 16-bit number";
            }
            (a == "--mode" ? o->request.mode : o->request.listNumber) = static_cast<int16_t>(n);
        } else if (a == "--param1" || a == "--param2" || a == "--param3") {
            if (!parseNumber(v, INT32_MIN, UINT32_MAX, &n)) {
                return a + ": '" + v + "' is not a 32-bit number";
            }
            int32_t value = static_cast<int32_t>(static_cast<uint32_t>(n));
            if (a == "--param1") {
                o->request.param1 = value;
            }
            if (a == "--param2") {
                o->request.param2 = value;
            }
            if (a == "--param3") {
                o->request.param3 = value;
            }
        } else if (a == "--ids") {
            if (!parseIds(v, o->ids)) {
                return "--ids: '" + v + "' is not one to six 16-bit numbers separated by commas";
            }
        }
    }
    if (o->sourceDir.empty()) {
        return "--source-dir is required";
    }
    if (o->source.empty()) {
        return "--source is required";
    }
    if (o->calibDir.empty()) {
        return "--calib-dir is required";
    }
    return "";
}

std::string listFileName(const Options &o)
{
    std::string name(o.prefix);
    std::string digits = std::to_string(static_cast<uint32_t>(static_cast<int32_t>(o.request.listNumber)));
    while (digits.size() < 3) {
        digits = "0" + digits;
    }
    return name + digits + ".ini";
}

bool usesPassThrough(const Options &o)
{
    int first = o.request.mode == 2 ? 3 : 0;
    int count = (o.request.mode == 1 || o.request.mode == 4)                          ? 4
                : o.request.mode == 2                                                 ? 1
                : (o.request.mode == 3 || o.request.mode == 5 || o.request.mode == 6) ? 6
                                                                                      : 0;
    for (int i = first; i < first + count; ++i) {
        if (o.ids[i] == -8) {
            return true;
        }
    }
    return false;
}

} // namespace

int cmdCalibrate(const std::vector<std::string> &args)
{
    ParsedArgs p;
    std::string error;
    if (!ArgsParse(args, kOptions, sizeof kOptions / sizeof kOptions[0], &p, &error)) {
        return usageError("calibrate", error);
    }
    if (p.help) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (p.version) {
        return ArgsPrintVersion("calibmod-cli");
    }
    Options o;
    error = parse(p, &o);
    if (!error.empty()) {
        return usageError("calibrate", error);
    }

    CalibNames names;
    std::memset(&names, 0, sizeof names);
    std::memcpy(names.sourceName, o.source.data(), o.source.size());
    std::memcpy(names.listPrefix, o.prefix.data(), o.prefix.size());
    std::basic_string<KZ_WCHAR> sourceDir = wideDir(o.sourceDir);
    std::basic_string<KZ_WCHAR> calibDir = wideDir(o.calibDir);

    const std::string listName = listFileName(o);
    DirSnapshot before = snapshotDir(o.calibDir, listName);
    int16_t rc = KZCalibration(&o.request, &names, o.ids, sourceDir.c_str(), calibDir.c_str());
    DirSnapshot after = snapshotDir(o.calibDir, listName);

    std::string result(names.resultName, strnlen(names.resultName, sizeof names.resultName));
    std::string source(names.sourceName, strnlen(names.sourceName, sizeof names.sourceName));
    bool inCalibDir = rc == CAL_OK && !(usesPassThrough(o) && result == source);
    printEscaped("result: %s (%d)\n", resultCodeName(rc), rc);
    printEscaped("state:  %s\n", describeState(before, after, rc, result, source, usesPassThrough(o)).c_str());
    printEscaped("use:    %s (in %s)\n", result.c_str(), inCalibDir ? o.calibDir.c_str() : o.sourceDir.c_str());
    if (inCalibDir) {
        printEscaped("list:   %s/%s\n", o.calibDir.c_str(), listName.c_str());
    }
    if (rc == CAL_ERR_REQUEST) {
        for (const std::string &why : explainRequestError(o.request, names, o.ids)) {
            std::fprintf(stderr, "calibmod-cli: CAL_ERR_REQUEST: %s\n", why.c_str());
        }
    }
    if (rc == CAL_ERR_FILE) {
        for (const std::string &why : explainFileError(o.sourceDir, o.source, o.calibDir, listName)) {
            std::fprintf(stderr, "calibmod-cli: CAL_ERR_FILE: %s\n", why.c_str());
        }
    }
    return rc == CAL_OK ? kOk : kFailed;
}

} // namespace cli
