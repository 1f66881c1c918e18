// The large calibration data file of the calibmod benchmarks: all 30 KZDB
// tables over the three record layouts, naming 200 KZHT tables (plain and
// tagged, the built-in ids among them), and bulk table data that no
// directory names, to about 32 MiB in all. Made with tools/kzfile.
#ifndef KZ_BENCH_FILE_H
#define KZ_BENCH_FILE_H

#include <cstddef>

#include "kzfile.h"

const int kBenchKzhtTables = 200;

kzfile::Bytes benchCalibrationFile(size_t totalBytes = 32u << 20);

#endif // KZ_BENCH_FILE_H
