// Allocation-failure sweeps: every allocation of a query fails in turn; each
// failure gives the query's specified answer and leaves nothing allocated.
#include <functional>
#include <vector>

#include "computed.h"
#include "drv_fixture.h"
#include "extract.h"

namespace {

using Bytes = std::vector<uint8_t>;

class AllocSweepTest : public DrvTest {
protected:
    // Runs the query once to count its allocations, then fails each in turn
    // and checks the answer with `onFailure`.
    void sweep(const std::function<int32_t()> &run, const std::function<void(int32_t)> &onFailure)
    {
        fake.resetAllocCounters();
        ASSERT_EQ(run(), ZMD_OK);
        int total = fake.allocCalls;
        ASSERT_GT(total, 0) << "the query allocates nothing";
        ASSERT_EQ(fake.outstanding(), 0u);
        for (int n = 1; n <= total; ++n) {
            fake.resetAllocCounters();
            fake.failAllocAt = n;
            int32_t r = run();
            SCOPED_TRACE(n);
            onFailure(r);
            EXPECT_EQ(fake.outstanding(), 0u) << "allocation " << n << " failed and something leaked";
        }
        fake.resetAllocCounters();
        EXPECT_EQ(run(), ZMD_OK);
    }
};

TEST_F(AllocSweepTest, ListWithPerChoiceValues)
{
    Bytes buf(100, 0);
    uint32_t size = 0;
    r.ints[4] = 1;
    for (uint32_t key : {0x1010u, 0x100Du, 0x1016u}) {
        sweep([&] { return query(key, 100, buf.data(), &size); },
              [](int32_t res) { EXPECT_EQ(res, ZMD_ERROR); });
    }
}

TEST_F(AllocSweepTest, AllPaperSizesWithMembership)
{
    Bytes buf(100, 0);
    uint32_t size = 0;
    fake.resetAllocCounters();
    ASSERT_EQ(query(0x1011, 100, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(fake.allocCalls, 2) << "the working copy and the membership buffer";
    sweep([&] { return query(0x1011, 100, buf.data(), &size); },
          [](int32_t res) { EXPECT_EQ(res, ZMD_ERROR); });
}

TEST_F(AllocSweepTest, CommandSequenceWithPrinterData)
{
    r.rec.hPrinter = fake.addPrinter("P");
    fake.setDword("P", "XvnUI_CustomECPMode", 0);
    Bytes buf(200, 0);
    uint32_t size = 0;
    sweep([&] { return query(0x1018, 200, buf.data(), &size); },
          [](int32_t res) { EXPECT_EQ(res, ZMD_ERROR); });
    // The size query allocates and frees the same way.
    sweep(
        [&] {
            int32_t res = query(0x1018, 0, nullptr, &size);
            return res == ZMD_MORE_DATA ? ZMD_OK : res;
        },
        [](int32_t res) { EXPECT_EQ(res, ZMD_ERROR); });
}

TEST_F(AllocSweepTest, QuietModeValueFallsBackToOff)
{
    r.rec.hPrinter = fake.addPrinter("P");
    fake.setDword("P", "XvnUI_SilentModeTime", static_cast<int32_t>(360u << 16 | 1320u));
    fake.localTime.hour = 23;
    ZMD_Node node{ZMD_MakeW0(ZMD_KIND_COMPUTED, 0), ZMD_MakeW1(0x1234, 7)};
    Bytes buf(56, 0);
    uint32_t size = 0;
    const std::string off = "SetSilent=OFF";
    const std::string on = "SetSilent=ON";
    auto says = [&](const std::string &word) {
        return std::string(buf.begin(), buf.end()).find(word) != std::string::npos;
    };
    auto run = [&] {
        buf.assign(56, 0);
        int32_t res = ZMD_ExtractValue(&env, &r.rec, 56, buf.data(), &size, node);
        EXPECT_EQ(size, 56u);
        return res;
    };
    ASSERT_EQ(run(), ZMD_OK);
    EXPECT_TRUE(says(on));
    sweep(run, [&](int32_t res) {
        // Not finding the window is not an error: the printer gets OFF.
        EXPECT_EQ(res, ZMD_OK);
        EXPECT_TRUE(says(off));
    });
}

} // namespace
