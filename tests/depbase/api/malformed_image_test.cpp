// Every malformed image answers ZMD_ERROR: no crash and no read outside a
// table (the sanitizer build checks the latter). The runtime keeps these
// bounds checks for an image that was never validated; every image it
// refuses here is one the image's validation refuses too.
#include <gtest/gtest.h>

#include "access.h"
#include "engine.h"
#include "fake_platform.h"
#include "image_builder.h"
#include "image_validate.h"
#include "test_record.h"

namespace {

const uint16_t K = 0x0002;

class MalformedTest : public ::testing::Test {
protected:
    ImageBuilder b;
    FakePlatform fake;
    ZMD_ImageView view{};
    ZMD_Env env{};
    TestRecord rec{{0, 0, 0}, {"CL", "CL"}};

    ZMD_ImageView &prepare()
    {
        view = b.view();
        env = fake.env(&view);
        return view;
    }
    // Finds K on the current view (prepare() first if the view was edited).
    int32_t find()
    {
        ZMD_Node n{};
        const int32_t r = ZMD_FindKey(&env, K, rec.get(), &n);
        if (r == ZMD_ERROR) {
            EXPECT_EQ(ZMD_ValidateImage(&view, env.platform, nullptr, nullptr), ZMD_ERROR)
                << "an image the runtime refuses passes the validation";
        }
        return r;
    }
    int32_t build()
    {
        prepare();
        return find();
    }
    // A key whose top node is n.
    void top(ZMD_Node n) { b.addKey(K, b.add(n)); }
    // The node count as it stands: the first index past the table once every
    // node of the test is in (reserve a node, then set it, to point at it).
    uint32_t end() const { return static_cast<uint32_t>(b.nodes.size()); }
    // A key whose top node points at the end of the table.
    template <typename Make> void topAtEnd(Make make)
    {
        uint32_t n = b.reserve(1);
        b.set(n, make(end()));
        b.addKey(K, n);
    }
};

TEST_F(MalformedTest, KeyTableMissingOrEmpty)
{
    top(b.text(K, "x"));
    prepare().keys = nullptr;
    EXPECT_EQ(find(), ZMD_ERROR);
    prepare().keyNodes = nullptr;
    EXPECT_EQ(find(), ZMD_ERROR);
    prepare().counts.keys = 0;
    EXPECT_EQ(find(), ZMD_ERROR);
    prepare().nodes = nullptr;
    EXPECT_EQ(find(), ZMD_ERROR);
    EXPECT_EQ(build(), ZMD_OK);
}

TEST_F(MalformedTest, KeyTableNodeIndexOutOfRange)
{
    b.add(b.text(K, "x"));
    b.addKey(K, 1);
    EXPECT_EQ(build(), ZMD_ERROR);
}

TEST_F(MalformedTest, ChildIndexOutOfRange)
{
    topAtEnd([](uint32_t end) { return mk::list(end, 1); });
    EXPECT_EQ(build(), ZMD_ERROR);
}

TEST_F(MalformedTest, ChildRunRunsOffTheTable)
{
    uint32_t list = b.reserve(1);
    uint32_t first = b.addRun({b.text(0x0009, "a"), b.text(0x0009, "b")});
    b.set(list, mk::list(first, 3)); // the third child is past the end
    b.addKey(K, list);
    EXPECT_EQ(build(), ZMD_ERROR);
}

TEST_F(MalformedTest, SwitchChildOutOfRange)
{
    topAtEnd([](uint32_t end) { return mk::switchOn(end, 0, 1); });
    EXPECT_EQ(build(), ZMD_ERROR);
}

TEST_F(MalformedTest, CaseAndTargetOutOfRange)
{
    topAtEnd([](uint32_t end) { return mk::selectInt(end, 0, 1); });
    EXPECT_EQ(build(), ZMD_ERROR);

    b = ImageBuilder();
    uint32_t cases = b.addRun({mk::caseDefault(999)});
    top(mk::selectInt(cases, 0, 1));
    EXPECT_EQ(build(), ZMD_ERROR);
}

TEST_F(MalformedTest, InvalidNodeKinds)
{
    for (uint32_t kind : {0u, 22u, 0x7Fu, 0xFFu, uint32_t(ZMD_KIND_CASE_STRING), uint32_t(ZMD_KIND_MASK),
                          uint32_t(ZMD_KIND_CASE_RANGE)}) {
        b = ImageBuilder();
        b.putInt32s({0, 1});
        top(mk::node(kind, 0, ZMD_MakeW1(K, 0)));
        EXPECT_EQ(build(), ZMD_ERROR) << "kind " << kind;
    }
}

TEST_F(MalformedTest, InvalidCaseKinds)
{
    uint32_t v = b.add(b.text(K, "x"));
    uint32_t s = b.add(b.caseStringNode("CL"));
    // An integer selector meets a CASE_STRING; a string selector a CASE_EQUAL;
    // either meets a value node as a case.
    uint32_t intCases = b.addRun({mk::caseString(v, s)});
    uint32_t strCases = b.addRun({mk::caseEqual(v, 0)});
    uint32_t valueCase = b.addRun({b.text(K, "not a case")});
    for (ZMD_Node n : {mk::selectInt(intCases, 0, 1), mk::selectString(strCases, 0, 1), mk::selectInt(valueCase, 0, 1),
                       mk::selectString(valueCase, 0, 1)}) {
        b.keys.clear();
        b.keyNodes.clear();
        top(n);
        EXPECT_EQ(build(), ZMD_ERROR);
    }
}

TEST_F(MalformedTest, SelectMaskedWithoutMask)
{
    uint32_t v = b.add(b.text(K, "x"));
    uint32_t cases = b.addRun({mk::caseDefault(v)});
    top(mk::selectMasked(cases, 0, 1)); // points at a case, not a MASK
    EXPECT_EQ(build(), ZMD_ERROR);
    b.keyNodes[0] = b.reserve(1);
    b.set(b.keyNodes[0], mk::selectMasked(end(), 0, 1));
    EXPECT_EQ(build(), ZMD_ERROR);
}

TEST_F(MalformedTest, CaseRangeIndexOutOfRange)
{
    uint32_t v = b.add(b.text(K, "x"));
    b.putInt32s({0, 10});
    uint32_t ok = b.addRun({mk::caseRange(v, 0)});
    uint32_t lastEntry = b.addRun({mk::caseRange(v, 1)});
    uint32_t huge = b.addRun({mk::caseRange(v, 0xFFFFFFFFu)});
    top(mk::selectInt(ok, 0, 1));
    EXPECT_EQ(build(), ZMD_OK);
    prepare().int32Pool = nullptr;
    EXPECT_EQ(find(), ZMD_ERROR);
    b.keyNodes[0] = b.add(mk::selectInt(lastEntry, 0, 1));
    EXPECT_EQ(build(), ZMD_ERROR);
    b.keyNodes[0] = b.add(mk::selectInt(huge, 0, 1));
    EXPECT_EQ(build(), ZMD_ERROR);
}

TEST_F(MalformedTest, CaseStringProblems)
{
    uint32_t v = b.add(b.text(K, "x"));
    uint32_t good = b.add(b.caseStringNode("CL"));
    uint32_t notBytes = b.add(b.text(0, "CL"));
    uint32_t beyond = b.add(mk::value(ZMD_KIND_BYTES, 1, 0, 2)); // 1 + 2 > 2
    uint32_t cGood = b.addRun({mk::caseString(v, good)});
    uint32_t cNotBytes = b.addRun({mk::caseString(v, notBytes)});
    uint32_t cBeyond = b.addRun({mk::caseString(v, beyond)});
    uint32_t cMissing = b.reserve(1);
    uint32_t selects[] = {b.add(mk::selectString(cNotBytes, 0, 1)), b.add(mk::selectString(cBeyond, 0, 1)),
                          b.add(mk::selectString(cMissing, 0, 1))};
    top(mk::selectString(cGood, 0, 1));
    b.set(cMissing, mk::caseString(v, end())); // the string node is exactly the node count
    EXPECT_EQ(build(), ZMD_OK);
    prepare().caseStringPool = nullptr;
    EXPECT_EQ(find(), ZMD_ERROR);
    for (uint32_t select : selects) {
        b.keyNodes[0] = select;
        EXPECT_EQ(build(), ZMD_ERROR) << "select at " << select;
    }
}

TEST_F(MalformedTest, CaseStringKindIsCheckedBeforeTheSetting)
{
    uint32_t v = b.add(b.text(K, "x"));
    uint32_t notBytes = b.add(b.text(0, "CL"));
    uint32_t cases = b.addRun({mk::caseString(v, notBytes)});
    top(mk::selectString(cases, 7, 1)); // setting 7 does not exist
    EXPECT_EQ(build(), ZMD_ERROR);
}

TEST_F(MalformedTest, ValuePoolOffsetOutOfRange)
{
    struct Case {
        uint32_t kind;
        uint32_t offset;
        uint16_t count;
    };
    b.bytePool = {1, 2, 3, 4};
    b.int16Pool = {1, 2};
    b.int32Pool = {1};
    for (Case c : {Case{ZMD_KIND_BYTES, 2, 3}, Case{ZMD_KIND_TEXT, 4, 1}, Case{ZMD_KIND_INT8_ARRAY, 0, 5},
                   Case{ZMD_KIND_UINT8_ARRAY, 0x00FFFFFF, 1}, Case{ZMD_KIND_INT16_ARRAY, 1, 2},
                   Case{ZMD_KIND_UINT16_ARRAY, 3, 0}, Case{ZMD_KIND_INT32_ARRAY, 0, 2}}) {
        b.nodes.clear();
        b.keys.clear();
        b.keyNodes.clear();
        top(mk::value(c.kind, c.offset, K, c.count));
        prepare();
        uint32_t size = 0xDEAD;
        uint8_t buf[64];
        EXPECT_EQ(ZMD_LookupAndExtract(&env, K, rec.get(), sizeof buf, buf, &size), ZMD_ERROR) << "kind " << c.kind;
        EXPECT_EQ(size, 0xDEADu);
    }
}

TEST_F(MalformedTest, MissingValuePool)
{
    top(b.text(K, "x"));
    prepare().bytePool = nullptr;
    uint32_t size = 0xDEAD;
    uint8_t buf[16];
    EXPECT_EQ(ZMD_LookupAndExtract(&env, K, rec.get(), sizeof buf, buf, &size), ZMD_ERROR);
    EXPECT_EQ(size, 0xDEADu);
}

TEST_F(MalformedTest, PrinterDataWithMalformedValueNameKey)
{
    void *printer = fake.addPrinter("P");
    rec.hPrinter = printer;
    uint32_t v = b.add(b.text(K, "x"));
    uint32_t cases = b.addRun({mk::caseDefault(v)});
    top(mk::selectPrinterData(cases, 1, 1));
    b.addKey(0x0008, end());
    EXPECT_EQ(build(), ZMD_ERROR);
    b.keyNodes[1] = b.add(mk::value(ZMD_KIND_TEXT, 500, 0x0008, 4)); // name beyond the byte pool
    EXPECT_EQ(build(), ZMD_ERROR);
    EXPECT_EQ(fake.getDataCalls, 0);
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST_F(MalformedTest, ValueNameKeyThatSelectsOnPrinterDataAgain)
{
    void *printer = fake.addPrinter("P");
    rec.hPrinter = printer;
    uint32_t v = b.add(b.text(K, "x"));
    uint32_t cases = b.addRun({mk::caseDefault(v)});
    uint32_t sel = b.add(mk::selectPrinterData(cases, 1, 1));
    b.addKey(K, sel);
    b.addKey(0x0008, sel); // the name lookup would recurse for ever
    EXPECT_EQ(build(), ZMD_ERROR);
    EXPECT_EQ(fake.outstanding(), 0u);
}

} // namespace

namespace {

// An index equal to the count of its table is the first one outside it:
// refused for the key's node, a list's child, a switch's child and a case's
// target alike. The node just past the count is a good one, so that taking
// it would answer instead of failing.
TEST_F(MalformedTest, AnIndexEqualToItsTableCountIsOutside)
{
    for (int shape = 0; shape < 4; ++shape) {
        b = ImageBuilder();
        uint32_t at = b.reserve(1);
        const uint32_t count = static_cast<uint32_t>(b.nodes.size()) + (shape == 3 ? 1 : 0);
        if (shape == 0) {
            b.set(at, b.text(K, "x"));
        } else if (shape == 1) {
            b.set(at, mk::list(count, 1));
        } else if (shape == 2) {
            b.set(at, mk::switchOn(count, 0, 1));
        } else {
            uint32_t cases = b.addRun({mk::caseDefault(count)});
            b.set(at, mk::selectInt(cases, 0, 1));
        }
        b.addKey(K, shape == 0 ? count : at);
        ASSERT_EQ(count, static_cast<uint32_t>(b.nodes.size())) << "the index is exactly the count";
        b.add(b.text(K, "past the end"));
        prepare().counts.nodes = count;
        EXPECT_EQ(find(), ZMD_ERROR) << "shape " << shape;
    }
}

} // namespace
