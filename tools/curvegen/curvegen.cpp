// curvegen: turns the readable curve source (curves.txt) into the built-in
// curve data of calibmod (builtin_curves.cpp).
//
// Each curve is given by fixed points or by a rule. Between fixed points the
// curve follows a monotone cubic (Fritsch-Carlson slopes, Hermite segments);
// the values are rounded half up and then nudged, segment by segment, so that
// every entry is above the one before while every fixed point keeps its value.
// The generator refuses a source whose curves cannot keep that shape.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "args.h"
#include "tool_io.h"
#include "tool_text.h"

namespace {

const int kEntries = 256;
const int kPlaces = 7;
const int kGivenPlaces = 4; // curve numbers 0..3 carry curves; 4..6 stay empty

typedef std::vector<int> Curve;

struct Group {
    int id = 0;
    int curve[kGivenPlaces] = {-1, -1, -1, -1}; // index into the distinct curves
};

struct Table {
    int id = 0;
    int line = 0;
    std::vector<Group> groups; // in the order of the accepted ids
};

struct Source {
    std::vector<int> ids; // the adjustment id of each curve group
    std::vector<int> levels;
    std::vector<Table> tables;
    std::vector<Curve> curves; // distinct curves, in order of first use
};

bool fail(const std::string &where, int line, const std::string &what)
{
    // Line 0 is the source as a whole (an empty one).
    std::string at = line > 0 ? where + ":" + std::to_string(line) : where;
    std::fprintf(stderr, "curvegen: %s: %s\n", ToolEscape(at).c_str(), ToolEscape(what).c_str());
    return false;
}

bool parseInt(const std::string &word, int *out)
{
    if (word.empty()) {
        return false;
    }
    char *end = nullptr;
    long v = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0' || v < -32768 || v > 32767) {
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

bool parseInts(std::istringstream &in, std::vector<int> *out)
{
    std::string w;
    while (in >> w) {
        int v;
        if (!parseInt(w, &v)) {
            return false;
        }
        out->push_back(v);
    }
    return true;
}

// Monotone cubic through (xs, ys), evaluated at every level 0..255.
std::vector<double> monotoneCubic(const std::vector<int> &xs, const std::vector<int> &ys)
{
    size_t n = xs.size();
    std::vector<double> h(n - 1), delta(n - 1), d(n, 0.0);
    for (size_t i = 0; i + 1 < n; ++i) {
        h[i] = xs[i + 1] - xs[i];
        delta[i] = (ys[i + 1] - ys[i]) / h[i];
    }
    if (n == 2) {
        d[0] = d[1] = delta[0];
    } else {
        for (size_t i = 1; i + 1 < n; ++i) {
            if (delta[i - 1] * delta[i] <= 0) {
                continue;
            }
            double w1 = 2 * h[i] + h[i - 1], w2 = h[i] + 2 * h[i - 1];
            d[i] = (w1 + w2) / (w1 / delta[i - 1] + w2 / delta[i]);
        }
        auto endSlope = [](double h0, double h1, double d0, double d1) {
            double s = ((2 * h0 + h1) * d0 - h0 * d1) / (h0 + h1);
            if ((s > 0) != (d0 > 0)) {
                return 0.0;
            }
            if ((d0 > 0) != (d1 > 0) && std::fabs(s) > 3 * std::fabs(d0)) {
                return 3 * d0;
            }
            return s;
        };
        d[0] = endSlope(h[0], h[1], delta[0], delta[1]);
        d[n - 1] = endSlope(h[n - 2], h[n - 3], delta[n - 2], delta[n - 3]);
    }
    std::vector<double> out(kEntries);
    size_t seg = 0;
    for (int k = 0; k < kEntries; ++k) {
        while (seg + 2 < n && k > xs[seg + 1]) {
            ++seg;
        }
        double t = (k - xs[seg]) / h[seg];
        double t2 = t * t, t3 = t2 * t;
        out[k] = (2 * t3 - 3 * t2 + 1) * ys[seg] + (t3 - 2 * t2 + t) * h[seg] * d[seg] +
                 (-2 * t3 + 3 * t2) * ys[seg + 1] + (t3 - t2) * h[seg] * d[seg + 1];
    }
    return out;
}

// The curve through the fixed points, rounded and strictly rising.
bool curveFromPoints(const std::vector<int> &xs, const std::vector<int> &ys, Curve *out, std::string *why)
{
    if (xs.front() != 0 || xs.back() != kEntries - 1) {
        *why = "the levels must run from 0 to 255";
        return false;
    }
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        if (ys[i + 1] - ys[i] < xs[i + 1] - xs[i]) {
            *why = "values at levels " + std::to_string(xs[i]) + " and " + std::to_string(xs[i + 1]) +
                   " leave no room for a strictly rising curve";
            return false;
        }
    }
    std::vector<double> smooth = monotoneCubic(xs, ys);
    Curve c(kEntries);
    for (int k = 0; k < kEntries; ++k) {
        c[k] = static_cast<int>(std::floor(smooth[k] + 0.5));
    }
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        int a = xs[i], b = xs[i + 1];
        c[a] = ys[i];
        c[b] = ys[i + 1];
        for (int k = a + 1; k < b; ++k) {
            if (c[k] <= c[k - 1]) {
                c[k] = c[k - 1] + 1;
            }
        }
        for (int k = b - 1; k > a; --k) {
            if (c[k] >= c[k + 1]) {
                c[k] = c[k + 1] - 1;
            }
        }
    }
    *out = c;
    return true;
}

