// The printer-data selector and ZMD_ReadPrinterDword.
#include <gtest/gtest.h>

#include "engine.h"
#include "fake_platform.h"
#include "image_builder.h"
#include "test_record.h"

namespace {

const uint16_t K = 0x0002;

class PrinterDataTest : public ::testing::Test {
protected:
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view{};
    ZMD_Env env{};
    void *printer = nullptr;

    void SetUp() override { printer = fake.addPrinter("Office"); }

    // Key 0x0008 maps selector 1 to "QuietMode" and 2 to "Density"; key K
    // selects on the value named by `selector`.
    void build(std::vector<ZMD_Node> cases, uint16_t selector = 1, bool withNames = true)
    {
        uint32_t first = b.addRun(cases);
        uint32_t top = b.add(mk::selectPrinterData(first, selector, static_cast<uint16_t>(cases.size())));
        b.addKey(K, top);
        if (withNames) {
            uint32_t quiet = b.add(b.text(0x0008, "QuietMode"));
            uint32_t density = b.add(b.text(0x0008, "Density"));
            uint32_t nameCases = b.addRun({mk::caseEqual(quiet, 1), mk::caseEqual(density, 2)});
            b.addKey(0x0008, b.add(mk::selectInt(nameCases, 0, 2)));
        }
    }
    uint32_t value(const char *s) { return b.add(b.text(K, s)); }
    std::string answer(TestRecord &rec)
    {
        view = b.view();
        env = fake.env(&view);
        ZMD_Node n{};
        int32_t r = ZMD_FindKey(&env, K, rec.get(), &n);
        if (r != ZMD_OK) {
            return "[" + std::to_string(r) + "]";
        }
        const uint32_t off = ZMD_NodeOperand(n.w0), count = ZMD_NodeLow(n.w1);
        return std::string(reinterpret_cast<const char *>(b.bytePool.data()) + off, count - 1);
    }
    TestRecord withPrinter()
    {
        TestRecord rec;
        rec.hPrinter = printer;
        return rec;
    }
};

TEST_F(PrinterDataTest, SelectsByTheStoredValueOfTheChosenName)
{
    uint32_t five = value("five"), def = value("default");
    build({mk::caseEqual(five, 5), mk::caseDefault(def)}, 2);
    fake.setDword("Office", "QuietMode", 7);
    fake.setDword("Office", "Density", 5);
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "five");
    ASSERT_EQ(fake.lastValueNames.size(), 1u);
    EXPECT_EQ(fake.lastValueNames[0], ToU16("Density"));
    EXPECT_EQ(fake.outstanding(), 0u);
    EXPECT_EQ(fake.allocCalls, 0); // the root-shaped record and the name are built in the frame
}

TEST_F(PrinterDataTest, NoHandleIsABadRecordBeforeAnyCase)
{
    uint32_t def = value("default");
    build({mk::caseDefault(def)});
    TestRecord rec;
    EXPECT_EQ(answer(rec), "[-4]");
    EXPECT_EQ(fake.getDataCalls, 0);
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(PrinterDataTest, AbsentValueFollowsTheTrailingDefault)
{
    uint32_t five = value("five"), def = value("default");
    build({mk::caseEqual(five, 5), mk::caseDefault(def)});
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "default");
    EXPECT_EQ(fake.getDataCalls, 1);
}

TEST_F(PrinterDataTest, AbsentValueWithoutTrailingDefaultIsNotFound)
{
    uint32_t five = value("five"), def = value("default");
    build({mk::caseDefault(def), mk::caseEqual(five, 5)});
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "[1]");
}

TEST_F(PrinterDataTest, AbsentValueWithoutCasesIsNotFound)
{
    build({});
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "[1]");
}

TEST_F(PrinterDataTest, ShortValueReadsWithHighBytesZero)
{
    uint32_t hit = value("0x1234"), def = value("default");
    build({mk::caseEqual(hit, 0x1234), mk::caseDefault(def)});
    fake.setValue("Office", "QuietMode", {0x34, 0x12});
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "0x1234");
    fake.setValue("Office", "QuietMode", {0x34});
    EXPECT_EQ(answer(rec), "default");
}

