// dbc: the database compiler's front end. Reads .zdb sources (see
// src/zmd/zmdapi/depbase/db/FORMAT.md), checks them, lays the image out and
// writes it as C++ arrays; also prints an image back as trees and checks any
// image view against the invariants the engine relies on. Tests use
// DbcCompileText to build synthetic images in memory.
#ifndef DBC_H
#define DBC_H

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

// A compiled image held in memory. DbcMakeView points a ZMD_ImageView at it;
// the view stays valid while the DbcImage lives and is not changed.
struct DbcImage {
    std::vector<ZMD_Node> nodes;
    std::vector<uint16_t> keys;
    std::vector<uint32_t> keyNodes;
    std::vector<int32_t> int32Pool;
    std::vector<uint16_t> int16Pool;
    std::vector<uint8_t> bytePool;
    std::vector<char> caseStringPool;
    std::vector<uint16_t> seqKeys;
    std::vector<uint16_t> seqPartCounts;
    std::vector<uint32_t> seqStarts;
    std::vector<uint32_t> seqParts;
    std::vector<uint16_t> listNumbers;
    std::vector<uint16_t> listLengths;
    std::vector<uint32_t> listStarts;
    std::vector<uint16_t> listIds;
    std::vector<uint32_t> listNameIds;
    std::vector<ZMD_SelectionRow> selectionRows;
    std::vector<uint8_t> blocksA;
    std::vector<uint8_t> blocksB;
    std::vector<uint8_t> blocksC;
    std::vector<uint8_t> blocksD;
    std::vector<ZMD_QueryRule> queryRules;
    // The key index (DbcIndexKeys); empty: the image has none.
    std::vector<ZMD_KeyRange> keyRanges;
    std::vector<uint16_t> keySlots;
    std::vector<uint16_t> ruleSlots;
    // Where each node and each key was written, for the tools (never part
    // of the shipped image): file index into sourceNames, line from 1 (0
    // for what no source line stands for, such as node 0).
    struct SourcePos {
        uint32_t file;
        uint32_t line;
    };
    std::vector<SourcePos> nodePos;
    std::vector<SourcePos> keyPos;
    std::vector<std::string> sourceNames;
};

// One source file: its name (used in messages) and its text.
struct DbcSource {
    std::string name;
    std::string text;
};

// Compiles the sources together into *out. Returns true when there were no
// errors; every error is appended to *diagnostics as "file:line: message\n".
bool DbcCompile(const std::vector<DbcSource> &sources, DbcImage *out, std::string *diagnostics);

// The same for one text held in memory (tests).
bool DbcCompileText(const std::string &name, const std::string &text, DbcImage *out, std::string *diagnostics);

// Reads the files ("-": standard input, named "<stdin>" in messages) into
// *sources. Returns false, with one line per file in *diagnostics, when a
// file cannot be read.
bool DbcReadSources(const std::vector<std::string> &paths, std::vector<DbcSource> *sources, std::string *diagnostics);

// Reads the files and compiles them. A file that cannot be read is an error.
bool DbcCompileFiles(const std::vector<std::string> &paths, DbcImage *out, std::string *diagnostics);

// Builds the image's key index (keyRanges, keySlots, ruleSlots) from its key
// table and query rules, replacing any it had. An image with 65535 keys or
// rules or more is left without one.
void DbcIndexKeys(DbcImage *image);

// Points view at the image's tables. An empty table gets a base that is not
// null and a count of 0; an empty key index is left null (no index).
void DbcMakeView(const DbcImage &image, ZMD_ImageView *view);

// Checks a view with the image format's validator (ZMD_ValidateImage): indices within
// the node table, values within their pools, case kinds per selector,
// SELECT_MASKED -> MASK, CASE_STRING -> BYTES in the case-string pool, no
// cycles, keys ascending and unique, the driver tables within their bounds.
// Returns true when all hold; otherwise appends one line per fault.
bool DbcValidateView(const ZMD_ImageView &view, std::string *diagnostics);

// The image as a C++ source file defining ZMD_ShippedImage().
std::string DbcWriteCpp(const DbcImage &image, const std::string &origin);

// The source positions of the image's nodes and keys as a C++ source file
// defining CliShippedLines() (depbase-cli's line table, cli_lines.h).
std::string DbcWriteLines(const DbcImage &image, const std::string &origin);

// The image printed back as trees in the source notation, one key at a time,
// with the node indices in comments.
std::string DbcPrintView(const ZMD_ImageView &view);

// Database of a key by its range: 0 root .. 5 status monitor, 6 internal
// (0x5001..0x5FFF, driver record shape), -1 none.
int DbcDatabaseOfKey(uint32_t key);
const char *DbcDatabaseName(int database);

// Hex of a key, "0x1019".
std::string DbcHexKey(uint32_t key);

#endif // DBC_H
