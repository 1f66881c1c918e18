// The image checker finds each broken invariant; the shipped image and every
// compiled image pass it; printing an image and compiling the print gives the
// same image back.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "dbc.h"
#include "dbc_catalogue.h"

namespace {

DbcImage Compile(const std::string &text)
{
    DbcImage img;
    std::string errors;
    EXPECT_TRUE(DbcCompileText("t.zdb", text, &img, &errors)) << errors;
    return img;
}

const char kSample[] =
    "key 0x0008\n  select_int int 0\n    case 1: text \"A\"\n    case 2..3: text \"B\"\n"
    "key 0x0012\n  select_string str 0\n    case \"DOC\": text \"C\"\n"
    "key 0x1001\n  select_masked int 79 mask 0xFF\n    case 1: int8 1\n"
    "key 0x5008: all\n"
    "sequence 0x101B\n  part: bytes 1B 40\n"
    "block A 0\n  zeros(48)\nblock B 0\n  zeros(40)\nblock C 0\n  zeros(36)\nblock D 0\n  zeros(48)\n"
    "selection\n  row 1 0 1 2 1 0 -> 0 0 0 0\n";

std::string Faults(const DbcImage &img)
{
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    std::string faults;
    EXPECT_FALSE(DbcValidateView(view, &faults));
    return faults;
}

uint32_t FindKind(const DbcImage &img, uint32_t kind)
{
    for (uint32_t i = 0; i < img.nodes.size(); ++i) {
        if (ZMD_NodeKindOf(img.nodes[i].w0) == kind) {
            return i;
        }
    }
    ADD_FAILURE() << "no node of kind " << kind;
    return 0;
}

TEST(DbcValidate, CompiledImagePasses)
{
    DbcImage img = Compile(kSample);
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    std::string faults;
    EXPECT_TRUE(DbcValidateView(view, &faults)) << faults;
}

TEST(DbcValidate, FindsEachBrokenInvariant)
{
    const DbcImage good = Compile(kSample);
    struct Breakage {
        const char *fault;
        void (*breakIt)(DbcImage *);
    };
    const Breakage cases[] = {
        {"beyond the node table", [](DbcImage *i) { i->nodes[0].w1 = ZMD_MakeW1(0, 500); }},
        {"beyond the byte pool", [](DbcImage *i) { i->bytePool.resize(1); }},
        {"not CASE_EQUAL, CASE_RANGE or CASE_DEFAULT",
         [](DbcImage *i) { i->nodes[FindKind(*i, ZMD_KIND_CASE_EQUAL)].w0 = ZMD_MakeW0(ZMD_KIND_CASE_STRING, 1); }},
        {"select_masked must point at a MASK node",
         [](DbcImage *i) {
             uint32_t m = FindKind(*i, ZMD_KIND_MASK);
             i->nodes[m].w0 = ZMD_MakeW0(ZMD_KIND_LIST, ZMD_NodeOperand(i->nodes[m].w0));
         }},
        {"case string must point at a BYTES node",
         [](DbcImage *i) { i->nodes[FindKind(*i, ZMD_KIND_CASE_STRING)].w1 = 0; }},
        {"beyond the case-string pool", [](DbcImage *i) { i->caseStringPool.resize(2); }},
        {"range pair", [](DbcImage *i) { i->int32Pool.resize(1); }},
        {"cycle",
         [](DbcImage *i) { i->nodes[FindKind(*i, ZMD_KIND_CASE_EQUAL)].w0 = ZMD_MakeW0(ZMD_KIND_CASE_EQUAL, 0); }},
        {"is not above the key before it", [](DbcImage *i) { std::swap(i->keys[0], i->keys[1]); }},
        {"invalid node kind 22", [](DbcImage *i) { i->nodes[1].w0 = ZMD_MakeW0(22, 0); }},
        {"cannot be evaluated", [](DbcImage *i) { i->keyNodes[0] = FindKind(*i, ZMD_KIND_MASK); }},
        {"a text must end in its NUL",
         [](DbcImage *i) { i->bytePool[ZMD_NodeOperand(i->nodes[FindKind(*i, ZMD_KIND_TEXT)].w0) + 1] = 'x'; }},
        {"parts beyond the part table", [](DbcImage *i) { i->seqPartCounts[0] = 2; }},
        {"block A 0 does not exist", [](DbcImage *i) { i->blocksA.clear(); }},
        {"the key table is missing or empty",
         [](DbcImage *i) {
             i->keys.clear();
             i->keyNodes.clear();
         }},
    };
    for (const Breakage &b : cases) {
        DbcImage img = good;
        b.breakIt(&img);
        std::string faults = Faults(img);
        EXPECT_NE(faults.find(b.fault), std::string::npos) << "expected: " << b.fault << "\ngot:\n" << faults;
    }
}

// The query rules are read by the driver queries as they stand: every rule
// the driver would refuse is a fault of the image.
TEST(DbcValidate, FindsEachBrokenQueryRule)
{
    DbcImage good = Compile(kSample);
    good.queryRules = {{0x101B, ZMD_QUERY_SEQUENCE, ZMD_QUERY_NO_LIST, 0, {0, 0}, {0, 0}, 0, 0, 0},
                       {0x1001, ZMD_QUERY_LIST, ZMD_QUERY_NO_LIST, 4, {0x5008, 0}, {2, 0}, 0, 0, 0}};
    DbcIndexKeys(&good); // the key index follows the rules set here
    {
        ZMD_ImageView view;
        DbcMakeView(good, &view);
        std::string faults;
        EXPECT_TRUE(DbcValidateView(view, &faults)) << faults;
    }
    struct Breakage {
        const char *fault;
        void (*breakIt)(ZMD_QueryRule *);
    };
    const Breakage cases[] = {
        {"unknown form 0", [](ZMD_QueryRule *r) { r->form = 0; }},
        {"unknown form 5", [](ZMD_QueryRule *r) { r->form = ZMD_QUERY_PARAMETER_SET + 1; }},
        {"unknown flags 2", [](ZMD_QueryRule *r) { r->flags = 2; }},
        {"second per-choice key without a first",
         [](ZMD_QueryRule *r) {
             r->choiceKeys[1] = r->choiceKeys[0];
             r->choiceKeys[0] = 0;
         }},
        {"fills item word 0", [](ZMD_QueryRule *r) { r->choiceFields[0] = 0; }},
        {"fills item word 4", [](ZMD_QueryRule *r) { r->choiceFields[0] = 4; }},
    };
    for (const Breakage &b : cases) {
        DbcImage img = good;
        b.breakIt(&img.queryRules[1]);
        std::string faults = Faults(img);
        EXPECT_NE(faults.find(b.fault), std::string::npos) << "expected: " << b.fault << "\ngot:\n" << faults;
    }
    DbcImage twice = good;
    twice.queryRules.push_back(good.queryRules[0]);
    EXPECT_NE(Faults(twice).find("has a rule before"), std::string::npos);
}

TEST(DbcValidate, NullTablesAreReportedNotRead)
{
    DbcImage img = Compile(kSample);
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    view.bytePool = nullptr;
    view.seqParts = nullptr;
    std::string faults;
    EXPECT_FALSE(DbcValidateView(view, &faults));
    EXPECT_NE(faults.find("byte pool"), std::string::npos);
    EXPECT_NE(faults.find("sequence table: missing parts"), std::string::npos);
    view.nodes = nullptr;
    EXPECT_FALSE(DbcValidateView(view, &faults));
    // Printing a broken view prints what it can.
    EXPECT_NE(DbcPrintView(view).find("no node or key table"), std::string::npos);
}

TEST(DbcValidate, ShippedImagePasses)
{
    std::string faults;
    EXPECT_TRUE(DbcValidateView(*ZMD_ShippedImage(), &faults)) << faults;
}

std::string Cpp(const std::string &name, const std::string &text)
{
    DbcImage img;
    std::string errors;
    EXPECT_TRUE(DbcCompileText(name, text, &img, &errors)) << errors;
    std::string cpp = DbcWriteCpp(img, "x");
    return cpp;
}

TEST(DbcPrint, PrintCompilesBackToTheSameImage)
{
    DbcImage img = Compile(kSample);
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    std::string printed = DbcPrintView(view);
    EXPECT_NE(printed.find("key 0x0012: select_string str 0"), std::string::npos) << printed;
    EXPECT_NE(printed.find("case 2..3: text \"B\""), std::string::npos) << printed;
    EXPECT_EQ(Cpp("p.zdb", printed), Cpp("t.zdb", kSample));
}

std::string ReadFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

TEST(DbcPrint, ShippedImagePrintsBackToItself)
{
    ZMD_ImageView shipped = *ZMD_ShippedImage();
    std::string printed = DbcPrintView(shipped);
    DbcImage img;
    std::string errors;
    ASSERT_TRUE(DbcCompileText("printed.zdb", printed, &img, &errors)) << errors;
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    EXPECT_EQ(DbcPrintView(view), printed);
    EXPECT_EQ(view.counts.nodes, shipped.counts.nodes);
    EXPECT_EQ(view.counts.bytePool, shipped.counts.bytePool);
}

TEST(DbcPrint, ExampleOfTheFormatCompiles)
{
    std::string text = ReadFile(std::string(DBC_TEST_EXAMPLES_DIR) + "/example.zdb");
    ASSERT_FALSE(text.empty());
    DbcImage img;
    std::string errors;
    EXPECT_TRUE(DbcCompileText("example.zdb", text, &img, &errors)) << errors;
}

TEST(DbcCatalogue, ListsEveryKeyWithItsAnswers)
{
    DbcImage img = Compile(kSample);
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    std::string md;
    ASSERT_TRUE(DbcWriteCatalogue(view, &md)) << md;
    EXPECT_NE(md.find("### 0x0008"), std::string::npos);
    EXPECT_NE(md.find("| int 0 = 0 | ZMD_NOT_FOUND |"), std::string::npos) << md;
    EXPECT_NE(md.find("| int 0 = 1 | ZMD_OK | \"A\" |"), std::string::npos) << md;
    EXPECT_NE(md.find("| int 0 = 2 | ZMD_OK | \"B\" |"), std::string::npos) << md;
    EXPECT_NE(md.find("| str 0 = \"DOC\" | ZMD_OK | \"C\" |"), std::string::npos) << md;
    EXPECT_NE(md.find("| int 79 = 1 | ZMD_OK | 1 |"), std::string::npos) << md;
    EXPECT_NE(md.find("### 0x101B (command sequence, 1 parts)"), std::string::npos) << md;
    view.int32Pool = nullptr;
    EXPECT_FALSE(DbcWriteCatalogue(view, &md));
}

} // namespace

