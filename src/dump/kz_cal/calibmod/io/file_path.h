// The full wide path of a FileRef: directory, separator, name converted with
// the system code page. Built afresh for every open and released at once.
#ifndef KZ_FILE_PATH_H
#define KZ_FILE_PATH_H

#include <cstdint>

#include "file_layer.h"
#include "mem_block.h"

struct FilePath {
    MemBlock full;  // dir + separator + name + terminator
    MemBlock name;  // the converted name
    KZ_WCHAR *path; // points into full once built
};

// Builds the path of file. CAL_OK, or CAL_ERR_FILE for no directory, an unusable name
// (empty, holding '/', '\\' or ':', "." or ".."), no memory or a failed
// conversion. The buffers are released by pathRelease on every outcome.
int16_t pathBuild(const FileRef *file, FilePath *out);
void pathRelease(FilePath *path);

#endif // KZ_FILE_PATH_H
