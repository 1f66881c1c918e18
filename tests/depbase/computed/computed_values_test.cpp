// Computed command values: page format and length, area records, clock,
// option flags and quiet mode, with their size protocol and failures.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "computed.h"
#include "computed_ops.h"
#include "fake_platform.h"
#include "image_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct IntRecord {
    std::vector<int32_t> ints;
    ZMD_SettingsRecord rec{};
    explicit IntRecord(size_t n) : ints(n, 0)
    {
        rec.cInts = static_cast<uint32_t>(n);
        rec.pnInts = ints.data();
    }
};

// A root database that names printer-data item 154, as the shipped one does.
struct QuietImage {
    ImageBuilder b;
    QuietImage()
    {
        uint32_t name = b.add(b.text(0x0008, "XvnUI_SilentModeTime"));
        uint32_t other = b.add(b.text(0x0008, "XvnUI_Other"));
        uint32_t cases = b.addRun({mk::caseEqual(other, 1), mk::caseEqual(name, 154)});
        b.addKey(0x0008, b.add(mk::selectInt(cases, 0, 2)));
    }
};

class ComputedTest : public ::testing::Test {
protected:
    FakePlatform fake;
    QuietImage quiet;
    ZMD_ImageView view = quiet.b.view();
    ZMD_Env env = fake.env(&view);

    // Size query, then a fetch with exactly that size; both must agree.
    Bytes compute(uint32_t type, const ZMD_SettingsRecord *rec)
    {
        uint32_t size = 0xDEAD;
        EXPECT_EQ(ZMD_ComputeValue(&env, type, rec, 0, nullptr, &size), ZMD_MORE_DATA);
        Bytes out(size + 8, 0xEE);
        uint32_t got = 0;
        EXPECT_EQ(ZMD_ComputeValue(&env, type, rec, size, out.data(), &got), ZMD_OK);
        EXPECT_EQ(got, size);
        for (size_t i = size; i < out.size(); ++i) {
            EXPECT_EQ(out[i], 0xEE) << "byte " << i << " beyond the value was written";
        }
        out.resize(size);
        return out;
    }
};

IntRecord customPaper(int32_t width, int32_t length, int32_t variant = 0)
{
    IntRecord r(95);
    r.ints[29] = width;
    r.ints[30] = length;
    r.ints[52] = variant;
    return r;
}

uint32_t widthOf(const Bytes &cmd)
{
    return static_cast<uint32_t>(cmd[9]) << 8 | cmd[10];
}
uint32_t lengthOf(const Bytes &cmd)
{
    return static_cast<uint32_t>(cmd[5]) << 8 | cmd[6];
}

int32_t areaField(const Bytes &area, int i)
{
    uint32_t v = static_cast<uint32_t>(area[4 * i]) | static_cast<uint32_t>(area[4 * i + 1]) << 8 |
                 static_cast<uint32_t>(area[4 * i + 2]) << 16 | static_cast<uint32_t>(area[4 * i + 3]) << 24;
    return static_cast<int32_t>(v);
}

TEST_F(ComputedTest, PageFormatWorkedNumbers)
{
    IntRecord r = customPaper(10000, 15000);
    EXPECT_EQ(compute(1, &r.rec),
              (Bytes{0x1B, 0x28, 0x70, 0x08, 0x00, 0x01, 0x50, 0x00, 0x00, 0x00, 0xDD, 0x00, 0x00}));
    EXPECT_EQ(compute(4, &r.rec), (Bytes{0x50, 0x01, 0x00, 0x00}));
    // Only the low 16 bits of the type count.
    EXPECT_EQ(compute(0x00010004, &r.rec), (Bytes{0x50, 0x01, 0x00, 0x00}));

    IntRecord exact = customPaper(21000, 15000);
    EXPECT_EQ(widthOf(compute(1, &exact.rec)), 480u);
    IntRecord letterWide = customPaper(21590, 15000);
    EXPECT_EQ(widthOf(compute(1, &letterWide.rec)), 480u);
    IntRecord narrower = customPaper(20900, 15000); // 120 cm short of 8 inches, rounded up
    EXPECT_EQ(widthOf(compute(1, &narrower.rec)), 478u);

    IntRecord full = customPaper(10000, 21000, 5);
    EXPECT_EQ(lengthOf(compute(1, &full.rec)), 497u);
    EXPECT_EQ(compute(4, &full.rec), (Bytes{0xF1, 0x01, 0x00, 0x00}));
    EXPECT_EQ(widthOf(compute(1, &full.rec)), 221u) << "the variant does not touch the width";
}

