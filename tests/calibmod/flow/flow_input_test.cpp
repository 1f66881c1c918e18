// KZCalibration on bad input and failing calibrations: unusable names, null
// arguments, identification strings of any length, and copies that must not
// survive a failed calibration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "cal_types.h"
#include "calib_flow.h"
#include "fake_platform.h"
#include "flow_fixture.h"

namespace {

using kzfile::Bytes;

// A request rejected before anything is touched.
void expectRejectedUntouched(FlowScene &s, const char *what)
{
    FakePlatform fake;
    EXPECT_EQ(CAL_ERR_REQUEST, s.callOn(fake.platform())) << what;
    EXPECT_EQ(std::string(s.names.sourceName, 16), s.resultBytes()) << what;
    EXPECT_EQ(0, fake.allocs) << what;
    EXPECT_EQ(0, fake.fileOps) << what;
    EXPECT_EQ(CAL_ERR_REQUEST, s.call()) << what;
    EXPECT_TRUE(s.calib.list().empty()) << what;
}

TEST(FlowInput, RejectsSourceNamesWithoutAPlaceToVary)
{
    const char *bad[] = {"a/b.dat", "a\\b.dat", "c:b.dat", "..", "nodot", ".dat", "", "abc/"};
    for (const char *name : bad) {
        FlowScene s(name);
        expectRejectedUntouched(s, name);
    }
    // Sixteen characters leave no room for the terminator, dot or not.
    for (const char *name : {"abcdefghijklmnop", "abcdefghijklm.da"}) {
        FlowScene s;
        memcpy(s.names.sourceName, name, 16);
        expectRejectedUntouched(s, name);
    }
    // A first '.' followed by another one is fine.
    FlowScene ok(".cal.dat");
    ok.writeSource(flowSource("x"));
    EXPECT_EQ(CAL_OK, ok.call());
    EXPECT_EQ(".ca1.dat", ok.result());
}

TEST(FlowInput, RejectsListPrefixesThatLeaveTheDirectory)
{
    const char *bad[] = {"ab/de", "ab\\de", "ab:de", "abcd"};
    for (const char *prefix : bad) {
        FlowScene s("Table0.dat", prefix);
        s.writeSource(flowSource("x"));
        expectRejectedUntouched(s, prefix);
    }
    FlowScene zero;
    memcpy(zero.names.listPrefix, "ab\0de", 5);
    zero.writeSource(flowSource("x"));
    expectRejectedUntouched(zero, "zero byte");
}

TEST(FlowInput, NullArgumentsNeverCrash)
{
    FlowScene s;
    s.writeSource(flowSource("x"));
    const KZ_WCHAR *src = s.source.wide();
    const KZ_WCHAR *cal = s.calib.wide();
    EXPECT_EQ(CAL_ERR_REQUEST, KZCalibration(nullptr, &s.names, s.ids, src, cal));
    EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());
    memset(s.names.resultName, 'x', 16);
    EXPECT_EQ(CAL_ERR_REQUEST, KZCalibration(&s.request, &s.names, nullptr, src, cal));
    EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());
    memset(s.names.resultName, 'x', 16);
    EXPECT_EQ(CAL_ERR_REQUEST, KZCalibration(&s.request, &s.names, s.ids, nullptr, cal));
    EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());
    memset(s.names.resultName, 'x', 16);
    EXPECT_EQ(CAL_ERR_REQUEST, KZCalibration(&s.request, &s.names, s.ids, src, nullptr));
    EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());
    EXPECT_EQ(CAL_ERR_REQUEST, KZCalibration(&s.request, nullptr, s.ids, src, cal));
    EXPECT_EQ(CAL_ERR_REQUEST, KZCalibration(nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(s.calib.list().empty());
}

TEST(FlowInput, LongIdentificationStringsAreComparedWhole)
{
    const std::string base(40, 'K'); // longer than 31 bytes
    FlowScene s;
    s.writeSource(flowSource(base));
    ASSERT_EQ(CAL_OK, s.call());
    FakePlatform fake;
    ASSERT_EQ(CAL_OK, s.callOn(fake.platform()));
    EXPECT_TRUE(fake.touched.empty()) << "the same long string is current";

    // Different only after byte 32, then different only in length.
    for (const std::string &ident : {base.substr(0, 35) + "Z" + base.substr(36), base + "K", base.substr(0, 32)}) {
        s.writeSource(flowSource(ident));
        fake.resetCounts();
        ASSERT_EQ(CAL_OK, s.callOn(fake.platform()));
        std::vector<std::string> touched = touchedNames(fake);
        EXPECT_FALSE(touched.empty()) << "refreshed: " << ident;
        for (const std::string &name : touched) {
            EXPECT_EQ("table1.dat", name);
        }
        kzfile::FileInfo info;
        ASSERT_TRUE(kzfile::inspect(s.calibFile("table1.dat"), &info, nullptr));
        EXPECT_EQ(ident, info.ident);
        EXPECT_EQ(s.expected(), s.calibFile("table1.dat"));
    }
}

// Sets the identification length word of a file to a value beyond its end.
Bytes withIdentLength(Bytes file, uint32_t length)
{
    kzfile::putU32(file, kzfile::getU32(file, 4) + 4, length);
    return file;
}

TEST(FlowInput, IdentificationBeyondTheFileIsUnreadable)
{
    FlowScene s;
    s.writeSource(flowSource("KZ-CAL"));
    ASSERT_EQ(CAL_OK, s.call());
    Bytes good = s.calibFile("table1.dat");

    // The copy's string runs past its end: not current, made again.
    for (uint32_t length : {static_cast<uint32_t>(good.size()), 0x7FFFFFF0u}) {
        Bytes broken = withIdentLength(good, length);
        s.calib.write("table1.dat", std::string(broken.begin(), broken.end()));
        ASSERT_EQ(CAL_OK, s.call());
        EXPECT_EQ(good, s.calibFile("table1.dat"));
    }

    // The source's string runs past its end: no copy is ever current, each
    // call makes it again (and succeeds).
    s.writeSource(withIdentLength(flowSource("KZ-CAL"), 5000));
    for (int i = 0; i < 2; ++i) {
        FakePlatform fake;
        ASSERT_EQ(CAL_OK, s.callOn(fake.platform()));
        EXPECT_FALSE(fake.touched.empty()) << "call " << i;
        EXPECT_EQ(s.expected(), s.calibFile("table1.dat"));
    }
}

// A source whose table database names a KZHT table that is not in the
// file: the table update fails after the copy has been made.
Bytes brokenSource(const std::string &ident)
{
    kzfile::FileDesc fileDesc;
    fileDesc.ident = ident;
    kzfile::Table db{kzfile::kTagKzdb, 1000, kzfile::kzdbBody(0, {1201, 1203})};
    kzfile::Table ht{kzfile::kTagKzht, 1201, kzfile::plainBody(std::vector<kzfile::Curve>(4, kzfile::rampCurve(0, 9)))};
    fileDesc.tables = {db, ht};
    return kzfile::buildFile(fileDesc);
}

TEST(FlowInput, FailedRefreshLeavesNoCopyToBeFoundCurrent)
{
    FlowScene s;
    s.writeSource(flowSource("KZ-CAL 1"));
    ASSERT_EQ(CAL_OK, s.call());
    const std::string list = s.list();

    const Bytes old = s.calibFile("table1.dat");
    s.writeSource(brokenSource("KZ-CAL 2"));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(CAL_ERR_FILE, s.call()) << "call " << i << ": a half-calibrated copy was taken as current";
        EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());
        // The stale copy stays as it was (its string is the old source's, so
        // it is never current); nothing half made takes its place.
        EXPECT_EQ(old, s.calibFile("table1.dat"));
        EXPECT_FALSE(s.calib.exists(CAL_TEMP_COPY_NAME));
        EXPECT_EQ(list, s.list());
    }
    s.writeSource(flowSource("KZ-CAL 3"));
    ASSERT_EQ(CAL_OK, s.call());
    EXPECT_EQ("table1.dat", s.result());
    EXPECT_EQ(s.expected(), s.calibFile("table1.dat"));
    EXPECT_EQ(list, s.list());
}

