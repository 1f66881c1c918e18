// calibmod-cli plot: the correction curves of a calibration data file (or
// the module's built-in curves) as an SVG line chart or as CSV.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cal_types.h"
#include "args.h"
#include "cli.h"
#include "tool_io.h"
#include "curve_set.h"
#include "svg_plot.h"

namespace cli {

namespace {

const char kHelp[] = "Usage: calibmod-cli plot FILE [--against SOURCE] [--table ID] -o OUT.svg\n"
                     "       calibmod-cli plot FILE [--against SOURCE] [--table ID] --csv [-o OUT.csv]\n"
                     "       calibmod-cli plot --builtin [--table ID] (-o OUT.svg | --csv [-o OUT.csv])\n"
                     "\n"
                     "Draws every curve of every well-formed KZHT table of FILE ('-': standard\n"
                     "input): one panel per table, input level 0..255 across, output 0..4095 up,\n"
                     "one colour per curve, axes, grid and a legend naming the table, the slot and\n"
                     "the adjustment id (the built-in group the curve equals, or \"own curve\").\n"
                     "\n"
                     "  --against SOURCE  FILE is a calibrated copy of SOURCE: each source curve is\n"
                     "                    drawn dashed under the copy's\n"
                     "  --table ID        only the KZHT table ID\n"
                     "  --builtin         the module's built-in curves instead of a file: every\n"
                     "                    table, both adjustment groups, curve numbers 0 to 3\n"
                     "  --csv             write CSV instead: a header, then one line per curve\n"
                     "                    (table,slot,adjust_id,role,e0..e255; role is copy, source\n"
                     "                    or builtin; adjust_id is none for an own curve)\n"
                     "  -o, --output OUT  the file to write (required for SVG; CSV goes to stdout\n"
                     "                    without it); '-' is standard output\n"
                     "  -h, --help        this text\n"
                     "      --version     the version of the tools\n"
                     "\n"
                     "Examples:\n"
                     "  calibmod-cli plot calib/table1.dat --against samples/Table0.dat -o before-after.svg\n"
                     "  calibmod-cli plot --builtin -o builtin-curves.svg\n"
                     "  calibmod-cli plot samples/Table0.dat --table 1201 --csv\n"
                     "\n"
                     "Exit status: 0 when the picture was written; 1 when FILE holds no curve to\n"
                     "draw or OUT cannot be written; 2 for a bad command line or an unreadable\n"
                     "FILE or SOURCE.\n";

const ArgDef kOptions[] = {
    {"--against", nullptr, ARG_VALUE}, {"--table", nullptr, ARG_VALUE},  {"--output", "-o", ARG_VALUE},
    {"--csv", nullptr, ARG_FLAG},      {"--builtin", nullptr, ARG_FLAG},
};

} // namespace

int cmdPlot(const std::vector<std::string> &args)
{
    ParsedArgs p;
    std::string error;
    if (!ArgsParse(args, kOptions, sizeof kOptions / sizeof kOptions[0], &p, &error)) {
        return usageError("plot", error);
    }
    if (p.help) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (p.version) {
        return ArgsPrintVersion("calibmod-cli");
    }
    const bool builtin = ArgsHas(p, "--builtin"), csv = ArgsHas(p, "--csv");
    std::string out, against, tableText;
    ArgsLast(p, "--output", &out);
    bool haveAgainst = ArgsLast(p, "--against", &against);
    bool haveTable = ArgsLast(p, "--table", &tableText);
    if (builtin && !p.positionals.empty()) {
        return usageError("plot", "--builtin takes no FILE");
    }
    if (builtin && haveAgainst) {
        return usageError("plot", "--builtin takes no --against");
    }
    if (!builtin && p.positionals.empty()) {
        return usageError("plot", "no FILE given");
    }
    if (p.positionals.size() > 1) {
        return usageError("plot", "more than one FILE given");
    }
    if (!csv && out.empty()) {
        return usageError("plot", "no output file given (-o OUT.svg)");
    }
    int64_t table = 0;
    if (haveTable && !parseNumber(tableText, 0, 65535, &table)) {
        return usageError("plot", "--table: '" + tableText + "' is not a table id from 0 to 65535");
    }

    std::vector<LabelledCurve> curves;
    std::string title;
    if (builtin) {
        curves = builtInCurves();
        title = "Built-in correction curves of calibmod (every table, adjustment ids -3 and 3)";
    } else {
        const std::string &path = p.positionals[0];
        std::vector<uint8_t> file, source;
        if (ToolIsStdio(path) && haveAgainst && ToolIsStdio(against)) {
            return usageError("plot", "FILE and SOURCE cannot both be standard input");
        }
        if (!readInput(path, &file, &error) || (haveAgainst && !readInput(against, &source, &error))) {
            std::fprintf(stderr, "calibmod-cli: %s\n", error.c_str());
            return kUsage;
        }
        DataView view = dataViewOf(file);
        if (view.rc == CAL_FAIL) {
            std::fprintf(stderr, "calibmod-cli: %s: not a calibration data file: too short for a header (%zu bytes)\n",
                         path.c_str(), file.size());
            return kFailed;
        }
        DataView sourceView;
        if (haveAgainst) {
            sourceView = dataViewOf(source);
        }
        curves = fileCurves(view, haveAgainst ? &sourceView : nullptr);
        title = "Correction curves of " + path + (haveAgainst ? " (dashed: " + against + ")" : "");
    }
    if (haveTable) {
        std::vector<LabelledCurve> kept;
        for (const LabelledCurve &c : curves) {
            if (c.tableId == table) {
                kept.push_back(c);
            }
        }
        curves.swap(kept);
        title += ", table " + std::to_string(table);
    }
    if (curves.empty()) {
        std::fprintf(stderr, "calibmod-cli: %s holds no KZHT curve%s to draw\n",
                     builtin ? "the built-in list" : p.positionals[0].c_str(),
                     haveTable ? (" in table " + std::to_string(table)).c_str() : "");
        return kFailed;
    }
    std::string text = csv ? plotCsv(curves, builtin ? ROLE_BUILTIN : ROLE_COPY)
                           : plotSvg(title, curves, builtin ? ROLE_BUILTIN : ROLE_COPY);
    if (!writeOutput(out.empty() ? "-" : out, text)) {
        return kFailed;
    }
    if (!out.empty() && !ToolIsStdio(out)) {
        printEscaped("wrote %s: %zu curves\n", out.c_str(), curves.size());
    }
    return kOk;
}

} // namespace cli
