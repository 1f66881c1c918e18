// The export frame: record and range checks, the request copy, the printer
// opened by name and closed again, and the size protocol end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "access.h"
#include "depbase.h"
#include "fake_platform.h"
#include "image_builder.h"
#include "test_record.h"

namespace {

struct Db {
    uint32_t id;
    uint32_t first;
    uint32_t last;
};
const Db kDbs[] = {{ZMD_DB_ROOT, 0x0001, 0x0FFF}, {ZMD_DB_DRV, 0x1001, 0x1FFF}, {ZMD_DB_LM, 0x2001, 0x2FFF},
                   {ZMD_DB_MNT, 0x3001, 0x3FFF},  {ZMD_DB_PA, 0x4001, 0x4FFF},  {ZMD_DB_SM, 0x6001, 0x6FFF}};

class AccessTest : public ::testing::Test {
protected:
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view{};
    ZMD_Env env{};
    void *printer = nullptr;
    uint32_t size = 0xDEAD;
    uint8_t buf[64];

    // Keys: 0x0002 TEXT "1.50"; 0x0003 selects on printer data (value name
    // from 0x0008: "QuietMode"), default "quiet?"; 0x0004 selects on integer
    // setting 3; one value at the first and last key of every database; one
    // at 0x5001 and at 0x0000, 0x1000 and 0x7001 that no export may reach.
    void SetUp() override
    {
        printer = fake.addPrinter("Office");
        std::memset(buf, 0xEE, sizeof buf);
        std::vector<std::pair<uint16_t, uint32_t>> keys;
        keys.push_back({0x0000, b.add(b.text(0x0000, "zero"))});
        keys.push_back({0x0002, b.add(b.text(0x0002, "1.50"))});
        uint32_t on = b.add(b.text(0x0003, "on")), unknown = b.add(b.text(0x0003, "quiet?"));
        uint32_t pdCases = b.addRun({mk::caseEqual(on, 1), mk::caseDefault(unknown)});
        keys.push_back({0x0003, b.add(mk::selectPrinterData(pdCases, 1, 2))});
        uint32_t four = b.add(b.text(0x0004, "four"));
        uint32_t intCases = b.addRun({mk::caseDefault(four)});
        keys.push_back({0x0004, b.add(mk::selectInt(intCases, 3, 1))});
        uint32_t name = b.add(b.text(0x0008, "QuietMode"));
        uint32_t nameCases = b.addRun({mk::caseEqual(name, 1)});
        keys.push_back({0x0008, b.add(mk::selectInt(nameCases, 0, 1))});
        for (const Db &db : kDbs) {
            for (uint32_t k : {db.first, db.last}) {
                if (k != 0x0001) {
                    keys.push_back({static_cast<uint16_t>(k), b.add(b.int32s(static_cast<uint16_t>(k), {int32_t(k)}))});
                }
            }
        }
        for (uint16_t k : {0x1000, 0x5001, 0x6000, 0x7001}) {
            keys.push_back({k, b.add(b.int32s(k, {k}))});
        }
        std::sort(keys.begin(), keys.end());
        for (auto &k : keys) {
            b.addKey(k.first, k.second);
        }
        view = b.view();
        env = fake.env(&view);
    }
    int32_t access(uint32_t db, uint32_t key, TestRecord *rec, uint32_t cb = 64, bool withBuffer = true)
    {
        return ZMD_AccessDataBase(&env, db, key, rec ? rec->get() : nullptr, cb, withBuffer ? buf : nullptr, &size);
    }
    std::u16string text() const
    {
        std::u16string s(size / 2, u'?');
        std::memcpy(&s[0], buf, size);
        return s;
    }
};

TEST_F(AccessTest, RecordIsCheckedBeforeTheRange)
{
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x7001, nullptr), ZMD_BAD_RECORD);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0002, nullptr), ZMD_BAD_RECORD);
    EXPECT_EQ(size, 0xDEADu);
}

TEST_F(AccessTest, EachExportAcceptsItsRangeOnly)
{
    TestRecord rec({0, 0, 0, 0});
    for (const Db &db : kDbs) {
        EXPECT_EQ(access(db.id, db.first - 1, &rec), ZMD_NOT_FOUND) << std::hex << db.first - 1;
        EXPECT_EQ(access(db.id, db.last + 1, &rec), ZMD_NOT_FOUND) << std::hex << db.last + 1;
        EXPECT_EQ(access(db.id, 0x5001, &rec), ZMD_NOT_FOUND);
        EXPECT_EQ(access(db.id, 0x7001, &rec), ZMD_NOT_FOUND);
        EXPECT_EQ(access(db.id, 0xFFFF, &rec), ZMD_NOT_FOUND);
        EXPECT_EQ(access(db.id, db.last, &rec), ZMD_OK) << std::hex << db.last;
        if (db.first != 0x0001) {
            EXPECT_EQ(access(db.id, db.first, &rec), ZMD_OK) << std::hex << db.first;
        }
    }
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0000, &rec), ZMD_NOT_FOUND);
    EXPECT_EQ(access(ZMD_DB_DRV, 0x1000, &rec), ZMD_NOT_FOUND);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0001, &rec), ZMD_NO_KEY);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0FFE, &rec), ZMD_NO_KEY);
    EXPECT_EQ(access(99, 0x0002, &rec), ZMD_ERROR);
}

