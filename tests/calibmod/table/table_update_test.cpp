// The whole table update of a calibrated copy, through its file: results,
// partial failures and the allocation and file-operation fault sweeps.
#include "table_fixture.h"

#include "cal_types.h"
#include "table_file_update.h"
#include "curve_update.h"

namespace {

using kzfile::Bytes;
using kzfile::Curve;
using kzfile::FileDesc;

std::vector<kzfile::TaggedPlane> planesFor(std::initializer_list<int32_t> slots)
{
    std::vector<kzfile::TaggedPlane> v;
    int i = 0;
    for (int32_t s : slots) {
        kzfile::TaggedPlane p;
        p.slot = s;
        p.curve = planeCurve(10 + i++);
        v.push_back(p);
    }
    return v;
}

// A file with three databases of the three layouts naming plain and tagged
// KZHT tables, one without built-in curves and one twice.
FileDesc sampleSpec(bool big)
{
    std::vector<Curve> four = {planeCurve(0), planeCurve(1), planeCurve(2), planeCurve(3)};
    std::vector<Curve> six = {planeCurve(4), planeCurve(5), planeCurve(6), planeCurve(7), planeCurve(8), planeCurve(9)};
    FileDesc fileDesc;
    fileDesc.tables = {
        kzdbTable(1000, kzfile::kzdbBody(0, {1201, 1207}, 1, 0, big)),
        kzdbTable(1005, kzfile::kzdbBody(2, {1218, 1300, 1201}, 2, 0, big)),
        kzdbTable(1100, kzfile::kzdbBody(1, {1209}, 3, 0, big)),
        kzhtTable(1201, kzfile::plainBody(four, big)),
        kzhtTable(1207, kzfile::plainBody(four, big)),
        kzhtTable(1218, kzfile::taggedBody(kzfile::standardItems(3), planesFor({3, 0, 1}), big)),
        kzhtTable(1300, kzfile::plainBody(six, big)),
        kzhtTable(1209, kzfile::taggedBody(kzfile::standardItems(2), planesFor({2, 1}), big)),
    };
    return fileDesc;
}

class TableUpdateTest : public TableTest {
protected:
    kzfile::FileInfo info;

    int16_t run()
    {
        int16_t rc = tableFileUpdate(&ctx);
        EXPECT_EQ(0, fake.openHandles);
        EXPECT_EQ(0, fake.outstandingAllocs);
        EXPECT_EQ(nullptr, ctx.table.tableFile.loadedBody);
        return rc;
    }
    // The curves of a KZHT table in the given bytes.
    std::vector<kzfile::CurveInfo> curvesOf(const Bytes &file, uint16_t id)
    {
        EXPECT_TRUE(kzfile::inspect(file, &info, nullptr));
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzht, id);
        EXPECT_NE(nullptr, e);
        return e ? kzfile::inspectKzht(file, *e).curves : std::vector<kzfile::CurveInfo>();
    }
    // Checks that after differs from before only inside the given curves.
    void expectOnlyCurvesChanged(const Bytes &before, const Bytes &after, const std::vector<uint32_t> &offsets)
    {
        ASSERT_EQ(before.size(), after.size());
        for (size_t k = 0; k < before.size(); ++k) {
            bool inCurve = false;
            for (uint32_t o : offsets) {
                inCurve = inCurve || (k >= o && k < o + 512u);
            }
            if (!inCurve) {
                ASSERT_EQ(before[k], after[k]) << "byte " << k;
            }
        }
    }
};

