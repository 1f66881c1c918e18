// Allocation-failure sweeps: every allocation of a query fails in turn; each
// failure gives the query's specified answer and leaves nothing allocated.
#include <functional>
#include <vector>

#include "computed.h"
#include "drv_fixture.h"
#include "drv_internal.h"
#include "computed.h"
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

// The working copy of the record and the offered ids live in the query's
// frame: the lists take nothing from the heap, so a heap that fails every
// request changes none of their answers.
TEST_F(AllocSweepTest, ListsWithPerChoiceValuesAndMembershipTakeNoHeap)
{
    r.ints[4] = 1;
    for (uint32_t key : {0x1010u, 0x100Du, 0x1016u, 0x1011u}) {
        SCOPED_TRACE(key);
        Bytes want(100, 0), got(100, 0);
        uint32_t wantSize = 0, gotSize = 0;
        fake.resetAllocCounters();
        ASSERT_EQ(query(key, 100, want.data(), &wantSize), ZMD_OK);
        EXPECT_EQ(fake.allocCalls, 0);
        fake.resetAllocCounters();
        fake.failAllocAt = 1;
        ASSERT_EQ(query(key, 100, got.data(), &gotSize), ZMD_OK);
        EXPECT_EQ(fake.allocCalls, 0);
        EXPECT_EQ(gotSize, wantSize);
        EXPECT_EQ(got, want);
    }
}

// An offered list longer than the frame holds takes the heap, and a failure
// there is ZMD_ERROR; a sequence with more parts than the frame holds likewise.
TEST(AllocSweepLargeTest, LongOfferedListAndLongSequenceTakeTheHeap)
{
    ImageBuilder b;
    std::vector<uint16_t> ids;
    std::vector<std::pair<int32_t, uint16_t>> values;
    for (uint16_t id = 1; id <= 70; ++id) {
        ids.push_back(id);
        values.push_back({id, static_cast<uint16_t>(1000 + id)});
        b.listIds.push_back(id);
        b.listNameIds.push_back(0x3000u + static_cast<uint32_t>(id));
    }
    b.listNumbers = {28};
    b.listLengths = {70};
    b.listStarts = {0};
    uint32_t k500E = addPerChoice(b, 0x500E, 28, values);
    uint32_t k1010 = b.add(b.int16s(0x1010, ids));
    uint32_t k1011 = b.add(b.int16s(0x1011, ids));
    std::vector<uint32_t> parts;
    for (uint8_t i = 0; i < 20; ++i) {
        parts.push_back(b.add(b.bytes(0x5008, {i})));
    }
    b.seqKeys = {0x1019};
    b.seqPartCounts = {20};
    b.seqStarts = {0};
    b.seqParts = parts;
    b.addKey(0x1010, k1010);
    b.addKey(0x1011, k1011);
    b.addKey(0x500E, k500E);
    setDriverQueryRules(b);
    ZMD_ImageView view = b.view();
    FakePlatform fake;
    ZMD_Env env = fake.env(&view);
    DrvRecord r;

    std::vector<uint8_t> buf(70 * 20, 0);
    uint32_t size = 0;
    for (uint32_t key : {0x1011u, 0x1019u}) {
        SCOPED_TRACE(key);
        fake.resetAllocCounters();
        ASSERT_EQ(ZMD_QueryDrvDataBase(&env, key, &r.rec, static_cast<uint32_t>(buf.size()), buf.data(), &size),
                  ZMD_OK);
        EXPECT_EQ(fake.allocCalls, 1);
        EXPECT_EQ(fake.outstanding(), 0u);
        if (key == 0x1011) {
            EXPECT_EQ(size, 70u * 20u);
            for (uint32_t i = 0; i < 70; ++i) {
                EXPECT_EQ(ZMD_GetItemField(buf.data(), i, ZMD_ITEM_VALUE1), static_cast<int32_t>(1001 + i));
                EXPECT_EQ(ZMD_GetItemField(buf.data(), i, ZMD_ITEM_VALUE2), 0) << "every item is offered";
            }
        } else {
            ASSERT_EQ(size, 20u);
            for (uint32_t i = 0; i < 20; ++i) {
                EXPECT_EQ(buf[i], i);
            }
        }
        fake.resetAllocCounters();
        fake.failAllocAt = 1;
        EXPECT_EQ(ZMD_QueryDrvDataBase(&env, key, &r.rec, static_cast<uint32_t>(buf.size()), buf.data(), &size),
                  ZMD_ERROR);
        EXPECT_EQ(fake.outstanding(), 0u);
        fake.resetAllocCounters();
    }
}

// The printer-data selector builds its inner record in the frame: the
// sequence with the stored-value way answers alike with a heap that fails
// every request, and takes nothing from it.
TEST_F(AllocSweepTest, CommandSequenceWithPrinterData)
{
    r.rec.hPrinter = fake.addPrinter("P");
    fake.setDword("P", "XvnUI_CustomECPMode", 0);
    Bytes buf(200, 0);
    uint32_t size = 0;
    ASSERT_EQ(query(0x1018, 200, buf.data(), &size), ZMD_OK);
    const Bytes answer(buf.begin(), buf.begin() + size);
    fake.resetAllocCounters();
    fake.failAllocAt = 1;
    Bytes again(200, 0);
    uint32_t againSize = 0;
    EXPECT_EQ(query(0x1018, 200, again.data(), &againSize), ZMD_OK);
    EXPECT_EQ(Bytes(again.begin(), again.begin() + againSize), answer);
    EXPECT_EQ(query(0x1018, 0, nullptr, &againSize), ZMD_MORE_DATA);
    EXPECT_EQ(againSize, size);
    EXPECT_EQ(fake.allocCalls, 0);
    fake.resetAllocCounters();
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
