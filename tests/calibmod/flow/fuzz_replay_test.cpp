// The calibmod fuzz targets' seeds and every input they ever found, replayed
// through the targets' bodies: a broken property aborts the program.
#include <gtest/gtest.h>

#include "fuzz_targets.h"
#include "replay.h"

namespace {

void Replay(const char *target, int (*body)(const uint8_t *, size_t))
{
    const std::vector<std::string> inputs = FuzzReplayInputs(target);
    EXPECT_FALSE(inputs.empty()) << "no seeds for " << target;
    for (const std::string &path : inputs) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = FuzzReadInput(path);
        EXPECT_EQ(0, body(bytes.data(), bytes.size()));
    }
}

TEST(FuzzReplay, ListFile)
{
    Replay("list_file", FuzzListFile);
}
TEST(FuzzReplay, TableUpdate)
{
    Replay("table_update", FuzzTableUpdate);
}
TEST(FuzzReplay, Calibration)
{
    Replay("calibration", FuzzCalibration);
}

} // namespace
