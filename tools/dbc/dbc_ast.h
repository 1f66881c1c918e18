// The parsed database source: a graph of source nodes, the keys and named
// trees that root it, and the driver query tables. Built by the parser,
// checked by DbcCheckProgram, laid out by DbcLayoutProgram.
#ifndef DBC_AST_H
#define DBC_AST_H

#include <cstdint>
#include <string>
#include <vector>

#include "dbc.h"
#include "tool_text.h"

// Node kinds of the source beyond the image's own (ZMD_KIND_*).
enum : uint32_t {
    DBC_KIND_USE = 100, // reference to a named tree, resolved by the checker
    DBC_KIND_ALL = 101, // key 0x5008's top node: node 0
};

struct DbcLoc {
    int file = 0;
    int line = 0;
};

struct DbcCase {
    uint32_t kind = 0; // ZMD_KIND_CASE_EQUAL / _STRING / _DEFAULT / _RANGE
    int64_t value = 0; // CASE_EQUAL; CASE_RANGE low end
    int64_t high = 0;  // CASE_RANGE high end
    std::string text;  // CASE_STRING
    int target = -1;   // source node index
    DbcLoc loc;
};

struct DbcSrcNode {
    uint32_t kind = 0; // ZMD_KIND_* or DBC_KIND_*
    DbcLoc loc;
    // Values.
    uint32_t tag = 0;             // the key the value answers
    std::vector<int64_t> numbers; // integer arrays
    std::vector<uint8_t> bytes;   // BYTES and TEXT (TEXT with its NUL)
    uint32_t computedType = 0;
    // Branches.
    uint32_t arg = 0;  // setting index, WHEN value, printer-data item, country selector
    uint32_t mask = 0; // SELECT_MASKED
    std::vector<int> children;
    std::vector<DbcCase> cases;
    // DBC_KIND_USE.
    std::string useName;
    int useTree = -1; // index into trees once resolved
};

struct DbcKeyDef {
    uint32_t key = 0;
    int root = -1;     // source node index
    int database = -1; // declared by `database`, or -1
    DbcLoc loc;
};

struct DbcTreeDef {
    std::string name;
    int root = -1;
    DbcLoc loc;
};

struct DbcCatalogueEntry {
    int64_t id = 0;
    int64_t nameId = 0;
    DbcLoc loc;
};

struct DbcCatalogueDef {
    int64_t number = 0;
    std::vector<DbcCatalogueEntry> entries;
    DbcLoc loc;
};

struct DbcSequenceDef {
    uint32_t key = 0;
    std::vector<int> parts; // source node indices
    DbcLoc loc;
};

struct DbcRowDef {
    int64_t selector[6] = {0, 0, 0, 0, 0, 0};
    int64_t block[4] = {0, 0, 0, 0};
    DbcLoc loc;
};

struct DbcBlockDef {
    int table = 0; // 0..3 for A..D
    int64_t index = 0;
    std::vector<uint8_t> bytes;
    DbcLoc loc;
};

// A query rule as written: how the driver answers one key. Per-choice keys
// and fields fill at most two item words; 0 marks what the rule leaves out.
struct DbcRuleDef {
    ZMD_QueryRule rule{};
    bool absent = false; // `absent`: the list key has no tree in this database
    DbcLoc loc;
};

struct DbcProgram {
    std::vector<std::string> fileNames;
    std::vector<DbcSrcNode> nodes;
    std::vector<DbcKeyDef> keys;
    std::vector<DbcTreeDef> trees;
    std::vector<DbcCatalogueDef> catalogue;
    std::vector<DbcSequenceDef> sequences;
    std::vector<DbcRowDef> rows;
    std::vector<DbcBlockDef> blocks;
    std::vector<DbcRuleDef> rules;
    ToolErrors found; // "file:line: message", printed in line order (tool_text.h)
    int errors = 0;
};

// Records "file:line: message" (line 0: "file: message", about the file as a
// whole) among the program's errors and counts it.
void DbcError(DbcProgram *prog, DbcLoc loc, const std::string &message);

// Parses one source into the program (appending). Errors go to the program.
void DbcParseSource(DbcProgram *prog, const DbcSource &source);

// Resolves references and checks the program; reports through DbcError.
void DbcCheckProgram(DbcProgram *prog);

// Checks the query rules against the keys, trees and tables they name
// (part of DbcCheckProgram).
void DbcCheckRules(DbcProgram *prog);

// Lays the checked program out as an image. Reports overflows through DbcError.
void DbcLayoutProgram(DbcProgram *prog, DbcImage *out);

// The source node a node stands for once `use` is followed (-1 for a dangling use).
int DbcResolve(const DbcProgram &prog, int node);

#endif // DBC_AST_H
