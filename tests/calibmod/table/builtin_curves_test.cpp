// The built-in curves and acceptance lists: the reference rows, the end
// values, the rule curves and the shape every curve must keep.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "builtin_curves.h"
#include "cal_types.h"
#include "curve_update.h"
#include "calib_flow.h"

namespace {

const BuiltInTable *table(int32_t id)
{
    const BuiltInTableList *list = builtInTables();
    for (int16_t t = 0; t < list->count; ++t) {
        if (list->tables[t].tableId == id) {
            return &list->tables[t];
        }
    }
    return nullptr;
}

const int16_t *curve(int32_t id, int group, int number)
{
    const BuiltInTable *t = table(id);
    return t ? builtInGroupCurve(&t->groups[group], static_cast<int16_t>(number)) : nullptr;
}

TEST(BuiltInCurves, AcceptanceLists)
{
    const CalAcceptance *a = calAcceptance();
    ASSERT_EQ(1, a->modeCount);
    EXPECT_EQ(1, a->modes[0]);
    EXPECT_EQ(CAL_NEUTRAL_ID, a->neutralId);
    EXPECT_EQ(CAL_PASS_THROUGH_ID, a->passThroughId);
    ASSERT_EQ(2, a->idCount);
    EXPECT_EQ(-3, a->ids[0]);
    EXPECT_EQ(3, a->ids[1]);
}

TEST(BuiltInCurves, TablesGroupsAndPlaces)
{
    const BuiltInTableList *list = builtInTables();
    const std::vector<int32_t> ids = {1201, 1203, 1204, 1206, 1207, 1208, 1209, 1217, 1218};
    ASSERT_EQ(static_cast<int>(ids.size()), list->count);
    std::set<const int16_t *> distinct;
    for (int16_t t = 0; t < list->count; ++t) {
        const BuiltInTable &bt = list->tables[t];
        EXPECT_EQ(ids[t], bt.tableId);
        ASSERT_EQ(calAcceptance()->idCount, bt.groupCount);
        for (int16_t g = 0; g < bt.groupCount; ++g) {
            // The groups answer the accepted ids, in their order.
            EXPECT_EQ(calAcceptance()->ids[g], *bt.groups[g].adjustId) << "the groups follow the accepted ids";
            for (int n = 0; n < 4; ++n) {
                ASSERT_NE(nullptr, bt.groups[g].curves[n]);
                distinct.insert(bt.groups[g].curves[n]);
            }
            for (int n = 4; n < BUILTIN_CURVE_PLACES; ++n) {
                EXPECT_EQ(nullptr, bt.groups[g].curves[n]);
            }
            EXPECT_EQ(nullptr, builtInGroupCurve(&bt.groups[g], 7));
            EXPECT_EQ(nullptr, builtInGroupCurve(&bt.groups[g], -1));
        }
    }
    EXPECT_EQ(55u, distinct.size());
    for (int32_t missing : {1200, 1202, 1205, 1210, 1219, 1300}) {
        EXPECT_EQ(nullptr, table(missing)) << missing;
    }
}

TEST(BuiltInCurves, EveryCurveStartsAtZeroAndRisesStrictly)
{
    const BuiltInTableList *list = builtInTables();
    for (int16_t t = 0; t < list->count; ++t) {
        for (int g = 0; g < 2; ++g) {
            for (int n = 0; n < 4; ++n) {
                const int16_t *c = list->tables[t].groups[g].curves[n];
                EXPECT_EQ(0, c[0]);
                for (int k = 1; k < 256; ++k) {
                    ASSERT_GT(c[k], c[k - 1]) << list->tables[t].tableId << "/" << g << "/" << n << " at " << k;
                }
            }
        }
    }
}

TEST(BuiltInCurves, EndValues)
{
    const std::map<int32_t, std::vector<int>> ends = {
        {1201, {4080, 4080, 4080, 4080, 3672, 3672, 3672, 3672}},
        {1203, {3502, 3502, 3502, 4080, 3090, 3090, 3090, 4080}},
        {1204, {4080, 4080, 4080, 4080, 3600, 3600, 3600, 4080}},
        {1206, {4080, 4080, 4080, 4080, 3600, 3600, 3600, 4080}},
        {1207, {2975, 3502, 3502, 4080, 2625, 3090, 3090, 4080}},
        {1208, {4080, 4080, 4080, 4080, 3600, 3600, 3600, 4080}},
        {1209, {4080, 4080, 4080, 4080, 3600, 3600, 3600, 4080}},
        {1217, {4080, 4080, 4080, 4080, 3672, 3672, 3672, 3672}},
        {1218, {4080, 4080, 4080, 4080, 3672, 3672, 3672, 3672}},
    };
    for (const auto &e : ends) {
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(e.second[i], curve(e.first, i / 4, i % 4)[255]) << e.first << " " << i;
        }
    }
}

TEST(BuiltInCurves, ReferenceRows)
{
    const int levels[13] = {0, 1, 2, 16, 32, 64, 96, 128, 160, 192, 224, 254, 255};
    struct Row {
        int32_t table;
        int group;
        int values[13];
    };
    const Row rows[] = {
        {1201, 0, {0, 8, 17, 124, 238, 485, 792, 1172, 1628, 2195, 2971, 4055, 4080}},
        {1201, 1, {0, 7, 15, 112, 214, 437, 713, 1055, 1465, 1976, 2674, 3650, 3672}},
        {1207, 0, {0, 6, 14, 107, 227, 469, 714, 971, 1253, 1578, 2001, 2850, 2975}},
        {1218, 1, {0, 14, 28, 229, 459, 921, 1381, 1843, 2304, 2764, 3226, 3657, 3672}},
    };
    for (const Row &r : rows) {
        const int16_t *c = curve(r.table, r.group, 0);
        for (int i = 0; i < 13; ++i) {
            EXPECT_EQ(r.values[i], c[levels[i]]) << r.table << " at " << levels[i];
        }
    }
}

TEST(BuiltInCurves, RuleCurves)
{
    for (int32_t id : {1203, 1204, 1206, 1207, 1208, 1209}) {
        for (int g = 0; g < 2; ++g) {
            for (int k = 0; k < 256; ++k) {
                ASSERT_EQ(16 * k, curve(id, g, 3)[k]) << id;
            }
        }
    }
    for (int k = 0; k < 256; ++k) {
        ASSERT_EQ(16 * k - (k % 17 >= 9 ? 1 : 0), curve(1218, 0, 0)[k]) << k;
    }
    EXPECT_EQ(143, curve(1218, 0, 0)[9]);
    EXPECT_EQ(128, curve(1218, 0, 0)[8]);
    for (int g = 0; g < 2; ++g) {
        for (int n = 1; n < 4; ++n) {
            EXPECT_EQ(curve(1218, g, 0), curve(1218, g, n));
        }
    }
    // Curve 3 of the other tables is not the identity.
    for (int32_t id : {1201, 1217, 1218}) {
        for (int g = 0; g < 2; ++g) {
            bool identity = true;
            for (int k = 0; k < 256; ++k) {
                identity = identity && curve(id, g, 3)[k] == 16 * k;
            }
            EXPECT_FALSE(identity) << id << "/" << g;
        }
    }
}

} // namespace
