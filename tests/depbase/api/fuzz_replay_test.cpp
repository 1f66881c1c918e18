// The depbase_query fuzz target's seeds and every input it ever found,
// replayed through its body: a broken property aborts the program.
#include <gtest/gtest.h>

#include "fuzz_targets.h"
#include "replay.h"

namespace {

TEST(FuzzReplay, DepbaseQuery)
{
    const std::vector<std::string> inputs = FuzzReplayInputs("depbase_query");
    EXPECT_FALSE(inputs.empty());
    for (const std::string &path : inputs) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = FuzzReadInput(path);
        EXPECT_EQ(0, FuzzDepbaseQuery(bytes.data(), bytes.size()));
    }
}

} // namespace

#ifdef ZMD_FUZZ_HAVE_DBC
namespace {

TEST(FuzzReplay, DbcCompile)
{
    const std::vector<std::string> inputs = FuzzReplayInputs("dbc_compile");
    EXPECT_FALSE(inputs.empty());
    for (const std::string &path : inputs) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = FuzzReadInput(path);
        EXPECT_EQ(0, FuzzDbcCompile(bytes.data(), bytes.size()));
    }
}

} // namespace
#endif
