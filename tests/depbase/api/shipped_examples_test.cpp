// The worked examples of the shipped database: value names, status value
// names, command words, the print command sequences and the option lists,
// each asked through its database's export.
#include <string>
#include <vector>

#include "drv_query.h"
#include "shipped_db.h"

namespace {

// Item numbers of root key 0x0008 with their names, in the order of its tree.
struct ValueName {
    int32_t item;
    const char *name;
};
const ValueName kValueNames[] = {
    {1, "XvnUI_CustomPhotoDetect"},
    {2, "XvnUI_CustomECPMode"},
    {3, "XvnUI_CustomPausePage"},
    {4, "XvnUI_CustomPauseScan"},
    {5, "XvnUI_CustomPHAAfter"},
    {6, "XvnUI_CustomManualPHA"},
    {7, "XvnUI_CustomCleanAfter"},
    {8, "XvnUI_CustomEconomyClean"},
    {9, "XvnUI_CustomInkOutDetect"},
    {10, "XvnUI_CustomPreventTrans"},
    {11, "XvnUI_CustomEnableSealedPrintMode"},
    {12, "XvnUI_CustomEvenlyPrint"},
    {51, "XvnUI_InkDry"},
    {101, "XvnSLM_CHDID"},
    {102, "XvnSLM_CartridgeDetectID"},
    {201, "XvnSLM_SSR"},
    {202, "XvnSLM_SFA"},
    {203, "XvnSLM_RDC"},
    {204, "XvnSLM_RST"},
    {205, "XvnSLM_TLN"},
    {206, "XvnSLM_FEP"},
    {207, "XvnSLM_BST"},
    {208, "XvnSLM_ECH"},
    {209, "XvnSLM_PID"},
    {210, "XvnSLM_TRB"},
    {211, "XvnSLM_CHD"},
    {212, "XvnSLM_CIL"},
    {213, "XvnSLM_SPS"},
    {214, "XvnSLM_OPT"},
    {215, "XvnSLM_LVR"},
    {216, "XvnSLM_MID"},
    {217, "XvnSLM_HCU"},
    {218, "XvnSLM_DJS"},
    {219, "XvnSLM_DBS"},
    {220, "XvnSLM_DWS"},
    {221, "XvnSLM_DOC"},
    {222, "XvnSLM_DSC"},
    {223, "XvnSLM_CIR"},
    {301, "XvnSLM_DeviceID"},
    {302, "XvnSLM_Status"},
    {303, "XvnSLM_UserName"},
    {304, "XvnSLM_PaperSource"},
    {305, "XvnSLM_JobId"},
    {306, "XvnSLM_Page"},
    {307, "XvnSLM_Notify"},
    {308, "XvnSLM_ECP"},
    {310, "XvnSLM_TimeLastUpdated"},
    {311, "XvnSLM_CartridgeJobInfo"},
    {313, "XvnSLM_Version"},
    {314, "XvnSLM_LMStatusType"},
    {315, "XvnSLM_LMStatusNoofParam"},
    {316, "XvnSLM_LMStatusParam1"},
    {317, "XvnSLM_LMStatusParam2"},
    {318, "XvnSLM_LMStatusParam3"},
    {319, "XvnSLM_LMStatusParam4"},
    {320, "XvnSLM_LMStatusParam5"},
    {326, "XvnSLM_LMStatusMagicNumber"},
    {327, "XvnSLM_DisplayDialog"},
    {151, "XvnUI_AutoPowerOn"},
    {152, "XvnUI_AutoPowerOff"},
    {153, "XvnUI_SilentModeEnable"},
    {154, "XvnUI_SilentModeTime"},
    {156, "XvnUI_InkAlertEnable"},
    {402, "XvnUI_ManageablePrinter"},
    {403, "XvnUI_ShipmentPlace"},
    {404, "XvnUI_LanguageDefault"},
    {405, "XvnUI_LanguageCurrent"},
    {406, "XvnUI_LanguageSelect"},
    {321, "XvnSLM_Bidirection"},
    {322, "XvnSLM_AllowCancel"},
    {323, "XvnSLM_WriteError"},
    {324, "XvnSLM_DifferentPrinter"},
    {309, "XvnSLM_BSCCStatus"},
    {325, "XvnSLM_StatusInfo"},
    {501, "XvnPP_Counter"},
    {502, "XvnPP_LMCheck"},
    {503, "XvnPP_TurnPage"},
    {504, "XvnPP_DupInfo"},
};
const char *const kStatusCodes[] = {"SSR", "SFA", "RDC", "RST", "TLN", "FEP", "BST", "ECH", "PID", "TRB", "CHD", "CIL",
                                    "SPS", "OPT", "LVR", "MID", "HCU", "DJS", "DBS", "DWS", "DOC", "DSC", "CIR"};

TEST(ShippedRoot, ValueNamesByItemNumber)
{
    ShippedDb db;
    Answer a = db.ask(0x0008, {{0, 154}});
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.size, 42u);
    EXPECT_EQ(a.bytes, Utf16("XvnUI_SilentModeTime"));
    EXPECT_EQ(db.ask(0x0008, {{0, 155}}).rc, ZMD_NOT_FOUND);
    EXPECT_EQ(db.ask(0x0008, {{0, -1}}).rc, ZMD_NOT_FOUND);

