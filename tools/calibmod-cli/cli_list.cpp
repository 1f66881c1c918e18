// calibmod-cli list: the entries of a calibration list file, read the way
// the module reads it, and which copies exist and are current.
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "cli.h"

namespace cli {

namespace {

const char kHelp[] =
    "Usage: calibmod-cli list DIR PREFIX NUMBER [--source-dir SRCDIR]\n"
    "\n"
    "Prints the entries of the list file PREFIX + NUMBER (at least three digits) +\n"
    ".ini in DIR the way KZCalibration reads them (the first 128 lines; one\n"
    "malformed line makes the whole list unusable), and whether each copy exists.\n"
    "\n"
    "  --source-dir SRCDIR  also tell whether each copy is current: its source is\n"
    "                       the file of SRCDIR whose name matches the copy's in every\n"
    "                       place but the one before the last '.' (letter case\n"
    "                       aside), and a copy is current when it carries the\n"
    "                       source's identification string\n"
    "  -h, --help           this text\n"
    "\n"
    "Exit status: 0; 1 when the module would find the list unusable; 2 for a bad\n"
    "command line.\n";

const size_t kLinesRead = 128;

struct Line {
    std::string text;
    bool ended; // followed by CR, LF or a zero byte
};

std::vector<Line> splitLines(const std::string &text) {
    std::vector<Line> lines;
    std::string current;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == 0) {
            if (!current.empty()) lines.push_back({current, true});
            current.clear();
            if (c == 0) return lines; // a zero byte ends the text
        } else {
            current += c;
        }
    }
    if (!current.empty()) lines.push_back({current, false});
    return lines;
}

std::string trim(const std::string &s) {
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// A number field: digits (wrapping in 32 bits), '-' anywhere makes -1.
bool parseField(const std::string &f, int32_t *value) {
    uint32_t v = 0;
    for (char c : f) {
        if (c == '-') {
            *value = -1;
            return true;
        }
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    *value = static_cast<int32_t>(v);
    return true;
}

struct Entry {
    int32_t key[4];
    std::string name;
    std::string problem; // empty when the line parses
};

Entry parseLine(const std::string &line) {
    Entry e{{0, 0, 0, 0}, "", ""};
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c != ',') {
            fields.back() += c;
        } else if (fields.size() == 5) {
            e.problem = "more than five fields";
            return e;
        } else {
            fields.emplace_back();
        }
    }
    if (fields.size() != 5) {
        e.problem = std::to_string(fields.size()) + " fields instead of five";
        return e;
    }
    for (int i = 0; i < 4; ++i)
        if (!parseField(trim(fields[i]), &e.key[i])) {
            e.problem = "field " + std::to_string(i + 1) + " is not a number";
            return e;
        }
    e.name = trim(fields[4]);
    if (e.name.empty() || e.name.size() > 15 || e.name == "." || e.name == ".." ||
        e.name.find_first_of("/\\:") != std::string::npos)
        e.problem = "the name does not name a file of the directory";
    return e;
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The files of srcDir that a copy of this name may have been made from.
std::vector<std::string> sourcesOf(const std::string &srcDir, const std::string &copy) {
    std::vector<std::string> found;
    DIR *d = opendir(srcDir.c_str());
    if (d == nullptr) return found;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        size_t dot = name.rfind('.');
        if (name.size() != copy.size() || dot == std::string::npos || dot == 0) continue;
        bool match = true;
        for (size_t i = 0; i < name.size() && match; ++i) match = i == dot - 1 || upper(name[i]) == upper(copy[i]);
        if (match) found.push_back(name);
    }
    closedir(d);
    return found;
}

bool isFile(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string copyStatus(const std::string &dir, const std::string &name, const std::string &srcDir) {
    if (!isFile(dir + "/" + name)) return "missing (the next call makes it again)";
    if (srcDir.empty()) return "present";
    std::vector<std::string> sources = sourcesOf(srcDir, name);
    if (sources.empty()) return "present, no source found in " + srcDir;
    if (sources.size() > 1) return "present, several possible sources in " + srcDir;
    std::string a, b;
    if (!readIdent(srcDir + "/" + sources[0], &a))
        return "present, stale: the identification string of " + sources[0] + " cannot be read";
    if (!readIdent(dir + "/" + name, &b)) return "present, stale: its identification string cannot be read";
    return "present, " + std::string(a == b ? "current" : "stale") + " (source " + sources[0] + ")";
}

} // namespace

int cmdList(const std::vector<std::string> &args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    std::vector<std::string> positional;
    std::string srcDir;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string error;
        if (args[i] == "--source-dir") {
            if (!optionValue(args, &i, &srcDir, &error)) return usageError("list", error);
        } else if (args[i].size() > 1 && args[i][0] == '-' && !(args[i][1] >= '0' && args[i][1] <= '9')) {
            return usageError("list", "unknown option '" + args[i] + "'");
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3) return usageError("list", "expected DIR PREFIX NUMBER");
    const std::string &dir = positional[0];
    const std::string &prefix = positional[1];
    int64_t number = 0;
    if (prefix.size() != 5) return usageError("list", "PREFIX must have five characters");
    if (!parseNumber(positional[2], -32768, 32767, &number))
        return usageError("list", "NUMBER must be a 16-bit number, not '" + positional[2] + "'");
    std::string digits = std::to_string(static_cast<uint32_t>(static_cast<int32_t>(number)));
    while (digits.size() < 3) digits = "0" + digits;
    std::string path = dir + "/" + prefix + digits + ".ini";

    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::printf("%s: no list file (the next call for this list starts a new one)\n", path.c_str());
        return kOk;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<Line> lines = splitLines(text.str());
    std::printf("%s: %zu bytes, %zu line%s\n", path.c_str(), text.str().size(), lines.size(),
                lines.size() == 1 ? "" : "s");
    if (lines.empty()) {
        std::printf("  no entries (an empty file counts as no list)\n");
        return kOk;
    }
    std::printf("  %4s  %6s  %11s  %11s  %11s  %-15s  %s\n", "line", "list", "param1", "param2", "param3", "copy",
                "status");
    bool unusable = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i >= kLinesRead) {
            std::printf("  %4zu  (and %zu more lines the module never reads)\n", i + 1, lines.size() - i);
            break;
        }
        if (!lines[i].ended) {
            std::printf("  %4zu  %s: no line end, not read (an appended line would run into it)\n", i + 1,
                        lines[i].text.c_str());
            break;
        }
        Entry e = parseLine(lines[i].text);
        if (!e.problem.empty()) {
            std::printf("  %4zu  malformed (%s): %s\n", i + 1, e.problem.c_str(), lines[i].text.c_str());
            unusable = true;
            continue;
        }
        std::printf("  %4zu  %6d  %11d  %11d  %11d  %-15s  %s\n", i + 1, static_cast<int16_t>(e.key[0]), e.key[1],
                    e.key[2], e.key[3], e.name.c_str(), copyStatus(dir, e.name, srcDir).c_str());
    }
    if (unusable) {
        std::printf("the module finds this list unusable: the next new copy starts a new list holding only its "
                    "line\n");
        return kFailed;
    }
    return kOk;
}

} // namespace cli