TEST(FlowInput, FailedNewCopyIsRemoved)
{
    FlowScene s;
    s.writeSource(brokenSource("KZ-CAL"));
    EXPECT_EQ(CAL_ERR_FILE, s.call());
    EXPECT_TRUE(s.calib.list().empty());

    s.calib.write("abcde007.ini", "9,0,0,0,other1.dat\r\n");
    EXPECT_EQ(CAL_ERR_FILE, s.call());
    EXPECT_EQ(std::vector<std::string>{"abcde007.ini"}, s.calib.list());
}

TEST(FlowInput, FailedListUpdateRemovesTheCopy)
{
    FlowScene s;
    s.writeSource(flowSource("KZ-CAL"));
    s.calib.makeSubdir("abcde007.ini"); // cannot be read, replaced or written
    EXPECT_EQ(CAL_ERR_FILE, s.call());
    EXPECT_EQ(s.sourceNameBytes(), s.resultBytes());
    EXPECT_EQ(std::vector<std::string>{"abcde007.ini"}, s.calib.list()) << "no unlisted copy stays";
}

TEST(FlowInput, RecycledNameIsNotLeftToItsOldKeyHalfMade)
{
    // 35 similar entries of other keys take every candidate; the oldest
    // (table1.dat, key 9,0,0,0) gives up its name. When the list cannot be
    // written afterwards, the old key must not find the new request's copy.
    FlowScene s;
    s.writeSource(flowSource("KZ-CAL"));
    std::string list;
    const char *c = "123456789abcdefghijklmnopqrstuvwxyz";
    for (int i = 0; c[i]; ++i) {
        list += "9," + std::to_string(i) + ",0,0,table" + std::string(1, c[i]) + ".dat\r\n";
    }
    s.calib.write("abcde007.ini", list);

    FakePlatform fake;
    // Fail the first deletion of the list file (the rewrite's recreation).
    for (long n = 1; n < 400; ++n) {
        fake.resetCounts();
        fake.failFileOpAt = n;
        s.calib.write("abcde007.ini", list);
        s.calib.remove("table1.dat");
        int16_t rc = s.callOn(fake.platform());
        std::vector<std::string> names = touchedNames(fake);
        bool listTouched = std::find(names.begin(), names.end(), "abcde007.ini") != names.end();
        if (rc == CAL_ERR_FILE && listTouched) {
            EXPECT_EQ(list, s.list()) << "the rewrite failed at its first step";
            EXPECT_FALSE(s.calib.exists("table1.dat")) << "the old key would find the new copy";
            return;
        }
    }
    FAIL() << "no failing list rewrite was reached";
}

} // namespace
