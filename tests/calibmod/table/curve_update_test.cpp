// Rewriting the curves of one KZHT body in memory: slots, plain and tagged
// bodies, malformed bodies.
#include <gtest/gtest.h>

#include <cstring>

#include "builtin_curves.h"
#include "cal_context.h"
#include "cal_types.h"
#include "curve_update.h"
#include "kz_read.h"
#include "table_fixture.h"

namespace {

using kzfile::Bytes;
using kzfile::Curve;
using kzfile::TaggedItem;
using kzfile::TaggedPlane;

class CurveUpdateTest : public ::testing::Test {
protected:
    CalibRequest request{1, 1, 0, 0, 0};
    int16_t adjustIds[6] = {0, 0, 0, 0, 0, 0};
    CalibContext ctx{};

    void SetUp() override { contextInit(&ctx, nullptr, &request, nullptr, adjustIds, nullptr, nullptr); }
    void setIds(std::initializer_list<int16_t> v)
    {
        int i = 0;
        for (int16_t id : v) {
            adjustIds[i++] = id;
        }
    }
    int16_t update(int32_t tableId, Bytes &body)
    {
        return curveTableUpdate(&ctx.table, tableId, body.data(), static_cast<int32_t>(body.size()));
    }
};

Curve curveIn(const Bytes &body, size_t offset, bool big = false)
{
    return kzfile::curveAt(body, offset, big);
}

std::vector<Curve> planes(int n)
{
    std::vector<Curve> v;
    for (int i = 0; i < n; ++i) {
        v.push_back(planeCurve(i));
    }
    return v;
}

std::vector<TaggedPlane> taggedPlanes(std::initializer_list<int32_t> slots)
{
    std::vector<TaggedPlane> v;
    int i = 0;
    for (int32_t s : slots) {
        TaggedPlane p;
        p.slot = s;
        p.curve = planeCurve(i++);
        v.push_back(p);
    }
    return v;
}

size_t curveOffset(size_t items, size_t plane)
{
    return kzfile::taggedPlaneOffset(items, plane) + 64;
}

TEST(AdjustSlots, ModesPickSlotsAndCurveNumbers)
{
    const int16_t ids[6] = {10, 11, 12, 13, 14, 15};
    struct Case {
        int16_t mode;
        std::vector<int16_t> ids, curves;
    };
    const Case cases[] = {
        {1, {10, 11, 12, 13}, {0, 1, 2, 3}},
        {4, {10, 11, 12, 13}, {0, 1, 2, 3}},
        {2, {13}, {3}},
        {3, {10, 11, 12, 13, 14, 15}, {0, 1, 2, 3, 4, 5}},
        {5, {10, 11, 12, 13, 14, 15}, {0, 1, 2, 3, 4, 5}},
        {6, {10, 11, 12, 13, 14, 15}, {0, 1, 2, 3, 4, 5}},
        {0, {}, {}},
        {7, {}, {}},
        {-1, {}, {}},
    };
    for (const Case &c : cases) {
        CalibRequest req{0, c.mode, 0, 0, 0};
        int16_t outIds[CAL_SLOT_MAX], outCurves[CAL_SLOT_MAX], count = -5;
        adjustIdsUnpack(&req, ids, outIds, outCurves, &count);
        ASSERT_EQ(static_cast<int16_t>(c.ids.size()), count) << c.mode;
        EXPECT_EQ(c.ids, std::vector<int16_t>(outIds, outIds + count)) << c.mode;
        EXPECT_EQ(c.curves, std::vector<int16_t>(outCurves, outCurves + count)) << c.mode;
    }
}

TEST_F(CurveUpdateTest, CopyBuiltInCurveByIdAndOrder)
{
    const BuiltInTable *t1201 = &builtInTables()->tables[0];
    Bytes dest = kzfile::plainBody({planeCurve(0)});
    builtInCurveCopy(&ctx.table, t1201, dest.data(), 0, 1); // neutral
    EXPECT_EQ(planeCurve(0), curveIn(dest, 0));
    builtInCurveCopy(&ctx.table, t1201, dest.data(), 5, 1); // no group
    builtInCurveCopy(&ctx.table, t1201, dest.data(), 3, 4); // empty place
    ctx.table.byteOrder = 2;
    builtInCurveCopy(&ctx.table, t1201, dest.data(), 3, 5); // empty place: not converted either
    EXPECT_EQ(planeCurve(0), curveIn(dest, 0));
    ctx.table.byteOrder = 1;
    builtInCurveCopy(&ctx.table, t1201, dest.data(), -3, 1);
    EXPECT_EQ(builtIn(1201, -3, 1), curveIn(dest, 0));
    builtInCurveCopy(&ctx.table, t1201, dest.data(), 3, 1);
    EXPECT_EQ(builtIn(1201, 3, 1), curveIn(dest, 0));
    ctx.table.byteOrder = 2;
    builtInCurveCopy(&ctx.table, t1201, dest.data(), -3, 2);
    EXPECT_EQ(builtIn(1201, -3, 2), curveIn(dest, 0, true));
}

TEST_F(CurveUpdateTest, Plain1207MixedSlots)
{
    setIds({-3, 0, 3, -3});
    Bytes body = kzfile::plainBody(planes(4));
    ASSERT_EQ(0, update(1207, body));
    EXPECT_EQ(builtIn(1207, -3, 0), curveIn(body, 0));
    EXPECT_EQ(planeCurve(1), curveIn(body, 512));
    EXPECT_EQ(builtIn(1207, 3, 2), curveIn(body, 1024));
    EXPECT_EQ(builtIn(1207, -3, 3), curveIn(body, 1536));
}

TEST_F(CurveUpdateTest, PlainBodyChecks)
{
    setIds({3, 3, 3, 3});
    Bytes shortBody = kzfile::plainBody(planes(4));
    shortBody.pop_back();
    Bytes before = shortBody;
    EXPECT_EQ(CAL_FAIL, update(1201, shortBody));
    EXPECT_EQ(before, shortBody);
    Bytes tiny(3, 0x44); // too short for a first word: plain
    EXPECT_EQ(CAL_FAIL, update(1201, tiny));
    EXPECT_EQ(0, update(1300, tiny)); // no built-in curves for 1300: untouched

    // Plane counts by id, over built-in tables of this test's own.
    static const int16_t ids[2] = {-3, 3};
    static const int16_t *curve = builtInTables()->tables[0].groups[0].curves[0];
    static const BuiltInGroup groups[2] = {{&ids[0], {curve, curve, curve, curve, curve, curve, nullptr}},
                                           {&ids[1], {curve, curve, curve, curve, curve, curve, nullptr}}};
    static const BuiltInTable tables[3] = {{1300, 2, groups}, {1499, 2, groups}, {1500, 2, groups}};
    static const BuiltInTableList list = {3, tables};
    Bytes six = kzfile::plainBody(planes(6));
    ASSERT_EQ(0, curveTableUpdateWith(&ctx.table, &list, 1300, six.data(), static_cast<int32_t>(six.size())));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(builtIn(1201, -3, 0), curveIn(six, 512 * i)) << i;
    }
    // Mode 1 unpacks four slots: planes 4 and 5 have none and stay.
    EXPECT_EQ(planeCurve(4), curveIn(six, 2048));
    EXPECT_EQ(planeCurve(5), curveIn(six, 2560));
    setIds({-3, -3, -3, -3});
    Bytes sixShort = kzfile::plainBody(planes(6));
    EXPECT_EQ(CAL_FAIL, curveTableUpdateWith(&ctx.table, &list, 1499, sixShort.data(), 6 * 512));
    EXPECT_EQ(CAL_FAIL, curveTableUpdateWith(&ctx.table, &list, 1500, six.data(), static_cast<int32_t>(six.size())));
    request.mode = 3; // six slots: curve numbers 4 and 5 name empty places
    adjustIds[4] = adjustIds[5] = -3;
    Bytes seven = kzfile::plainBody(planes(7));
    ASSERT_EQ(0, curveTableUpdateWith(&ctx.table, &list, 1499, seven.data(), static_cast<int32_t>(seven.size())));
    EXPECT_EQ(builtIn(1201, -3, 0), curveIn(seven, 512 * 5));
    EXPECT_EQ(planeCurve(6), curveIn(seven, 512 * 6));
}