    ASSERT_EQ(sizeof kValueNames / sizeof kValueNames[0], 78u);
    for (const ValueName &v : kValueNames) {
        Answer n = db.ask(0x0008, {{0, v.item}});
        ASSERT_EQ(n.rc, ZMD_OK) << v.item;
        EXPECT_EQ(n.text(), v.name) << v.item;
    }
}

// The value names are kept in the order above: key 0x0008 is one selector
// on integer setting 0 whose cases come in exactly that order.
TEST(ShippedRoot, ValueNamesKeepTheirOrder)
{
    const ZMD_ImageView *img = ZMD_ShippedImage();
    uint32_t top = 0;
    for (uint32_t i = 0; i < img->counts.keys; ++i) {
        if (img->keys[i] == 0x0008) {
            top = img->keyNodes[i];
        }
    }
    const ZMD_Node sel = img->nodes[top];
    ASSERT_EQ(ZMD_NodeKindOf(sel.w0), uint32_t{ZMD_KIND_SELECT_INT});
    EXPECT_EQ(ZMD_NodeHigh(sel.w1), 0u);
    ASSERT_EQ(ZMD_NodeLow(sel.w1), 78u);
    for (uint32_t i = 0; i < 78; ++i) {
        const ZMD_Node c = img->nodes[ZMD_NodeOperand(sel.w0) + i];
        EXPECT_EQ(ZMD_NodeKindOf(c.w0), uint32_t{ZMD_KIND_CASE_EQUAL});
        EXPECT_EQ(static_cast<int32_t>(c.w1), kValueNames[i].item) << "case " << i;
    }
}

TEST(ShippedRoot, CalibrationModuleName)
{
    ShippedDb db;
    Answer a = db.ask(0x001E);
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.size, 26u);
    EXPECT_EQ(a.bytes, Utf16("calibmod.dll"));
}

TEST(ShippedRoot, StatusValueNamesByCode)
{
    ShippedDb db;
    Answer a = db.ask(0x0012, {}, {{0, "DOC"}});
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.text(), "XvnSLM_DOC");
    EXPECT_EQ(db.ask(0x0012, {}, {{0, "doc"}}).rc, ZMD_NOT_FOUND);
    EXPECT_EQ(db.ask(0x0012, {}, {{0, "DOCS"}}).rc, ZMD_NOT_FOUND);
    EXPECT_EQ(db.ask(0x0012, {}, {{0, "DO"}}).rc, ZMD_NOT_FOUND);

    // The same 23 codes, in the same order, are items 201..223 of key 0x0008.
    for (int i = 0; i < 23; ++i) {
        Answer s = db.ask(0x0012, {}, {{0, kStatusCodes[i]}});
        ASSERT_EQ(s.rc, ZMD_OK) << kStatusCodes[i];
        EXPECT_EQ(s.size, 22u);
        EXPECT_EQ(s.text(), std::string("XvnSLM_") + kStatusCodes[i]);
        EXPECT_EQ(db.ask(0x0008, {{0, 201 + i}}).bytes, s.bytes);
    }
}