Curve identityCurve()
{
    Curve c(kEntries);
    for (int k = 0; k < kEntries; ++k) {
        c[k] = 16 * k;
    }
    return c;
}

Curve step17Curve()
{
    Curve c(kEntries);
    for (int k = 0; k < kEntries; ++k) {
        c[k] = 16 * k - (k % 17 >= 9 ? 1 : 0);
    }
    return c;
}

int internCurve(Source *src, const Curve &c)
{
    for (size_t i = 0; i < src->curves.size(); ++i) {
        if (src->curves[i] == c) {
            return static_cast<int>(i);
        }
    }
    src->curves.push_back(c);
    return static_cast<int>(src->curves.size() - 1);
}

// "G C" or "G C-D" at the start of a curve row.
bool parseCurveHead(const std::string &g, const std::string &range, int *group, int *first, int *last)
{
    if (!parseInt(g, group)) {
        return false;
    }
    size_t dash = range.find('-');
    if (dash == std::string::npos) {
        if (!parseInt(range, first)) {
            return false;
        }
        *last = *first;
    } else if (!parseInt(range.substr(0, dash), first) || !parseInt(range.substr(dash + 1), last)) {
        return false;
    }
    return *first >= 0 && *last < kGivenPlaces && *first <= *last;
}

bool parseSource(const std::string &path, const std::string &whole, Source *src)
{
    std::istringstream in(whole);
    std::string text;
    int lineNo = 0;
    while (std::getline(in, text)) {
        ++lineNo;
        size_t hash = text.find('#');
        if (hash != std::string::npos) {
            text.erase(hash);
        }
        std::istringstream line(text);
        std::string word;
        if (!(line >> word)) {
            continue;
        }
        if (word == "ids") {
            if (!src->tables.empty()) {
                return fail(path, lineNo, "ids must come before the tables");
            }
            if (!parseInts(line, &src->ids) || src->ids.empty()) {
                return fail(path, lineNo, "bad id list");
            }
            for (size_t i = 0; i < src->ids.size(); ++i) {
                for (size_t j = 0; j < i; ++j) {
                    if (src->ids[i] == src->ids[j]) {
                        return fail(path, lineNo, "an id is listed twice");
                    }
                }
            }
        } else if (word == "at") {
            if (!parseInts(line, &src->levels) || src->levels.size() < 3) {
                return fail(path, lineNo, "at needs at least three levels");
            }
            for (size_t i = 0; i + 1 < src->levels.size(); ++i) {
                if (src->levels[i] >= src->levels[i + 1]) {
                    return fail(path, lineNo, "levels must rise");
                }
            }
        } else if (word == "table") {
            if (src->ids.empty()) {
                return fail(path, lineNo, "ids must come before the first table");
            }
            std::vector<int> v;
            if (!parseInts(line, &v) || v.size() != 1) {
                return fail(path, lineNo, "table takes one id");
            }
            for (const Table &t : src->tables) {
                if (t.id == v[0]) {
                    return fail(path, lineNo, "table " + std::to_string(v[0]) + " given twice");
                }
            }
            Table t;
            t.id = v[0];
            t.line = lineNo;
            t.groups.resize(src->ids.size());
            for (size_t i = 0; i < src->ids.size(); ++i) {
                t.groups[i].id = src->ids[i];
            }
            src->tables.push_back(t);
        } else {
            if (src->tables.empty()) {
                return fail(path, lineNo, "unknown word \"" + word + "\"");
            }
            std::string range;
            int gid, first, last;
            if (!(line >> range) || !parseCurveHead(word, range, &gid, &first, &last)) {
                return fail(path, lineNo, "expected a curve row: GROUP CURVE[-CURVE] VALUES... | identity | step17");
            }
            Table &t = src->tables.back();
            Group *group = nullptr;
            for (Group &g : t.groups) {
                if (g.id == gid) {
                    group = &g;
                }
            }
            if (!group) {
                return fail(path, lineNo, "group " + std::to_string(gid) + " is not an accepted id");
            }
            std::string rest;
            std::getline(line, rest);
            std::istringstream restIn(rest);
            std::string kind;
            restIn >> kind;
            Curve c;
            if (kind == "identity") {
                c = identityCurve();
            } else if (kind == "step17") {
                c = step17Curve();
            } else {
                std::istringstream values(rest);
                std::vector<int> ys;
                if (!parseInts(values, &ys)) {
                    return fail(path, lineNo, "bad value in curve row");
                }
                if (src->levels.empty()) {
                    return fail(path, lineNo, "curve values before \"at\"");
                }
                if (ys.size() != src->levels.size()) {
                    return fail(path, lineNo, "expected " + std::to_string(src->levels.size()) + " values");
                }
                std::string why;
                if (!curveFromPoints(src->levels, ys, &c, &why)) {
                    return fail(path, lineNo, why);
                }
            }
            int index = internCurve(src, c);
            for (int n = first; n <= last; ++n) {
                if (group->curve[n] >= 0) {
                    return fail(path, lineNo, "curve " + std::to_string(n) + " of this group given twice");
                }
                group->curve[n] = index;
            }
        }
    }
    if (src->ids.empty()) {
        return fail(path, lineNo, "ids is required");
    }
    if (src->tables.empty()) {
        return fail(path, lineNo, "no tables");
    }
    for (const Table &t : src->tables) {
        for (const Group &g : t.groups) {
            for (int n = 0; n < kGivenPlaces; ++n) {
                if (g.curve[n] < 0) {
                    return fail(path, t.line,
                                "table " + std::to_string(t.id) + " group " + std::to_string(g.id) + " lacks curve " +
                                    std::to_string(n));
                }
            }
        }
    }
    return true;
}