TEST_F(PrinterDataTest, OversizedValueCountsAsAbsent)
{
    uint32_t hit = value("hit"), def = value("default");
    build({mk::caseEqual(hit, 1), mk::caseDefault(def)});
    fake.setValue("Office", "QuietMode", {1, 0, 0, 0, 0});
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "default");
}

TEST_F(PrinterDataTest, MissingValueNameKeyIsNoKey)
{
    uint32_t def = value("default");
    build({mk::caseDefault(def)}, 1, false);
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "[3]");
}

TEST_F(PrinterDataTest, SelectorWithoutANameIsAnError)
{
    uint32_t def = value("default");
    build({mk::caseDefault(def)}, 9);
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "[-1]");
    EXPECT_EQ(fake.getDataCalls, 0);
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(PrinterDataTest, NameNodeMustBeText)
{
    uint32_t def = value("default");
    build({mk::caseDefault(def)}, 1, false);
    uint32_t name = b.add(b.bytes(0x0008, {'Q', 0}));
    b.addKey(0x0008, name);
    TestRecord rec = withPrinter();
    EXPECT_EQ(answer(rec), "[-1]");
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST(ReadPrinterDword, ChecksHandleValueAndNameNode)
{
    ImageBuilder b;
    FakePlatform fake;
    void *printer = fake.addPrinter("P");
    fake.setDword("P", "Name", -2);
    ZMD_Node name = b.text(0x0008, "Name");
    ZMD_ImageView view = b.view();
    ZMD_Env env = fake.env(&view);
    int32_t v = 0;
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, nullptr, name.w0, name.w1, nullptr), 1);
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, name.w0, name.w1, nullptr), ZMD_ERROR);
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, name.w0, name.w1, &v), 0);
    EXPECT_EQ(v, -2);
    ZMD_Node beyond = mk::value(ZMD_KIND_TEXT, 2, 0x0008, 4); // 2 + 4 > 5 bytes
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, beyond.w0, beyond.w1, &v), ZMD_ERROR);
    ZMD_Node bytes = mk::value(ZMD_KIND_BYTES, 0, 0x0008, 5);
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, bytes.w0, bytes.w1, &v), ZMD_ERROR);
    view.bytePool = nullptr;
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, name.w0, name.w1, &v), ZMD_ERROR);
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST(ReadPrinterDword, NameWithoutStoredNulIsStillTerminated)
{
    ImageBuilder b;
    FakePlatform fake;
    void *printer = fake.addPrinter("P");
    fake.setDword("P", "Na", 3);
    ZMD_Node name = b.bytes(0x0008, {'N', 'a', 'm', 'e'}, ZMD_KIND_TEXT);
    name.w1 = ZMD_MakeW1(0x0008, 2); // "Na", no NUL within the count
    ZMD_ImageView view = b.view();
    ZMD_Env env = fake.env(&view);
    int32_t v = 0;
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, name.w0, name.w1, &v), 0);
    EXPECT_EQ(v, 3);
    ASSERT_EQ(fake.lastValueNames.size(), 1u);
    EXPECT_EQ(fake.lastValueNames[0], ToU16("Na"));
}

// Value names are built in the query's frame; one too long for it takes the
// heap and gives it back, and reads the same.
TEST(ReadPrinterDword, ShortNamesTakeNoHeapLongOnesGiveItBack)
{
    const std::string longName(100, 'N');
    ImageBuilder b;
    FakePlatform fake;
    void *printer = fake.addPrinter("P");
    fake.setDword("P", "Name", 7);
    fake.setDword("P", longName, 9);
    ZMD_Node name = b.text(0x0008, "Name");
    ZMD_Node longNode = b.text(0x0008, longName);
    ZMD_ImageView view = b.view();
    ZMD_Env env = fake.env(&view);
    int32_t v = 0;
    fake.resetAllocCounters();
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, name.w0, name.w1, &v), 0);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(fake.allocCalls, 0);
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, longNode.w0, longNode.w1, &v), 0);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(fake.allocCalls, 1);
    EXPECT_EQ(fake.outstanding(), 0u);
    fake.resetAllocCounters();
    fake.failAllocAt = 1;
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, longNode.w0, longNode.w1, &v), ZMD_ERROR);
    EXPECT_EQ(ZMD_ReadPrinterDword(&env, printer, name.w0, name.w1, &v), 0);
}

} // namespace