TEST_F(TableUpdateTest, UpdatesEveryListedTable)
{
    writeFile(sampleSpec(false));
    setIds(-3, 0, 3, -3);
    ASSERT_EQ(CAL_OK, run());
    Bytes after = readBack();
    std::vector<uint32_t> changed;
    auto check = [&](uint16_t table, std::vector<Curve> expected) {
        std::vector<kzfile::CurveInfo> curves = curvesOf(after, table);
        ASSERT_EQ(expected.size(), curves.size()) << table;
        for (size_t i = 0; i < curves.size(); ++i) {
            EXPECT_EQ(expected[i], kzfile::curveAt(after, curves[i].offset)) << table << " curve " << i;
            if (expected[i] != kzfile::curveAt(written, curves[i].offset)) {
                changed.push_back(curves[i].offset);
            }
        }
    };
    check(1201, {builtIn(1201, -3, 0), planeCurve(1), builtIn(1201, 3, 2), builtIn(1201, -3, 3)});
    check(1207, {builtIn(1207, -3, 0), planeCurve(1), builtIn(1207, 3, 2), builtIn(1207, -3, 3)});
    // Tagged 1218: planes name slots 3, 0 and 1.
    check(1218, {builtIn(1218, -3, 3), builtIn(1218, -3, 0), planeCurve(12)});
    check(1300, {planeCurve(4), planeCurve(5), planeCurve(6), planeCurve(7), planeCurve(8), planeCurve(9)});
    check(1209, {builtIn(1209, 3, 2), planeCurve(11)});
    EXPECT_EQ(9u, changed.size());
    expectOnlyCurvesChanged(written, after, changed);
}

TEST_F(TableUpdateTest, NeutralIdsLeaveTheFileAsItWas)
{
    for (uint8_t order : {1, 2}) {
        writeFile(sampleSpec(order == 2));
        ctx.table.byteOrder = order;
        setIds(0, 0, 0, 0);
        ASSERT_EQ(CAL_OK, run());
        EXPECT_EQ(written, readBack()) << int(order);
    }
}

TEST_F(TableUpdateTest, SwappedOrderWritesSwappedCurves)
{
    writeFile(sampleSpec(true));
    ctx.table.byteOrder = 2;
    setIds(3, -3, 0, 0);
    ASSERT_EQ(CAL_OK, run());
    Bytes after = readBack();
    std::vector<kzfile::CurveInfo> plain = curvesOf(after, 1201);
    EXPECT_EQ(builtIn(1201, 3, 0), kzfile::curveAt(after, plain[0].offset, true));
    EXPECT_EQ(builtIn(1201, -3, 1), kzfile::curveAt(after, plain[1].offset, true));
    EXPECT_EQ(planeCurve(2), kzfile::curveAt(after, plain[2].offset, true));
    // The tagged body is read through its swapped words: plane 1 names slot 0.
    // kzfile reads little-endian words; the plane curves are located directly.
    const kzfile::EntryInfo *e1218 = kzfile::findTable(info, kzfile::kTagKzht, 1218);
    ASSERT_NE(nullptr, e1218);
    std::vector<kzfile::CurveInfo> tagged;
    for (size_t p = 0; p < 3; ++p) {
        tagged.push_back({static_cast<uint32_t>(e1218->bodyOffset + kzfile::taggedPlaneOffset(5, p) + 64), 0});
    }
    EXPECT_EQ(planeCurve(10), kzfile::curveAt(after, tagged[0].offset, true));
    EXPECT_EQ(builtIn(1218, 3, 0), kzfile::curveAt(after, tagged[1].offset, true));
    EXPECT_EQ(builtIn(1218, -3, 1), kzfile::curveAt(after, tagged[2].offset, true));
    std::vector<uint32_t> changed = {plain[0].offset, plain[1].offset, tagged[1].offset, tagged[2].offset};
    // 1207 plain: curves 0 and 1; 1209 tagged: plane 1 names slot 1.
    std::vector<kzfile::CurveInfo> c1207 = curvesOf(after, 1207);
    EXPECT_EQ(builtIn(1207, 3, 0), kzfile::curveAt(after, c1207[0].offset, true));
    EXPECT_EQ(builtIn(1207, -3, 1), kzfile::curveAt(after, c1207[1].offset, true));
    changed.push_back(c1207[0].offset);
    changed.push_back(c1207[1].offset);
    const kzfile::EntryInfo *e1209 = kzfile::findTable(info, kzfile::kTagKzht, 1209);
    ASSERT_NE(nullptr, e1209);
    uint32_t c1209 = static_cast<uint32_t>(e1209->bodyOffset + kzfile::taggedPlaneOffset(4, 1) + 64);
    EXPECT_EQ(builtIn(1209, -3, 1), kzfile::curveAt(after, c1209, true));
    changed.push_back(c1209);
    expectOnlyCurvesChanged(written, after, changed);
}