// Every stored curve starts at 0, rises strictly and fits 16 bits.
bool checkCurves(const Source &src)
{
    for (size_t i = 0; i < src.curves.size(); ++i) {
        const Curve &c = src.curves[i];
        bool good = c[0] == 0 && c[kEntries - 1] <= 32767;
        for (int k = 1; k < kEntries && good; ++k) {
            good = c[k] > c[k - 1];
        }
        if (!good) {
            std::fprintf(stderr, "curvegen: curve %zu does not start at 0 and rise strictly\n", i);
            return false;
        }
    }
    return true;
}

void emitIntList(std::ostringstream &out, const std::vector<int> &v)
{
    for (size_t i = 0; i < v.size(); ++i) {
        out << (i ? ", " : "") << v[i];
    }
}

std::string emit(const Source &src)
{
    std::ostringstream out;
    out << "// Generated by tools/curvegen from tools/curvegen/curves.txt; do not edit.\n"
           "// "
        << src.tables.size() << " tables, " << src.ids.size() << " curve groups each, " << src.curves.size()
        << " distinct curves.\n"
           "#include \"builtin_curves.h\"\n"
           "\n"
           "namespace {\n"
           "\n"
           "const int16_t kIds["
        << src.ids.size() << "] = {";
    emitIntList(out, src.ids);
    out << "};\n";
    for (size_t i = 0; i < src.curves.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "kCurve%02zu", i);
        out << "\nconst int16_t " << name << "[BUILTIN_CURVE_ENTRIES] = {\n";
        for (int k = 0; k < kEntries; k += 16) {
            out << "   ";
            for (int j = k; j < k + 16; ++j) {
                char num[16];
                std::snprintf(num, sizeof num, " %5d%s", src.curves[i][j], j + 1 < kEntries ? "," : "");
                out << num;
            }
            out << "\n";
        }
        out << "};\n";
    }
    for (const Table &t : src.tables) {
        out << "\nconst BuiltInGroup kGroups" << t.id << "[" << t.groups.size() << "] = {\n";
        for (size_t g = 0; g < t.groups.size(); ++g) {
            out << "    {&kIds[" << g << "], {";
            for (int n = 0; n < kPlaces; ++n) {
                if (n) {
                    out << ", ";
                }
                if (n < kGivenPlaces) {
                    char name[32];
                    std::snprintf(name, sizeof name, "kCurve%02d", t.groups[g].curve[n]);
                    out << name;
                } else {
                    out << "nullptr";
                }
            }
            out << "}},\n";
        }
        out << "};\n";
    }
    out << "\nconst BuiltInTable kTables[" << src.tables.size() << "] = {\n";
    for (const Table &t : src.tables) {
        out << "    {" << t.id << ", " << t.groups.size() << ", kGroups" << t.id << "},\n";
    }
    out << "};\n"
           "\n"
           "const BuiltInTableList kTableList = {"
        << src.tables.size()
        << ", kTables};\n"
           "\n"
           "} // namespace\n"
           "\n"
           "const BuiltInTableList *builtInTables() { return &kTableList; }\n";
    return out.str();
}

