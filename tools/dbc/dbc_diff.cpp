// `dbc diff`: the keys whose answers two images give differently.
#include "dbc_diff.h"

#include <algorithm>
#include <map>
#include <set>

#include "depbase.h"

namespace {

// The keys an image answers: those with trees, command sequences and query rules.
std::set<uint32_t> KeysOf(const ZMD_ImageView &v)
{
    std::set<uint32_t> keys(v.keys, v.keys + v.counts.keys);
    keys.insert(v.seqKeys, v.seqKeys + v.counts.seqKeys);
    for (uint32_t r = 0; r < v.counts.queryRules; ++r) {
        keys.insert(v.queryRules[r].key);
    }
    return keys;
}

// The selection rows of the parameter set as ways: the settings each row tests.
void AddParameterSetWays(const ZMD_ImageView &v, DbcWays *out)
{
    static const uint32_t columns[6] = {4, 9, 5, 8, 6, 81};
    for (uint32_t r = 0; r < v.counts.selectionRows; ++r) {
        if (out->ways.size() >= kDbcMaxWays) {
            out->truncated = true;
            return;
        }
        DbcWay way;
        for (int k = 0; k < 6; ++k) {
            way.push_back(DbcSetting{DBC_SET_INT, columns[k], v.selectionRows[r].selector[k], {}, false});
        }
        out->ways.push_back(way);
    }
}

// The ways of every tree of the image that shapes the key's answer: its own,
// those of the keys its query rule reads, the parts of its command sequence,
// the rows of the parameter set.
void AddKeyWays(const ZMD_ImageView &v, uint32_t key, DbcWays *out)
{
    for (uint32_t j = 0; j < v.counts.keys; ++j) {
        if (v.keys[j] == key && v.keyNodes[j] != 0) {
            DbcAddTreeWays(v, key, v.keyNodes[j], out);
        }
    }
    std::vector<uint32_t> helpers = DbcHelperKeys(key);
    for (uint32_t r = 0; r < v.counts.queryRules; ++r) {
        const ZMD_QueryRule &rule = v.queryRules[r];
        if (rule.key != key) {
            continue;
        }
        helpers.insert(helpers.end(), {rule.choiceKeys[0], rule.choiceKeys[1], rule.offeredKey, rule.defaultKey});
        if (rule.form == ZMD_QUERY_PARAMETER_SET) {
            AddParameterSetWays(v, out);
        }
    }
    for (uint32_t helper : std::set<uint32_t>(helpers.begin(), helpers.end())) {
        if (helper != 0 && helper != key) {
            DbcAddHelperWays(v, helper, out);
        }
    }
    for (uint32_t s = 0; s < v.counts.seqKeys; ++s) {
        for (uint32_t m = 0; v.seqKeys[s] == key && m < v.seqPartCounts[s]; ++m) {
            DbcAddTreeWays(v, 0x5008, v.seqParts[v.seqStarts[s] + m], out);
        }
    }
}

bool SameAnswer(const DbcAnswer &a, const DbcAnswer &b)
{
    return a.result == b.result && a.data == b.data;
}

// An answer as lines: command bytes one command a line, list items one a
// line, anything else one line.
std::vector<std::string> AnswerLines(const DbcAnswer &a)
{
    if (a.result != ZMD_OK) {
        return {DbcResultName(a.result)};
    }
    std::string text;
    if (a.form == DBC_FORM_BYTES) {
        text = DbcAnnotateCommands(a.data.data(), static_cast<uint32_t>(a.data.size()), "");
    } else if (a.form == DBC_FORM_LIST) {
        for (size_t i = 0; i + 20 <= a.data.size(); i += 20) {
            text += DbcFormatValue(DBC_FORM_LIST, a.data.data() + i, 20) + "\n";
        }
    }
    if (text.empty()) {
        return {a.value};
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; start = nl + 1, nl = text.find('\n', start)) {
        lines.push_back(text.substr(start, nl - start));
    }
    return lines;
}

// The lines of a and b that differ, "- " before and "+ " after, in order
// (the longest common subsequence stays out).
std::string LineDiff(const std::vector<std::string> &a, const std::vector<std::string> &b, const std::string &indent)
{
    size_t n = a.size(), m = b.size();
    std::vector<std::vector<uint32_t>> common(n + 1, std::vector<uint32_t>(m + 1, 0));
    for (size_t i = n; i-- > 0;) {
        for (size_t j = m; j-- > 0;) {
            common[i][j] = a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    std::string s;
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) {
            ++i, ++j;
        } else if (j == m || (i < n && common[i + 1][j] >= common[i][j + 1])) {
            s += indent + "- " + a[i++] + "\n";
        } else {
            s += indent + "+ " + b[j++] + "\n";
        }
    }
    return s;
}

// The two answers as the report shows them: old and new on a line each, or,
// for command bytes and lists of more than one line, the lines that differ.
std::string ShowAnswers(const DbcAnswer &before, const DbcAnswer &after)
{
    const std::string indent = "    ";
    std::vector<std::string> a = AnswerLines(before), b = AnswerLines(after);
    if (before.result == ZMD_OK && after.result == ZMD_OK && before.form == after.form &&
        (a.size() > 1 || b.size() > 1)) {
        std::string size = before.data.size() == after.data.size() ? std::to_string(before.data.size()) + " bytes"
                                                                   : std::to_string(before.data.size()) + " -> " +
                                                                         std::to_string(after.data.size()) + " bytes";
        return indent + size + ", lines that differ:\n" + LineDiff(a, b, indent);
    }
    auto one = [](const DbcAnswer &x) { return x.result == ZMD_OK ? x.value : DbcResultName(x.result); };
    return indent + "old: " + one(before) + "\n" + indent + "new: " + one(after) + "\n";
}

void CompareKey(const ZMD_ImageView &before, const ZMD_ImageView &after, uint32_t key, DbcKeyDiff *out)
{
    DbcWays ways[2];
    AddKeyWays(before, key, &ways[0]);
    AddKeyWays(after, key, &ways[1]);
    std::vector<DbcWay> all;
    std::set<std::string> seen;
    for (const DbcWays &w : ways) {
        out->truncated = out->truncated || w.truncated;
        for (const DbcWay &way : w.ways) {
            if (seen.insert(DbcDescribeWay(way)).second) {
                all.push_back(way);
            }
        }
    }
    if (seen.insert(DbcDescribeWay(DbcWay())).second) {
        all.push_back(DbcWay()); // every setting 0
    }
    int database = DbcDatabaseOfKey(key);
    int shape = database == 6 ? 1 : database;
    std::map<std::string, size_t> byShown; // index into out->differences
    out->ways = all.size();
    for (const DbcWay &way : all) {
        DbcAnswer a = DbcAsk(before, key, shape, way);
        DbcAnswer b = DbcAsk(after, key, shape, way);
        if (SameAnswer(a, b)) {
            continue;
        }
        ++out->differingWays;
        std::string shown = ShowAnswers(a, b);
        auto found = byShown.find(shown);
        if (found == byShown.end()) {
            byShown[shown] = out->differences.size();
            out->differences.push_back(DbcDifference{way, {}, a, b, shown});
            continue;
        }
        DbcDifference &d = out->differences[found->second];
        d.others.push_back(way);
        if (way.size() < d.way.size()) {
            std::swap(d.way, d.others.back());
        }
    }
}

std::string Plural(size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string WayText(const DbcWay &way)
{
    return way.empty() ? "default settings" : DbcDescribeWay(way);
}

// "int 28 = 11, int 52 = 5 (also int 28 = 9, int 52 = 5; and 3 other ways)"
std::string WaysText(const DbcDifference &d)
{
    const size_t kNamed = 3;
    std::string s = WayText(d.way);
    if (d.others.empty()) {
        return s;
    }
    s += " (also ";
    for (size_t i = 0; i < d.others.size() && i < kNamed; ++i) {
        s += (i ? "; " : "") + WayText(d.others[i]);
    }
    if (d.others.size() > kNamed) {
        s += "; and " + Plural(d.others.size() - kNamed, "other way", "other ways");
    }
    return s + ")";
}

std::string OtherWays(const DbcDifference &d)
{
    std::string s;
    for (const DbcWay &way : d.others) {
        s += (s.empty() ? "" : ", ") + DbcJsonString(WayText(way));
    }
    return s;
}

std::string KeyName(uint32_t key)
{
    return std::string(DbcDatabaseName(DbcDatabaseOfKey(key))) + " " + DbcHexKey(key);
}

std::string JsonWay(const DbcWay &way)
{
    static const char *const types[] = {"int", "str", "item", "country"};
    std::string s = "[";
    for (const DbcSetting &c : way) {
        s += std::string(s.size() > 1 ? ", " : "") + "{\"setting\": \"" + types[c.type] + "\"";
        if (c.type != DBC_SET_COUNTRY) {
            s += ", \"index\": " + std::to_string(c.index);
        }
        if (c.type == DBC_SET_PRINTER && c.absent) {
            s += ", \"stored\": false}";
        } else {
            s += ", \"value\": " + (c.type == DBC_SET_STR ? DbcJsonString(c.text) : std::to_string(c.value)) + "}";
        }
    }
    return s + "]";
}

std::string JsonAnswer(const DbcAnswer &a)
{
    std::string s =
        "{\"result\": " + DbcJsonString(DbcResultName(a.result)) + ", \"code\": " + std::to_string(a.result);
    if (a.result != ZMD_OK) {
        return s + "}";
    }
    s += ", \"size\": " + std::to_string(a.data.size()) + ", \"value\": " + DbcJsonString(a.value) + ", \"bytes\": [";
    for (size_t i = 0; i < a.data.size(); ++i) {
        s += (i ? ", " : "") + std::to_string(a.data[i]);
    }
    return s + "]}";
}

} // namespace

void DbcDiffImages(const ZMD_ImageView &before, const ZMD_ImageView &after, DbcDiff *out)
{
    *out = DbcDiff();
    std::set<uint32_t> keysBefore = KeysOf(before), keysAfter = KeysOf(after);
    std::set<uint32_t> keys = keysBefore;
    keys.insert(keysAfter.begin(), keysAfter.end());
    for (uint32_t key : keys) {
        DbcKeyDiff d;
        d.key = key;
        if (!keysAfter.count(key) || !keysBefore.count(key)) {
            d.change = keysAfter.count(key) ? DBC_KEY_ADDED : DBC_KEY_REMOVED;
            out->keys.push_back(d);
            continue;
        }
        ++out->compared;
        CompareKey(before, after, key, &d);
        if (d.differingWays) {
            out->keys.push_back(d);
        }
    }
}

std::string DbcDiffText(const DbcDiff &diff)
{
    if (diff.keys.empty()) {
        return "";
    }
    std::string s;
    size_t counts[3] = {0, 0, 0};
    for (const DbcKeyDiff &k : diff.keys) {
        ++counts[k.change];
        if (k.change != DBC_KEY_CHANGED) {
            s += (k.change == DBC_KEY_ADDED ? "added " : "removed ") + KeyName(k.key) + "\n";
            continue;
        }
        s += "changed " + KeyName(k.key) + ": " + std::to_string(k.differingWays) + " of " +
             Plural(k.ways, "way", "ways") + (k.differingWays == 1 ? " differs" : " differ") +
             (k.truncated ? " (more ways were not asked)" : "") + "\n";
        for (const DbcDifference &d : k.differences) {
            s += "  " + WaysText(d) + ":\n" + d.shown;
        }
    }
    s += "dbc diff: " + Plural(counts[DBC_KEY_CHANGED], "key", "keys") + " changed, " +
         std::to_string(counts[DBC_KEY_ADDED]) + " added, " + std::to_string(counts[DBC_KEY_REMOVED]) + " removed; " +
         std::to_string(diff.compared - counts[DBC_KEY_CHANGED]) + " of " + std::to_string(diff.compared) +
         " keys in both answer the same\n";
    return s;
}

std::string DbcDiffJson(const DbcDiff &diff, const std::string &beforeName, const std::string &afterName)
{
    static const char *const changes[] = {"changed", "added", "removed"};
    size_t counts[3] = {0, 0, 0};
    std::string keys;
    for (const DbcKeyDiff &k : diff.keys) {
        ++counts[k.change];
        keys += std::string(keys.empty() ? "" : ",\n  ") + "{\"key\": \"" + DbcHexKey(k.key) + "\", \"database\": \"" +
                DbcDatabaseName(DbcDatabaseOfKey(k.key)) + "\", \"change\": \"" + changes[k.change] + "\"";
        if (k.change == DBC_KEY_CHANGED) {
            keys += ", \"ways\": " + std::to_string(k.ways) +
                    ", \"differing_ways\": " + std::to_string(k.differingWays) +
                    ", \"truncated\": " + (k.truncated ? "true" : "false") + ", \"differences\": [";
            for (size_t i = 0; i < k.differences.size(); ++i) {
                const DbcDifference &d = k.differences[i];
                keys += std::string(i ? ", " : "") + "{\"settings\": " + JsonWay(d.way) +
                        ", \"settings_text\": " + DbcJsonString(WayText(d.way)) + ", \"other_settings\": [" +
                        OtherWays(d) + "], \"old\": " + JsonAnswer(d.before) + ", \"new\": " + JsonAnswer(d.after) +
                        "}";
            }
            keys += "]";
        }
        keys += "}";
    }
    return "{\"old\": " + DbcJsonString(beforeName) + ", \"new\": " + DbcJsonString(afterName) +
           ", \"differ\": " + (diff.keys.empty() ? "false" : "true") +
           ", \"compared\": " + std::to_string(diff.compared) +
           ", \"changed\": " + std::to_string(counts[DBC_KEY_CHANGED]) +
           ", \"added\": " + std::to_string(counts[DBC_KEY_ADDED]) +
           ", \"removed\": " + std::to_string(counts[DBC_KEY_REMOVED]) + ", \"keys\": [" +
           (keys.empty() ? "" : "\n  " + keys + "\n") + "]}\n";
}