TEST_F(TableUpdateTest, IdWithUpperBitsIsStoredUnchanged)
{
    FileDesc fileDesc;
    fileDesc.tables = {
        kzdbTable(1000, kzfile::kzdbBody(0, {0x104B1})),
        kzhtTable(1201, kzfile::plainBody({planeCurve(0), planeCurve(1), planeCurve(2), planeCurve(3)}))};
    writeFile(fileDesc);
    setIds(3, 3, 3, 3);
    fake.resetCounts();
    ASSERT_EQ(CAL_OK, run());
    EXPECT_EQ(written, readBack());
    EXPECT_EQ(1, fake.writes); // loaded by its low 16 bits and written back
}

TEST_F(TableUpdateTest, FailureAtTheThirdTableKeepsTheFirstTwo)
{
    std::vector<Curve> four = {planeCurve(0), planeCurve(1), planeCurve(2), planeCurve(3)};
    std::vector<kzfile::TaggedPlane> bad = planesFor({0});
    bad[0].descriptor = 0x44000200u;
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(0, {1201, 1203, 1204, 1206})),
                       kzhtTable(1201, kzfile::plainBody(four)), kzhtTable(1203, kzfile::plainBody(four)),
                       kzhtTable(1204, kzfile::taggedBody(kzfile::standardItems(1), bad)),
                       kzhtTable(1206, kzfile::plainBody(four))};
    writeFile(fileDesc);
    setIds(-3, -3, -3, -3);
    EXPECT_EQ(CAL_ERR_FILE, run());
    Bytes after = readBack();
    std::vector<uint32_t> changed;
    for (uint16_t id : {1201, 1203}) {
        for (const kzfile::CurveInfo &c : curvesOf(after, id)) {
            EXPECT_EQ(builtIn(id, -3, static_cast<int16_t>(c.slot)), kzfile::curveAt(after, c.offset));
            changed.push_back(c.offset);
        }
    }
    expectOnlyCurvesChanged(written, after, changed);
}

TEST_F(TableUpdateTest, ListedTableMissingFromTheDirectory)
{
    std::vector<Curve> four = {planeCurve(0), planeCurve(1), planeCurve(2), planeCurve(3)};
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(2, {1201, 1203, 1204})),
                       kzhtTable(1201, kzfile::plainBody(four)), kzhtTable(1204, kzfile::plainBody(four))};
    writeFile(fileDesc);
    setIds(3, 3, 3, 3);
    EXPECT_EQ(CAL_ERR_FILE, run());
    Bytes after = readBack();
    EXPECT_EQ(builtIn(1201, 3, 0), kzfile::curveAt(after, curvesOf(after, 1201)[0].offset));
    EXPECT_EQ(planeCurve(0), kzfile::curveAt(after, curvesOf(after, 1204)[0].offset));
}

TEST_F(TableUpdateTest, FullListAndMissingCopyFail)
{
    std::vector<int32_t> ids;
    for (int i = 0; i < 256; ++i) {
        ids.push_back(1201 + i);
    }
    FileDesc fileDesc;
    fileDesc.tables = {
        kzdbTable(1000, kzfile::kzdbBody(0, ids)),
        kzhtTable(1201, kzfile::plainBody({planeCurve(0), planeCurve(1), planeCurve(2), planeCurve(3)}))};
    writeFile(fileDesc);
    setIds(3, 3, 3, 3);
    EXPECT_EQ(CAL_ERR_FILE, run());
    EXPECT_EQ(written, readBack());

    dir.remove(fileName);
    EXPECT_EQ(CAL_ERR_FILE, run());
    EXPECT_FALSE(dir.exists(fileName));
}

