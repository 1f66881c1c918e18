// KZCalibration end to end through the export: request checks, the four
// states and their files, and the calibrated copy checked through its bytes.
#include <gtest/gtest.h>

#include <memory>

#include "cal_types.h"
#include "calib_flow.h"
#include "fake_platform.h"
#include "flow_fixture.h"

namespace {

using kzfile::Bytes;

const char kLine1[] = "7,1,2,3,table1.dat\r\n";

// The 16-bit entry k of curve `curve` in a plain KZHT body of the file.
uint16_t plainEntry(const Bytes &file, uint16_t tableId, int curve, int k)
{
    kzfile::FileInfo info;
    EXPECT_TRUE(kzfile::inspect(file, &info, nullptr));
    const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzht, tableId);
    EXPECT_NE(nullptr, e);
    return e ? kzfile::getU16(file, e->bodyOffset + 512u * curve + 2u * k) : 0;
}

class Flow : public ::testing::Test {
protected:
    FlowScene s;
    void SetUp() override { s.writeSource(flowSource("KZ-CAL 2024-01")); }
};

TEST_F(Flow, RejectsEveryModeButOne)
{
    for (int16_t mode : {2, 0, 3, 4, 5, 6, -1}) {
        s.request.mode = mode;
        EXPECT_EQ(CAL_ERR_REQUEST, s.call()) << "mode " << mode;
        EXPECT_EQ(s.sourceNameBytes(), s.resultBytes()) << "mode " << mode;
    }
    EXPECT_TRUE(s.calib.list().empty());
}

TEST_F(Flow, ChecksTheIdsOfTheFourSlotsOnly)
{
    // Exactly four ids: a read of slot 4 or 5 would be caught by the sanitizers.
    std::unique_ptr<int16_t[]> four(new int16_t[4]{0, 3, -3, 0});
    EXPECT_EQ(CAL_OK, KZCalibration(&s.request, &s.names, four.get(), s.source.wide(), s.calib.wide()));
    EXPECT_EQ("table1.dat", s.result());

    for (int slot = 0; slot < 4; ++slot) {
        FlowScene t;
        t.writeSource(flowSource("x"));
        for (int i = 0; i < 4; ++i) {
            t.ids[i] = i == slot ? 2 : 0;
        }
        t.ids[4] = 2; // not in use: ignored when the others pass
        EXPECT_EQ(CAL_ERR_REQUEST, t.call()) << "slot " << slot;
        EXPECT_EQ(t.sourceNameBytes(), t.resultBytes());
        EXPECT_TRUE(t.calib.list().empty()) << "slot " << slot;
    }
    FlowScene u;
    u.writeSource(flowSource("x"));
    u.ids[4] = 2;
    u.ids[5] = -8;
    EXPECT_EQ(CAL_OK, u.call());
    EXPECT_EQ("table1.dat", u.result());
}

TEST_F(Flow, PassThroughTouchesNothing)
{
    std::string missing = s.calib.file("missing");
    std::basic_string<KZ_WCHAR> wideMissing = toWideString(missing);
    for (int slot = 0; slot < 4; ++slot) {
        int16_t ids[4] = {3, -3, 0, 3};
        ids[slot] = -8;
        memset(s.names.resultName, 'x', 16);
        EXPECT_EQ(CAL_OK, KZCalibration(&s.request, &s.names, ids, s.source.wide(), wideMissing.c_str()));
        EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());

        FakePlatform fake;
        EXPECT_EQ(CAL_OK,
                  flowCalibrate(fake.platform(), &s.request, &s.names, ids, s.source.wide(), wideMissing.c_str()));
        EXPECT_EQ(0, fake.allocs);
        EXPECT_EQ(0, fake.fileOps);
    }
    EXPECT_FALSE(s.calib.exists("missing"));
    EXPECT_TRUE(s.calib.list().empty());
    EXPECT_EQ(std::vector<std::string>{"Table0.dat"}, s.source.list());

    // An id that is not accepted is found before the pass-through.
    int16_t ids[4] = {-8, 2, 0, 0};
    EXPECT_EQ(CAL_ERR_REQUEST, KZCalibration(&s.request, &s.names, ids, s.source.wide(), wideMissing.c_str()));
}