void usage(FILE *to)
{
    std::fputs("curvegen - generate the built-in correction curves of calibmod\n"
               "\n"
               "Usage: curvegen SOURCE OUTPUT\n"
               "\n"
               "Reads the built-in curve source (tools/curvegen/curves.txt: request lists,\n"
               "fixed points and rule curves) and writes the C++ data file of calibmod\n"
               "(builtin_curves.cpp). SOURCE \"-\" reads standard input, OUTPUT \"-\" writes to\n"
               "standard output; OUTPUT is written under a temporary name and renamed.\n"
               "Fails, and writes nothing, when a curve cannot start at 0 and rise strictly\n"
               "through its fixed points.\n"
               "\n"
               "Options:\n"
               "  -h, --help     print this help and exit\n"
               "      --version  print the version and exit\n"
               "\n"
               "Examples:\n"
               "  curvegen tools/curvegen/curves.txt - | less\n"
               "\n"
               "Exit status:\n"
               "  0  written\n"
               "  1  the source has errors (reported on stderr), or OUTPUT cannot be written\n"
               "  2  usage error, or SOURCE cannot be read\n" ARGS_EXIT_RULE,
               to);
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    ParsedArgs p;
    std::string error;
    if (!ArgsParse(args, nullptr, 0, &p, &error)) {
        return ArgsUsageError("curvegen", error);
    }
    if (p.help) {
        usage(stdout);
        return 0;
    }
    if (p.version) {
        return ArgsPrintVersion("curvegen");
    }
    if (p.positionals.size() > 2) {
        return ArgsUsageError("curvegen", "one SOURCE and one OUTPUT are taken; '" + ToolEscape(p.positionals[2]) +
                                              "' is one argument too many");
    }
    if (p.positionals.size() < 2) {
        return ArgsUsageError("curvegen", p.positionals.empty()
                                              ? "no SOURCE and no OUTPUT given (OUTPUT \"-\" for standard output)"
                                              : "no OUTPUT given (\"-\" for standard output)");
    }
    const std::string &source = p.positionals[0], &output = p.positionals[1];
    std::string whole;
    if (!ToolReadInput(source, &whole, &error)) {
        std::fprintf(stderr, "curvegen: %s\n", ToolEscape(error).c_str());
        return ARGS_EXIT_USAGE;
    }
    Source src;
    if (!parseSource(ToolIsStdio(source) ? "<stdin>" : source, whole, &src) || !checkCurves(src)) {
        return ARGS_EXIT_FAILURE;
    }
    if (!ToolWriteOutput(output, emit(src), &error)) {
        std::fprintf(stderr, "curvegen: %s\n", ToolEscape(error).c_str());
        return ARGS_EXIT_FAILURE;
    }
    return ARGS_EXIT_OK;
}