// Every allocation and every file operation of a successful update, failed
// in turn: the update reports CAL_ERR_FILE, closes the file and keeps
// nothing allocated.
TEST_F(TableUpdateTest, FaultSweeps)
{
    setIds(-3, 3, 0, -3);
    writeFile(sampleSpec(false));
    fake.resetCounts();
    ASSERT_EQ(CAL_OK, run());
    const long allocs = fake.allocs, fileOps = fake.fileOps, ioCalls = fake.ioCalls;
    ASSERT_GT(allocs, 10);
    ASSERT_GT(fileOps, 50);

    for (long n = 1; n <= allocs; ++n) {
        writeFile(sampleSpec(false));
        fake.resetCounts();
        fake.failAllocAt = n;
        ASSERT_EQ(CAL_ERR_FILE, run()) << "allocation " << n;
        ASSERT_EQ(fake.opens, fake.closes) << "allocation " << n;
    }
    for (long n = 1; n <= fileOps; ++n) {
        writeFile(sampleSpec(false));
        fake.resetCounts();
        fake.failFileOpAt = n;
        ASSERT_EQ(CAL_ERR_FILE, run()) << "file operation " << n;
        ASSERT_EQ(fake.opens, fake.closes) << "file operation " << n;
    }
    for (long n = 1; n <= ioCalls; ++n) {
        writeFile(sampleSpec(false));
        fake.resetCounts();
        fake.shortIoAt = n;
        ASSERT_EQ(CAL_ERR_FILE, run()) << "short read or write " << n;
    }
}

// The sample with three damaged databases among its good ones, each naming a
// curve table of its own that only it names: 1001's body runs past the end
// of the file, 1002's size word lies past it, 1003's size is negative.
Bytes damagedSample()
{
    std::vector<Curve> four = {planeCurve(20), planeCurve(21), planeCurve(22), planeCurve(23)};
    FileDesc fileDesc = sampleSpec(false);
    fileDesc.tables.push_back(kzdbTable(1001, kzfile::kzdbBody(0, {1203}, 4)));
    fileDesc.tables.back().sizeWord = 0x7FFFFF00;
    fileDesc.tables.push_back(kzdbTable(1002, kzfile::kzdbBody(1, {1204}, 5)));
    fileDesc.tables.push_back(kzdbTable(1003, kzfile::kzdbBody(2, {1206}, 6)));
    fileDesc.tables.back().sizeWord = 0xFFFFFF94u; // -108
    for (uint16_t id : {1203, 1204, 1206}) {
        fileDesc.tables.push_back(kzhtTable(id, kzfile::plainBody(four)));
    }
    Bytes file = kzfile::buildFile(fileDesc);
    setEntryPosition(file, kzfile::kTagKzdb, 1002, static_cast<uint32_t>(file.size() - 3));
    return file;
}

TEST_F(TableUpdateTest, DamagedDatabasesAreSkippedAndTheRestCalibrated)
{
    writeFile(damagedSample());
    setIds(-3, 0, 3, -3);
    ASSERT_EQ(CAL_OK, run());
    // Byte for byte: the curves that the good databases name, as they are
    // for the sample alone, and nothing else.
    Bytes expected = written;
    auto put = [&](uint16_t table, std::vector<Curve> curves) {
        std::vector<kzfile::CurveInfo> at = curvesOf(written, table);
        ASSERT_EQ(curves.size(), at.size()) << table;
        for (size_t i = 0; i < curves.size(); ++i) {
            for (int k = 0; k < 256; ++k) {
                kzfile::putU16(expected, at[i].offset + 2 * k, static_cast<uint16_t>(curves[i][k]));
            }
        }
    };
    put(1201, {builtIn(1201, -3, 0), planeCurve(1), builtIn(1201, 3, 2), builtIn(1201, -3, 3)});
    put(1207, {builtIn(1207, -3, 0), planeCurve(1), builtIn(1207, 3, 2), builtIn(1207, -3, 3)});
    put(1218, {builtIn(1218, -3, 3), builtIn(1218, -3, 0), planeCurve(12)});
    put(1209, {builtIn(1209, 3, 2), planeCurve(11)});
    EXPECT_EQ(expected, readBack());
}

