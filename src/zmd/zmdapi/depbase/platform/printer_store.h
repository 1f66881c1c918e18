// The printer store of the POSIX backend, as the backend reads it: where a
// printer's store file is, reading the file, and splitting its lines. An
// internal interface for the tools that explain the store (depbase-cli), so
// that they read it with the library's own reader and parser; never
// exported from the shared library.
#ifndef ZMD_PRINTER_STORE_H
#define ZMD_PRINTER_STORE_H

#include <cstddef>
#include <cstdint>

// Why the store has no path for a printer name.
enum ZMD_StorePathResult : int {
    ZMD_STORE_PATH_OK = 0,
    ZMD_STORE_BAD_NAME = 1,     // empty, with '/', or starting with '.'
    ZMD_STORE_NO_DIRECTORY = 2, // neither ZMD_PRINTER_DIR nor HOME is set
    ZMD_STORE_TOO_LONG = 3,     // the directory or the file name does not fit
};

// The store directory (dir, capacity dirCap) and the store file's name
// N.conf (file, capacity fileCap) of printer `name` (UTF-8).
int ZMD_StorePaths(const char *name, char *dir, size_t dirCap, char *file, size_t fileCap);

// Why a store file is no printer data: 0 when it was read, a positive errno
// value when opening, checking or reading failed (ELOOP: a symbolic link),
// or one of these.
enum : int {
    ZMD_STORE_NOT_REGULAR = -1, // a FIFO, a device, a directory, ...
    ZMD_STORE_TOO_LARGE = -2,   // more than the 1 MiB the store reads
};

// Reads store file `file` of directory `dir` as a printer open does: opened
// once relative to the directory, never through a link and never blocking,
// a regular file of at most 1 MiB read whole from the descriptor it was
// checked on. On 0, *text (free with ZMD_FreeStoreText) holds *size bytes.
int ZMD_ReadStoreText(const char *dir, const char *file, char **text, size_t *size);
void ZMD_FreeStoreText(char *text);

// One line of a store file that is neither blank nor a comment.
struct ZMD_StoreLineInfo {
    uint32_t number;    // 1-based line number
    const char *text;   // the line, trimmed of blanks at both ends
    size_t textLength;  //
    bool hasEquals;     // false: the line is ignored (no "name = number")
    const char *name;   // trimmed, into the text (hasEquals only)
    size_t nameLength;  //
    const char *value;  // the text after '=', trimmed
    size_t valueLength; //
    bool parsed;        // the value is a number the store reads
    uint32_t number32;  // that number
};

// Calls fn for every line of text that is neither blank nor a comment, in
// order, split as the backend splits it. The first line with a name decides
// that name's value, whether or not its number parses.
void ZMD_ForEachStoreLine(const char *text, size_t size, void (*fn)(void *ctx, const ZMD_StoreLineInfo *line),
                          void *ctx);

#endif // ZMD_PRINTER_STORE_H