struct Word {
    int32_t number;
    std::vector<uint8_t> bytes;
};

TEST(ShippedMnt, CommandWordsByNumber)
{
    const std::vector<Word> words = {
        {1, Cat({Hex("1B 5B 4B 02 00 00 1F"), Ascii("KZLSTART\n")})},
        {2, Ascii("\nKZLEND\n")},
        {11, Ascii("ControlMode=Common")},
        {21, Ascii("SetTime=")},
        {101, Ascii("@Cleaning=1ALL")},
        {102, Ascii("@Cleaning=1K")},
        {103, Ascii("@Cleaning=1CMY")},
        {200, Ascii("@Cleaning=2ALL")},
        {500, Ascii("@TestPrint=NozzleCheck")},
        {900, Ascii("@PowerOff")},
        {1001, Ascii("AutoPowerOn=")},
        {1002, Ascii("AutoPowerOff=")},
        {1101, Ascii("@TestPrint=Regi1")},
        {1102, Ascii("@TestPrint=BandRegi1")},
        {1121, Ascii("SetRegistration=X1200A")},
        {1122, Ascii("SetRegistration=X1200B")},
        {1123, Ascii("SetRegistration=X1200C")},
        {1124, Ascii("SetRegistration=X1200D")},
        {1131, Ascii("SetRegistration=X1200F")},
        {1132, Ascii("SetRegistration=X1200G")},
        {1133, Ascii("SetRegistration=X1200E")},
        {1141, Ascii("SetBandRegi=A")},
        {1142, Ascii("SetBandRegi=B")},
        {1203, Ascii("SelectParallel=ECP")},
        {1204, Ascii("SelectParallel=Nibble")},
        {1205, Ascii("DelayMode=PD1")},
        {1206, Ascii("DelayMode=PD0")},
        {1207, Ascii("DelayMode=SD1")},
        {1208, Ascii("DelayMode=SD0")},
        {1219, Ascii("DelayMode=SM1")},
        {1220, Ascii("DelayMode=SM0")},
    };
    ShippedDb db;
    Answer a = db.ask(0x300B, {{0, 500}});
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.size, 22u);
    EXPECT_EQ(db.ask(0x300B, {{0, 3}}).rc, ZMD_NOT_FOUND);
    for (const Word &w : words) {
        Answer x = db.ask(0x300B, {{0, w.number}});
        ASSERT_EQ(x.rc, ZMD_OK) << w.number;
        EXPECT_EQ(x.bytes, w.bytes) << w.number;
    }
    int found = 0;
    for (int32_t n = -2; n <= 1300; ++n) {
        found += db.ask(0x300B, {{0, n}}).rc == ZMD_OK;
    }
    EXPECT_EQ(found, 31);
}

// Settings of the sample print mode: A4, normal margins, plain paper,
// colour, quality 2.
IntSettings SamplePage()
{
    return {{28, 9}, {52, 0}, {5, 1}, {4, 1}, {9, 0}, {81, 0}, {8, 2}, {6, 1}};
}

const char kSampleBlock[] = "1B 28 63 03 00 30 00 03"
                            "1B 28 64 04 00 02 58 02 58"
                            "1B 28 74 1E 00 80 80 01 22 00 03 22 00 03 01 00 02 01 00 02"
                            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";

TEST(ShippedSequences, StartOfPageForTheSampleSettings)
{
    ShippedDb db;
    Answer a = db.ask(0x1019, SamplePage());
    ASSERT_EQ(a.rc, ZMD_OK);
    ASSERT_EQ(a.size, 78u);
    EXPECT_EQ(a.bytes, Cat({Hex("1B 28 62 01 00 01"), Hex(kSampleBlock), Hex("1B 28 70 08 00 02 AB 00 00 01 E0 00 00"),
                            Hex("1B 28 6C 02 00 34"), Hex("00")}));
}

