// calibmod-cli calibrate: one KZCalibration call with every argument given
// on the command line.
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace cli {

namespace {

const char kHelp[] =
    "Usage: calibmod-cli calibrate --source-dir DIR --source NAME --calib-dir DIR [options]\n"
    "\n"
    "Calls KZCalibration once, as the driver does, and prints the result code, the\n"
    "state the call reached and the name of the file to use.\n"
    "\n"
    "  --source-dir DIR    directory of the calibration data file (sourceDir)\n"
    "  --source NAME       the data file's name, at most 15 characters (sourceName)\n"
    "  --calib-dir DIR     directory of the list file and the copies (calibDir)\n"
    "  --prefix TEXT       first five characters of the list file's name (listPrefix;\n"
    "                      default calib; fewer than five are padded with zero bytes)\n"
    "  --list-number N     selects the list file, -32768..32767 (default 1)\n"
    "  --param1 N, --param2 N, --param3 N\n"
    "                      the rest of the request key, 32-bit (default 0)\n"
    "  --mode N            which adjustment ids are in use, -32768..32767 (default 1;\n"
    "                      the module accepts only 1, which uses slots 0 to 3)\n"
    "  --ids A,B,C,D[,E,F] adjustment ids of the slots, 16-bit (default 0,0,0,0,0,0;\n"
    "                      0 leaves a slot's curves, -3 and 3 choose built-in curves,\n"
    "                      -8 asks for no calibration at all)\n"
    "  -h, --help          this text\n"
    "\n"
    "Exit status: 0 when the call answered CAL_OK, 1 for any other result code,\n"
    "2 for a bad command line.\n";

struct Options {
    std::string sourceDir, source, calibDir;
    std::string prefix = "calib";
    CalibRequest request{1, 1, 0, 0, 0};
    int16_t ids[6] = {0, 0, 0, 0, 0, 0};
};

bool parseIds(const std::string &text, int16_t ids[6]) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (;;) {
        size_t comma = text.find(',', at);
        parts.push_back(text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    if (parts.size() < 1 || parts.size() > 6) return false;
    for (size_t i = 0; i < parts.size(); ++i) {
        int64_t v = 0;
        if (!parseNumber(parts[i], -32768, 32767, &v)) return false;
        ids[i] = static_cast<int16_t>(v);
    }
    for (size_t i = parts.size(); i < 6; ++i) ids[i] = 0;
    return true;
}

// Parses the options; an empty error means success.
std::string parse(const std::vector<std::string> &args, Options *o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        std::string v, error;
        if (a.empty() || a[0] != '-') return "unexpected argument '" + a + "'";
        if (!optionValue(args, &i, &v, &error)) return error;
        int64_t n = 0;
        if (a == "--source-dir") {
            o->sourceDir = v;
        } else if (a == "--source") {
            if (v.size() > 16) return "--source: '" + v + "' has " + std::to_string(v.size()) +
                                      " characters; the name field holds 16 at most";
            o->source = v;
        } else if (a == "--calib-dir") {
            o->calibDir = v;
        } else if (a == "--prefix") {
            if (v.size() > 5) return "--prefix: '" + v + "' is longer than five characters";
            o->prefix = v;
        } else if (a == "--list-number" || a == "--mode") {
            if (!parseNumber(v, -32768, 32767, &n)) return a + ": '" + v + "' is not a 16-bit number";
            (a == "--mode" ? o->request.mode : o->request.listNumber) = static_cast<int16_t>(n);
        } else if (a == "--param1" || a == "--param2" || a == "--param3") {
            if (!parseNumber(v, INT32_MIN, UINT32_MAX, &n)) return a + ": '" + v + "' is not a 32-bit number";
            int32_t value = static_cast<int32_t>(static_cast<uint32_t>(n));
            if (a == "--param1") o->request.param1 = value;
            if (a == "--param2") o->request.param2 = value;
            if (a == "--param3") o->request.param3 = value;
        } else if (a == "--ids") {
            if (!parseIds(v, o->ids)) return "--ids: '" + v + "' is not one to six 16-bit numbers separated by commas";
        } else {
            return "unknown option '" + a + "'";
        }
    }
    if (o->sourceDir.empty()) return "--source-dir is required";
    if (o->source.empty()) return "--source is required";
    if (o->calibDir.empty()) return "--calib-dir is required";
    return "";
}

std::string listFileName(const Options &o) {
    std::string name(o.prefix);
    std::string digits = std::to_string(static_cast<uint32_t>(static_cast<int32_t>(o.request.listNumber)));
    while (digits.size() < 3) digits = "0" + digits;
    return name + digits + ".ini";
}

bool usesPassThrough(const Options &o) {
    int first = o.request.mode == 2 ? 3 : 0;
    int count = (o.request.mode == 1 || o.request.mode == 4) ? 4 : o.request.mode == 2 ? 1
                : (o.request.mode == 3 || o.request.mode == 5 || o.request.mode == 6) ? 6 : 0;
    for (int i = first; i < first + count; ++i)
        if (o.ids[i] == -8) return true;
    return false;
}

} // namespace

int cmdCalibrate(const std::vector<std::string> &args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    Options o;
    std::string error = parse(args, &o);
    if (!error.empty()) return usageError("calibrate", error);

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
    std::printf("result: %s (%d)\n", resultCodeName(rc), rc);
    std::printf("state:  %s\n", describeState(before, after, rc, result, source, usesPassThrough(o)).c_str());
    std::printf("use:    %s (in %s)\n", result.c_str(), inCalibDir ? o.calibDir.c_str() : o.sourceDir.c_str());
    if (inCalibDir) std::printf("list:   %s/%s\n", o.calibDir.c_str(), listName.c_str());
    return rc == CAL_OK ? kOk : kFailed;
}

} // namespace cli
