// A scratch directory for the calibmod fuzz targets: made once per process
// under /tmp, emptied before every input, removed at exit.
#ifndef ZMD_FUZZ_SCRATCH_DIR_H
#define ZMD_FUZZ_SCRATCH_DIR_H

#include <cstdint>
#include <string>
#include <vector>

#include "calibmod.h"

struct ScratchDir {
    std::string path;
    std::basic_string<KZ_WCHAR> wide;
};

// The process's scratch directories ("src" and "cal"), both emptied.
const ScratchDir &scratchSource();
const ScratchDir &scratchCalib();
void scratchClear();

void scratchWrite(const ScratchDir &dir, const std::string &name, const std::vector<uint8_t> &bytes);
// The file's bytes; false when it cannot be read.
bool scratchRead(const ScratchDir &dir, const std::string &name, std::vector<uint8_t> *bytes);
bool scratchExists(const ScratchDir &dir, const std::string &name);

#endif // ZMD_FUZZ_SCRATCH_DIR_H