TEST(ShippedSequences, ShortPrintModeBlockAtQualityFive)
{
    ShippedDb db;
    IntSettings s = SamplePage();
    s.push_back({8, 5});
    s.push_back({6, 2});
    TestRecord rec = ShapedRecord(ZMD_DB_DRV, s);
    Answer a = db.ask(0x1019, rec);
    ASSERT_EQ(a.rc, ZMD_OK);
    ASSERT_EQ(a.size, 6u + 25 + 13 + 7);
    EXPECT_EQ(std::vector<uint8_t>(a.bytes.begin() + 6, a.bytes.begin() + 31),
              Hex("1B 28 63 03 00 30 00 00  1B 28 64 04 00 01 2C 01 2C  1B 28 74 03 00 01 00 01"));
}

class StartOfJob : public ::testing::Test {
protected:
    ShippedDb db;
    TestRecord rec = ShapedRecord(ZMD_DB_DRV);

    void SetUp() override
    {
        db.fake.localTime = ZMD_LocalTime{2026, 12, 7, 3, 9, 41};
        db.fake.addPrinter("P1");
        rec.setPrinterName("P1");
    }
    std::vector<uint8_t> clock() const
    {
        return Cat(
            {Hex("1B 5B 4B 02 00 00 1F"), Ascii("KZLSTART\nControlMode=Common\nSetTime=20261207030941\nKZLEND\n")});
    }
    static std::vector<uint8_t> port(const char *mode)
    {
        return Cat({Hex("1B 5B 4B 02 00 00 1F"),
                    Ascii(std::string("KZLSTART\nControlMode=Common\nSelectParallel=") + mode + "\nKZLEND\n"),
                    Hex("1B 5B 4B 02 00 00 0F")});
    }
};

TEST_F(StartOfJob, NibblePortModeStoredWithThePrinter)
{
    db.fake.setDword("P1", "XvnUI_CustomECPMode", 0);
    Answer a = db.ask(0x1018, rec);
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.size, 136u);
    EXPECT_EQ(a.bytes, Cat({clock(), port("Nibble")}));
    EXPECT_EQ(db.fake.openHandles(), 0);
}

TEST_F(StartOfJob, OptionFlagsCommandWithBit23)
{
    db.fake.setDword("P1", "XvnUI_CustomECPMode", 0);
    rec.ints[79] = 0x00D00000;
    rec.ints[80] = 0x1234;
    Answer a = db.ask(0x1018, rec);
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.size, 148u);
    EXPECT_EQ(a.bytes, Cat({clock(), port("Nibble"), Hex("1B 28 24 07 00 01 00 01 12 34 00 11")}));
    rec.ints[79] = 0x007FFFFF; // every bit but 23
    EXPECT_EQ(db.ask(0x1018, rec).size, 136u);
}

TEST_F(StartOfJob, EcpPortModeForAnyOtherOrNoStoredValue)
{
    db.fake.setDword("P1", "XvnUI_CustomECPMode", 1);
    Answer a = db.ask(0x1018, rec);
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.size, 133u);
    EXPECT_EQ(a.bytes, Cat({clock(), port("ECP")}));

    db.fake.removeValue("P1", "XvnUI_CustomECPMode");
    a = db.ask(0x1018, rec);
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.size, 133u);
    EXPECT_EQ(a.bytes, Cat({clock(), port("ECP")}));
}

TEST_F(StartOfJob, NoPrinterAtHand)
{
    TestRecord none = ShapedRecord(ZMD_DB_DRV);
    EXPECT_EQ(db.ask(0x1018, none).rc, ZMD_BAD_RECORD);
    TestRecord unknown = ShapedRecord(ZMD_DB_DRV);
    unknown.setPrinterName("no such printer");
    EXPECT_EQ(db.ask(0x1018, unknown).rc, ZMD_BAD_RECORD);
}

