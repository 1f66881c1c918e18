// calibmod-cli inspect: what a calibration data file holds, as the module
// reads it, and how a calibrated copy differs from its source.
#include <cstdio>
#include <set>

#include "cli.h"
#include "kzfile.h"

namespace cli {

namespace {

const char kHelp[] =
    "Usage: calibmod-cli inspect FILE [--curves] [--against SOURCE]\n"
    "\n"
    "Prints the header, the identification string, both table directories, each\n"
    "KZDB table's layout, record count and the KZHT tables it names, and each KZHT\n"
    "table's form (plain or tagged), planes and slots.\n"
    "\n"
    "  --curves          also print each curve's telling row (entries 0, 1, 2, 16,\n"
    "                    32, 64, 96, 128, 160, 192, 224, 254, 255)\n"
    "  --against SOURCE  FILE is a calibrated copy of SOURCE: mark each curve as\n"
    "                    replaced or unchanged, show the telling rows of both, and\n"
    "                    count the bytes that differ outside the curves\n"
    "  -h, --help        this text\n"
    "\n"
    "Exit status: 0; 1 when FILE is damaged where the module reads it (or differs\n"
    "from SOURCE outside the curves); 2 for a bad command line or unreadable file.\n";

const int kDatabaseNumbers[30] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  12,  13,  14,
                                  15, 16, 17, 18, 20, 21, 22, 24, 25, 26, 27, 100, 101, 102, 128};
const int kTellingRows[13] = {0, 1, 2, 16, 32, 64, 96, 128, 160, 192, 224, 254, 255};

std::string row(const kzfile::Curve &c) {
    std::string out;
    for (int k : kTellingRows) out += (out.empty() ? "" : " ") + std::to_string(c[k]);
    return out;
}

void printDirectory(const char *name, const kzfile::DirectoryInfo &d, bool *damaged) {
    std::printf("%s directory at %u: ", name, d.position);
    if (d.count < 0 || !d.entriesOk) {
        std::printf("%d entries, damaged (entries beyond the end of the file)\n", d.count);
        *damaged = true;
        return;
    }
    std::printf("%d entries\n", d.count);
}

struct Compare {
    const kzfile::Bytes *source = nullptr; // null: no comparison
    std::vector<std::pair<uint32_t, uint32_t>> curves; // byte ranges of every curve seen
    int replaced = 0, unchanged = 0;
};

void printCurves(const kzfile::Bytes &file, const kzfile::KzhtInfo &h, bool curves, Compare *cmp) {
    const char *what = h.tagged ? "slot" : "curve";
    std::string replaced, unchanged;
    for (const kzfile::CurveInfo &c : h.curves) {
        cmp->curves.push_back({c.offset, c.offset + kzfile::kCurveBytes});
        kzfile::Curve now = kzfile::curveAt(file, c.offset);
        if (!cmp->source) {
            if (curves) std::printf("    %s %d: %s\n", what, c.slot, row(now).c_str());
            continue;
        }
        kzfile::Curve was = kzfile::curveAt(*cmp->source, c.offset);
        bool same = was == now;
        (same ? cmp->unchanged : cmp->replaced) += 1;
        (same ? unchanged : replaced) += " " + std::to_string(c.slot);
        if (!same) {
            std::printf("    %s %d replaced\n      source: %s\n      copy:   %s\n", what, c.slot, row(was).c_str(),
                        row(now).c_str());
        } else if (curves) {
            std::printf("    %s %d unchanged: %s\n", what, c.slot, row(now).c_str());
        }
    }
    if (cmp->source && !curves && !unchanged.empty()) {
        if (replaced.empty())
            std::printf("    every curve unchanged\n");
        else
            std::printf("    %ss unchanged:%s\n", what, unchanged.c_str());
    }
}

void printKzht(const kzfile::Bytes &file, const kzfile::EntryInfo &e, bool curves, Compare *cmp, bool *damaged) {
    kzfile::KzhtInfo h = kzfile::inspectKzht(file, e);
    std::printf("  %5u  ", e.id);
    if (!e.sizeOk) {
        std::printf("damaged: size word or body beyond the end of the file\n");
        *damaged = true;
        return;
    }
    if (!h.wellFormed) {
        std::printf("%s, %d bytes, malformed: the module's update fails on it\n", h.tagged ? "tagged" : "plain",
                    e.bodySize);
        *damaged = true;
        return;
    }
    if (h.tagged) {
        std::printf("tagged, %d bytes, %d items, %d planes, slots", e.bodySize, h.itemCount, h.planeCount);
        for (const kzfile::CurveInfo &c : h.curves) std::printf(" %d", c.slot);
    } else {
        std::printf("plain, %d bytes, %zu curves (curve i takes slot i)", e.bodySize, h.curves.size());
    }
    std::printf("\n");
    printCurves(file, h, curves, cmp);
}

} // namespace