TEST_F(Flow, FirstCallMakesTheListAndTheCopy)
{
    Bytes source = s.sourceBytes();
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ(std::string("table1.dat\0\0\0\0\0\0", 16), s.resultBytes());
    EXPECT_EQ(kLine1, s.list());
    EXPECT_EQ((std::vector<std::string>{"abcde007.ini", "table1.dat"}), s.calib.list());
    Bytes copy = s.calibFile("table1.dat");
    EXPECT_EQ(s.expected(), copy);
    EXPECT_NE(source, copy);
    EXPECT_EQ(source, s.sourceBytes()) << "the caller's file is never written";

    // Table 1201, curve 0 (slot 0, id -3): the telling row of its built-in curve.
    const int rows[13] = {0, 1, 2, 16, 32, 64, 96, 128, 160, 192, 224, 254, 255};
    const uint16_t want[13] = {0, 8, 17, 124, 238, 485, 792, 1172, 1628, 2195, 2971, 4055, 4080};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(want[i], plainEntry(copy, 1201, 0, rows[i])) << "entry " << rows[i];
    }
    // Curve 1 (slot 1, neutral) and table 1202 (no built-in curves) keep theirs.
    EXPECT_EQ(plainEntry(source, 1201, 1, 200), plainEntry(copy, 1201, 1, 200));
    EXPECT_EQ(plainEntry(source, 1202, 0, 200), plainEntry(copy, 1202, 0, 200));
}

TEST_F(Flow, SameCallAgainOnlyLooksTheCopyUp)
{
    ASSERT_EQ(CAL_OK, s.call());
    Bytes copy = s.calibFile("table1.dat");
    FakePlatform fake;
    memset(s.names.resultName, 'x', 16);
    ASSERT_EQ(CAL_OK, s.callOn(fake.platform()));
    EXPECT_EQ("table1.dat", s.result());
    EXPECT_TRUE(fake.touched.empty()) << "nothing is written, created or deleted";
    EXPECT_EQ(0, fake.writes);
    // The list, the copy (presence and currency at once) and the source.
    EXPECT_EQ(3, fake.opens);
    EXPECT_EQ(0, fake.openHandles);
    EXPECT_EQ(0, fake.outstandingAllocs);
    EXPECT_EQ(copy, s.calibFile("table1.dat"));
    EXPECT_EQ(kLine1, s.list());
}

TEST_F(Flow, DeletedCopyIsMadeAgainUnderItsName)
{
    ASSERT_EQ(CAL_OK, s.call());
    s.calib.remove("table1.dat");
    FakePlatform fake;
    ASSERT_EQ(CAL_OK, s.callOn(fake.platform()));
    EXPECT_EQ("table1.dat", s.result());
    EXPECT_EQ(s.expected(), s.calibFile("table1.dat"));
    for (const std::string &name : touchedNames(fake)) {
        EXPECT_EQ("table1.dat", name) << "the list stays as it is";
    }
    EXPECT_EQ(kLine1, s.list());
}

TEST_F(Flow, NewIdentificationRefreshesTheCopy)
{
    ASSERT_EQ(CAL_OK, s.call());
    // A source of the same size with other bytes but the same
    // identification string is still taken as current: the string decides.
    Bytes first = s.calibFile("table1.dat");
    Bytes changed = s.sourceBytes();
    changed.back() = static_cast<uint8_t>(changed.back() ^ 0x5A);
    s.writeSource(changed);
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ(first, s.calibFile("table1.dat"));
    // One of another size is not (calibration never changes a file's size).
    kzfile::FileDesc other;
    other.ident = "KZ-CAL 2024-01";
    other.tables = {};
    s.writeSource(kzfile::buildFile(other));
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ(s.sourceBytes(), s.calibFile("table1.dat")) << "no tables: the copy is the source";

    s.writeSource(flowSource("KZ-CAL 2024-02"));
    FakePlatform fake;
    ASSERT_EQ(CAL_OK, s.callOn(fake.platform()));
    EXPECT_EQ("table1.dat", s.result());
    EXPECT_EQ(s.expected(), s.calibFile("table1.dat"));
    for (const std::string &name : touchedNames(fake)) {
        EXPECT_EQ("table1.dat", name);
    }
    EXPECT_EQ(kLine1, s.list());
}