TEST(ShippedPaper, SizesAndPrintableAreas)
{
    ShippedDb db;
    Answer a = db.ask(0x1003, {{28, 9}});
    ASSERT_EQ(a.rc, ZMD_OK);
    EXPECT_EQ(a.size, 8u);
    EXPECT_EQ(a.ints(), (std::vector<int32_t>{21000, 29700}));
    EXPECT_EQ(db.ask(0x1001, {{28, 1}, {52, 0}}).ints(), (std::vector<int32_t>{20320, 27140}));

    EXPECT_EQ(db.ask(0x1004, {{28, 9}}).rc, ZMD_NOT_FOUND);
    Answer custom = db.ask(0x1004, {{28, 256}, {29, 21001}, {30, 29700}, {52, 5}});
    ASSERT_EQ(custom.rc, ZMD_OK);
    EXPECT_EQ(custom.size, 16u);
    EXPECT_EQ(custom.ints(), (std::vector<int32_t>{340, 20320, 0, 29700}));
}

ZMD_ListItem ItemAt(const Answer &a, size_t i)
{
    ZMD_ListItem it;
    std::memcpy(&it, a.bytes.data() + i * sizeof it, sizeof it);
    return it;
}

TEST(ShippedLists, OfferedAndAllPaperSizes)
{
    ShippedDb db;
    Answer offered = db.ask(0x1010);
    ASSERT_EQ(offered.rc, ZMD_OK);
    ASSERT_EQ(offered.size, 180u);
    EXPECT_EQ(ItemAt(offered, 0).nId, 11);
    EXPECT_EQ(ItemAt(offered, 0).nValue1, 15712);

    Answer all = db.ask(0x1011);
    ASSERT_EQ(all.rc, ZMD_OK);
    ASSERT_EQ(all.size, 19u * 20);
    const int32_t ids[] = {11, 9, 13, 1, 5, 20, 27, 275, 8, 66, 12, 257, 3, 24, 262, 272, 273, 274, 256};
    const int32_t names[] = {0x3D92, 0x3D90, 0x3D97, 0x3D87, 0x3D8B, 0x3DA4, 0x3DA5, 0x3DB0, 0x3D8E, 0x3D8D,
                             0x3D95, 0x3D94, 0x3D99, 0x3DB1, 0x3DA6, 0x3DAD, 0x3DAE, 0x3DAF, 0x3D80};
    const int32_t values[] = {15712, 15710, 15717, 15701, 15705, 15747, 15748, 15742, 15708, 15707,
                              15715, 15714, 15719, 15743, 15732, 15739, 15740, 15741, 15744};
    const int32_t flags[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
    for (size_t i = 0; i < 19; ++i) {
        ZMD_ListItem it = ItemAt(all, i);
        EXPECT_EQ(it.nId, ids[i]);
        EXPECT_EQ(it.nNameId, names[i]) << ids[i];
        EXPECT_EQ(it.nValue1, values[i]) << ids[i];
        EXPECT_EQ(it.nValue2, flags[i]) << ids[i];
        EXPECT_EQ(it.nDefault, 0) << ids[i];
    }
}

TEST(ShippedLists, MediaListWithItsDefault)
{
    ShippedDb db;
    Answer a = db.ask(0x100E, {{4, 1}, {9, 0}});
    ASSERT_EQ(a.rc, ZMD_OK);
    ASSERT_EQ(a.size, 180u);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(ItemAt(a, i).nDefault, i == 0 ? 1 : 0) << ItemAt(a, i).nId;
    }
    // Outside the print modes the model has, there is no media list.
    EXPECT_EQ(db.ask(0x100E, {{4, 2}, {9, 0}}).rc, ZMD_NOT_FOUND);
}

TEST(ShippedLists, WholeListFour)
{
    ShippedDb db;
    Answer a = db.ask(0x100D);
    ASSERT_EQ(a.rc, ZMD_OK);
    ASSERT_EQ(a.size, 20u);
    ZMD_ListItem it = ItemAt(a, 0);
    EXPECT_EQ(it.nId, 1);
    EXPECT_EQ(it.nNameId, 0x3A9A);
    EXPECT_EQ(it.nValue1, 20001);
    EXPECT_EQ(it.nValue2, 1);
    EXPECT_EQ(it.nDefault, 1);
}

} // namespace