// The six databases are 0..5: the first index past the table is an error
// for every key, before any printer is opened or any answer written.
TEST_F(AccessTest, DatabaseIndexSixIsPastTheTable)
{
    TestRecord rec;
    rec.setPrinterName("Office");
    for (uint32_t key : {0x0000u, 0x0002u, 0x1001u, 0x6001u, 0x7001u, 0xFFFFu}) {
        size = 0xDEAD;
        EXPECT_EQ(access(6, key, &rec), ZMD_ERROR) << std::hex << key;
        EXPECT_EQ(size, 0xDEADu);
    }
    EXPECT_EQ(fake.openCalls, 0);
    EXPECT_EQ(access(5, 0x6001, &rec), ZMD_OK);
}

TEST_F(AccessTest, HighBitsOfTheKeyAreIgnored)
{
    TestRecord rec;
    ASSERT_EQ(access(ZMD_DB_ROOT, 0x00010002, &rec), ZMD_OK);
    EXPECT_EQ(text(), std::u16string(u"1.50") + u'\0');
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x00011000, &rec), ZMD_NOT_FOUND);
}

TEST_F(AccessTest, SizeProtocolThroughTheFrame)
{
    TestRecord rec;
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0002, &rec, 0, false), ZMD_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0002, &rec, 9), ZMD_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(buf[0], 0xEE);
    size = 0;
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0002, &rec, 10), ZMD_OK);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(buf[10], 0xEE);
}

TEST_F(AccessTest, SizeWordUntouchedOnOtherResults)
{
    TestRecord rec;
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0001, &rec), ZMD_NO_KEY);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0004, &rec), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_BAD_RECORD);
    EXPECT_EQ(size, 0xDEADu);
}

TEST_F(AccessTest, NullSizeWordIsAnErrorAndWritesNothing)
{
    TestRecord rec;
    rec.setPrinterName("Office");
    EXPECT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x0002, rec.get(), sizeof buf, buf, nullptr), ZMD_ERROR);
    EXPECT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_DRV, 0x1001, rec.get(), 0, nullptr, nullptr), ZMD_ERROR);
    EXPECT_EQ(buf[0], 0xEE);
    EXPECT_EQ(fake.openCalls, 0);
    // The record and range checks still come first.
    EXPECT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x0002, nullptr, 0, nullptr, nullptr), ZMD_BAD_RECORD);
    EXPECT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_ROOT, 0x1001, rec.get(), 0, nullptr, nullptr), ZMD_NOT_FOUND);
}

TEST_F(AccessTest, CallersHandleIsUsedAndNeverClosed)
{
    fake.setDword("Office", "QuietMode", 1);
    TestRecord rec;
    rec.hPrinter = printer;
    rec.setPrinterName("Office");
    ASSERT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_OK);
    EXPECT_EQ(text(), std::u16string(u"on") + u'\0');
    EXPECT_EQ(fake.openCalls, 0);
    EXPECT_EQ(fake.closeCalls, 0);
    EXPECT_EQ(rec.get()->hPrinter, printer);
}

TEST_F(AccessTest, PrinterOpenedByNameIsClosedOnEveryResult)
{
    fake.setDword("Office", "QuietMode", 1);
    TestRecord rec;
    rec.setPrinterName("Office");
    ASSERT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_OK);
    EXPECT_EQ(text(), std::u16string(u"on") + u'\0');
    EXPECT_EQ(fake.openCalls, 1);
    EXPECT_EQ(fake.closeCalls, 1);
    ASSERT_EQ(fake.closedHandles.size(), 1u);
    EXPECT_EQ(fake.closedHandles[0], printer);

    const int32_t expected[] = {ZMD_MORE_DATA, ZMD_NO_KEY, ZMD_BAD_INT_SETTING, ZMD_OK};
    const uint32_t keys[] = {0x0002, 0x0001, 0x0004, 0x1001};
    const uint32_t dbs[] = {ZMD_DB_ROOT, ZMD_DB_ROOT, ZMD_DB_ROOT, ZMD_DB_DRV};
    for (int i = 0; i < 4; ++i) {
        fake.resetSpoolerCounters();
        EXPECT_EQ(access(dbs[i], keys[i], &rec, i == 0 ? 1 : 64), expected[i]);
        EXPECT_EQ(fake.openCalls, 1);
        EXPECT_EQ(fake.closeCalls, 1);
        EXPECT_EQ(fake.openHandles(), 0);
    }
    // The caller's record is not changed.
    EXPECT_EQ(rec.get()->hPrinter, nullptr);
}

