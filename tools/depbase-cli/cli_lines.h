// The source positions of the shipped image's nodes and keys, written by
// `dbc lines` into source_lines.cpp (generated, committed, checked by the
// regeneration test). Linked into depbase-cli only, never into the libraries.
#ifndef DEPBASE_CLI_LINES_H
#define DEPBASE_CLI_LINES_H

#include <cstdint>

struct CliSourceLines {
    const char *const *files; // base names of the sources, in compile order
    uint32_t nFiles;
    const uint32_t *nodePos; // per node index: file << 24 | line (line 0: unknown)
    uint32_t nNodes;
    const uint32_t *keyPos; // per entry of the image's key table, likewise
    uint32_t nKeys;
};

const CliSourceLines *CliShippedLines();

#endif // DEPBASE_CLI_LINES_H
