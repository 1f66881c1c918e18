// Splitting a source into lines of tokens, and reading numbers and byte data.
#ifndef DBC_LEX_H
#define DBC_LEX_H

#include <cstdint>
#include <string>
#include <vector>

#include "dbc_ast.h"

enum DbcTokType {
    DBC_TOK_WORD,
    DBC_TOK_STRING,
    DBC_TOK_PUNCT
};

struct DbcToken {
    DbcTokType type;
    std::string text; // a string token holds its decoded characters
};

struct DbcLine {
    int number; // 1-based line number in its file
    int indent; // leading spaces
    std::vector<DbcToken> toks;
};

// Splits the text into its non-blank lines (comments removed). Lexical
// errors (tabs, unterminated strings, bad escapes, non-ASCII) are reported.
void DbcLexSource(DbcProgram *prog, int file, const std::string &text, std::vector<DbcLine> *lines);

// A decimal or 0x-hex integer, optionally negative. False when malformed or
// beyond +-2^62.
bool DbcParseInt(const std::string &text, int64_t *value);

// Reads byte data (hex tokens, strings, u8/le16/be16/le32/be32/zeros/field
// functions) from toks[pos..] and appends to *out. Returns false after
// reporting an error at loc.
bool DbcParseByteData(DbcProgram *prog, DbcLoc loc, const std::vector<DbcToken> &toks, size_t pos,
                      std::vector<uint8_t> *out);

#endif // DBC_LEX_H
