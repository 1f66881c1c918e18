// The key catalogue: for every key of an image, the settings that choose its
// value and its answers for representative settings, the ways through its
// tree (dbc_ways.h).
#include "dbc_catalogue.h"

#include <map>
#include <set>

#include "dbc.h"
#include "dbc_ways.h"

namespace {
std::string Cell(const std::string &s)
{
    std::string out;
    for (char c : s) {
        out += c == '|' ? std::string("\\|") : std::string(1, c);
    }
    return out;
}

// "TEXT × 11..34", "INT16_ARRAY × 1/2".
std::string KindSummary(const std::map<std::string, std::set<uint32_t>> &kinds)
{
    std::string s;
    for (const auto &[kind, counts] : kinds) {
        if (!s.empty()) {
            s += ", ";
        }
        s += kind + " × ";
        if (counts.size() > 3) {
            s += std::to_string(*counts.begin()) + ".." + std::to_string(*counts.rbegin());
            continue;
        }
        std::string c;
        for (uint32_t n : counts) {
            c += (c.empty() ? "" : "/") + std::to_string(n);
        }
        s += c;
    }
    return s.empty() ? "—" : s;
}

// The ways of `ways` each once, with the engine's answer for each (a row of
// the table: settings, result, value).
std::string AnswerRows(const ZMD_ImageView &v, uint32_t key, int shape, const DbcWays &ways,
                       std::map<std::string, std::set<uint32_t>> *kinds)
{
    std::string rows = "| Settings | Result | Value |\n|---|---|---|\n";
    std::set<std::string> seen;
    for (const DbcWay &p : ways.ways) {
        std::string settings = DbcDescribeWay(p);
        if (!seen.insert(settings).second) {
            continue;
        }
        DbcAnswer a = DbcAsk(v, key, shape, p);
        if (kinds && !a.kind.empty()) {
            (*kinds)[a.kind].insert(a.count);
        }
        rows += "| " + Cell(settings) + " | " + DbcResultName(a.result) + " | " + Cell(a.value) + " |\n";
    }
    return rows;
}

void KeySection(const ZMD_ImageView &v, uint32_t i, std::string *out)
{
    uint32_t key = v.keys[i];
    int database = DbcDatabaseOfKey(key);
    int shape = database == 6 ? 1 : database;
    *out += "### " + DbcHexKey(key) + "\n\n";
    if (v.keyNodes[i] == 0) {
        *out += "Its tree is node 0, the list of every key's top node: it answers the first value for " +
                DbcHexKey(key) + " anywhere in the image.\n\n";
        return;
    }
    DbcWays w;
    DbcAddTreeWays(v, key, v.keyNodes[i], &w);
    for (uint32_t helper : DbcHelperKeys(key)) {
        DbcAddHelperWays(v, helper, &w);
    }
    if (w.ways.empty()) {
        w.ways.push_back(DbcWay());
    }
    std::map<std::string, std::set<uint32_t>> kinds;
    std::string rows = AnswerRows(v, key, shape, w, &kinds);
    *out += "Kind × count: " + KindSummary(kinds) + ". Chosen by: " + DbcWaySettingNames(w.ways) + ".\n\n";
    *out += rows;
    if (w.truncated) {
        *out += "\n(The first " + std::to_string(kDbcMaxWays) + " ways through the tree are shown.)\n";
    }
    *out += "\n";
}

void SequenceSection(const ZMD_ImageView &v, uint32_t s, std::string *out)
{
    uint32_t key = v.seqKeys[s];
    *out += "### " + DbcHexKey(key) + " (command sequence, " + std::to_string(v.seqPartCounts[s]) + " parts)\n\n";
    DbcWays w;
    for (uint32_t m = 0; m < v.seqPartCounts[s]; ++m) {
        DbcAddTreeWays(v, 0x5008, v.seqParts[v.seqStarts[s] + m], &w);
    }
    if (w.ways.empty()) {
        w.ways.push_back(DbcWay());
    }
    *out += "Parts chosen by: " + DbcWaySettingNames(w.ways) +
            ". Each row sets what one way through one part needs; the other settings are 0.\n\n";
    *out += AnswerRows(v, key, 1, w, nullptr);
    if (w.truncated) {
        *out += "\n(The first " + std::to_string(kDbcMaxWays) + " ways through the parts are shown.)\n";
    }
    *out += "\n";
}

void ParameterSetSection(const ZMD_ImageView &v, std::string *out)
{
    *out += "### 0x101E (parameter set)\n\n192 bytes chosen by integer settings 4, 9, 5, 8, 6 and 81 from " +
            std::to_string(v.counts.selectionRows) + " selection rows; blocks A, B, C and D of each row:\n\n";
    *out += "| Row | int 4, 9, 5, 8, 6, 81 | A | B | C | D |\n|---|---|---|---|---|---|\n";
    for (uint32_t r = 0; r < v.counts.selectionRows; ++r) {
        const ZMD_SelectionRow &row = v.selectionRows[r];
        std::string sel;
        for (int k = 0; k < 6; ++k) {
            sel += (k ? ", " : "") + std::to_string(row.selector[k]);
        }
        *out += "| " + std::to_string(r) + " | " + sel + " | " + std::to_string(row.block[0]) + " | " +
                std::to_string(row.block[1]) + " | " + std::to_string(row.block[2]) + " | " +
                std::to_string(row.block[3]) + " |\n";
    }
    *out += "\n";
}

} // namespace