TEST_F(CurveUpdateTest, TaggedTwoPlanesAndAThirdPlaneItem)
{
    setIds({-3, 3, 0, 0});
    Bytes body = kzfile::taggedBody(kzfile::standardItems(2), taggedPlanes({0, 1}));
    ASSERT_EQ(0, update(1201, body));
    EXPECT_EQ(builtIn(1201, -3, 0), curveIn(body, curveOffset(4, 0)));
    EXPECT_EQ(builtIn(1201, 3, 1), curveIn(body, curveOffset(4, 1)));

    std::vector<TaggedItem> items = kzfile::standardItems(2);
    items.push_back({0xDC, 0, 2});
    Bytes third = kzfile::taggedBody(items, taggedPlanes({0, 1, 2}));
    EXPECT_EQ(CAL_FAIL, update(1201, third));
}

TEST_F(CurveUpdateTest, TaggedWithoutItemsIsUnchanged)
{
    setIds({-3, -3, -3, -3});
    Bytes body = kzfile::taggedBody({}, {});
    Bytes before = body;
    EXPECT_EQ(0, update(1201, body));
    EXPECT_EQ(before, body);
    // Items but no plane count, or a plane count of 0: nothing to update.
    body = kzfile::taggedBody({{0x9A, 1}, {0xF8, 0}}, taggedPlanes({0}));
    before = body;
    EXPECT_EQ(0, update(1201, body));
    EXPECT_EQ(before, body);
    // A negative item count declares no items.
    kzfile::putU32(body, 8, 0xFFFFFFFFu);
    before = body;
    EXPECT_EQ(0, update(1201, body));
    EXPECT_EQ(before, body);
}

