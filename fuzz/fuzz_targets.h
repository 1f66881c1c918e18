// The fuzz targets' bodies. Each takes one input and returns 0; a broken
// property aborts (FUZZ_CHECK). The libFuzzer programs call them from
// LLVMFuzzerTestOneInput; the regression tests replay the files of
// fuzz/regressions/<target>/ through them.
#ifndef ZMD_FUZZ_TARGETS_H
#define ZMD_FUZZ_TARGETS_H

#include <cstddef>
#include <cstdint>

int FuzzListFile(const uint8_t *data, size_t size);     // list_file
int FuzzTableUpdate(const uint8_t *data, size_t size);  // table_update
int FuzzCalibration(const uint8_t *data, size_t size);  // calibration
int FuzzDepbaseQuery(const uint8_t *data, size_t size); // depbase_query
int FuzzDbcCompile(const uint8_t *data, size_t size);   // dbc_compile

#endif // ZMD_FUZZ_TARGETS_H
