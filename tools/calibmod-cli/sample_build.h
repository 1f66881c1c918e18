// The sample calibration data files of calibmod-cli make-sample.
//
// A sample holds all 30 KZDB table databases, spread over the three record
// layouts, naming KZHT curve tables: first the nine tables with built-in
// curves, then tables without (1202, 1205, 1300, 1400, then the rest of
// 1200-1499). KZHT tables in 1300-1499 are plain (six or seven planes);
// in 1200-1299 a table is tagged when its id is a multiple of three or of
// five, else plain with four planes. Every curve rises from 0 to 4080 with
// a bend of its own. Everything is a function of the options: the same
// options always give the same bytes.
#ifndef CALIBMOD_SAMPLE_BUILD_H
#define CALIBMOD_SAMPLE_BUILD_H

#include <string>

#include "kzfile.h"

namespace sample {

struct Options {
    std::string ident = "KZ-CAL SAMPLE 1";
    int kzhtTables = 13; // 1 to 255 (the module lists at most 255 distinct tables)
    int minSizeMiB = 0;  // > 0: other tables pad the file to at least this size
    bool sharedDirectory = false;
};

const int kMaxKzhtTables = 255;
const int kMaxSizeMiB = 1024;

// The KZHT table ids of a sample, in the order above.
std::vector<uint16_t> kzhtIds(int count);
// The whole file.
kzfile::Bytes build(const Options &options);

} // namespace sample

#endif // CALIBMOD_SAMPLE_BUILD_H