TEST_F(CurveUpdateTest, PlaneItemNamesItsSlot)
{
    setIds({0, 0, 3, -3});
    // Plane 0 names slot 2, plane 1 slot 3, plane 2 slot 0 (neutral).
    Bytes body = kzfile::taggedBody(kzfile::standardItems(3), taggedPlanes({2, 3, 0}));
    ASSERT_EQ(0, update(1204, body));
    EXPECT_EQ(builtIn(1204, 3, 2), curveIn(body, curveOffset(5, 0)));
    EXPECT_EQ(builtIn(1204, -3, 3), curveIn(body, curveOffset(5, 1)));
    EXPECT_EQ(planeCurve(2), curveIn(body, curveOffset(5, 2)));
}

TEST_F(CurveUpdateTest, PlanesWithoutAnUnpackedSlotStay)
{
    setIds({3, 3, 3, 3});
    Bytes body = kzfile::taggedBody(kzfile::standardItems(3), taggedPlanes({4, -1, 1}));
    ASSERT_EQ(0, update(1201, body));
    EXPECT_EQ(planeCurve(0), curveIn(body, curveOffset(5, 0)));
    EXPECT_EQ(planeCurve(1), curveIn(body, curveOffset(5, 1)));
    EXPECT_EQ(builtIn(1201, 3, 1), curveIn(body, curveOffset(5, 2)));
}

TEST_F(CurveUpdateTest, MalformedTaggedBodies)
{
    setIds({3, 3, 3, 3});
    auto fails = [&](const char *what, Bytes body) { EXPECT_EQ(CAL_FAIL, update(1201, body)) << what; };
    auto planeItems = [](std::vector<TaggedItem> items, std::vector<TaggedPlane> p) {
        return kzfile::taggedBody(items, p);
    };
    fails("plane count 8", planeItems({{0xF8, 8}}, {}));
    fails("plane item before a count", planeItems({{0xDC, 0, 0}, {0xF8, 1}}, taggedPlanes({0})));
    fails("unknown tag", planeItems({{0xF8, 1}, {0x77, 0}, {0xDC, 0, 0}}, taggedPlanes({0})));
    fails("fewer plane items than planes", planeItems({{0xF8, 2}, {0xDC, 0, 0}}, taggedPlanes({0})));
    fails("negative count then a plane item", planeItems({{0xF8, 0xFFFFFFFFu}, {0xDC, 0, 0}}, taggedPlanes({0})));
    fails("plane item past the body", planeItems({{0xF8, 1}, {0xDC, 0x7FFFFFF0u}}, taggedPlanes({0})));

    Bytes body = kzfile::taggedBody(kzfile::standardItems(1), taggedPlanes({0}));
    Bytes tooMany = body;
    kzfile::putU32(tooMany, 8, 0x20000000u); // items beyond the body (and 8 * M beyond 32 bits)
    fails("item count", tooMany);
    Bytes cut = body;
    cut.resize(body.size() - 1); // the curve's last byte is missing
    fails("curve cut short", cut);
    std::vector<TaggedPlane> p = taggedPlanes({0});
    p[0].curveOffset = 0x7FFFFFFF;
    fails("curve position", kzfile::taggedBody(kzfile::standardItems(1), p));
    p = taggedPlanes({0});
    p[0].slotTag = 0xF7000000u;
    fails("slot word tag", kzfile::taggedBody(kzfile::standardItems(1), p));
    for (uint32_t d : {0xC4000100u, 0x04000100u, 0x48000100u, 0x44000101u}) {
        p = taggedPlanes({0});
        p[0].descriptor = d;
        fails("descriptor", kzfile::taggedBody(kzfile::standardItems(1), p));
    }
    fails("header cut short", Bytes(body.begin(), body.begin() + 12));
}