bool DbcWriteCatalogue(const ZMD_ImageView &view, std::string *out)
{
    std::string faults;
    if (!DbcValidateView(view, &faults)) {
        *out = "the image is malformed:\n" + faults;
        return false;
    }
    const ZMD_ImageCounts &n = view.counts;
    std::string s;
    s += "# Database keys\n\n";
    s += "Generated by `dbc catalogue` from the database sources in `src/zmd/zmdapi/depbase/db/`; do not edit.\n";
    s += "Every key of the image with the kind and element count of its values, the settings its tree tests on\n";
    s += "the way to them, and the answer of the engine for one set of settings per way through the tree\n";
    s += "(settings not named are 0 or the empty string, except the driver's paper sizes: user-defined\n";
    s += "10000 x 15000 in settings 29 and 30, alternate 21000 x 29700 in settings 25 and 26; the printer\n";
    s += "stores the named value, or nothing; the clock reads 2026-12-07 03:09:41; the country code is 1).\n";
    s += "Driver keys are asked through the driver query, so list keys answer their items, and their rows\n";
    s += "include the settings that choose their default mark and per-choice values.\n\n";
    s += "Image: " + std::to_string(n.nodes) + " nodes, " + std::to_string(n.keys) + " keys; pools: int32 " +
         std::to_string(n.int32Pool) + ", int16 " + std::to_string(n.int16Pool) + ", bytes " +
         std::to_string(n.bytePool) + ", case strings " + std::to_string(n.caseStringPool) + ".\n";
    static const char *const titles[7] = {
        "Root database", "Driver database",         "Language monitor database",          "Maintenance database",
        "PA database",   "Status monitor database", "Internal keys of the driver queries"};
    int current = -2;
    for (uint32_t i = 0; i < n.keys; ++i) {
        int db = DbcDatabaseOfKey(view.keys[i]);
        if (db != current) {
            current = db;
            s += "\n## " + std::string(db >= 0 ? titles[db] : "Keys of no database") + "\n\n";
        }
        KeySection(view, i, &s);
        if (db == 1 && (i + 1 == n.keys || DbcDatabaseOfKey(view.keys[i + 1]) != 1)) {
            s += "## Driver query tables\n\n";
            for (uint32_t q = 0; q < n.seqKeys; ++q) {
                SequenceSection(view, q, &s);
            }
            if (n.selectionRows) {
                ParameterSetSection(view, &s);
            }
        }
    }
    *out = s;
    return true;
}
