// `dbc diff`: what an edit of the database changes. Every key of two images
// is asked, through the engine, for the ways through its trees in either
// image (dbc_ways.h), on both images with the same settings; the keys whose
// answers differ are reported with the fewest settings that show each
// difference, and the keys only one image has as added or removed.
#ifndef DBC_DIFF_H
#define DBC_DIFF_H

#include <cstdint>
#include <string>
#include <vector>

#include "dbc.h"
#include "dbc_ways.h"

// One difference of a key (one pair of answers): the way with the fewest
// settings that shows it, the other ways that show it, and the two answers.
struct DbcDifference {
    DbcWay way;
    std::vector<DbcWay> others;
    DbcAnswer before;
    DbcAnswer after;
    std::string shown; // the answers side by side, as the text report shows them
};

enum DbcKeyChange {
    DBC_KEY_CHANGED,
    DBC_KEY_ADDED,
    DBC_KEY_REMOVED,
};

struct DbcKeyDiff {
    uint32_t key = 0;
    int change = DBC_KEY_CHANGED;
    size_t ways = 0;          // ways asked (changed keys)
    size_t differingWays = 0; // of them, those whose answers differ
    bool truncated = false;   // a tree had more ways than were asked
    std::vector<DbcDifference> differences;
};

struct DbcDiff {
    size_t compared = 0;          // keys both images have
    std::vector<DbcKeyDiff> keys; // in key order; only keys that differ
};

// Compares two images (each must have passed DbcValidateView).
void DbcDiffImages(const ZMD_ImageView &before, const ZMD_ImageView &after, DbcDiff *out);

// The report: one block a changed key, one line an added or removed key, and
// a summary line; empty when nothing differs.
std::string DbcDiffText(const DbcDiff &diff);

// The report as one JSON object (docs/json.md), also when nothing differs.
std::string DbcDiffJson(const DbcDiff &diff, const std::string &beforeName, const std::string &afterName);

// Reads a database: a folder (every *.zdb in it, in name order, compiled
// together), or a source file ('-': standard input), and compiles it. False,
// with the reason in *diagnostics, when it cannot be read or has errors.
bool DbcLoadDatabase(const std::string &path, DbcImage *out, std::string *diagnostics);

#endif // DBC_DIFF_H