// A file too short for its header words, or whose KZDB directory lies past
// its end, names no curve tables: the update succeeds and writes nothing.
TEST_F(TableUpdateTest, ShortFileIsLeftAsItIs)
{
    setIds(3, 3, 3, 3);
    const Bytes sample = kzfile::buildFile(sampleSpec(false));
    std::vector<Bytes> files;
    for (size_t cut : {0, 3, 11, 16}) {
        files.emplace_back(sample.begin(), sample.begin() + cut);
    }
    for (uint32_t pos : {static_cast<uint32_t>(sample.size()), 0x80000000u}) {
        files.push_back(sample);
        kzfile::putU32(files.back(), 8, pos);
    }
    for (const Bytes &file : files) {
        writeFile(file);
        fake.resetCounts();
        EXPECT_EQ(CAL_OK, run()) << file.size();
        EXPECT_EQ(0, fake.writes) << file.size();
        EXPECT_EQ(written, readBack()) << file.size();
    }
}

// A curve table that a database names but the file cannot hold ends the
// update like a missing one: the tables before it stay rewritten, it and
// those after it keep their bytes.
TEST_F(TableUpdateTest, CurveTablePastTheEndOfTheFileEndsTheUpdate)
{
    std::vector<Curve> four = {planeCurve(0), planeCurve(1), planeCurve(2), planeCurve(3)};
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(0, {1201, 1203, 1204})),
                       kzhtTable(1201, kzfile::plainBody(four)), kzhtTable(1203, kzfile::plainBody(four)),
                       kzhtTable(1204, kzfile::plainBody(four))};
    fileDesc.tables[2].sizeWord = 0x7FFFFF00;
    writeFile(fileDesc);
    setIds(3, 3, 3, 3);
    EXPECT_EQ(CAL_ERR_FILE, run());
    Bytes expected = written;
    std::vector<kzfile::CurveInfo> at = curvesOf(written, 1201);
    ASSERT_EQ(4u, at.size());
    for (int16_t i = 0; i < 4; ++i) {
        Curve c = builtIn(1201, 3, i);
        for (int k = 0; k < 256; ++k) {
            kzfile::putU16(expected, at[i].offset + 2 * k, static_cast<uint16_t>(c[k]));
        }
    }
    EXPECT_EQ(expected, readBack());

    // The KZHT directory past the end: not even the first table is written.
    Bytes file = kzfile::buildFile(fileDesc);
    kzfile::putU32(file, 20, static_cast<uint32_t>(file.size() + 8));
    writeFile(file);
    fake.resetCounts();
    EXPECT_EQ(CAL_ERR_FILE, run());
    EXPECT_EQ(0, fake.writes);
    EXPECT_EQ(written, readBack());
}

// The fault sweeps over the file with damaged databases: skipping them never
// turns a failure of the host into success.
TEST_F(TableUpdateTest, FaultSweepsAmongDamagedDatabases)
{
    setIds(-3, 3, 0, -3);
    const Bytes file = damagedSample();
    writeFile(file);
    fake.resetCounts();
    ASSERT_EQ(CAL_OK, run());
    const long allocs = fake.allocs, fileOps = fake.fileOps, ioCalls = fake.ioCalls;
    for (long n = 1; n <= allocs; ++n) {
        writeFile(file);
        fake.resetCounts();
        fake.failAllocAt = n;
        ASSERT_EQ(CAL_ERR_FILE, run()) << "allocation " << n;
    }
    for (long n = 1; n <= fileOps; ++n) {
        writeFile(file);
        fake.resetCounts();
        fake.failFileOpAt = n;
        ASSERT_EQ(CAL_ERR_FILE, run()) << "file operation " << n;
        ASSERT_EQ(fake.opens, fake.closes) << "file operation " << n;
    }
    for (long n = 1; n <= ioCalls; ++n) {
        writeFile(file);
        fake.resetCounts();
        fake.shortIoAt = n;
        ASSERT_EQ(CAL_ERR_FILE, run()) << "short read or write " << n;
    }
}

} // namespace
