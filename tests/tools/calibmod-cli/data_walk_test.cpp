// The inspection layer's walk of a data file: the tables and curves it
// answers are where the writer put them, the named tables come in the
// order the update meets them, and damaged files are read only within
// their bytes.
#include <gtest/gtest.h>

#include "cal_types.h"
#include "data_view.h"
#include "kzfile.h"
#include "sample_build.h"

namespace {

kzfile::Table table(uint32_t tag, uint16_t id, kzfile::Bytes body)
{
    kzfile::Table t;
    t.tag = tag;
    t.id = id;
    t.body = body;
    return t;
}

// KZDB 1000 names 1218 (tagged, slots 1 and 0), 1201 (plain), 999 (plain,
// but no plain form) and 1300 (missing); 1202 is named by nobody.
kzfile::Bytes smallFile()
{
    kzfile::FileDesc d;
    d.tables.push_back(table(kzfile::kTagKzdb, 1000, kzfile::kzdbBody(0, {1218, 1201, 999, 1300, 1201})));
    std::vector<kzfile::TaggedPlane> planes(2);
    planes[0].slot = 1;
    planes[0].curve = kzfile::rampCurve(100, 1);
    planes[1].slot = 0;
    planes[1].curve = kzfile::rampCurve(-50, 2);
    d.tables.push_back(table(kzfile::kTagKzht, 1218, kzfile::taggedBody(kzfile::standardItems(2), planes)));
    std::vector<kzfile::Curve> plain;
    for (int i = 0; i < 4; ++i) {
        plain.push_back(kzfile::rampCurve(static_cast<int16_t>(10 * i), 3));
    }
    d.tables.push_back(table(kzfile::kTagKzht, 1201, kzfile::plainBody(plain)));
    d.tables.push_back(table(kzfile::kTagKzht, 999, kzfile::plainBody(plain)));
    d.tables.push_back(table(kzfile::kTagKzht, 1202, kzfile::plainBody(plain)));
    return kzfile::buildFile(d);
}

std::vector<int16_t> valuesOf(const InspectCurve &c)
{
    return std::vector<int16_t>(c.values, c.values + INSPECT_CURVE_ENTRIES);
}

TEST(DataWalk, TablesAndCurvesAreWhereTheWriterPutThem)
{
    kzfile::Bytes file = smallFile();
    cli::DataView v = cli::dataViewOf(file);
    ASSERT_EQ(v.rc, CAL_OK);
    ASSERT_EQ(v.kzdb.size(), 30u);
    EXPECT_EQ(v.kzdb[0].table.state, INSPECT_TABLE_READ);
    EXPECT_EQ(v.kzdb[0].ids, (std::vector<int32_t>{1218, 1201, 999, 1300, 1201}));
    EXPECT_EQ(v.kzdb[1].table.state, INSPECT_TABLE_ABSENT);

    // Named tables once each, in the order first named; then the others.
    ASSERT_EQ(v.kzht.size(), 5u);
    std::vector<uint16_t> order;
    for (const InspectKzht &t : v.kzht) {
        order.push_back(t.id);
    }
    EXPECT_EQ(order, (std::vector<uint16_t>{1218, 1201, 999, 1300, 1202}));

    const InspectKzht &tagged = v.kzht[0];
    EXPECT_TRUE(tagged.tagged && tagged.named && tagged.hasBuiltIn);
    EXPECT_EQ(tagged.state, INSPECT_TABLE_READ);
    ASSERT_EQ(tagged.curveCount, 2);
    EXPECT_EQ(tagged.curves[0].slot, 1);
    EXPECT_EQ(valuesOf(tagged.curves[0]), kzfile::rampCurve(100, 1));
    EXPECT_EQ(tagged.curves[1].slot, 0);
    EXPECT_EQ(valuesOf(tagged.curves[1]), kzfile::rampCurve(-50, 2));
    // The offsets are file offsets: the stored bytes there are the curve.
    EXPECT_EQ(kzfile::getU16(file, tagged.curves[1].offset), static_cast<uint16_t>(-50));

    const InspectKzht &plain = v.kzht[1];
    EXPECT_FALSE(plain.tagged);
    ASSERT_EQ(plain.curveCount, 4);
    EXPECT_EQ(valuesOf(plain.curves[3]), kzfile::rampCurve(30, 3));
    EXPECT_EQ(plain.curves[3].offset, plain.curves[0].offset + 3u * CURVE_BYTES);

    // 999 has no plain form: the update cannot walk it (nor needs to, having
    // no built-in curves); 1300 is named but missing; 1202 is named by nobody.
    EXPECT_EQ(v.kzht[2].state, INSPECT_TABLE_MALFORMED);
    EXPECT_FALSE(v.kzht[2].hasBuiltIn);
    EXPECT_EQ(v.kzht[3].state, INSPECT_TABLE_ABSENT);
    EXPECT_EQ(v.kzht[3].entryIndex, -1);
    EXPECT_FALSE(v.kzht[4].named);
    EXPECT_EQ(v.kzht[4].state, INSPECT_TABLE_READ);
}

TEST(DataWalk, HeadAndDirectoriesAsTheModuleReadsThem)
{
    kzfile::FileDesc d;
    d.ident = "ABC";
    d.sharedDirectory = true;
    d.tables.push_back(table(kzfile::kTagKzdb, 1005, kzfile::kzdbBody(2, {1204})));
    kzfile::Bytes file = kzfile::buildFile(d);
    cli::DataView v = cli::dataViewOf(file);
    ASSERT_EQ(v.rc, CAL_OK);
    EXPECT_TRUE(v.head.shared);
    EXPECT_TRUE(v.head.identReadable);
    EXPECT_EQ(std::string(file.begin() + v.head.identOffset, file.begin() + v.head.identOffset + v.head.identLength),
              "ABC");
    EXPECT_EQ(v.head.kzdb.count, 1);
    ASSERT_EQ(v.kzht.size(), 1u);
    EXPECT_EQ(v.kzht[0].state, INSPECT_TABLE_ABSENT);

    // A directory count whose entries run past the end rules out every
    // table of it, as tableLocate does.
    kzfile::putU32(file, static_cast<size_t>(v.head.kzdb.position), 1000);
    cli::DataView bad = cli::dataViewOf(file);
    ASSERT_EQ(bad.rc, CAL_OK);
    EXPECT_TRUE(bad.head.kzdb.malformed);
    EXPECT_EQ(bad.kzdb[5].table.state, INSPECT_TABLE_DAMAGED);
    EXPECT_TRUE(bad.kzht.empty());
}

TEST(DataWalk, EveryCutOfTheSampleIsWalkedWithinItsBytes)
{
    kzfile::Bytes sample = sample::build(sample::Options());
    cli::DataView whole = cli::dataViewOf(sample);
    ASSERT_EQ(whole.rc, CAL_OK);
    for (size_t cut = 0; cut < sample.size(); cut += 61) {
        // A copy of exactly cut bytes: a read past it would be a fault the
        // sanitizers see.
        kzfile::Bytes part(sample.begin(), sample.begin() + static_cast<long>(cut));
        cli::DataView v = cli::dataViewOf(part);
        if (cut < INSPECT_HEADER_SIZE) {
            EXPECT_EQ(v.rc, CAL_FAIL) << cut;
            continue;
        }
        ASSERT_EQ(v.rc, CAL_OK) << cut;
        for (const InspectKzht &t : v.kzht) {
            for (int16_t i = 0; i < t.curveCount; ++i) {
                EXPECT_LE(t.curves[i].offset + CURVE_BYTES, cut) << cut;
            }
        }
    }
}

} // namespace