TEST_F(ComputedTest, AreaRecords)
{
    IntRecord r = customPaper(21000, 29700);
    Bytes area = compute(2, &r.rec);
    ASSERT_EQ(area.size(), 16u);
    EXPECT_EQ(areaField(area, 0), 340);
    EXPECT_EQ(areaField(area, 1), 20320);
    EXPECT_EQ(areaField(area, 2), 300);
    EXPECT_EQ(areaField(area, 3), 28900);

    r.ints[29] = 21001;
    EXPECT_EQ(areaField(compute(2, &r.rec), 1), 20320);
    r.ints[29] = 30000;
    EXPECT_EQ(areaField(compute(2, &r.rec), 1), 20320);

    r.ints[52] = 5;
    area = compute(2, &r.rec);
    EXPECT_EQ(areaField(area, 2), 0);
    EXPECT_EQ(areaField(area, 3), 29700);

    IntRecord alt(95);
    alt.ints[25] = 21590;
    alt.ints[26] = 27940;
    alt.ints[29] = 1; // the custom size plays no part in type 3
    area = compute(3, &alt.rec);
    EXPECT_EQ(areaField(area, 0), 340);
    EXPECT_EQ(areaField(area, 1), 20910);
    EXPECT_EQ(areaField(area, 2), 300);
    EXPECT_EQ(areaField(area, 3), 27140);
}

TEST_F(ComputedTest, PaperBelowTheMarginsHasNoPrintableExtent)
{
    for (int32_t width : {0, 500, 680, -1, INT_MIN}) {
        for (int32_t length : {0, 799, 800, -5, INT_MIN}) {
            IntRecord r = customPaper(width, length);
            r.ints[25] = width;
            r.ints[26] = length;
            Bytes cmd = compute(1, &r.rec);
            EXPECT_EQ(widthOf(cmd), 0u);
            EXPECT_EQ(lengthOf(cmd), 0u);
            EXPECT_EQ(compute(4, &r.rec), (Bytes{0, 0, 0, 0}));
            for (uint32_t type : {2u, 3u}) {
                Bytes area = compute(type, &r.rec);
                EXPECT_EQ(areaField(area, 0), 340);
                EXPECT_EQ(areaField(area, 1), 0) << width;
                EXPECT_EQ(areaField(area, 2), 300);
                EXPECT_EQ(areaField(area, 3), 0) << length;
            }
        }
    }
    // The full-length variant has no length margin, but a negative length is still nothing.
    IntRecord full = customPaper(10000, -300, 5);
    EXPECT_EQ(lengthOf(compute(1, &full.rec)), 0u);
    EXPECT_EQ(areaField(compute(2, &full.rec), 3), 0);
    // Just above the margins: one sixtieth, rounded up.
    IntRecord tiny = customPaper(681, 801);
    Bytes cmd = compute(1, &tiny.rec);
    EXPECT_EQ(widthOf(cmd), 1u);
    EXPECT_EQ(lengthOf(cmd), 1u);
}

