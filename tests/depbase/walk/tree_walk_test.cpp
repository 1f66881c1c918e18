// The walk through a rule tree for tools: every way through a tree reported
// once with its conditions, the visitor's steps obeyed, and every malformed
// node or branch refused where the evaluator refuses it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine.h"
#include "fake_platform.h"
#include "image_builder.h"
#include "test_record.h"
#include "tree_walk.h"

namespace {

const uint16_t K = 0x0002;
const uint16_t OTHER = 0x0003;

// A visitor that writes down the conditions on the way to every value of K,
// and can be told what to do with chosen branches.
struct Recorder {
    std::vector<std::string> path;
    std::vector<std::string> reached;   // "cond, cond -> value node index"
    std::map<uint32_t, int32_t> stepAt; // branch j of any tested node -> step (default follow)
    int nodeCalls = 0;
    unsigned deepest = 0;

    static std::string Condition(const ZMD_TreeNodeInfo &n, const ZMD_TreeBranch &b)
    {
        if (!b.tested) {
            return "always";
        }
        const std::string on = std::to_string(n.setting);
        if (b.kind == ZMD_KIND_CASE_DEFAULT) {
            return "default " + on;
        }
        switch (n.test) {
        case ZMD_TEST_SWITCH:
            return "when int " + on + " = " + std::to_string(b.low);
        case ZMD_TEST_STRING:
            return "str " + on + " = " + std::string(b.text, b.length);
        case ZMD_TEST_PRINTER_DATA:
            return "item " + on + " in " + std::to_string(b.low) + ".." + std::to_string(b.high);
        case ZMD_TEST_COUNTRY:
            return "country in " + std::to_string(b.low) + ".." + std::to_string(b.high);
        default:
            return "int " + on + (n.masked ? " & " + std::to_string(n.mask) : std::string()) + " in " +
                   std::to_string(b.low) + ".." + std::to_string(b.high);
        }
    }
    static bool OnNode(void *ctx, const ZMD_TreeNodeInfo *n, unsigned depth)
    {
        Recorder *r = static_cast<Recorder *>(ctx);
        ++r->nodeCalls;
        r->deepest = depth > r->deepest ? depth : r->deepest;
        if (n->isValue && n->key == K) {
            std::string s;
            for (const std::string &c : r->path) {
                s += (s.empty() ? "" : ", ") + c;
            }
            r->reached.push_back(s + " -> " + std::to_string(n->index));
        }
        return true;
    }
    static int32_t OnBranch(void *ctx, const ZMD_TreeNodeInfo *n, uint32_t j, const ZMD_TreeBranch *b, unsigned)
    {
        Recorder *r = static_cast<Recorder *>(ctx);
        auto it = r->stepAt.find(j);
        int32_t step = it == r->stepAt.end() ? ZMD_STEP_FOLLOW : it->second;
        if (step == ZMD_STEP_FOLLOW || step == ZMD_STEP_FOLLOW_LAST) {
            r->path.push_back(Condition(*n, *b));
        }
        return step;
    }
    static void OnLeave(void *ctx, const ZMD_TreeNodeInfo *, uint32_t, unsigned)
    {
        static_cast<Recorder *>(ctx)->path.pop_back();
    }
    ZMD_TreeVisitor visitor() { return ZMD_TreeVisitor{this, OnNode, OnBranch, OnLeave}; }
};

class TreeWalkTest : public ::testing::Test {
protected:
    ImageBuilder b;
    ZMD_ImageView view{};
    Recorder rec;

