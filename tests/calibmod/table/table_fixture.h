// Shared setup of the table tests: a calibration data file written into a
// temporary directory, and a CalibContext on a counting platform whose table
// file record points at it.
#ifndef KZ_TEST_TABLE_FIXTURE_H
#define KZ_TEST_TABLE_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cal_context.h"
#include "fake_platform.h"
#include "kz_read.h"
#include "temp_dir.h"

class TableTest : public ::testing::Test {
protected:
    FakePlatform fake;
    TempDir dir;
    CalibRequest request{1, 1, 0, 0, 0};
    CalibNames names{};
    int16_t adjustIds[6] = {0, 0, 0, 0, 0, 0};
    CalibContext ctx{};
    const std::string fileName = "copy.kzc";

    void SetUp() override;

    // Writes the file under fileName and remembers its bytes.
    void writeFile(const kzfile::Bytes &bytes);
    void writeFile(const kzfile::FileDesc &fileDesc) { writeFile(kzfile::buildFile(fileDesc)); }
    kzfile::Bytes readBack() const;
    // Opens the file for update into the context's table file record.
    void openTableFile();
    void closeTableFile();
    // Sets the four slots of mode 1.
    void setIds(int16_t a, int16_t b, int16_t c, int16_t d);

    kzfile::Bytes written; // the bytes last written by writeFile
};

// The built-in curve of a table, group (adjustment id) and curve number.
kzfile::Curve builtIn(int32_t tableId, int16_t id, int16_t curveNumber);
// A distinct, recognisable curve for a plane (never equal to a built-in one).
kzfile::Curve planeCurve(int n);
// A table of a file fileDesc.
kzfile::Table kzdbTable(uint16_t id, kzfile::Bytes body);
kzfile::Table kzhtTable(uint16_t id, kzfile::Bytes body);
// Rewrites the table position of the first directory entry of (tag, id) in
// the file's bytes, so that it can point anywhere, past the end included.
void setEntryPosition(kzfile::Bytes &file, uint32_t tag, uint16_t id, uint32_t position);

#endif // KZ_TEST_TABLE_FIXTURE_H