TEST_F(Flow, SecondKeyTakesTheNextName)
{
    ASSERT_EQ(CAL_OK, s.call());
    s.request.param1 = 9;
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ("table2.dat", s.result());
    EXPECT_EQ(std::string(kLine1) + "7,9,2,3,table2.dat\r\n", s.list());
    EXPECT_EQ(s.expected(), s.calibFile("table2.dat"));

    // Another list number is another list file, whose first copy must not
    // overwrite the copies of the first one.
    s.request.listNumber = 8;
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ("table3.dat", s.result());
    EXPECT_EQ("8,9,2,3,table3.dat\r\n", s.calib.read("abcde008.ini"));
}

TEST_F(Flow, SameKeyWithOtherIdsGetsTheFirstCopy)
{
    ASSERT_EQ(CAL_OK, s.call());
    Bytes first = s.calibFile("table1.dat");
    int16_t other[6] = {3, 3, 0, -3, 0, 0};
    memcpy(s.ids, other, sizeof other);
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ("table1.dat", s.result());
    EXPECT_EQ(first, s.calibFile("table1.dat"));
    EXPECT_NE(s.expected(), first) << "the ids are not part of the key";
    EXPECT_EQ(kLine1, s.list());
}

TEST_F(Flow, EmptyOrMissingSourceFails)
{
    s.writeSource(Bytes());
    EXPECT_EQ(CAL_ERR_FILE, s.call());
    EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());
    EXPECT_TRUE(s.calib.list().empty()) << "no list, no copy";

    s.calib.write("abcde007.ini", "9,0,0,0,other1.dat\r\n");
    EXPECT_EQ(CAL_ERR_FILE, s.call());
    EXPECT_EQ("9,0,0,0,other1.dat\r\n", s.list());
    EXPECT_EQ(std::vector<std::string>{"abcde007.ini"}, s.calib.list());

    s.source.remove("Table0.dat");
    EXPECT_EQ(CAL_ERR_FILE, s.call());
    EXPECT_EQ(std::vector<std::string>{"abcde007.ini"}, s.calib.list());
}

TEST(FlowNames, FifteenCharacterNameIsReturnedWithItsTerminator)
{
    FlowScene s("ABCDEFGHIJK.DAT");
    s.writeSource(flowSource("x"));
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ(std::string("abcdefghij1.dat\0", 16), s.resultBytes());
    EXPECT_EQ("7,1,2,3,abcdefghij1.dat\r\n", s.list());
    EXPECT_EQ(s.expected(), s.calibFile("abcdefghij1.dat"));

    // Map.dat varies its 'p'.
    FlowScene m("Map.dat");
    m.writeSource(flowSource("x"));
    ASSERT_EQ(CAL_OK, m.call());
    EXPECT_EQ("ma1.dat", m.result());
}

#ifdef CALIBMOD_SAMPLE_FILE
TEST(FlowSample, TheShippedSampleCalibrates)
{
    FlowScene s;
    kzfile::Bytes bytes;
    std::string error;
    ASSERT_TRUE(kzfile::readFile(CALIBMOD_SAMPLE_FILE, &bytes, &error)) << error;
    s.writeSource(bytes);
    ASSERT_EQ(CAL_OK, s.call());
    Bytes copy = s.calibFile(s.result());
    EXPECT_EQ(s.expected(), copy);
    EXPECT_NE(bytes, copy);
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ(copy, s.calibFile(s.result()));
}
#endif

} // namespace
