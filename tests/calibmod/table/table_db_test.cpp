// The KZDB table database: record conversion and the scan for KZHT ids.
#include "table_fixture.h"

#include <cstring>

#include "cal_types.h"
#include "table_db.h"
#include "table_file.h"

namespace {

using kzfile::Bytes;
using kzfile::FileDesc;

class TableDbTest : public TableTest {
protected:
    void TearDown() override
    {
        tableRelease(&ctx.table.tableFile);
        closeTableFile();
        EXPECT_EQ(0, fake.outstandingAllocs);
        EXPECT_EQ(0, fake.openHandles);
    }
    std::vector<int32_t> ids() const
    {
        const TableIdList &l = ctx.table.tableIds;
        return std::vector<int32_t>(l.ids, l.ids + l.count);
    }
    int16_t collect(const FileDesc &fileDesc) { return collect(kzfile::buildFile(fileDesc)); }
    int16_t collect(const Bytes &file)
    {
        writeFile(file);
        openTableFile();
        int16_t rc = tableIdsCollect(&ctx.table);
        EXPECT_EQ(nullptr, ctx.table.tableFile.loadedBody);
        closeTableFile();
        return rc;
    }
};

// Each byte of a record after conversion comes from the byte at this offset.
int sourceOf(int k)
{
    auto reversed4 = [](int k, int start) { return start + ((k - start) / 4) * 4 + 3 - (k - start) % 4; };
    auto pair = [](int k) { return k ^ 1; };
    if (k < 4) {
        return reversed4(k, 0);
    }
    if (k < 24) {
        return pair(k);
    }
    if (k < 92) {
        return reversed4(k, 24);
    }
    if (k < 140) {
        return k;
    }
    if (k < 148) {
        return reversed4(k, 140);
    }
    if (k < 280) {
        return k;
    }
    return pair(k);
}

TEST_F(TableDbTest, Kind2RecordSwapPattern)
{
    // Stored big-endian: swapped relative to this host.
    Bytes body = kzfile::kzdbBody(DB_KIND_2, {1201, 1203}, 5, 0x01020304, true);
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, body)};
    writeFile(fileDesc);
    openTableFile();
    ctx.table.byteOrder = 2;
    uint8_t *header = nullptr, *records = nullptr;
    int16_t layout = -1;
    ASSERT_EQ(0, tableDatabaseRead(&ctx.table, 1000, &header, &records, &layout));
    EXPECT_EQ(DB_KIND_2, layout);
    EXPECT_EQ(header + 12, records);
    int32_t words[3];
    std::memcpy(words, header, 12);
    EXPECT_EQ(2, words[0]);
    EXPECT_EQ(2, words[1]);
    EXPECT_EQ(0x01020304, words[2]);
    for (int r = 0; r < 2; ++r) {
        for (int k = 0; k < 300; ++k) {
            ASSERT_EQ(body[12 + 300 * r + sourceOf(k)], records[300 * r + k]) << "record " << r << " byte " << k;
        }
    }
    int16_t id;
    std::memcpy(&id, records + 300 + 22, 2);
    EXPECT_EQ(1203, id);
}

TEST_F(TableDbTest, HostOrderConvertsNothing)
{
    Bytes body = kzfile::kzdbBody(DB_KIND_1, {1201}, 9);
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, body)};
    writeFile(fileDesc);
    openTableFile();
    uint8_t *header = nullptr, *records = nullptr;
    int16_t layout = -1;
    ASSERT_EQ(0, tableDatabaseRead(&ctx.table, 1000, &header, &records, &layout));
    EXPECT_EQ(DB_KIND_1, layout);
    EXPECT_EQ(body, Bytes(header, header + body.size()));
}

TEST_F(TableDbTest, MissingDatabasesGiveAnEmptyList)
{
    FileDesc fileDesc;
    // Ids next to the scanned ones are not databases.
    fileDesc.tables = {kzdbTable(1019, kzfile::kzdbBody(0, {1201})), kzdbTable(1023, kzfile::kzdbBody(0, {1203})),
                       kzdbTable(1103, kzfile::kzdbBody(0, {1204})), kzdbTable(999, kzfile::kzdbBody(0, {1206})),
                       kzhtTable(1000, kzfile::kzdbBody(0, {1207}))};
    ctx.table.tableIds.count = 17; // rebuilt from scratch
    EXPECT_EQ(0, collect(fileDesc));
    EXPECT_TRUE(ids().empty());
}

