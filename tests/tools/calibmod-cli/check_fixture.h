// calibmod-cli tests: a source directory holding the sample data file and
// an empty calibration directory, made fresh for each test, and calls of the
// real KZCalibration on them.
#ifndef CALIBMOD_CLI_CHECK_FIXTURE_H
#define CALIBMOD_CLI_CHECK_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "dir_check.h"
#include "kzfile.h"

class CalibDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // KZCalibration for the key (1, param1, 0, 0) of list 1, ids -3 in every
    // slot; the answer code, *name the result name.
    int calibrate(int32_t param1, std::string *name = nullptr, int16_t listNumber = 1);
    // Scans the calibration directory; the test fails when it cannot.
    cli::DirReport scan();
    // Repairs, then calls for every key given and expects a healthy directory.
    void repairAndRebuild(std::initializer_list<int32_t> keys);

    std::string calibPath(const std::string &name) const { return root + "/calib/" + name; }
    std::string read(const std::string &name) const;
    void write(const std::string &name, const std::string &text) const;

    std::string root, sourceDir, calibDir;
    kzfile::Bytes sample;
};

// The problems of the report's first list's entries, as "line:problem".
std::string entryProblems(const cli::DirReport &r);

#endif // CALIBMOD_CLI_CHECK_FIXTURE_H