TEST_F(AccessTest, KeyOutOfRangeOpensNothing)
{
    TestRecord rec;
    rec.setPrinterName("Office");
    EXPECT_EQ(access(ZMD_DB_LM, 0x0002, &rec), ZMD_NOT_FOUND);
    EXPECT_EQ(fake.openCalls, 0);
}

TEST_F(AccessTest, FailedOpenIsSilentUntilPrinterDataIsNeeded)
{
    TestRecord rec;
    rec.setPrinterName("Nowhere");
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0002, &rec), ZMD_OK);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_BAD_RECORD);
    EXPECT_EQ(fake.openCalls, 2);
    EXPECT_EQ(fake.closeCalls, 0);
    EXPECT_EQ(fake.getDataCalls, 0);
}

TEST_F(AccessTest, NoHandleNoNameMakesNoSpoolerCall)
{
    TestRecord rec({0, 0, 0, 0});
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_BAD_RECORD);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0004, &rec), ZMD_OK);
    EXPECT_EQ(fake.openCalls + fake.closeCalls + fake.getDataCalls, 0);
}

TEST_F(AccessTest, AbsentPrinterValueFollowsTheDefault)
{
    TestRecord rec;
    rec.setPrinterName("Office");
    ASSERT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_OK);
    EXPECT_EQ(text(), std::u16string(u"quiet?") + u'\0');
    EXPECT_EQ(fake.getDataCalls, 1);
}

// The frame's printer hold, over the fake platform with holds: every
// function forwards to the fake; the held read and the release are recorded.
class HoldTest : public AccessTest {
protected:
    struct Held {
        const ZMD_Platform *inner;
        std::vector<std::string> events; // "read", "release", "close", in order
        std::vector<ZMD_PrinterHold *> holds;
        bool openedForQuery = false;
    };
    Held held{};
    ZMD_Platform table{};

    static const ZMD_Platform *Inner(void *ctx) { return static_cast<Held *>(ctx)->inner; }

    void SetUp() override
    {
        AccessTest::SetUp();
        held.inner = fake.platform();
        table.ctx = &held;
        table.openPrinter = [](void *c, const ZMD_WCHAR *n, void **h) {
            return Inner(c)->openPrinter(Inner(c)->ctx, n, h);
        };
        table.closePrinter = [](void *c, void *h) {
            static_cast<Held *>(c)->events.push_back("close");
            Inner(c)->closePrinter(Inner(c)->ctx, h);
        };
        table.getPrinterData = [](void *c, void *h, const ZMD_WCHAR *n, void *d, uint32_t cb, uint32_t *need) {
            return Inner(c)->getPrinterData(Inner(c)->ctx, h, n, d, cb, need);
        };
        table.getLocalTime = [](void *c, ZMD_LocalTime *t) { Inner(c)->getLocalTime(Inner(c)->ctx, t); };
        table.getCountryText = [](void *c, char *b, int cb) { return Inner(c)->getCountryText(Inner(c)->ctx, b, cb); };
        table.alloc = [](void *c, size_t n) { return Inner(c)->alloc(Inner(c)->ctx, n); };
        table.free = [](void *c, void *m) { Inner(c)->free(Inner(c)->ctx, m); };
        table.getHeldPrinterData = [](void *c, ZMD_PrinterHold *hold, const ZMD_WCHAR *n, void *d, uint32_t cb,
                                      uint32_t *need) {
            Held *self = static_cast<Held *>(c);
            self->events.push_back("read");
            self->holds.push_back(hold);
            self->openedForQuery = hold->openedForQuery;
            hold->state = self; // the hold keeps something once it read
            return Inner(c)->getPrinterData(Inner(c)->ctx, hold->handle, n, d, cb, need);
        };
        table.releaseHold = [](void *c, ZMD_PrinterHold *hold) {
            static_cast<Held *>(c)->events.push_back("release");
            hold->state = nullptr;
        };
        env = ZMD_Env{&view, &table};
    }
    using Events = std::vector<std::string>;
};

TEST_F(HoldTest, AQueryHoldsWhatItReadsAndReleasesItOnce)
{
    fake.setDword("Office", "QuietMode", 1);
    TestRecord rec;
    rec.hPrinter = printer;
    ASSERT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_OK);
    EXPECT_EQ(text(), std::u16string(u"on") + u'\0');
    EXPECT_EQ(held.events, (Events{"read", "release"}));
    ASSERT_EQ(held.holds.size(), 1u);
    EXPECT_FALSE(held.openedForQuery);
    EXPECT_EQ(rec.get()->hPrinter, printer);

    // A query that reads nothing releases nothing; one without a printer
    // holds nothing.
    held.events.clear();
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0002, &rec), ZMD_OK);
    TestRecord none;
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0003, &none), ZMD_BAD_RECORD);
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0002, &none), ZMD_OK);
    EXPECT_EQ(held.events, Events{});
}