int cmdInspect(const std::vector<std::string> &args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    std::string path, against;
    bool curves = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string error;
        if (args[i] == "--curves") {
            curves = true;
        } else if (args[i] == "--against") {
            if (!optionValue(args, &i, &against, &error)) return usageError("inspect", error);
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usageError("inspect", "unknown option '" + args[i] + "'");
        } else if (path.empty()) {
            path = args[i];
        } else {
            return usageError("inspect", "more than one FILE given");
        }
    }
    if (path.empty()) return usageError("inspect", "no FILE given");

    kzfile::Bytes file, source;
    std::string error;
    if (!kzfile::readFile(path, &file, &error)) return usageError("inspect", error);
    if (!against.empty() && !kzfile::readFile(against, &source, &error)) return usageError("inspect", error);
    kzfile::FileInfo info;
    if (!kzfile::inspect(file, &info, &error)) {
        std::printf("%s: not a calibration data file: %s\n", path.c_str(), error.c_str());
        return kFailed;
    }

    bool damaged = false;
    std::printf("file: %s (%zu bytes)\n", path.c_str(), file.size());
    std::printf("header: identification block at %u, KZDB directory at %u, KZHT directory at %u%s\n",
                info.identPosition, info.kzdbDirPosition, info.kzhtDirPosition,
                info.kzdbDirPosition == info.kzhtDirPosition ? " (one shared directory)" : "");
    if (info.identOk)
        std::printf("identification: \"%s\" (%zu bytes)\n", info.ident.c_str(), info.ident.size());
    else
        std::printf("identification: unreadable (a copy of this file is never current)\n");
    printDirectory("KZDB", info.kzdbDir, &damaged);
    if (info.kzdbDirPosition != info.kzhtDirPosition) printDirectory("KZHT", info.kzhtDir, &damaged);

    std::printf("KZDB tables (the 30 table databases the module reads):\n");
    std::vector<int32_t> named;
    std::set<int32_t> seen;
    int missing = 0;
    for (int n : kDatabaseNumbers) {
        uint16_t id = static_cast<uint16_t>(1000 + n);
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzdb, id);
        if (!e) {
            ++missing;
            continue;
        }
        kzfile::KzdbInfo k = kzfile::inspectKzdb(file, *e);
        if (!k.recordsOk) {
            std::printf("  %5u  layout %d, %d records: unreadable, skipped by the module\n", id, k.layout, k.count);
            continue;
        }
        std::printf("  %5u  layout %d, %d records, KZHT", id, k.layout, k.count);
        for (int32_t t : k.kzhtIds) {
            std::printf(" %d", t);
            if (seen.insert(t).second) named.push_back(t);
        }
        std::printf("\n");
    }
    if (missing > 0) std::printf("  (%d of the 30 are not in the file)\n", missing);

    Compare cmp;
    cmp.source = against.empty() ? nullptr : &source;
    std::printf("KZHT tables named by the KZDB tables, in the order the module updates them:\n");
    for (int32_t t : named) {
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzht, static_cast<uint16_t>(t & 0xFFFF));
        if (!e) {
            std::printf("  %5d  not in the KZHT directory: the module's update fails on it\n", t);
            damaged = true;
            continue;
        }
        printKzht(file, *e, curves, &cmp, &damaged);
    }
    std::vector<const kzfile::EntryInfo *> others;
    for (const kzfile::EntryInfo &e : info.kzhtDir.entries)
        if (e.tag == kzfile::kTagKzht && !seen.count(e.id) && kzfile::findTable(info, e.tag, e.id) == &e)
            others.push_back(&e);
    if (!others.empty()) {
        std::printf("KZHT tables no KZDB table names (never updated):\n");
        for (const kzfile::EntryInfo *e : others) printKzht(file, *e, curves, &cmp, &damaged);
    }

    int status = damaged ? kFailed : kOk;
    if (cmp.source) {
        size_t outside = 0;
        if (source.size() != file.size()) {
            std::printf("against %s: sizes differ (%zu and %zu bytes)\n", against.c_str(), source.size(), file.size());
            return kFailed;
        }
        for (size_t b = 0; b < file.size(); ++b) {
            if (file[b] == source[b]) continue;
            bool inCurve = false;
            for (const auto &r : cmp.curves) inCurve = inCurve || (b >= r.first && b < r.second);
            outside += inCurve ? 0 : 1;
        }
        std::printf("against %s: %d curves replaced, %d unchanged, %zu bytes differ outside the curves\n",
                    against.c_str(), cmp.replaced, cmp.unchanged, outside);
        if (outside > 0) status = kFailed;
    }
    return status;
}

} // namespace cli