TEST_F(ComputedTest, FailureTableOfThePaperTypes)
{
    uint32_t size = 77;
    IntRecord r = customPaper(10000, 15000);
    // Null record: -1 for the page format, -3 for the areas; the size word stays.
    EXPECT_EQ(ZMD_ComputeValue(&env, 1, nullptr, 0, nullptr, &size), ZMD_ERROR);
    EXPECT_EQ(ZMD_ComputeValue(&env, 4, nullptr, 0, nullptr, &size), ZMD_ERROR);
    EXPECT_EQ(ZMD_ComputeValue(&env, 2, nullptr, 0, nullptr, &size), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(ZMD_ComputeValue(&env, 3, nullptr, 0, nullptr, &size), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(size, 77u);

    IntRecord short52(52);
    IntRecord none(0);
    none.rec.cInts = 95; // a count without an array
    none.rec.pnInts = nullptr;
    for (uint32_t type : {1u, 2u, 3u, 4u}) {
        EXPECT_EQ(ZMD_ComputeValue(&env, type, &short52.rec, 0, nullptr, &size), ZMD_BAD_INT_SETTING) << type;
        EXPECT_EQ(ZMD_ComputeValue(&env, type, &none.rec, 0, nullptr, &size), ZMD_BAD_INT_SETTING) << type;
        EXPECT_EQ(ZMD_ComputeValue(&env, type, &r.rec, 0, nullptr, nullptr), ZMD_ERROR) << type;
    }
    EXPECT_EQ(size, 77u);
    IntRecord exactly53 = customPaper(10000, 15000);
    exactly53.rec.cInts = 53;
    EXPECT_EQ(ZMD_ComputeValue(&env, 1, &exactly53.rec, 0, nullptr, &size), ZMD_MORE_DATA);

    // Too small a buffer: the size, and not one byte written.
    Bytes buf(12, 0xEE);
    EXPECT_EQ(ZMD_ComputeValue(&env, 1, &r.rec, 12, buf.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 13u);
    EXPECT_EQ(buf, Bytes(12, 0xEE));
    EXPECT_EQ(ZMD_ComputeValue(&env, 2, &r.rec, 15, buf.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(ZMD_ComputeValue(&env, 4, &r.rec, 100, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 4u);
}

TEST_F(ComputedTest, UnknownTypesWriteNothing)
{
    IntRecord r = customPaper(10000, 15000);
    for (uint32_t type : {0u, 8u, 0xFFFFu, 0x00010000u}) {
        uint32_t size = 1234;
        Bytes buf(100, 0xEE);
        EXPECT_EQ(ZMD_ComputeValue(&env, type, &r.rec, 100, buf.data(), &size), ZMD_NOT_FOUND) << type;
        EXPECT_EQ(size, 1234u);
        EXPECT_EQ(buf, Bytes(100, 0xEE));
    }
}

TEST_F(ComputedTest, ClockCommand)
{
    fake.localTime = ZMD_LocalTime{2026, 12, 7, 3, 9, 41};
    Bytes cmd = compute(5, nullptr); // the record is not examined
    ASSERT_EQ(cmd.size(), 65u);
    const std::string text = "KZLSTART\nControlMode=Common\nSetTime=20261207030941\nKZLEND\n";
    const std::string all = std::string("\x1B\x5B\x4B\x02\x00\x00\x1F", 7) + text;
    const Bytes expected(all.begin(), all.end());
    EXPECT_EQ(cmd, expected);
    EXPECT_EQ(std::string(cmd.begin() + 43, cmd.begin() + 57), "20261207030941");

    uint32_t size = 0;
    Bytes small(64, 0xEE);
    EXPECT_EQ(ZMD_ComputeValue(&env, 5, nullptr, 64, small.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 65u);
    EXPECT_EQ(small, Bytes(64, 0xEE));

    // A year of five digits does not fit the command.
    fake.localTime.year = 10000;
    size = 55;
    Bytes buf(65, 0xEE);
    EXPECT_EQ(ZMD_ComputeValue(&env, 5, nullptr, 65, buf.data(), &size), ZMD_ERROR);
    EXPECT_EQ(size, 55u);
    EXPECT_EQ(buf, Bytes(65, 0xEE));
}

TEST_F(ComputedTest, OptionFlagsCommand)
{
    IntRecord r(81);
    r.ints[80] = 0x12345; // only the low 16 bits are sent
    struct Case {
        int32_t flags;
        uint8_t b;
        uint8_t f;
    };
    for (Case c : {Case{0x00D00000, 1, 0x11}, Case{0x00A00000, 1, 0x41}, Case{0, 0, 0x01}, Case{0x00100000, 0, 0x00},
                   Case{0x00400000, 0, 0x10}, Case{-1, 1, 0x51}}) {
        r.ints[79] = c.flags;
        EXPECT_EQ(compute(6, &r.rec), (Bytes{0x1B, 0x28, 0x24, 0x07, 0x00, 0x01, 0x00, c.b, 0x23, 0x45, 0x00, c.f}))
            << std::hex << c.flags;
    }
    uint32_t size = 9;
    IntRecord short80(80);
    EXPECT_EQ(ZMD_ComputeValue(&env, 6, &short80.rec, 0, nullptr, &size), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(ZMD_ComputeValue(&env, 6, nullptr, 0, nullptr, &size), ZMD_ERROR);
    EXPECT_EQ(ZMD_ComputeValue(&env, 6, &r.rec, 0, nullptr, nullptr), ZMD_ERROR);
    EXPECT_EQ(size, 9u);
}

const std::string kOn = "KZLSTART\nControlMode=Common\nSetSilent=ON\n\nKZLEND\n";
const std::string kOff = "KZLSTART\nControlMode=Common\nSetSilent=OFF\nKZLEND\n";

Bytes quietCommand(const std::string &text)
{
    const std::string all = std::string("\x1B\x5B\x4B\x02\x00\x00\x1F", 7) + text;
    return Bytes(all.begin(), all.end());
}

class QuietModeTest : public ComputedTest {
protected:
    IntRecord r{0}; // type 7 reads no settings
    void SetUp() override
    {
        r.rec.hPrinter = fake.addPrinter("P");
        r.rec.cInts = 0;
        r.rec.pnInts = nullptr;
    }
    void window(uint16_t start, uint16_t end)
    {
        fake.setDword("P", "XvnUI_SilentModeTime", static_cast<int32_t>(uint32_t{end} << 16 | start));
    }
    bool quietAt(uint16_t hour, uint16_t minute)
    {
        fake.localTime.hour = hour;
        fake.localTime.minute = minute;
        Bytes cmd = compute(7, &r.rec);
        EXPECT_TRUE(cmd == quietCommand(kOn) || cmd == quietCommand(kOff));
        return cmd == quietCommand(kOn);
    }
};

TEST_F(QuietModeTest, WindowsAcrossMidnightEmptyAndPlain)
{
    ASSERT_EQ(quietCommand(kOn).size(), 56u);
    ASSERT_EQ(quietCommand(kOff).size(), 56u);

    window(1320, 360); // 22:00 to 06:00
    EXPECT_TRUE(quietAt(23, 0));
    EXPECT_TRUE(quietAt(5, 59));
    EXPECT_TRUE(quietAt(22, 0));
    EXPECT_TRUE(quietAt(6, 0));
    EXPECT_TRUE(quietAt(0, 0));
    EXPECT_FALSE(quietAt(12, 0));
    EXPECT_FALSE(quietAt(6, 1));
    EXPECT_FALSE(quietAt(21, 59));

    window(60, 60);
    EXPECT_FALSE(quietAt(1, 0));
    EXPECT_FALSE(quietAt(12, 0));

    window(60, 120);
    EXPECT_FALSE(quietAt(0, 59));
    EXPECT_TRUE(quietAt(1, 0));
    EXPECT_TRUE(quietAt(1, 30));
    EXPECT_TRUE(quietAt(2, 0));
    EXPECT_FALSE(quietAt(2, 1));

    // The value was asked for under the name that the root database gives item 154.
    ASSERT_FALSE(fake.lastValueNames.empty());
    EXPECT_EQ(fake.lastValueNames.back(), ToU16("XvnUI_SilentModeTime"));
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(QuietModeTest, NoWindowMeansOff)
{
    fake.localTime.hour = 23;
    EXPECT_EQ(compute(7, &r.rec), quietCommand(kOff)) << "no value stored";

    window(1320, 360);
    EXPECT_EQ(compute(7, &r.rec), quietCommand(kOn));
    r.rec.hPrinter = nullptr;
    EXPECT_EQ(compute(7, &r.rec), quietCommand(kOff)) << "no printer handle";

    // A root database that does not name item 154.
    r.rec.hPrinter = fake.handleOf("P");
    ImageBuilder other;
    uint32_t name = other.add(other.text(0x0008, "XvnUI_SilentModeTime"));
    uint32_t cases = other.addRun({mk::caseEqual(name, 153)});
    other.addKey(0x0008, other.add(mk::selectInt(cases, 0, 1)));
    ZMD_ImageView otherView = other.view();
    env.image = &otherView;
    EXPECT_EQ(compute(7, &r.rec), quietCommand(kOff));
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(QuietModeTest, FailuresOfItsOwn)
{
    uint32_t size = 3;
    EXPECT_EQ(ZMD_ComputeValue(&env, 7, nullptr, 56, nullptr, &size), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(size, 3u) << "no record: the size word stays";
    Bytes buf(55, 0xEE);
    EXPECT_EQ(ZMD_ComputeValue(&env, 7, &r.rec, 55, buf.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 56u);
    EXPECT_EQ(buf, Bytes(55, 0xEE));
    EXPECT_EQ(fake.getDataCalls, 0) << "a size query needs no window";
}

} // namespace
