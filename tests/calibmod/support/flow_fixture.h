// End-to-end setup for KZCalibration tests: a source directory with a
// calibration data file, a calibration directory, the request records, and
// the copy that a calibration must produce, worked out from the source file.
#ifndef KZ_TEST_FLOW_FIXTURE_H
#define KZ_TEST_FLOW_FIXTURE_H

#include <string>

#include <vector>

#include "cal_platform.h"
#include "calibmod.h"
#include "fake_platform.h"
#include "kz_read.h"
#include "temp_dir.h"

// A calibration data file with KZDB tables of the three layouts naming plain
// and tagged KZHT tables, some of them without built-in curves.
kzfile::Bytes flowSource(const std::string &ident);

// What the copy of source must hold after a mode-1 calibration with the four
// ids: every curve of a KZHT table named by a KZDB table whose slot has a
// non-neutral id and whose table has built-in curves is that built-in curve;
// every other byte is the source's.
kzfile::Bytes expectedCopy(const kzfile::Bytes &source, const int16_t ids[4]);

struct FlowScene {
    TempDir source;
    TempDir calib;
    CalibRequest request{7, 1, 1, 2, 3};
    CalibNames names{};
    int16_t ids[6] = {-3, 0, 3, -3, 0, 0};

    explicit FlowScene(const std::string &sourceName = "Table0.dat", const char *prefix = "abcde");

    std::string sourceName() const;
    // Writes the source file (under sourceName) and remembers its bytes.
    void writeSource(const kzfile::Bytes &bytes);
    kzfile::Bytes sourceBytes() const;

    // KZCalibration through the export, and on a given platform.
    int16_t call();
    int16_t callOn(const CalPlatform *platform);

    // resultName up to its terminator, and all 16 bytes.
    std::string result() const;
    std::string resultBytes() const;
    // sourceName as resultName must hold it on a failure: the name and zeros.
    std::string sourceNameBytes() const;

    std::string list() const; // the list file abcde007.ini; empty when missing
    kzfile::Bytes calibFile(const std::string &name) const;
    // The copy that this request's ids must produce from the current source.
    kzfile::Bytes expected() const;
};

// The file names (without directory) that the platform saw opened for
// writing, created, renamed or deleted, in order; the two temporary names
// of the calibration directory are left out.
std::vector<std::string> touchedNames(const FakePlatform &fake);

// True when text is made of complete list lines only: each ends in CR LF
// and holds five comma-separated fields.
bool completeLines(const std::string &text);

#endif // KZ_TEST_FLOW_FIXTURE_H
