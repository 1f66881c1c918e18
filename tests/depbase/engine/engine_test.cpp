// Rule-tree evaluation: key lookup, sequences, switches and the selectors.
#include <gtest/gtest.h>

#include <climits>

#include "engine.h"
#include "fake_platform.h"
#include "image_builder.h"
#include "test_record.h"

namespace {

const uint16_t K = 0x0002;     // the key most tests ask for
const uint16_t OTHER = 0x0003; // a different key

// Finds `key` and returns the result; on ZMD_OK *node holds the value node.
class EngineTest : public ::testing::Test {
protected:
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view{};
    ZMD_Env env{};

    int32_t find(uint32_t key, TestRecord &rec, ZMD_Node *node)
    {
        view = b.view();
        env = fake.env(&view);
        return ZMD_FindKey(&env, key, rec.get(), node);
    }
    // The byte-pool text of a TEXT node (without its NUL).
    std::string textOf(ZMD_Node n) const
    {
        EXPECT_EQ(ZMD_NodeKindOf(n.w0), ZMD_KIND_TEXT);
        const uint32_t off = ZMD_NodeOperand(n.w0), count = ZMD_NodeLow(n.w1);
        return std::string(reinterpret_cast<const char *>(b.bytePool.data()) + off, count ? count - 1 : 0);
    }
    // Finds K and returns the chosen text, or the result code in brackets.
    std::string answer(TestRecord &rec)
    {
        ZMD_Node n{};
        int32_t r = find(K, rec, &n);
        return r == ZMD_OK ? textOf(n) : "[" + std::to_string(r) + "]";
    }
};

// --- key lookup ---------------------------------------------------------

TEST_F(EngineTest, KeyLookupScansForTheKeysLow16Bits)
{
    uint32_t a = b.add(b.text(0x0002, "two"));
    uint32_t c = b.add(b.text(0x0005, "five"));
    b.addKey(0x0002, a);
    b.addKey(0x0005, c);
    TestRecord rec;
    ZMD_Node n{};
    ASSERT_EQ(find(0x0005, rec, &n), ZMD_OK);
    EXPECT_EQ(textOf(n), "five");
    ASSERT_EQ(find(0xABCD0002u, rec, &n), ZMD_OK);
    EXPECT_EQ(textOf(n), "two");
    EXPECT_EQ(find(0x0003, rec, &n), ZMD_NO_KEY);
    EXPECT_EQ(find(0x10003, rec, &n), ZMD_NO_KEY);
}

TEST_F(EngineTest, NodeOutIsWrittenOnlyOnSuccess)
{
    uint32_t v = b.add(b.text(OTHER, "other"));
    b.addKey(K, b.add(mk::list(v, 1)));
    TestRecord rec;
    ZMD_Node n{0x12345678u, 0x9ABCDEF0u};
    EXPECT_EQ(find(K, rec, &n), ZMD_NOT_FOUND);
    EXPECT_EQ(n.w0, 0x12345678u);
    EXPECT_EQ(n.w1, 0x9ABCDEF0u);
    view = b.view();
    env = fake.env(&view);
    EXPECT_EQ(ZMD_EvaluateNode(&env, K, rec.get(), b.nodes[v].w0, b.nodes[v].w1, nullptr), ZMD_ERROR);
}

// --- sequences ----------------------------------------------------------

TEST_F(EngineTest, ListPassesOverValuesOfOtherKeys)
{
    uint32_t first = b.addRun({b.text(OTHER, "other"), b.text(K, "mine"), b.text(K, "later")});
    b.addKey(K, b.add(mk::list(first, 3)));
    TestRecord rec;
    EXPECT_EQ(answer(rec), "mine");
}

TEST_F(EngineTest, EmptyListAndListWithoutTheKeyAreNotFound)
{
    uint32_t v = b.add(b.text(OTHER, "other"));
    uint32_t outer = b.addRun({mk::list(v, 0), mk::list(v, 1)});
    b.addKey(K, b.add(mk::list(outer, 2)));
    TestRecord rec;
    EXPECT_EQ(answer(rec), "[1]");
}

TEST_F(EngineTest, SharedTopNodeLetsEachKeyPickItsOwnValue)
{
    uint32_t first = b.addRun({b.text(0x0002, "two"), b.text(0x0003, "three")});
    uint32_t top = b.add(mk::list(first, 2));
    b.addKey(0x0002, top);
    b.addKey(0x0003, top);
    TestRecord rec;
    ZMD_Node n{};
    ASSERT_EQ(find(0x0003, rec, &n), ZMD_OK);
    EXPECT_EQ(textOf(n), "three");
}

TEST_F(EngineTest, WhenAndCasesEvaluatedAsNodesAreSequences)
{
    uint32_t v = b.addRun({b.text(OTHER, "x"), b.text(K, "seq")});
    // A WHEN reached directly is not compared with anything.
    uint32_t when = b.add(mk::when(v, 999, 2));
    uint32_t caseEq = b.add(mk::node(ZMD_KIND_CASE_EQUAL, v, 2));
    uint32_t caseDef = b.add(mk::node(ZMD_KIND_CASE_DEFAULT, v, 2));
    TestRecord rec; // no settings at all
    for (uint32_t top : {when, caseEq, caseDef}) {
        b.keys.clear();
        b.keyNodes.clear();
        b.addKey(K, top);
        EXPECT_EQ(answer(rec), "seq") << "top node " << top;
    }
}

// --- SWITCH -------------------------------------------------------------

class SwitchTest : public EngineTest {
protected:
    // SWITCH on setting 28: WHEN 11 -> "eleven", WHEN 13 -> "thirteen".
    void build(bool withPlainChild)
    {
        uint32_t v11 = b.add(b.text(K, "eleven"));
        uint32_t v13 = b.add(b.text(K, "thirteen"));
        std::vector<ZMD_Node> children = {mk::when(v11, 11, 1), mk::when(v13, 13, 1)};
        if (withPlainChild) {
            children.push_back(b.text(K, "plain"));
        }
        uint32_t first = b.addRun(children);
        b.addKey(K, b.add(mk::switchOn(first, 28, static_cast<uint16_t>(children.size()))));
    }
    TestRecord withSetting28(int32_t v)
    {
        TestRecord rec(std::vector<int32_t>(29, 0));
        rec.ints[28] = v;
        return rec;
    }
};

TEST_F(SwitchTest, TakesOnlyTheMatchingWhen)
{
    build(false);
    TestRecord r13 = withSetting28(13), r11 = withSetting28(11), r5 = withSetting28(5);
    EXPECT_EQ(answer(r13), "thirteen");
    EXPECT_EQ(answer(r11), "eleven");
    EXPECT_EQ(answer(r5), "[1]");
}

TEST_F(SwitchTest, OtherChildrenAreTakenUnconditionally)
{
    build(true);
    TestRecord r5 = withSetting28(5), r13 = withSetting28(13);
    EXPECT_EQ(answer(r5), "plain");
    EXPECT_EQ(answer(r13), "thirteen");
}

TEST_F(SwitchTest, NegativeSettingNeverMatchesAWhen)
{
    uint32_t v = b.add(b.text(K, "ffff"));
    uint32_t first = b.addRun({mk::when(v, 0xFFFF, 1)});
    b.addKey(K, b.add(mk::switchOn(first, 0, 1)));
    TestRecord neg({-1}), pos({0xFFFF});
    EXPECT_EQ(answer(neg), "[1]");
    EXPECT_EQ(answer(pos), "ffff");
}

TEST_F(SwitchTest, SeveralMatchingWhensAreTriedInOrder)
{
    uint32_t other = b.add(b.text(OTHER, "other"));
    uint32_t mine = b.add(b.text(K, "second"));
    uint32_t first = b.addRun({mk::when(other, 4, 1), mk::when(mine, 4, 1)});
    b.addKey(K, b.add(mk::switchOn(first, 0, 2)));
    TestRecord rec({4});
    EXPECT_EQ(answer(rec), "second");
}

TEST_F(SwitchTest, WhenNeedsTheIntegerSetting)
{
    build(false);
    TestRecord tooFew(std::vector<int32_t>(28, 13)), none;
    EXPECT_EQ(answer(tooFew), "[-3]");
    EXPECT_EQ(answer(none), "[-3]");
}

TEST_F(SwitchTest, PlainChildrenNeedNoSetting)
{
    uint32_t first = b.addRun({b.text(OTHER, "x"), b.text(K, "plain")});
    b.addKey(K, b.add(mk::switchOn(first, 28, 2)));
    TestRecord none;
    EXPECT_EQ(answer(none), "plain");
}

// --- integer selectors ----------------------------------------------------

TEST_F(EngineTest, FirstMatchingCaseDecidesEvenWithoutAValue)
{
    uint32_t foreign = b.add(b.text(OTHER, "other"));
    uint32_t fallback = b.add(b.text(K, "default"));
    uint32_t cases = b.addRun({mk::caseEqual(foreign, 7), mk::caseDefault(fallback)});
    b.addKey(K, b.add(mk::selectInt(cases, 0, 2)));
    TestRecord seven({7}), eight({8});
    EXPECT_EQ(answer(seven), "[1]");
    EXPECT_EQ(answer(eight), "default");
}

TEST_F(EngineTest, CaseEqualComparesAll32Bits)
{
    uint32_t neg = b.add(b.text(K, "minus one"));
    uint32_t big = b.add(b.text(K, "big"));
    uint32_t cases = b.addRun({mk::caseEqual(neg, 0xFFFFFFFFu), mk::caseEqual(big, 0x00010005u)});
    b.addKey(K, b.add(mk::selectInt(cases, 1, 2)));
    TestRecord a({0, -1}), c({0, 0x00010005}), d({0, 5}), e({0, 0xFFFF});
    EXPECT_EQ(answer(a), "minus one");
    EXPECT_EQ(answer(c), "big");
    EXPECT_EQ(answer(d), "[1]");
    EXPECT_EQ(answer(e), "[1]");
}

TEST_F(EngineTest, EarlyDefaultHidesLaterCases)
{
    uint32_t def = b.add(b.text(K, "default"));
    uint32_t three = b.add(b.text(K, "three"));
    uint32_t cases = b.addRun({mk::caseDefault(def), mk::caseEqual(three, 3)});
    b.addKey(K, b.add(mk::selectInt(cases, 0, 2)));
    TestRecord rec({3});
    EXPECT_EQ(answer(rec), "default");
}

TEST_F(EngineTest, SelectIntWithoutCasesOrMatchIsNotFound)
{
    uint32_t v = b.add(b.text(K, "one"));
    uint32_t cases = b.addRun({mk::caseEqual(v, 1)});
    uint32_t none = b.add(mk::selectInt(cases, 0, 0));
    uint32_t some = b.add(mk::selectInt(cases, 0, 1));
    TestRecord rec({2});
    b.addKey(K, none);
    EXPECT_EQ(answer(rec), "[1]");
    b.keyNodes[0] = some;
    EXPECT_EQ(answer(rec), "[1]");
}

TEST_F(EngineTest, SelectIntNeedsTheIntegerSetting)
{
    uint32_t v = b.add(b.text(K, "x"));
    uint32_t cases = b.addRun({mk::caseDefault(v)});
    b.addKey(K, b.add(mk::selectInt(cases, 5, 1)));
    TestRecord five({1, 2, 3, 4, 5}), six({1, 2, 3, 4, 5, 6}), none;
    EXPECT_EQ(answer(five), "[-3]");
    EXPECT_EQ(answer(six), "x");
    EXPECT_EQ(answer(none), "[-3]");
    view = b.view();
    env = fake.env(&view);
    ZMD_Node n{};
    EXPECT_EQ(ZMD_FindKey(&env, K, nullptr, &n), ZMD_BAD_INT_SETTING);
}

TEST_F(EngineTest, SelectMaskedAndsTheSettingWithTheMask)
{
    uint32_t v = b.add(b.text(K, "0x0100"));
    uint32_t cases = b.addRun({mk::caseEqual(v, 0x0100)});
    uint32_t mask = b.add(mk::mask(cases, 0xFF00));
    b.addKey(K, b.add(mk::selectMasked(mask, 2, 1)));
    TestRecord hit({0, 0, 0x01FF}), miss({0, 0, 0x02FF}), exact({0, 0, 0x0100}), tooFew({0, 0});
    EXPECT_EQ(answer(hit), "0x0100");
    EXPECT_EQ(answer(exact), "0x0100");
    EXPECT_EQ(answer(miss), "[1]");
    EXPECT_EQ(answer(tooFew), "[-3]");
}

TEST_F(EngineTest, CaseRangeIsInclusiveAndSigned)
{
    uint32_t positive = b.add(b.text(K, "positive"));
    uint32_t negative = b.add(b.text(K, "negative"));
    uint32_t at = b.putInt32s({1, INT_MAX, -5, -1});
    uint32_t cases = b.addRun({mk::caseRange(positive, at), mk::caseRange(negative, at + 2)});
    b.addKey(K, b.add(mk::selectInt(cases, 0, 2)));
    TestRecord one({1}), max({INT_MAX}), zero({0}), m1({-1}), m5({-5}), m6({-6}), min({INT_MIN});
    EXPECT_EQ(answer(one), "positive");
    EXPECT_EQ(answer(max), "positive");
    EXPECT_EQ(answer(zero), "[1]");
    EXPECT_EQ(answer(m1), "negative");
    EXPECT_EQ(answer(m5), "negative");
    EXPECT_EQ(answer(m6), "[1]");
    EXPECT_EQ(answer(min), "[1]");
}

// --- SELECT_STRING ------------------------------------------------------

class SelectStringTest : public EngineTest {
protected:
    // SELECT_STRING on string setting 1: "CL" -> "cl", "" -> "empty".
    void build()
    {
        uint32_t cl = b.add(b.text(K, "cl"));
        uint32_t empty = b.add(b.text(K, "empty"));
        uint32_t sCl = b.add(b.caseStringNode("CL"));
        uint32_t sEmpty = b.add(b.caseStringNode(""));
        uint32_t cases = b.addRun({mk::caseString(cl, sCl), mk::caseString(empty, sEmpty)});
        b.addKey(K, b.add(mk::selectString(cases, 1, 2)));
    }
    std::string with(const char *s)
    {
        TestRecord rec({}, {"unused", s});
        return answer(rec);
    }
};

TEST_F(SelectStringTest, ExactCaseSensitiveWholeStringMatch)
{
    build();
    EXPECT_EQ(with("CL"), "cl");
    EXPECT_EQ(with("CLX"), "[1]");
    EXPECT_EQ(with("cl"), "[1]");
    EXPECT_EQ(with("C"), "[1]");
}

TEST_F(SelectStringTest, NullOrEmptySettingMatchesTheEmptyCaseString)
{
    build();
    EXPECT_EQ(with(nullptr), "empty");
    EXPECT_EQ(with(""), "empty");
}

TEST_F(SelectStringTest, NeedsTheStringSetting)
{
    build();
    TestRecord one({}, {"CL"}), none;
    EXPECT_EQ(answer(one), "[-2]");
    EXPECT_EQ(answer(none), "[-2]");
}

TEST_F(SelectStringTest, LeadingDefaultMatchesWithoutTheSetting)
{
    uint32_t def = b.add(b.text(K, "default"));
    uint32_t s = b.add(b.caseStringNode("CL"));
    uint32_t cases = b.addRun({mk::caseDefault(def), mk::caseString(def, s)});
    b.addKey(K, b.add(mk::selectString(cases, 3, 2)));
    TestRecord none;
    EXPECT_EQ(answer(none), "default");
}

TEST_F(SelectStringTest, NoCasesIsNotFound)
{
    uint32_t def = b.add(b.text(K, "default"));
    uint32_t cases = b.addRun({mk::caseDefault(def)});
    b.addKey(K, b.add(mk::selectString(cases, 0, 0)));
    TestRecord rec({}, {"CL"});
    EXPECT_EQ(answer(rec), "[1]");
}

// --- SELECT_COUNTRY -------------------------------------------------------

class SelectCountryTest : public EngineTest {
protected:
    void build(uint16_t selector = 0x500F)
    {
        uint32_t us = b.add(b.text(K, "us"));
        uint32_t jp = b.add(b.text(K, "jp"));
        uint32_t other = b.add(b.text(K, "other"));
        uint32_t cases = b.addRun({mk::caseEqual(us, 1), mk::caseEqual(jp, 81), mk::caseDefault(other)});
        b.addKey(K, b.add(mk::selectCountry(cases, 3, selector)));
    }
};

TEST_F(SelectCountryTest, SelectsByTheLocalesCountryCode)
{
    build();
    TestRecord rec;
    fake.countryText = "81";
    EXPECT_EQ(answer(rec), "jp");
    fake.countryText = "1";
    EXPECT_EQ(answer(rec), "us");
    fake.countryText = "49";
    EXPECT_EQ(answer(rec), "other");
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(SelectCountryTest, WrongSelectorIsAnError)
{
    build(0x500E);
    TestRecord rec;
    EXPECT_EQ(answer(rec), "[-1]");
}

TEST_F(SelectCountryTest, LocaleFailureIsAnError)
{
    build();
    TestRecord rec;
    fake.failCountryFetch = true;
    EXPECT_EQ(answer(rec), "[-1]");
    EXPECT_EQ(fake.outstanding(), 0u);
    fake.failCountryFetch = false;
    fake.failCountrySize = true;
    EXPECT_EQ(answer(rec), "[-1]");
}

TEST(CountryCode, ParsesLeadingDigitsAndChecksItsArguments)
{
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view = b.view();
    ZMD_Env env = fake.env(&view);
    int32_t v = 0;
    fake.countryText = "352";
    EXPECT_EQ(ZMD_GetUserCountryCode(&env, 0x500F, &v), 0);
    EXPECT_EQ(v, 352);
    EXPECT_EQ(ZMD_GetUserCountryCode(&env, 0xFFFF500F, &v), 0); // only the low 16 bits count
    EXPECT_EQ(ZMD_GetUserCountryCode(&env, 0x5010, &v), ZMD_ERROR);
    EXPECT_EQ(ZMD_GetUserCountryCode(&env, 0x500F, nullptr), ZMD_ERROR);
    fake.countryText = "99999999999";
    EXPECT_EQ(ZMD_GetUserCountryCode(&env, 0x500F, &v), 0);
    EXPECT_EQ(v, INT_MAX);
    EXPECT_EQ(fake.outstanding(), 0u);
}

// --- ZMD_CompareChars ---------------------------------------------------

TEST(CompareChars, FixedLengthNeedsBothPointers)
{
    EXPECT_TRUE(ZMD_CompareChars("ABC", "ABD", 2));
    EXPECT_FALSE(ZMD_CompareChars("ABC", "ABD", 3));
    EXPECT_TRUE(ZMD_CompareChars("x", "y", 0));
    EXPECT_FALSE(ZMD_CompareChars(nullptr, "y", 0));
    EXPECT_FALSE(ZMD_CompareChars("x", nullptr, 0));
    EXPECT_TRUE(ZMD_CompareChars("x", "y", 0x10000)); // n is 16 bits
    EXPECT_FALSE(ZMD_CompareChars("xa", "xb", 0x10002));
}

// --- cycles ---------------------------------------------------------------

TEST_F(EngineTest, CycleInAMalformedImageIsAnErrorNotACrash)
{
    uint32_t self = b.reserve(1);
    b.set(self, mk::list(self, 1));
    b.addKey(K, self);
    TestRecord rec;
    EXPECT_EQ(answer(rec), "[-1]");
}

// A case target and a sequence's last child are walked in a loop; each turn
// counts as a level, so a cycle through them still ends at the depth limit.
TEST_F(EngineTest, CycleThroughACaseTargetOrALastChildIsAnError)
{
    TestRecord rec({0});
    // A selector whose default case leads back to the selector.
    uint32_t sel = b.reserve(1);
    uint32_t cases = b.addRun({mk::caseDefault(sel)});
    b.set(sel, mk::selectInt(cases, 0, 1));
    b.addKey(K, sel);
    EXPECT_EQ(answer(rec), "[-1]");

    // A list whose last child is the list, after a child of another key.
    uint32_t list = b.reserve(1);
    uint32_t run = b.addRun({b.text(OTHER, "other"), mk::node(ZMD_KIND_LIST, list, 1)});
    b.set(list, mk::list(run, 2));
    b.keyNodes[0] = list;
    EXPECT_EQ(answer(rec), "[-1]");

    // A switch whose last (plain) child leads back to the switch.
    uint32_t sw = b.reserve(1);
    uint32_t child = b.add(mk::list(sw, 1));
    b.set(sw, mk::switchOn(child, 0, 1));
    b.keyNodes[0] = sw;
    EXPECT_EQ(answer(rec), "[-1]");

    // A walk of two keys through the same cycle ends with the error for both.
    view = b.view();
    env = fake.env(&view);
    const uint32_t keys[2] = {K, OTHER};
    ZMD_Node out[2] = {};
    int32_t results[2] = {0, 0};
    ZMD_EvaluateNodePair(&env, keys, rec.get(), b.nodes[sel].w0, b.nodes[sel].w1, out, results);
    EXPECT_EQ(results[0], ZMD_ERROR);
    EXPECT_EQ(results[1], ZMD_ERROR);
}

// A chain of `levels` nodes above the value: lists, or integer selectors
// whose only case is the default.
uint32_t Chain(ImageBuilder &b, uint32_t levels, bool selectors)
{
    uint32_t below = b.add(b.text(K, "deep"));
    for (uint32_t i = 0; i < levels; ++i) {
        if (selectors) {
            uint32_t c = b.add(mk::caseDefault(below));
            below = b.add(mk::selectInt(c, 0, 1));
        } else {
            below = b.add(mk::list(below, 1));
        }
    }
    return below;
}

TEST_F(EngineTest, ATreeAsDeepAsTheLimitAnswersOneLevelMoreIsAnError)
{
    TestRecord rec({0});
    for (bool selectors : {false, true}) {
        b.keys.clear();
        b.keyNodes.clear();
        b.addKey(K, Chain(b, ZMD_MAX_TREE_DEPTH, selectors));
        EXPECT_EQ(answer(rec), "deep") << "selectors " << selectors;
        b.keyNodes[0] = Chain(b, ZMD_MAX_TREE_DEPTH + 1, selectors);
        EXPECT_EQ(answer(rec), "[-1]") << "selectors " << selectors;
    }
    // Levels below a recursing child count on: a list whose first child is
    // the chain (a sibling follows) reaches the value one level deeper.
    b.keys.clear();
    b.keyNodes.clear();
    uint32_t limit = Chain(b, ZMD_MAX_TREE_DEPTH, false);
    uint32_t run = b.addRun({b.nodes[limit], b.text(OTHER, "sibling")});
    b.addKey(K, b.add(mk::list(run, 2)));
    EXPECT_EQ(answer(rec), "[-1]");
}

} // namespace