    int32_t walk(uint32_t top)
    {
        view = b.view();
        ZMD_TreeVisitor v = rec.visitor();
        return ZMD_VisitTree(&view, top, &v);
    }
    uint32_t end() const { return static_cast<uint32_t>(b.nodes.size()); }
};

// --- the ways through a tree ------------------------------------------------

TEST_F(TreeWalkTest, EveryWayToAValueIsReportedOnceWithItsConditions)
{
    // list
    //   select_int int 0:        case 1 -> A; case 2..5 -> switch; default -> select_string
    //   switch int 1:            when 3 -> B; other-key value; C (always)
    //   select_string str 2:     "XY" -> D; default -> E
    //   select_masked int 3 & 0xF0: case 0x10 -> F
    //   select_printer_data 7:   case 4 -> G
    //   select_country:          case 49 -> H
    uint32_t a = b.add(b.text(K, "A"));
    uint32_t bb = b.add(b.text(K, "B"));
    uint32_t c = b.addRun({b.text(OTHER, "other"), b.text(K, "C")});
    uint32_t sw = b.addRun({mk::when(bb, 3, 1), mk::value(ZMD_KIND_TEXT, 0, OTHER, 1), mk::list(c + 1, 1)});
    uint32_t switchNode = b.add(mk::switchOn(sw, 1, 3));
    uint32_t d = b.add(b.text(K, "D"));
    uint32_t e = b.add(b.text(K, "E"));
    uint32_t xy = b.add(b.caseStringNode("XY"));
    uint32_t strCases = b.addRun({mk::caseString(d, xy), mk::caseDefault(e)});
    uint32_t strSel = b.add(mk::selectString(strCases, 2, 2));
    uint32_t range = b.putInt32s({2, 5});
    uint32_t intCases = b.addRun({mk::caseEqual(a, 1), mk::caseRange(switchNode, range), mk::caseDefault(strSel)});
    uint32_t f = b.add(b.text(K, "F"));
    uint32_t maskCases = b.addRun({mk::caseEqual(f, 0x10)});
    uint32_t maskNode = b.add(mk::mask(maskCases, 0xF0));
    uint32_t g = b.add(b.text(K, "G"));
    uint32_t pdCases = b.addRun({mk::caseEqual(g, 4)});
    uint32_t h = b.add(b.text(K, "H"));
    uint32_t countryCases = b.addRun({mk::caseEqual(h, 49)});
    uint32_t sels = b.addRun({mk::selectInt(intCases, 0, 3), mk::selectMasked(maskNode, 3, 1),
                              mk::selectPrinterData(pdCases, 7, 1), mk::selectCountry(countryCases, 1)});
    uint32_t top = b.add(mk::list(sels, 4));

    ASSERT_EQ(walk(top), ZMD_OK);
    const std::vector<std::string> want = {
        "int 0 in 1..1 -> " + std::to_string(a),
        "int 0 in 2..5, when int 1 = 3 -> " + std::to_string(bb),
        "int 0 in 2..5, always -> " + std::to_string(c + 1),
        "default 0, str 2 = XY -> " + std::to_string(d),
        "default 0, default 2 -> " + std::to_string(e),
        "int 3 & 240 in 16..16 -> " + std::to_string(f),
        "item 7 in 4..4 -> " + std::to_string(g),
        "country in 49..49 -> " + std::to_string(h),
    };
    EXPECT_EQ(rec.reached, want);
    EXPECT_TRUE(rec.path.empty()); // every followed branch was left again
}

TEST_F(TreeWalkTest, TheVisitorChoosesTheBranches)
{
    uint32_t vals = b.addRun({b.text(K, "0"), b.text(K, "1"), b.text(K, "2")});
    uint32_t cases = b.addRun({mk::caseEqual(vals, 0), mk::caseEqual(vals + 1, 1), mk::caseDefault(vals + 2)});
    uint32_t sel = b.add(mk::selectInt(cases, 0, 3));
    uint32_t top = b.add(mk::list(sel, 1)); // a sequence's children are walked without asking

    rec.stepAt = {{0, ZMD_STEP_PASS}, {1, ZMD_STEP_FOLLOW_LAST}};
    ASSERT_EQ(walk(top), ZMD_OK);
    EXPECT_EQ(rec.reached, std::vector<std::string>{"int 0 in 1..1 -> " + std::to_string(vals + 1)});

    rec = Recorder{};
    rec.stepAt = {{1, ZMD_STEP_END}};
    ASSERT_EQ(walk(top), ZMD_OK);
    EXPECT_EQ(rec.reached, std::vector<std::string>{"int 0 in 0..0 -> " + std::to_string(vals)});

    // Without a branch callback every branch is followed; a node the
    // visitor declines is not looked below.
    struct Count {
        int values = 0;
        bool enterSelector = true;
    } count;
    auto onNode = [](void *ctx, const ZMD_TreeNodeInfo *n, unsigned) {
        Count *k = static_cast<Count *>(ctx);
        k->values += n->isValue ? 1 : 0;
        return k->enterSelector || n->kind != ZMD_KIND_SELECT_INT;
    };
    ZMD_TreeVisitor counting{&count, onNode, nullptr, nullptr};
    view = b.view();
    EXPECT_EQ(ZMD_VisitTree(&view, top, &counting), ZMD_OK);
    EXPECT_EQ(count.values, 3);
    count = Count{0, false};
    EXPECT_EQ(ZMD_VisitTree(&view, top, &counting), ZMD_OK);
    EXPECT_EQ(count.values, 0);
}

// --- malformed trees ----------------------------------------------------------

TEST_F(TreeWalkTest, NodeIndicesEqualToTheNodeCountAreRefused)
{
    b.add(b.text(K, "x"));
    view = b.view();
    ZMD_TreeNodeInfo info;
    EXPECT_EQ(ZMD_DescribeNode(&view, end() - 1, &info), ZMD_OK);
    EXPECT_TRUE(info.isValue);
    EXPECT_EQ(info.key, K);
    EXPECT_EQ(ZMD_DescribeNode(&view, end(), &info), ZMD_ERROR);
    view.nodes = nullptr;
    EXPECT_EQ(ZMD_DescribeNode(&view, 0, &info), ZMD_ERROR);

    // A child run whose last child is the node count.
    b = ImageBuilder{};
    uint32_t top = b.reserve(1);
    b.add(b.text(K, "x"));
    b.set(top, mk::list(top + 1, 2));
    EXPECT_EQ(walk(top), ZMD_ERROR);
    b.set(top, mk::list(top + 1, 1));
    EXPECT_EQ(walk(top), ZMD_OK);

    // A case whose target is the node count.
    b = ImageBuilder{};
    top = b.reserve(2);
    b.set(top + 1, mk::caseEqual(end(), 0));
    b.set(top, mk::selectInt(top + 1, 0, 1));
    EXPECT_EQ(walk(top), ZMD_ERROR);
    ZMD_TreeBranch br;
    ASSERT_EQ(ZMD_DescribeNode(&view, top, &info), ZMD_OK);
    EXPECT_EQ(ZMD_DescribeBranch(&view, &info, 0, &br), ZMD_ERROR);
    EXPECT_EQ(ZMD_DescribeBranch(&view, &info, 1, &br), ZMD_ERROR); // beyond the cases
    b.set(top + 1, mk::caseEqual(top, 0));                          // a target in the table
    view = b.view();
    EXPECT_EQ(ZMD_DescribeBranch(&view, &info, 0, &br), ZMD_OK);
    EXPECT_EQ(br.target, top);

    // A SELECT_MASKED whose MASK is the node count, or no MASK.
    b = ImageBuilder{};
    top = b.reserve(1);
    b.set(top, mk::selectMasked(end(), 0, 0));
    EXPECT_EQ(walk(top), ZMD_ERROR);
    b.set(top, mk::selectMasked(top, 0, 0));
    EXPECT_EQ(walk(top), ZMD_ERROR);
}

TEST_F(TreeWalkTest, CasesOutsideTheirPoolsOrOfTheWrongKindAreRefused)
{
    uint32_t x = b.add(b.text(K, "x"));
    uint32_t str = b.add(b.caseStringNode("ab"));
    uint32_t pair = b.putInt32s({1, 2});
    uint32_t c = b.reserve(1);
    uint32_t intSel = b.add(mk::selectInt(c, 0, 1));
    uint32_t strSel = b.add(mk::selectString(c, 0, 1));
    auto branchOf = [&](uint32_t sel, ZMD_Node caseNode) {
        b.set(c, caseNode);
        view = b.view();
        ZMD_TreeNodeInfo info;
        ZMD_TreeBranch br;
        EXPECT_EQ(ZMD_DescribeNode(&view, sel, &info), ZMD_OK);
        return ZMD_DescribeBranch(&view, &info, 0, &br);
    };
    EXPECT_EQ(branchOf(intSel, mk::caseRange(x, pair)), ZMD_OK);
    EXPECT_EQ(branchOf(intSel, mk::caseRange(x, pair + 1)), ZMD_ERROR); // the pair's second half is past the pool
    EXPECT_EQ(branchOf(intSel, mk::caseString(x, str)), ZMD_ERROR);
    EXPECT_EQ(branchOf(strSel, mk::caseString(x, str)), ZMD_OK);
    EXPECT_EQ(branchOf(strSel, mk::caseEqual(x, 0)), ZMD_ERROR);
    EXPECT_EQ(branchOf(strSel, mk::caseString(x, x)), ZMD_ERROR); // names a TEXT, not a BYTES string
    EXPECT_EQ(branchOf(strSel, mk::caseString(x, end())), ZMD_ERROR);
    b.caseStrings.pop_back(); // "ab" now reaches past the case-string pool
    EXPECT_EQ(branchOf(strSel, mk::caseString(x, str)), ZMD_ERROR);

    // Kinds that are not evaluated as nodes.
    for (uint32_t kind : {0u, 16u, 20u, 21u, 22u}) {
        b.set(c, mk::node(kind, 0, 0));
        view = b.view();
        ZMD_TreeNodeInfo info;
        EXPECT_EQ(ZMD_DescribeNode(&view, c, &info), ZMD_ERROR) << kind;
    }
}

TEST_F(TreeWalkTest, ACycleStopsAtTheEvaluatorsDepthLimit)
{
    uint32_t self = b.reserve(1);
    b.set(self, mk::list(self, 1));
    EXPECT_EQ(walk(self), ZMD_ERROR);
    EXPECT_LT(rec.nodeCalls, 1000);

    // A chain of lists is walked exactly as deep as the evaluator evaluates.
    FakePlatform fake;
    TestRecord settings;
    for (uint32_t length : {200u, 256u, 257u, 300u}) {
        b = ImageBuilder{};
        uint32_t node = b.add(b.text(K, "x"));
        for (uint32_t i = 0; i < length; ++i) {
            node = b.add(mk::list(node, 1));
        }
        b.addKey(K, node);
        rec = Recorder{};
        int32_t walked = walk(node);
        ZMD_Env env = fake.env(&view);
        ZMD_Node found{};
        EXPECT_EQ(walked == ZMD_OK, ZMD_FindKey(&env, K, settings.get(), &found) == ZMD_OK) << length;
        EXPECT_EQ(walked == ZMD_OK, rec.reached.size() == 1) << length;
    }
}

} // namespace
