// Allocation failure: fail the n-th allocation for every n until the query
// succeeds; each failure gives ZMD_ERROR and leaves nothing allocated, and a
// printer opened by name is still closed.
#include <gtest/gtest.h>

#include <functional>

#include "access.h"
#include "engine.h"
#include "fake_platform.h"
#include "image_builder.h"
#include "test_record.h"

namespace {

// Runs query with the n-th allocation failing, n = 1, 2, ... until a run
// makes fewer than n allocations (nothing failed). Returns the number of
// failing runs.
int Sweep(FakePlatform &fake, const std::function<int32_t()> &query, int32_t success)
{
    for (int n = 1; n < 100; ++n) {
        fake.resetAllocCounters();
        fake.resetSpoolerCounters();
        fake.failAllocAt = n;
        const int32_t r = query();
        EXPECT_EQ(fake.outstanding(), 0u) << "allocation " << n;
        EXPECT_EQ(fake.badFrees, 0) << "allocation " << n;
        EXPECT_EQ(fake.openHandles(), 0) << "allocation " << n;
        if (fake.allocCalls < n) {
            EXPECT_EQ(r, success);
            return n - 1;
        }
        EXPECT_EQ(r, ZMD_ERROR) << "allocation " << n;
    }
    ADD_FAILURE() << "query never succeeded";
    return -1;
}

class AllocFailureTest : public ::testing::Test {
protected:
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view{};
    ZMD_Env env{};
    uint8_t buf[64];
    uint32_t size = 0;
};

TEST_F(AllocFailureTest, PrinterDataSelector)
{
    fake.setDword("Office", "QuietMode", 2);
    uint32_t two = b.add(b.text(0x0002, "two"));
    uint32_t cases = b.addRun({mk::caseEqual(two, 2)});
    b.addKey(0x0002, b.add(mk::selectPrinterData(cases, 1, 1)));
    uint32_t name = b.add(b.text(0x0008, "QuietMode"));
    uint32_t nameCases = b.addRun({mk::caseEqual(name, 1)});
    b.addKey(0x0008, b.add(mk::selectInt(nameCases, 0, 1)));
    view = b.view();
    env = fake.env(&view);
    TestRecord rec;
    rec.setPrinterName("Office");
    int failing = Sweep(
        fake, [&] { return ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x0002, rec.get(), sizeof buf, buf, &size); }, ZMD_OK);
    EXPECT_EQ(failing, 0); // the value name and its root-shaped record are built in the frame
}

TEST_F(AllocFailureTest, CountrySelector)
{
    fake.countryText = "81";
    uint32_t jp = b.add(b.text(0x6001, "jp"));
    uint32_t cases = b.addRun({mk::caseEqual(jp, 81)});
    b.addKey(0x6001, b.add(mk::selectCountry(cases, 1)));
    view = b.view();
    env = fake.env(&view);
    TestRecord rec;
    rec.setPrinterName("Office");
    fake.addPrinter("Office");
    int failing = Sweep(
        fake, [&] { return ZMD_AccessDataBase(&env, ZMD_DB_SM, 0x6001, rec.get(), sizeof buf, buf, &size); }, ZMD_OK);
    EXPECT_EQ(failing, 1);
}

TEST_F(AllocFailureTest, PrinterDataInsideACountryBranch)
{
    // Both services on one path: the country case leads to a printer-data selector.
    fake.setDword("Office", "QuietMode", 2);
    uint32_t two = b.add(b.text(0x0002, "two"));
    uint32_t pdCases = b.addRun({mk::caseEqual(two, 2)});
    uint32_t pd = b.add(mk::selectPrinterData(pdCases, 1, 1));
    uint32_t cCases = b.addRun({mk::caseEqual(pd, 1)});
    b.addKey(0x0002, b.add(mk::selectCountry(cCases, 1)));
    uint32_t name = b.add(b.text(0x0008, "QuietMode"));
    uint32_t nameCases = b.addRun({mk::caseEqual(name, 1)});
    b.addKey(0x0008, b.add(mk::selectInt(nameCases, 0, 1)));
    view = b.view();
    env = fake.env(&view);
    TestRecord rec;
    rec.hPrinter = fake.handleOf("Office");
    ZMD_Node node{};
    int failing = Sweep(
        fake, [&] { return ZMD_FindKey(&env, 0x0002, rec.get(), &node); }, ZMD_OK);
    EXPECT_EQ(failing, 1); // the country text (the root-shaped record is in the frame)
}

} // namespace
