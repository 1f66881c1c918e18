// Broken sources are rejected with the file, the line and a clear message,
// and nothing is laid out.
#include <gtest/gtest.h>

#include "dbc.h"

namespace {

struct BrokenSource {
    const char *name;
    const char *text;
    const char *where;   // "file:line:" expected at the start of a message
    const char *message; // a part of that message
};

std::string Errors(const std::vector<DbcSource> &sources, DbcImage *img)
{
    std::string diagnostics;
    EXPECT_FALSE(DbcCompile(sources, img, &diagnostics));
    return diagnostics;
}

class Rejects : public ::testing::TestWithParam<BrokenSource> {};

TEST_P(Rejects, WithFileLineAndMessage)
{
    const BrokenSource &b = GetParam();
    DbcImage img;
    std::string errors = Errors({DbcSource{"t.zdb", b.text}}, &img);
    std::string expected = std::string("t.zdb:") + b.where + " ";
    bool found = false;
    size_t start = 0;
    while (start < errors.size()) {
        size_t end = errors.find('\n', start);
        std::string line = errors.substr(start, end - start);
        if (line.rfind(expected, 0) == 0 && line.find(b.message) != std::string::npos) {
            found = true;
        }
        start = end == std::string::npos ? errors.size() : end + 1;
    }
    EXPECT_TRUE(found) << "expected " << expected << "..." << b.message << "\ngot:\n" << errors;
    EXPECT_TRUE(img.nodes.empty());
}

const BrokenSource kBroken[] = {
    {"UnknownNodeKind", "key 0x0002\n  lsit\n", "2:", "unknown node kind 'lsit'"},
    {"UnknownNodeKindInCase", "key 0x0008\n  select_int int 0\n    case 1: txt \"a\"\n",
     "3:", "unknown node kind 'txt'"},
    {"UnknownStatement", "kee 0x0002: int8 1\n", "1:", "unknown statement 'kee'"},
    {"DanglingReference", "key 0x0002\n  list\n    use nowhere\n", "3:", "dangling reference: no tree named 'nowhere'"},
    {"CycleThroughTwoTrees",
     "key 0x0002: use a\ntree a tag 0x0002\n  list\n    int8 1\n    use b\ntree b\n  list\n    use a\n", "8:", "cycle"},
    {"TreeUsingItself", "key 0x0002: use a\ntree a tag 0x0002\n  list\n    int8 1\n    use a\n", "5:", "cycle"},
    {"TreeDefinedTwice", "key 0x0002: use a\ntree a tag 0x0002: int8 1\ntree a tag 0x0002: int8 2\n",
     "3:", "tree 'a' is defined twice (first at t.zdb:2)"},
    {"DuplicateKey", "key 0x0002: int8 1\nkey 0x0003: int8 1\nkey 0x0002: int8 2\n",
     "3:", "duplicate key 0x0002 (first defined at t.zdb:1)"},
    {"NumberCaseUnderSelectString", "key 0x0012\n  select_string str 0\n    case 5: text \"x\"\n",
     "3:", "case of the wrong kind"},
    {"StringCaseUnderSelectInt", "key 0x0008\n  select_int int 0\n    case \"DOC\": text \"x\"\n",
     "3:", "case of the wrong kind"},
    {"RangeUnderSelectString", "key 0x0012\n  select_string str 0\n    case 1..5: text \"x\"\n",
     "3:", "case of the wrong kind"},
    {"NodeAmongCases", "key 0x0008\n  select_int int 0\n    text \"x\"\n", "3:", "only `case` and `default`"},
    {"CaseOutsideSelector", "key 0x0002\n  list\n    case 1: int8 1\n", "3:", "'case' outside a selector"},
    {"CaseWithTwoTargets", "key 0x0008\n  select_int int 0\n    case 1\n      text \"a\"\n      text \"b\"\n",
     "3:", "more than one node"},
    {"Int8OutOfRange", "key 0x0004: int8 1, 200\n", "1:", "int8 value 200 out of range -128..127"},
    {"Uint16OutOfRange", "key 0x1005: uint16 70000\n", "1:", "out of range 0..65535"},
    {"CaseValueBeyond32Bits", "key 0x0008\n  select_int int 0\n    case 0x100000000: text \"a\"\n", "3:", "case value"},
    {"RangeBackwards", "key 0x0008\n  select_int int 0\n    case 5..1: text \"a\"\n", "3:", "low end first"},
    {"WhenBeyond16Bits", "key 0x1007\n  switch int 9\n    when 70000: int8 1\n", "3:", "when value"},
    {"SettingBeyondRecordShape", "key 0x0008\n  select_int int 1\n    case 1: text \"a\"\n",
     "2:", "tests integer setting 1, but root records have 1 integer settings"},
    {"StringSettingInDriverKey", "key 0x1001\n  select_string str 0\n    case \"a\": int8 1\n",
     "2:", "tests string setting 0"},
    {"ValueWithoutKey", "key 0x5003 0x5004\n  list\n    int8 1, 1\n", "3:", "write @KEY"},
    {"TreeValueWithoutTag", "key 0x0002: use t\ntree t: int8 1\n", "2:", "write @KEY"},
    {"KeyWithoutItsValue", "key 0x0002: @0x0003 int8 1\nkey 0x0003: int8 1\n",
     "1:", "key 0x0002: its tree holds no value for it"},
    {"KeyOfNoDatabase", "key 0x7001: int8 1\n", "1:", "belongs to no database"},
    {"KeyOutsideDeclaredDatabase", "database lm\nkey 0x1001: int8 1\n", "2:", "not a key of database lm"},
    {"AllBelowTheTop", "key 0x0002\n  list\n    all\n", "3:", "`all` (node 0) may only be a key's whole tree"},
    {"CountryWithWrongSelector", "key 0x0004\n  select_country 0x5010\n    default: int8 1\n", "2:", "0x500F"},
    {"ComputedTypeNotServed", "key 0x1004: computed 9\n", "1:", "computed type 9 out of range 1..7"},
    {"TabIndent", "key 0x0002\n\tint8 1\n", "2:", "tab character"},
    {"UnterminatedString", "key 0x0002: text \"1.50\n", "1:", "unterminated string"},
    {"BadEscape", "key 0x0002: text \"a\\q\"\n", "1:", "unknown escape"},
    {"BadIndentation", "key 0x0002\n    list\n      int8 1\n   int8 2\n", "4:", "does not line up"},
    {"BadByteData", "key 0x3001: bytes 1B 2\n", "1:", "'2' is not hex bytes"},
    {"FieldTooNarrow", "key 0x3001: bytes field(2, \"abc\")\n", "1:", "does not fit the field"},
    {"Be16Overflow", "key 0x3001: bytes be16(70000)\n", "1:", "does not fit in 16 bits"},
    {"SequenceKeyNotASequence", "key 0x0002: int8 1\nsequence 0x1020\n  part: bytes 1B 40\n",
     "2:", "not one of 0x1018..0x101D"},
    {"SequenceHoldsOtherLines", "key 0x0002: int8 1\nsequence 0x101B\n  bytes 1B 40\n", "3:", "only `part` lines"},
    {"BlockWrongSize", "key 0x0002: int8 1\nblock B 0\n  zeros(39)\n", "2:", "must hold exactly 40"},
    {"BlockOutOfOrder", "key 0x0002: int8 1\nblock D 1\n  zeros(48)\n", "2:", "expected D 0"},
    {"RowNamesMissingBlock", "key 0x0002: int8 1\nblock D 0\n  zeros(48)\nselection\n  row 1 0 1 2 1 0 -> 0 0 0 0\n",
     "5:", "block A 0, but there are 0"},
    {"CatalogueIdTwice", "key 0x0002: int8 1\ncatalogue 28\n  11 0x3D92\n  11 0x3D93\n",
     "4:", "id 11 is in list 28 twice"},
    // Query rules: the keys, lists and sequences they name exist, and the
    // trees they read answer what the rule takes from them.
    {"RuleForMissingListKey", "key 0x0002: int8 1\nquery 0x1050 list\n", "2:", "the list key is not a defined key"},
    {"RuleForAbsentKeyThatIsDefined", "key 0x1050: int8 1\nquery 0x1050 list absent\n", "2:", "says it is absent"},
    {"RuleReadsMissingDefaultKey", "key 0x1050: int8 1\nquery 0x1050 list default 0x5004\n",
     "2:", "default key 0x5004 is not a defined key"},
    {"RuleNamesMissingList", "key 0x1050: int8 1\nquery 0x1050 list names 9\n", "2:", "no catalogue list 9"},
    {"RuleForKeyTwice", "key 0x1050: int8 1\nquery 0x1050 list\nquery 0x1050 list\n",
     "3:", "already has a rule (t.zdb:2)"},
    {"CatalogueListAnsweredTwice",
     "key 0x0002: int8 1\ncatalogue 5\n  1 0x10\nquery 0x100D catalogue 5\nquery 0x100F catalogue 5\n",
     "5:", "catalogue list 5 is already answered by key 0x100D (t.zdb:4)"},
    {"CatalogueRuleForKeyWithTree", "key 0x100D: int8 1\ncatalogue 4\n  1 0x10\nquery 0x100D catalogue 4\n",
     "4:", "the key has a tree"},
    {"ListKeyAnswersText", "key 0x1050: text \"a\"\nquery 0x1050 list\n",
     "2:", "answers at t.zdb:1 with a value that is not a list of integers"},
    {"DefaultPairOfThree", "key 0x1050: int8 1\nkey 0x5004: int8 1, 1, 1\nquery 0x1050 list default 0x5004\n",
     "3:", "not 2 integers"},
    {"PerChoiceValueOfTwo",
     "key 0x1050: int8 1\nkey 0x500E: int16 1, 2\nquery 0x1050 list choice int 28 value1 0x500E\n",
     "3:", "not one integer"},
    {"SequenceRuleWithoutSequence", "key 0x0002: int8 1\nquery 0x1019 sequence\n", "2:", "no sequence 0x1019"},
    {"RuleForKeyOutsideDrv", "key 0x0002: int8 1\nquery 0x0002 list\n", "2:", "not a key of database drv"},
};

INSTANTIATE_TEST_SUITE_P(Dbc, Rejects, ::testing::ValuesIn(kBroken),
                         [](const ::testing::TestParamInfo<BrokenSource> &i) { return std::string(i.param.name); });

TEST(DbcRejects, DuplicateKeyAcrossFilesNamesBoth)
{
    DbcImage img;
    std::string errors =
        Errors({DbcSource{"a.zdb", "key 0x0002: int8 1\n"}, DbcSource{"b.zdb", "\n\nkey 0x0002: int8 1\n"}}, &img);
    EXPECT_NE(errors.find("b.zdb:3: duplicate key 0x0002 (first defined at a.zdb:1)"), std::string::npos) << errors;
}

TEST(DbcRejects, ValueCountBeyond16Bits)
{
    std::string text = "key 0x3003\n  int8\n";
    for (int line = 0; line < 1025; ++line) {
        text += "   ";
        for (int i = 0; i < 64; ++i) {
            text += " 1";
        }
        text += "\n";
    }
    DbcImage img;
    std::string errors = Errors({DbcSource{"big.zdb", text}}, &img);
    EXPECT_NE(errors.find("big.zdb:2: too many elements in a value: 65600 (at most 65535)"), std::string::npos)
        << errors;
}

TEST(DbcRejects, ChildCountBeyond16Bits)
{
    std::string text = "key 0x3003\n  list\n";
    for (int i = 0; i < 65536; ++i) {
        text += "    int8 " + std::to_string(i % 100) + "\n";
    }
    DbcImage img;
    std::string errors = Errors({DbcSource{"big.zdb", text}}, &img);
    EXPECT_NE(errors.find("big.zdb:2: too many children: 65536"), std::string::npos) << errors;
}

TEST(DbcRejects, EverySourceErrorIsReportedNotJustTheFirst)
{
    DbcImage img;
    std::string errors = Errors({DbcSource{"t.zdb", "key 0x0002\n  lsit\nkey 0x0003\n  frob\n"}}, &img);
    EXPECT_NE(errors.find("t.zdb:2:"), std::string::npos);
    EXPECT_NE(errors.find("t.zdb:4:"), std::string::npos);
}

TEST(DbcRejects, MissingFileIsAnError)
{
    DbcImage img;
    std::string errors;
    EXPECT_FALSE(DbcCompileFiles({"/nonexistent/dir/none.zdb"}, &img, &errors));
    EXPECT_NE(errors.find("cannot read /nonexistent/dir/none.zdb: No such file"), std::string::npos);
}

TEST(DbcRejects, EmptySourceHasNoKeys)
{
    DbcImage img;
    std::string errors = Errors({DbcSource{"t.zdb", "# nothing\n"}}, &img);
    EXPECT_EQ(errors, "t.zdb: no keys defined\n"); // about the file as a whole: no line 0
    EXPECT_EQ(Errors({DbcSource{"empty.zdb", ""}}, &img), "empty.zdb: no keys defined\n");
}

// A source of garbage: at most 20 errors, in line order, each echoed byte
// that is not printable escaped, then one line saying how many were left out.
TEST(DbcRejects, GarbageGivesTwentyErrorsInLineOrderEscaped)
{
    std::string text = std::string("\"\\") + '\x01' + "\"\n";
    for (int i = 0; i < 29; ++i) {
        text += std::string("\"\\") + static_cast<char>(0x80 + i) + "\"\n";
    }
    DbcImage img;
    std::string errors = Errors({DbcSource{"junk.zdb", text}}, &img);
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < errors.size(); at = end + 1) {
        end = errors.find('\n', at);
        lines.push_back(errors.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 21u) << errors;
    EXPECT_EQ(lines[0], "junk.zdb:1: unknown escape \\\\x01");
    EXPECT_EQ(lines[1], "junk.zdb:2: unknown escape \\\\x80");
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(lines[i].rfind("junk.zdb:" + std::to_string(i + 1) + ":", 0), 0u) << lines[i];
    }
    EXPECT_EQ(lines[20], "dbc: too many errors (10 more not shown)");
    for (char c : errors) {
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "raw byte " << static_cast<int>(c);
    }
}

} // namespace
