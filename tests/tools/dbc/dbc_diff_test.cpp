// dbc diff finds each one-edit difference of a database, and nothing else;
// identical databases give no report.
#include <gtest/gtest.h>

#include "dbc.h"
#include "depbase.h"
#include "dbc_diff.h"

namespace {

// Paper sizes by setting 28 (a range before an equal case), one plain key,
// a computed area, and an option list whose value 1 comes from a per-choice key.
const char kBase[] = "key 0x1003\n"
                     "  select_int int 28\n"
                     "    case 1..10: int16 1, 2\n"
                     "    case 5: int16 5, 5\n"
                     "    default: int16 0, 0\n"
                     "key 0x1005: int16 7\n"
                     "key 0x1032: computed 3\n"
                     "key 0x1011: int16 1, 2\n"
                     "key 0x500E\n"
                     "  select_int int 28\n"
                     "    case 1: int16 100\n"
                     "    case 2: int16 200\n"
                     "query 0x1011 list choice int 28 value1 0x500E\n";

std::string Edit(std::string text, const std::string &from, const std::string &to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

DbcDiff Diff(const std::string &before, const std::string &after)
{
    DbcImage images[2];
    std::string errors;
    EXPECT_TRUE(DbcCompileText("old.zdb", before, &images[0], &errors)) << errors;
    EXPECT_TRUE(DbcCompileText("new.zdb", after, &images[1], &errors)) << errors;
    ZMD_ImageView views[2];
    DbcMakeView(images[0], &views[0]);
    DbcMakeView(images[1], &views[1]);
    DbcDiff diff;
    DbcDiffImages(views[0], views[1], &diff);
    return diff;
}

// The one changed key of a diff: its one difference's settings and answers.
std::string OnlyChange(const DbcDiff &diff, uint32_t key)
{
    EXPECT_EQ(diff.keys.size(), 1u) << DbcDiffText(diff);
    if (diff.keys.size() != 1 || diff.keys[0].key != key || diff.keys[0].change != DBC_KEY_CHANGED ||
        diff.keys[0].differences.size() != 1) {
        ADD_FAILURE() << DbcDiffText(diff);
        return "";
    }
    const DbcDifference &d = diff.keys[0].differences[0];
    auto text = [](const DbcAnswer &a) { return a.result == ZMD_OK ? a.value : DbcResultName(a.result); };
    return DbcDescribeWay(d.way) + ": " + text(d.before) + " -> " + text(d.after);
}

TEST(DbcDiff, IdenticalDatabasesGiveNoReport)
{
    DbcDiff diff = Diff(kBase, kBase);
    EXPECT_TRUE(diff.keys.empty());
    EXPECT_EQ(diff.compared, 5u);
    EXPECT_EQ(DbcDiffText(diff), "");
    EXPECT_NE(DbcDiffJson(diff, "a", "b").find("\"differ\": false"), std::string::npos);
}

TEST(DbcDiff, FindsEachOneEditDifferenceWithTheFewestSettings)
{
    // A changed value: every setting 0 reaches the default.
    EXPECT_EQ(OnlyChange(Diff(kBase, Edit(kBase, "default: int16 0, 0", "default: int16 0, 1")), 0x1003),
              "any: 0, 0 -> 0, 1");
    // A new case: only its value of the setting answers differently.
    EXPECT_EQ(OnlyChange(Diff(kBase, Edit(kBase, "    default", "    case 20: int16 2, 0\n    default")), 0x1003),
              "int 28 = 20: 0, 0 -> 2, 0");
    // Reordered cases: 5 matched the range first, now its own case.
    EXPECT_EQ(OnlyChange(Diff(kBase, Edit(kBase, "    case 1..10: int16 1, 2\n    case 5: int16 5, 5\n",
                                          "    case 5: int16 5, 5\n    case 1..10: int16 1, 2\n")),
                         0x1003),
              "int 28 = 5: 1, 2 -> 5, 5");
    // A computed value that reads the user-defined size instead of the alternate one.
    EXPECT_EQ(OnlyChange(Diff(kBase, Edit(kBase, "computed 3", "computed 2")), 0x1032),
              "any: left 340, width 20320, top 300, length 28900 -> left 340, width 9320, top 300, length 14200");
}

TEST(DbcDiff, AChangedPerChoiceInputChangesTheListThatReadsIt)
{
    DbcDiff diff = Diff(kBase, Edit(kBase, "case 2: int16 200", "case 2: int16 201"));
    ASSERT_EQ(diff.keys.size(), 2u) << DbcDiffText(diff);
    EXPECT_EQ(diff.keys[0].key, 0x1011u);
    EXPECT_EQ(diff.keys[1].key, 0x500Eu);
    ASSERT_EQ(diff.keys[0].differences.size(), 1u);
    EXPECT_NE(diff.keys[0].differences[0].shown.find("+ [id 2 name 0x0 v1 201 v2 0 default 0]"), std::string::npos)
        << diff.keys[0].differences[0].shown;
    EXPECT_EQ(
        OnlyChange(Diff(kBase, Edit(kBase, "case 1: int16 100", "case 1: int16 100\n    case 3: int16 1")), 0x500E),
        "int 28 = 3: ZMD_NOT_FOUND -> 1");
}

TEST(DbcDiff, RemovedAndAddedKeys)
{
    std::string without = Edit(kBase, "key 0x1005: int16 7\n", "");
    DbcDiff removed = Diff(kBase, without);
    ASSERT_EQ(removed.keys.size(), 1u);
    EXPECT_EQ(removed.keys[0].change, DBC_KEY_REMOVED);
    EXPECT_EQ(removed.keys[0].key, 0x1005u);
    EXPECT_EQ(DbcDiffText(removed), "removed drv 0x1005\ndbc diff: 0 keys changed, 0 added, 1 removed; 4 of 4 keys "
                                    "in both answer the same\n");
    DbcDiff added = Diff(without, kBase);
    ASSERT_EQ(added.keys.size(), 1u);
    EXPECT_EQ(added.keys[0].change, DBC_KEY_ADDED);
}

} // namespace