TEST_F(TableDbTest, IdsInScanOrderListedOnce)
{
    FileDesc fileDesc;
    // Directory order does not matter; the database numbers do.
    fileDesc.tables = {kzdbTable(1128, kzfile::kzdbBody(DB_KIND_0, {1400, 1201})),
                       kzdbTable(1100, kzfile::kzdbBody(DB_KIND_2, {1203, -2, 1201})),
                       kzdbTable(1005, kzfile::kzdbBody(DB_KIND_1, {1300, 1201, 1300, 0x104B1})),
                       kzdbTable(1000, kzfile::kzdbBody(DB_KIND_0, {1201, 1201})),
                       kzdbTable(1027, kzfile::kzdbBody(7, {})), // a layout without records
                       kzhtTable(1201, Bytes(2048, 0))};
    fileDesc.tables[4].body = Bytes(12 + 600, 0);
    kzfile::putU32(fileDesc.tables[4].body, 0, 0x00020007); // only the low 16 bits count
    kzfile::putU32(fileDesc.tables[4].body, 4, 2);
    EXPECT_EQ(0, collect(fileDesc));
    EXPECT_EQ((std::vector<int32_t>{1201, 1300, 0x104B1, 1203, -2, 1400}), ids());
}

TEST_F(TableDbTest, MalformedDatabasesAreSkipped)
{
    FileDesc fileDesc;
    Bytes tooMany = kzfile::kzdbBody(DB_KIND_0, {1203, 1204});
    kzfile::putU32(tooMany, 4, 3); // three records declared, two present
    Bytes wrapping = kzfile::kzdbBody(DB_KIND_2, {1206});
    kzfile::putU32(wrapping, 4, 0x80000001u); // negative: no records
    Bytes huge = kzfile::kzdbBody(DB_KIND_1, {1207});
    kzfile::putU32(huge, 4, 0x00E2E2E3u); // count * 296 wraps 32 bits
    fileDesc.tables = {kzdbTable(1000, tooMany), kzdbTable(1001, Bytes(8, 0)), kzdbTable(1002, wrapping),
                       kzdbTable(1003, huge), kzdbTable(1004, kzfile::kzdbBody(DB_KIND_0, {1201}))};
    EXPECT_EQ(0, collect(fileDesc));
    EXPECT_EQ((std::vector<int32_t>{1201}), ids());
}

TEST_F(TableDbTest, CountAbove32767IsSkipped)
{
    std::vector<int32_t> many(32768, 1201);
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(DB_KIND_0, many)),
                       kzdbTable(1001, kzfile::kzdbBody(DB_KIND_0, std::vector<int32_t>(32767, 1203)))};
    EXPECT_EQ(0, collect(fileDesc));
    EXPECT_EQ((std::vector<int32_t>{1203}), ids());
}

TEST_F(TableDbTest, The256thDistinctIdFillsTheList)
{
    std::vector<int32_t> first, second;
    for (int i = 0; i < 200; ++i) {
        first.push_back(2000 + i);
    }
    for (int i = 0; i < 55; ++i) {
        second.push_back(3000 + i);
    }
    second.push_back(2000); // already listed
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(DB_KIND_0, first)),
                       kzdbTable(1001, kzfile::kzdbBody(DB_KIND_2, second))};
    EXPECT_EQ(0, collect(fileDesc));
    EXPECT_EQ(255, ctx.table.tableIds.count);

    // One more distinct id, as the very last record of the scan.
    second.push_back(4000);
    fileDesc.tables[1] = kzdbTable(1128, kzfile::kzdbBody(DB_KIND_2, second));
    EXPECT_EQ(CAL_FAIL, collect(fileDesc));
    EXPECT_EQ(256, ctx.table.tableIds.count);
    EXPECT_EQ(4000, ctx.table.tableIds.ids[255]);
    EXPECT_EQ(written, readBack()); // the scan only reads
}

TEST_F(TableDbTest, ReadFaultsStopTheScan)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(DB_KIND_0, {1201})),
                       kzdbTable(1001, kzfile::kzdbBody(DB_KIND_0, {1203}))};
    writeFile(fileDesc);
    openTableFile();
    long base = fake.allocs;
    fake.failAllocAt = base + 4; // the second database's body
    EXPECT_EQ(CAL_ERR_NO_MEMORY, tableIdsCollect(&ctx.table));
    fake.failAllocAt = 0;
    fake.shortIoAt = fake.ioCalls + 5; // the first database's body
    EXPECT_EQ(CAL_ERR_FILE, tableIdsCollect(&ctx.table));
    fake.shortIoAt = 0;
    EXPECT_EQ(0, tableIdsCollect(&ctx.table));
    EXPECT_EQ((std::vector<int32_t>{1201, 1203}), ids());
}