TEST_F(CurveUpdateTest, LaterPlaneCountReplacesTheEarlierOne)
{
    setIds({-3, -3, -3, -3});
    std::vector<TaggedItem> items = {{0xF8, 3}, {0xDC, 0, 0}, {0xDC, 0, 1}, {0xF8, 1}};
    Bytes body = kzfile::taggedBody(items, taggedPlanes({0, 1}));
    ASSERT_EQ(0, update(1201, body));
    EXPECT_EQ(builtIn(1201, -3, 0), curveIn(body, curveOffset(4, 0)));
    EXPECT_EQ(planeCurve(1), curveIn(body, curveOffset(4, 1)));
}

TEST_F(CurveUpdateTest, WholeIdsSelectBuiltInTables)
{
    setIds({-3, -3, -3, -3});
    for (int32_t id : {0x104B1, 1202, 1205, 1210, 1300}) {
        Bytes body = kzfile::plainBody(planes(4));
        Bytes before = body;
        EXPECT_EQ(0, update(id, body)) << id;
        EXPECT_EQ(before, body) << id;
    }
}

TEST_F(CurveUpdateTest, SwappedOrderTouchesOnlyReplacedCurves)
{
    ctx.table.byteOrder = 2;
    setIds({3, 0, -3, 0});
    Bytes body = kzfile::taggedBody(kzfile::standardItems(3), taggedPlanes({0, 1, 2}), true);
    Bytes before = body;
    ASSERT_EQ(0, update(1209, body));
    size_t c0 = curveOffset(5, 0), c2 = curveOffset(5, 2);
    EXPECT_EQ(builtIn(1209, 3, 0), curveIn(body, c0, true));
    EXPECT_EQ(builtIn(1209, -3, 2), curveIn(body, c2, true));
    for (size_t k = 0; k < body.size(); ++k) {
        bool replaced = (k >= c0 && k < c0 + 512) || (k >= c2 && k < c2 + 512);
        if (!replaced) {
            ASSERT_EQ(before[k], body[k]) << k;
        }
    }
}

} // namespace

namespace {

// The bound of the plane table: seven planes are the most a body may have,
// every one of them rewritten; an eighth plane, with its own plane item, is
// refused before anything is written.
TEST_F(CurveUpdateTest, SevenPlanesAreTheMostAndAllAreRewritten)
{
    setIds({-3, -3, -3, -3});
    Bytes seven = kzfile::taggedBody(kzfile::standardItems(TAGGED_PLANE_MAX), taggedPlanes({0, 1, 2, 3, 0, 1, 2}));
    ASSERT_EQ(0, update(1201, seven));
    for (int p = 0; p < TAGGED_PLANE_MAX; ++p) {
        EXPECT_EQ(builtIn(1201, -3, p % 4), curveIn(seven, curveOffset(TAGGED_PLANE_MAX + 2, p))) << "plane " << p;
    }
    Bytes eight =
        kzfile::taggedBody(kzfile::standardItems(TAGGED_PLANE_MAX + 1), taggedPlanes({0, 1, 2, 3, 0, 1, 2, 3}));
    const Bytes before = eight;
    EXPECT_EQ(CAL_FAIL, update(1201, eight));
    EXPECT_EQ(before, eight);
}

} // namespace