TEST_F(HoldTest, APrinterOpenedByNameIsReleasedBeforeItIsClosed)
{
    fake.setDword("Office", "QuietMode", 1);
    TestRecord rec;
    rec.setPrinterName("Office");
    ASSERT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_OK);
    EXPECT_EQ(held.events, (Events{"read", "release", "close"}));
    EXPECT_TRUE(held.openedForQuery);
    EXPECT_EQ(rec.get()->hPrinter, nullptr); // the caller's record is not changed

    // Opened but nothing read: closed, nothing released.
    held.events.clear();
    EXPECT_EQ(access(ZMD_DB_ROOT, 0x0002, &rec), ZMD_OK);
    EXPECT_EQ(held.events, Events{"close"});
}

TEST_F(HoldTest, AQueryInsideAnotherForThePrinterSharesItsHold)
{
    fake.setDword("Office", "QuietMode", 1);
    TestRecord rec;
    rec.hPrinter = printer;
    ZMD_PrinterHold outer{printer, nullptr, false};
    env.hold = &outer;
    ASSERT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_OK);
    EXPECT_EQ(held.events, Events{"read"}); // the outer query releases it
    ASSERT_EQ(held.holds.size(), 1u);
    EXPECT_EQ(held.holds[0], &outer);

    // An outer hold for another printer is not this query's.
    void *other = fake.addPrinter("Other");
    fake.setDword("Other", "QuietMode", 1);
    held.events.clear();
    held.holds.clear();
    ZMD_PrinterHold otherHold{other, nullptr, false};
    env.hold = &otherHold;
    ASSERT_EQ(access(ZMD_DB_ROOT, 0x0003, &rec), ZMD_OK);
    EXPECT_EQ(held.events, (Events{"read", "release"}));
    ASSERT_EQ(held.holds.size(), 1u);
    EXPECT_NE(held.holds[0], &otherHold);
    EXPECT_EQ(otherHold.state, nullptr);
}

// The shipped exports over the shipped image and the host platform.
TEST(Exports, AnswerTheVersionKeyAndCheckRanges)
{
    ZMD_SettingsRecord rec{};
    int32_t ints[1] = {0};
    const char *strings[1] = {nullptr};
    rec.cInts = 1;
    rec.pnInts = ints;
    rec.cStrings = 1;
    rec.ppszStrings = strings;
    uint32_t size = 0;
    ASSERT_EQ(ZMD_AccessRootDataBase(0x0002, &rec, 0, nullptr, &size), ZMD_MORE_DATA);
    ASSERT_EQ(size, 10u);
    char16_t text[5];
    ASSERT_EQ(ZMD_AccessRootDataBase(0x00010002, &rec, sizeof text, text, &size), ZMD_OK);
    EXPECT_EQ(std::u16string(text, 5), std::u16string(u"1.50") + u'\0');
    EXPECT_EQ(ZMD_AccessRootDataBase(0x0001, &rec, 0, nullptr, &size), ZMD_NO_KEY);
    EXPECT_EQ(ZMD_AccessDrvDataBase(0x1FFF, &rec, 0, nullptr, &size), ZMD_NO_KEY);
    EXPECT_EQ(ZMD_AccessRootDataBase(0x0000, &rec, 0, nullptr, &size), ZMD_NOT_FOUND);
    EXPECT_EQ(ZMD_AccessDrvDataBase(0x1000, &rec, 0, nullptr, &size), ZMD_NOT_FOUND);
    EXPECT_EQ(ZMD_AccessSMDataBase(0x7001, nullptr, 0, nullptr, &size), ZMD_BAD_RECORD);
    using Export = int32_t (*)(uint32_t, ZMD_SettingsRecord *, uint32_t, void *, uint32_t *);
    for (Export e : {&ZMD_AccessRootDataBase, &ZMD_AccessDrvDataBase, &ZMD_AccessLMDataBase, &ZMD_AccessMntDataBase,
                     &ZMD_AccessPADataBase, &ZMD_AccessSMDataBase}) {
        EXPECT_EQ(e(0x5001, &rec, 0, nullptr, &size), ZMD_NOT_FOUND);
        EXPECT_EQ(e(0x5FFF, &rec, 0, nullptr, &size), ZMD_NOT_FOUND);
        EXPECT_EQ(e(0x0002, &rec, 0, nullptr, nullptr), e == &ZMD_AccessRootDataBase ? ZMD_ERROR : ZMD_NOT_FOUND);
    }
}

} // namespace