namespace {

std::string Catalogue(const std::string &text)
{
    DbcImage img = Compile(text);
    ZMD_ImageView view;
    DbcMakeView(img, &view);
    std::string md;
    EXPECT_TRUE(DbcWriteCatalogue(view, &md)) << md;
    return md;
}

void ExpectRow(const std::string &md, const std::string &row)
{
    EXPECT_NE(md.find("| " + row + " |"), std::string::npos) << "missing row: " << row << "\n" << md;
}

TEST(DbcCatalogue, SettingsReachEveryCaseAndDefaultsAvoidEarlierCases)
{
    std::string md =
        Catalogue("key 0x0008\n  select_int int 0\n    case 0: text \"a\"\n    case 1..5: text \"b\"\n"
                  "    case 2: text \"hidden\"\n    default: text \"c\"\n"
                  "key 0x2013\n  select_masked int 2 mask 0xFF00\n    case 0: int8 5\n    case 0x0B00: int8 1\n"
                  "    default: int8 0\n"
                  "key 0x2001\n  select_string str 1\n    case \"\": int8 1\n    default: int8 2\n"
                  "key 0x1007\n  switch int 9\n    when 0: int8 24\n    when 1: int8 8\n"
                  "key 0x100A\n  select_int int 5\n    case 1\n      select_int int 5\n        case 1: int8 1\n"
                  "        case 2: int8 2\n");
    ExpectRow(md, "int 0 = 0 | ZMD_OK | \"a\"");
    ExpectRow(md, "int 0 = 1 | ZMD_OK | \"b\"");
    ExpectRow(md, "int 0 = 6 | ZMD_OK | \"c\"");
    EXPECT_EQ(md.find("hidden"), std::string::npos); // case 2 is never reached after 1..5
    ExpectRow(md, "int 2 = 2816 | ZMD_OK | 1");
    ExpectRow(md, "int 2 = 256 | ZMD_OK | 0"); // 0 to 255 are taken by case 0 through the mask
    ExpectRow(md, "str 1 = \"\" | ZMD_OK | 1");
    ExpectRow(md, "str 1 = \"?\" | ZMD_OK | 2");
    ExpectRow(md, "int 9 = 0 | ZMD_OK | 24");
    ExpectRow(md, "int 9 = 1 | ZMD_OK | 8");
    ExpectRow(md, "int 5 = 0 | ZMD_NOT_FOUND | ");
    ExpectRow(md, "int 5 = 1 | ZMD_OK | 1");
    EXPECT_EQ(md.find("int 5 = 2"), std::string::npos);
    EXPECT_NE(md.find("Kind × count: INT8_ARRAY × 1. Chosen by: integer 2."), std::string::npos) << md;
}

TEST(DbcCatalogue, PrinterDataRowsStoreTheValueOrNothing)
{
    std::string md = Catalogue("key 0x0008\n  select_int int 0\n    case 2: text \"XvnUI_CustomECPMode\"\n"
                               "key 0x1001\n  select_printer_data item 2\n    case 0: int8 1\n    default: int8 2\n");
    ExpectRow(md, "item 2 = 0 | ZMD_OK | 1");
    ExpectRow(md, "item 2 not stored | ZMD_OK | 2");
    EXPECT_NE(md.find("Chosen by: printer-data item 2."), std::string::npos) << md;
}

} // namespace
