// calibmod-cli inspect: what a calibration data file holds, as the module
// reads it, and how a calibrated copy differs from its source.
#include <cstdio>

#include "args.h"
#include "cal_types.h"
#include "cli.h"
#include "tool_io.h"
#include "inspect_report.h"
#include "json_out.h"

namespace cli {

namespace {

const char kHelp[] = "Usage: calibmod-cli inspect FILE [--curves] [--against SOURCE] [--json]\n"
                     "(FILE or SOURCE '-': standard input)\n"
                     "\n"
                     "Prints the header, the identification string, both table directories, each\n"
                     "KZDB table's layout, record count and the KZHT tables it names, and each KZHT\n"
                     "table's form (plain or tagged), planes and slots.\n"
                     "\n"
                     "  --curves          also print each curve's telling row (entries 0, 1, 2, 16,\n"
                     "                    32, 64, 96, 128, 160, 192, 224, 254, 255); with --json,\n"
                     "                    all 256 entries of every curve\n"
                     "  --against SOURCE  FILE is a calibrated copy of SOURCE: mark each curve as\n"
                     "                    replaced or unchanged, show the telling rows of both, and\n"
                     "                    count the bytes that differ outside the curves\n"
                     "  --json            the same as JSON (docs/json.md)\n"
                     "  -h, --help        this text\n"
                     "      --version     the version of the tools\n"
                     "\n"
                     "Examples:\n"
                     "  calibmod-cli inspect samples/Table0.dat\n"
                     "  calibmod-cli inspect calib/table1.dat --against samples/Table0.dat --json\n"
                     "\n"
                     "Exit status: 0; 1 when FILE is no calibration data file or is damaged where\n"
                     "the module reads it (or differs from SOURCE outside the curves); 2 for a bad\n"
                     "command line or a file that cannot be read. Errors go to stderr.\n";

const ArgDef kOptions[] = {
    {"--curves", nullptr, ARG_FLAG},
    {"--against", nullptr, ARG_VALUE},
    {"--json", nullptr, ARG_FLAG},
};

const int kTellingRows[13] = {0, 1, 2, 16, 32, 64, 96, 128, 160, 192, 224, 254, 255};

std::string row(const CurveValues &c)
{
    std::string out;
    for (int k : kTellingRows) {
        out += (out.empty() ? "" : " ") + std::to_string(c[k]);
    }
    return out;
}

void printDirectory(const char *name, const DirectoryView &d)
{
    printEscaped("%s directory at %u: ", name, d.position);
    if (d.damaged) {
        printEscaped("%d entries, damaged (entries beyond the end of the file)\n", d.count);
    } else {
        printEscaped("%d entries\n", d.count);
    }
}

void printKzht(const KzhtView &v, bool curves, bool compare)
{
    printEscaped("  %5u  ", v.id);
    if (!v.present) {
        printEscaped("not in the KZHT directory: the module's update fails on it\n");
        return;
    }
    if (!v.sizeOk) {
        printEscaped("damaged: its directory, size word or body lies beyond the end of the file%s\n",
                     v.updateFails ? "" : " (never updated)");
        return;
    }
    if (!v.wellFormed) {
        printEscaped("%s, %d bytes, malformed: %s\n", v.tagged ? "tagged" : "plain", v.bytes,
                     v.updateFails ? "the module's update fails on it" : "the module's update never reads its curves");
        return;
    }
    if (v.tagged) {
        printEscaped("tagged, %d bytes, %d items, %d planes, slots", v.bytes, v.itemCount, v.planeCount);
        for (const CurveView &c : v.curves) {
            printEscaped(" %d", c.slot);
        }
    } else {
        printEscaped("plain, %d bytes, %zu curves (curve i takes slot i)", v.bytes, v.curves.size());
    }
    printEscaped("\n");
    const char *what = v.tagged ? "slot" : "curve";
    std::string replaced, unchanged;
    for (const CurveView &c : v.curves) {
        if (!compare) {
            if (curves) {
                printEscaped("    %s %d: %s\n", what, c.slot, row(c.values).c_str());
            }
            continue;
        }
        (c.replaced ? replaced : unchanged) += " " + std::to_string(c.slot);
        if (c.replaced) {
            printEscaped("    %s %d replaced\n      source: %s\n      copy:   %s\n", what, c.slot,
                         row(c.source).c_str(), row(c.values).c_str());
        } else if (curves) {
            printEscaped("    %s %d unchanged: %s\n", what, c.slot, row(c.values).c_str());
        }
    }
    if (compare && !curves && !unchanged.empty()) {
        if (replaced.empty()) {
            printEscaped("    every curve unchanged\n");
        } else {
            printEscaped("    %ss unchanged:%s\n", what, unchanged.c_str());
        }
    }
}

void printText(const InspectReport &m, bool curves)
{
    printEscaped("file: %s (%zu bytes)\n", m.path.c_str(), m.size);
    printEscaped("header: identification block at %u, KZDB directory at %u, KZHT directory at %u%s\n", m.identPosition,
                 m.kzdbDir.position, m.kzhtDir.position, m.shared ? " (one shared directory)" : "");
    if (m.identReadable) {
        printEscaped("identification: \"%s\" (%zu bytes)\n", m.ident.c_str(), m.ident.size());
    } else {
        printEscaped("identification: unreadable (a copy of this file is never current)\n");
    }
    printDirectory("KZDB", m.kzdbDir);
    if (!m.shared) {
        printDirectory("KZHT", m.kzhtDir);
    }
    printEscaped("KZDB tables (the 30 table databases the module reads):\n");
    for (const KzdbView &k : m.kzdb) {
        if (!k.readable) {
            printEscaped("  %5u  layout %d, %d records: unreadable, skipped by the module\n", k.id, k.layout,
                         k.records);
            continue;
        }
        printEscaped("  %5u  layout %d, %d records, KZHT", k.id, k.layout, k.records);
        for (int32_t t : k.kzhtIds) {
            printEscaped(" %d", t);
        }
        printEscaped("\n");
    }
    if (!m.missingKzdb.empty()) {
        printEscaped("  (%zu of the 30 are not in the file)\n", m.missingKzdb.size());
    }
    const bool compare = !m.against.empty();
    printEscaped("KZHT tables named by the KZDB tables, in the order the module updates them:\n");
    bool othersShown = false;
    for (const KzhtView &v : m.kzht) {
        if (!v.named && !othersShown) {
            printEscaped("KZHT tables no KZDB table names (never updated):\n");
            othersShown = true;
        }
        printKzht(v, curves, compare);
    }
    if (compare && m.sizesDiffer) {
        printEscaped("against %s: sizes differ (%zu and %zu bytes)\n", m.against.c_str(), m.sourceSize, m.size);
    } else if (compare) {
        printEscaped("against %s: %d curves replaced, %d unchanged, %zu bytes differ outside the curves\n",
                     m.against.c_str(), m.replaced, m.unchanged, m.bytesOutside);
    }
}

void jsonDirectory(Json &j, const char *kind, const DirectoryView &d)
{
    jsonBeginObject(j);
    jsonField(j, "kind", kind);
    jsonField(j, "position", static_cast<int64_t>(d.position));
    jsonField(j, "count", static_cast<int64_t>(d.count));
    jsonFlag(j, "damaged", d.damaged);
    jsonEndObject(j);
}

void printJson(const InspectReport &m, bool curves)
{
    Json j;
    jsonBeginObject(j);
    jsonField(j, "file", m.path);
    jsonField(j, "size", static_cast<int64_t>(m.size));
    jsonKey(j, "header");
    jsonBeginObject(j);
    jsonField(j, "ident_position", static_cast<int64_t>(m.identPosition));
    jsonField(j, "kzdb_directory_position", static_cast<int64_t>(m.kzdbDir.position));
    jsonField(j, "kzht_directory_position", static_cast<int64_t>(m.kzhtDir.position));
    jsonFlag(j, "shared_directory", m.shared);
    jsonEndObject(j);
    jsonKey(j, "ident");
    jsonBeginObject(j);
    jsonFlag(j, "readable", m.identReadable);
    jsonField(j, "text", m.ident);
    jsonKey(j, "bytes");
    jsonBytes(j, m.ident);
    jsonEndObject(j);
    jsonKey(j, "directories");
    jsonBeginArray(j);
    jsonDirectory(j, "kzdb", m.kzdbDir);
    if (!m.shared) {
        jsonDirectory(j, "kzht", m.kzhtDir);
    }
    jsonEndArray(j);
    jsonKey(j, "kzdb_tables");
    jsonBeginArray(j);
    for (const KzdbView &k : m.kzdb) {
        jsonBeginObject(j);
        jsonField(j, "id", static_cast<int64_t>(k.id));
        jsonField(j, "layout", static_cast<int64_t>(k.layout));
        jsonField(j, "records", static_cast<int64_t>(k.records));
        jsonFlag(j, "readable", k.readable);
        jsonKey(j, "kzht_ids");
        jsonInts(j, std::vector<int64_t>(k.kzhtIds.begin(), k.kzhtIds.end()));
        jsonEndObject(j);
    }
    jsonEndArray(j);
    jsonKey(j, "missing_kzdb_tables");
    jsonInts(j, std::vector<int64_t>(m.missingKzdb.begin(), m.missingKzdb.end()));
    jsonKey(j, "kzht_tables");
    jsonBeginArray(j);
    for (const KzhtView &v : m.kzht) {
        jsonBeginObject(j);
        jsonField(j, "id", static_cast<int64_t>(v.id));
        jsonFlag(j, "named", v.named);
        jsonFlag(j, "present", v.present);
        if (v.present) {
            jsonFlag(j, "size_ok", v.sizeOk);
            jsonField(j, "form", v.tagged ? "tagged" : "plain");
            jsonField(j, "bytes", static_cast<int64_t>(v.bytes));
            jsonFlag(j, "well_formed", v.wellFormed);
            if (v.tagged) {
                jsonField(j, "item_count", static_cast<int64_t>(v.itemCount));
                jsonField(j, "plane_count", static_cast<int64_t>(v.planeCount));
            }
            jsonKey(j, "curves");
            jsonBeginArray(j);
            for (const CurveView &c : v.curves) {
                jsonBeginObject(j);
                jsonField(j, "slot", static_cast<int64_t>(c.slot));
                jsonField(j, "offset", static_cast<int64_t>(c.offset));
                if (c.compared) {
                    jsonFlag(j, "replaced", c.replaced);
                }
                if (curves) {
                    jsonKey(j, "values");
                    jsonInts(j, std::vector<int64_t>(c.values.begin(), c.values.end()));
                    if (c.compared && c.replaced) {
                        jsonKey(j, "source_values");
                        jsonInts(j, std::vector<int64_t>(c.source.begin(), c.source.end()));
                    }
                }
                jsonEndObject(j);
            }
            jsonEndArray(j);
        }
        jsonEndObject(j);
    }
    jsonEndArray(j);
    if (!m.against.empty()) {
        jsonKey(j, "against");
        jsonBeginObject(j);
        jsonField(j, "source", m.against);
        jsonField(j, "source_size", static_cast<int64_t>(m.sourceSize));
        jsonFlag(j, "sizes_differ", m.sizesDiffer);
        jsonField(j, "curves_replaced", static_cast<int64_t>(m.replaced));
        jsonField(j, "curves_unchanged", static_cast<int64_t>(m.unchanged));
        jsonField(j, "bytes_differ_outside_curves", static_cast<int64_t>(m.bytesOutside));
        jsonEndObject(j);
    }
    jsonFlag(j, "damaged", m.damaged);
    jsonEndObject(j);
    std::fputs(j.out.c_str(), stdout);
}

} // namespace

int cmdInspect(const std::vector<std::string> &args)
{
    ParsedArgs p;
    std::string error;
    if (!ArgsParse(args, kOptions, sizeof kOptions / sizeof kOptions[0], &p, &error)) {
        return usageError("inspect", error);
    }
    if (p.help) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (p.version) {
        return ArgsPrintVersion("calibmod-cli");
    }
    if (p.positionals.empty()) {
        return usageError("inspect", "no FILE given");
    }
    if (p.positionals.size() > 1) {
        return usageError("inspect", "more than one FILE given");
    }
    const std::string &path = p.positionals[0];
    std::string against;
    const bool haveAgainst = ArgsLast(p, "--against", &against);
    const bool curves = ArgsHas(p, "--curves"), json = ArgsHas(p, "--json");

    std::vector<uint8_t> file, source;
    if (ToolIsStdio(path) && haveAgainst && ToolIsStdio(against)) {
        return usageError("inspect", "FILE and SOURCE cannot both be standard input");
    }
    if (!readInput(path, &file, &error) || (haveAgainst && !readInput(against, &source, &error))) {
        std::fprintf(stderr, "calibmod-cli: %s\n", error.c_str());
        return kUsage;
    }
    DataView view = dataViewOf(file);
    if (view.rc != CAL_OK && view.rc != CAL_FAIL) {
        std::fprintf(stderr, "calibmod-cli: %s: cannot be walked: %s\n", path.c_str(), resultCodeName(view.rc));
        return kUsage;
    }
    if (!(error = notADataFile(view, file.size())).empty()) {
        std::fprintf(stderr, "calibmod-cli: %s: not a calibration data file: %s\n", path.c_str(), error.c_str());
        return kFailed;
    }
    InspectReport m = inspectReport(path, file, view, haveAgainst ? against : "", haveAgainst ? &source : nullptr);
    if (json) {
        printJson(m, curves);
    } else {
        printText(m, curves);
    }
    bool failed = m.damaged || (haveAgainst && (m.sizesDiffer || m.bytesOutside > 0));
    return failed ? kFailed : kOk;
}

} // namespace cli