// A database that the file cannot hold is skipped like a missing one; the
// databases around it are still read.
TEST_F(TableDbTest, DatabasesPastTheEndOfTheFileAreSkipped)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(DB_KIND_0, {1201})),
                       kzdbTable(1001, kzfile::kzdbBody(DB_KIND_0, {1300})), // body past the end
                       kzdbTable(1002, kzfile::kzdbBody(DB_KIND_1, {1301})), // size word past the end
                       kzdbTable(1003, kzfile::kzdbBody(DB_KIND_2, {1302})), // negative size
                       kzdbTable(1004, kzfile::kzdbBody(DB_KIND_2, {1303})), // negative position
                       kzdbTable(1128, kzfile::kzdbBody(DB_KIND_2, {1203, 1201}))};
    fileDesc.tables[1].sizeWord = 0x7FFFFF00;
    fileDesc.tables[3].sizeWord = 0xFFFFFF76; // -138
    Bytes file = kzfile::buildFile(fileDesc);
    setEntryPosition(file, kzfile::kTagKzdb, 1002, static_cast<uint32_t>(file.size() - 2));
    setEntryPosition(file, kzfile::kTagKzdb, 1004, 0xFFFFFFF8u);
    writeFile(file);
    openTableFile();
    long allocsBefore = fake.allocs;
    EXPECT_EQ(0, tableIdsCollect(&ctx.table));
    EXPECT_EQ((std::vector<int32_t>{1201, 1203}), ids());
    EXPECT_EQ(nullptr, ctx.table.tableFile.loadedBody);
    // Nothing was allocated for a body that is not in the file: a directory
    // buffer for each of the 30 numbers, a body for the two good databases.
    EXPECT_EQ(allocsBefore + 32, fake.allocs);
    closeTableFile();
    EXPECT_EQ(written, readBack());
}

// A file too short for its header words, or whose KZDB directory lies past
// its end, has no databases: the list is empty and the scan succeeds.
TEST_F(TableDbTest, ShortFileOrDirectoryPastTheEndGivesAnEmptyList)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(DB_KIND_0, {1201}))};
    const Bytes file = kzfile::buildFile(fileDesc);
    for (size_t cut : {0, 1, 8, 11}) {
        ctx.table.tableIds.count = 3;
        EXPECT_EQ(0, collect(Bytes(file.begin(), file.begin() + cut))) << cut;
        EXPECT_TRUE(ids().empty()) << cut;
    }
    for (uint32_t pos : {static_cast<uint32_t>(file.size()), 0x7FFFFFF0u, 0xFFFFFFFCu}) {
        Bytes b = file;
        kzfile::putU32(b, 8, pos);
        EXPECT_EQ(0, collect(b)) << pos;
        EXPECT_TRUE(ids().empty()) << pos;
    }
    fileDesc.kzdbCount = 0x01000000; // entries past the end
    EXPECT_EQ(0, collect(fileDesc));
    EXPECT_TRUE(ids().empty());
}

// Skipping malformed databases must not swallow the host's failures: with a
// damaged database among good ones, every failed size, seek or read and
// every short read of the scan still ends it, and so does every failed
// allocation.
TEST_F(TableDbTest, HostFailuresStillStopTheScanAmongDamagedDatabases)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(DB_KIND_0, {1201})),
                       kzdbTable(1001, kzfile::kzdbBody(DB_KIND_0, {1300})),
                       kzdbTable(1002, kzfile::kzdbBody(DB_KIND_1, {1203}))};
    fileDesc.tables[1].sizeWord = 0x7FFFFF00;
    writeFile(fileDesc);
    openTableFile();
    fake.resetCounts();
    ASSERT_EQ(0, tableIdsCollect(&ctx.table));
    ASSERT_EQ((std::vector<int32_t>{1201, 1203}), ids());
    const long fileOps = fake.fileOps, ioCalls = fake.ioCalls, allocs = fake.allocs;
    for (long n = 1; n <= fileOps; ++n) {
        fake.resetCounts();
        fake.failFileOpAt = n;
        ASSERT_EQ(CAL_ERR_FILE, tableIdsCollect(&ctx.table)) << "file operation " << n;
        ASSERT_EQ(nullptr, ctx.table.tableFile.loadedBody);
    }
    for (long n = 1; n <= ioCalls; ++n) {
        fake.resetCounts();
        fake.shortIoAt = n;
        ASSERT_EQ(CAL_ERR_FILE, tableIdsCollect(&ctx.table)) << "short read " << n;
    }
    for (long n = 1; n <= allocs; ++n) {
        fake.resetCounts();
        fake.failAllocAt = n;
        ASSERT_EQ(CAL_ERR_NO_MEMORY, tableIdsCollect(&ctx.table)) << "allocation " << n;
        ASSERT_EQ(0, fake.outstandingAllocs);
    }
}

} // namespace
