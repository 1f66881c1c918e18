// Allocation counts of every query of the shipped image, through the export
// frame with a counting platform: a query takes memory from the heap only
// where the design says (the
// country text, the quiet-mode value name, and the list working copies,
// membership buffers and command-sequence part slots only when they outgrow
// the query's frame); every other query allocates nothing, and no query
// leaves anything allocated.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <vector>

#include "access.h"
#include "fake_platform.h"
#include "key_sweep.h"

namespace {

// Driver keys that ZMD_QueryDrvDataBase answers itself: option lists, command
// sequences, the parameter set (their working memory is on the heap only
// when it outgrows the frame).
const std::set<uint16_t> kDriverQueryKeys = {0x100C, 0x100D, 0x100E, 0x100F, 0x1010, 0x1011, 0x1012,
                                             0x1013, 0x1014, 0x1016, 0x1017, 0x1018, 0x1019, 0x101A,
                                             0x101B, 0x101C, 0x101D, 0x104D, 0x104E, 0x1051, 0x1054};

class QueryAllocCount : public ::testing::Test {
protected:
    FakePlatform fake;
    ZMD_Env env = fake.env(ZMD_ShippedImage());
    void *printer = fake.addPrinter("Sweep Printer");
    std::vector<uint8_t> buffer = std::vector<uint8_t>(64 * 1024);

    int32_t Ask(uint16_t key, uint32_t db, ZMD_SettingsRecord *rec, bool withBuffer)
    {
        uint32_t size = 0;
        return ZMD_AccessDataBase(&env, db, key, rec, withBuffer ? static_cast<uint32_t>(buffer.size()) : 0,
                                  withBuffer ? buffer.data() : nullptr, &size);
    }

    std::vector<SweepQuery> Sweep(std::vector<uint16_t> *unanswered = nullptr)
    {
        return BuildSweep(
            env.image, [&](uint16_t key, uint32_t db, ZMD_SettingsRecord *rec) { return Ask(key, db, rec, true); },
            printer, unanswered);
    }
};

TEST_F(QueryAllocCount, EveryExportKeyOfTheShippedImageAnswersSomeRecord)
{
    std::vector<uint16_t> unanswered;
    const std::vector<SweepQuery> sweep = Sweep(&unanswered);
    for (uint16_t key : unanswered) {
        ADD_FAILURE() << "key 0x" << std::hex << key << " answers ZMD_OK for no record the sweep tried";
    }
    EXPECT_FALSE(sweep.empty());
}

TEST_F(QueryAllocCount, OnlyTheDesignatedQueriesAllocateAndAllFreeWhatTheyTake)
{
    std::vector<SweepQuery> sweep = Sweep();
    ASSERT_FALSE(sweep.empty());
    int allocating = 0;
    for (SweepQuery &q : sweep) {
        const bool mayAllocate =
            kDriverQueryKeys.count(q.key) != 0 || SweepTreeReadsHost(env.image, q.key) || q.readsPrinter;
        for (bool withBuffer : {false, true}) {
            fake.resetAllocCounters();
            const int32_t r = Ask(q.key, q.database, &q.record, withBuffer);
            EXPECT_EQ(r, withBuffer ? ZMD_OK : ZMD_MORE_DATA) << "key 0x" << std::hex << q.key;
            EXPECT_EQ(fake.outstanding(), 0u) << "key 0x" << std::hex << q.key << " left memory allocated";
            EXPECT_EQ(fake.badFrees, 0) << "key 0x" << std::hex << q.key;
            if (mayAllocate) {
                allocating += fake.allocCalls != 0;
            } else {
                EXPECT_EQ(fake.allocCalls, 0) << "key 0x" << std::hex << q.key << " allocates";
            }
        }
    }
    // With the printer-data selector's record in the frame, none of the
    // shipped image's queries takes memory from the heap (the lists and
    // sequences fit their frames; the country and quiet-mode ways are not
    // on the sweep's paths).
    if (sweep.size() > 100) {
        EXPECT_EQ(allocating, 0);
    }
}

// A failed printer open, a missing setting and an unknown key allocate nothing either.
TEST_F(QueryAllocCount, FailuresAllocateNothing)
{
    std::u16string name = ToU16("no such printer");
    int32_t ints[1] = {0};
    ZMD_SettingsRecord rec{};
    rec.pwszPrinterName = reinterpret_cast<const ZMD_WCHAR *>(name.c_str());
    rec.cInts = 1;
    rec.pnInts = ints;
    uint32_t size = 0;
    fake.resetAllocCounters();
    EXPECT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x0FFF, &rec, 0, nullptr, &size), ZMD_NO_KEY);
    EXPECT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x7001, &rec, 0, nullptr, &size), ZMD_NOT_FOUND);
    ZMD_SettingsRecord empty{};
    ZMD_AccessDataBase(&env, ZMD_DB_DRV, 0x1001, &empty, 0, nullptr, &size);
    ZMD_AccessDataBase(&env, ZMD_DB_LM, 0x2001, &empty, 0, nullptr, &size);
    ZMD_AccessDataBase(&env, ZMD_DB_SM, 0x6001, &empty, 0, nullptr, &size);
    EXPECT_EQ(fake.allocCalls, 0);
    EXPECT_EQ(fake.openHandles(), 0);
}

} // namespace
