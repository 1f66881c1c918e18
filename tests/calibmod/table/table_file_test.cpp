// Locating, loading and storing tables through the directories.
#include "table_fixture.h"

#include <cstring>

#include "cal_types.h"
#include "table_file.h"

namespace {

using kzfile::Bytes;
using kzfile::FileDesc;

class TableFileTest : public TableTest {
protected:
    TableRequest req{};

    int32_t locate(uint16_t id, int32_t tag)
    {
        std::memset(&req, 0, sizeof req);
        memInit(&req.bodyBlock, fake.platform());
        req.tableId = id;
        req.kindTag = tag;
        return tableLocate(&ctx.table.tableFile.file, &req);
    }
    // The first body byte of the table that tableLocate found.
    uint8_t nextByte()
    {
        uint8_t b = 0;
        EXPECT_EQ(0, fileRead(&ctx.table.tableFile.file, &b, 1));
        return b;
    }
    void TearDown() override
    {
        tableRelease(&ctx.table.tableFile);
        closeTableFile();
        EXPECT_EQ(0, fake.outstandingAllocs);
        EXPECT_EQ(0, fake.openHandles);
    }
};

Bytes bodyOf(uint8_t fill, size_t n)
{
    return Bytes(n, fill);
}

TEST_F(TableFileTest, SeparateDirectoriesFindEachKind)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, bodyOf(0x11, 40)), kzhtTable(1201, bodyOf(0x22, 24))};
    writeFile(fileDesc);
    openTableFile();
    EXPECT_EQ(40, locate(1000, 8));
    EXPECT_EQ(0x11, nextByte());
    EXPECT_EQ(24, locate(1201, 20));
    EXPECT_EQ(0x22, nextByte());
    // Each kind is looked up only in its own directory.
    EXPECT_EQ(CAL_ERR_FILE, locate(1201, 8));
    EXPECT_EQ(1, req.notListed);
}

TEST_F(TableFileTest, SharedDirectoryFindsBothKinds)
{
    FileDesc fileDesc;
    fileDesc.sharedDirectory = true;
    fileDesc.tables = {kzhtTable(1201, bodyOf(0x22, 8)), kzdbTable(1000, bodyOf(0x11, 16))};
    writeFile(fileDesc);
    openTableFile();
    EXPECT_EQ(16, locate(1000, 8));
    EXPECT_EQ(8, locate(1201, 20));
}

TEST_F(TableFileTest, FirstOfDuplicateEntriesWins)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzhtTable(1201, bodyOf(0xA1, 8)), kzhtTable(1201, bodyOf(0xB2, 12))};
    writeFile(fileDesc);
    openTableFile();
    EXPECT_EQ(8, locate(1201, 20));
    EXPECT_EQ(0xA1, nextByte());
}

TEST_F(TableFileTest, KindTagMustMatch)
{
    FileDesc fileDesc;
    fileDesc.sharedDirectory = true;
    kzfile::Table wrong = kzdbTable(1005, bodyOf(1, 12));
    wrong.tag = kzfile::kTagKzht; // a KZHT entry with the id of a database
    fileDesc.tables = {wrong, kzhtTable(1201, bodyOf(2, 12))};
    fileDesc.tables[1].tag = kzfile::kTagKzdb;
    writeFile(fileDesc);
    openTableFile();
    EXPECT_EQ(CAL_ERR_FILE, locate(1005, 8));
    EXPECT_EQ(CAL_ERR_FILE, locate(1201, 20));
    EXPECT_EQ(12, locate(1005, 20));
}

TEST_F(TableFileTest, EmptyNegativeAndOversizedDirectories)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, bodyOf(1, 12)), kzhtTable(1201, bodyOf(2, 12))};
    fileDesc.kzdbCount = 0;
    fileDesc.kzhtCount = 0xFFFFFFFFll; // -1
    writeFile(fileDesc);
    openTableFile();
    EXPECT_EQ(CAL_ERR_FILE, locate(1000, 8));
    EXPECT_EQ(1, req.notListed);
    EXPECT_EQ(CAL_ERR_FILE, locate(1201, 20));
    EXPECT_EQ(1, req.notListed);
    closeTableFile();

    // A count whose entries would lie past the end of the file is a damaged
    // directory: nothing is allocated for it. 0x15555556 * 12 wraps 32 bits.
    for (int64_t count : {40ll, 0x10000000ll, 0x15555556ll, 0x7FFFFFFFll}) {
        fileDesc.kzdbCount = count;
        writeFile(fileDesc);
        openTableFile();
        long allocsBefore = fake.allocs;
        EXPECT_EQ(CAL_ERR_FILE, locate(1000, 8)) << count;
        EXPECT_EQ(0, req.notListed);
        EXPECT_EQ(1, req.malformed) << count;
        EXPECT_EQ(allocsBefore, fake.allocs) << count;
        closeTableFile();
    }
}

TEST_F(TableFileTest, BodySizeMustFitTheFile)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzhtTable(1201, bodyOf(2, 16)), kzhtTable(1203, bodyOf(3, 16)), kzhtTable(1204, bodyOf(4, 16))};
    fileDesc.tables[0].sizeWord = 0xFFFFFF76; // -138 as a stored size
    fileDesc.tables[1].sizeWord = 0x7FFFFFF0;
    writeFile(fileDesc);
    openTableFile();
    EXPECT_EQ(CAL_ERR_FILE, locate(1201, 20));
    EXPECT_EQ(1, req.malformed);
    EXPECT_EQ(CAL_ERR_FILE, locate(1203, 20));
    EXPECT_EQ(1, req.malformed);
    EXPECT_EQ(16, locate(1204, 20));
    EXPECT_EQ(0, req.malformed);
    long allocsBefore = fake.allocs;
    EXPECT_EQ(CAL_ERR_FILE, tableLoad(&ctx.table.tableFile, "KZHT", 1203, 20));
    EXPECT_EQ(allocsBefore + 1, fake.allocs); // the directory, never the body
    EXPECT_EQ(nullptr, ctx.table.tableFile.loadedBody);
}

TEST_F(TableFileTest, LoadAndStoreLeaveTheBytesIdentical)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(2, {1201, 1203})), kzhtTable(1201, bodyOf(7, 2048))};
    writeFile(fileDesc);
    for (uint8_t order : {1, 2}) {
        ctx.table.byteOrder = order;
        openTableFile();
        TableFile *tf = &ctx.table.tableFile;
        ASSERT_EQ(0, tableLoad(tf, "KZHT", 1201, 20));
        ASSERT_NE(nullptr, tf->loadedBody);
        EXPECT_EQ(2048, tf->loadedSize);
        EXPECT_EQ(Bytes(2048, 7), Bytes(tf->loadedBody, tf->loadedBody + 2048));
        EXPECT_EQ(0, tableStore(tf, "KZHT", 1201, 20));
        tableRelease(tf);
        EXPECT_EQ(nullptr, tf->loadedBody);
        tableRelease(tf); // nothing loaded: nothing happens
        closeTableFile();
        EXPECT_EQ(written, readBack());
    }
}

TEST_F(TableFileTest, ChangedSizeWordBlocksTheStore)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzhtTable(1201, bodyOf(7, 64))};
    writeFile(fileDesc);
    openTableFile();
    TableFile *tf = &ctx.table.tableFile;
    ASSERT_EQ(0, tableLoad(tf, "KZHT", 1201, 20));
    std::memset(tf->loadedBody, 0x55, 64);

    // Another writer shrinks the stored size in the meantime.
    kzfile::FileInfo info;
    ASSERT_TRUE(kzfile::inspect(written, &info, nullptr));
    Bytes changed = written;
    kzfile::putU32(changed, info.kzhtDir.entries[0].position, 60);
    closeTableFile();
    writeFile(changed);
    openTableFile();
    EXPECT_EQ(CAL_ERR_FILE, tableStore(tf, "KZHT", 1201, 20));
    closeTableFile();
    EXPECT_EQ(changed, readBack());
}

TEST_F(TableFileTest, LoadFailuresLeaveNothingLoaded)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzhtTable(1201, bodyOf(7, 64))};
    writeFile(fileDesc);
    openTableFile();
    TableFile *tf = &ctx.table.tableFile;

    fake.failAllocAt = fake.allocs + 2; // the directory buffer, then the body
    EXPECT_EQ(CAL_ERR_NO_MEMORY, tableLoad(tf, "KZHT", 1201, 20));
    EXPECT_EQ(nullptr, tf->loadedBody);
    EXPECT_EQ(0, fake.outstandingAllocs);

    fake.failAllocAt = fake.allocs + 1; // the directory buffer
    EXPECT_EQ(CAL_ERR_NO_MEMORY, tableLoad(tf, "KZHT", 1201, 20));

    fake.failAllocAt = 0;
    fake.shortIoAt = fake.ioCalls + 4; // kind word, count, entries, size word, body
    EXPECT_EQ(CAL_ERR_FILE, tableLoad(tf, "KZHT", 1201, 20));
    fake.shortIoAt = fake.ioCalls + 5;
    EXPECT_EQ(CAL_ERR_FILE, tableLoad(tf, "KZHT", 1201, 20));
    EXPECT_EQ(nullptr, tf->loadedBody);
    EXPECT_EQ(0, fake.outstandingAllocs);

    // A store whose directory walk runs out of memory reports a file failure.
    fake.shortIoAt = 0;
    ASSERT_EQ(0, tableLoad(tf, "KZHT", 1201, 20));
    fake.failAllocAt = fake.allocs + 1;
    EXPECT_EQ(CAL_ERR_FILE, tableStore(tf, "KZHT", 1201, 20));
    // Loading again without a release frees the earlier body first.
    fake.failAllocAt = 0;
    ASSERT_EQ(0, tableLoad(tf, "KZHT", 1201, 20));
    ASSERT_EQ(0, tableLoad(tf, "KZHT", 1201, 20));
    EXPECT_EQ(1, fake.outstandingAllocs);
}

// Between tableCacheBegin and tableCacheEnd each kind's directory is read
// once: a later table costs its size word and body, and a store changes
// the same bytes as without the kept directories.
TEST_F(TableFileTest, KeptDirectoriesAreReadOnceAndStoreTheSameBytes)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzdbTable(1000, kzfile::kzdbBody(2, {1201, 1203})), kzhtTable(1201, bodyOf(1, 32)),
                       kzhtTable(1203, bodyOf(3, 48))};
    writeFile(fileDesc);
    openTableFile();
    TableFile *tf = &ctx.table.tableFile;
    tableCacheBegin(tf);
    for (uint16_t id : {1201, 1203}) {
        const long before = fake.fileOps;
        ASSERT_EQ(0, tableLoad(tf, "KZHT", id, 20));
        if (id == 1203) {
            EXPECT_EQ(3, fake.fileOps - before) << "seek, size word, body";
        }
        std::memset(tf->loadedBody, id & 0xFF, static_cast<size_t>(tf->loadedSize));
        const long beforeStore = fake.fileOps;
        ASSERT_EQ(0, tableStore(tf, "KZHT", id, 20));
        EXPECT_EQ(3, fake.fileOps - beforeStore) << "seek, size word, body";
        tableRelease(tf);
    }
    // A table the kept directory does not list is not listed.
    EXPECT_EQ(CAL_ERR_FILE, tableLoad(tf, "KZHT", 1205, 20));
    EXPECT_EQ(1, tf->request.notListed);
    tableCacheEnd(tf);
    EXPECT_EQ(0, fake.outstandingAllocs);
    closeTableFile();

    Bytes want = written;
    kzfile::FileInfo info;
    ASSERT_TRUE(kzfile::inspect(written, &info, nullptr));
    for (uint16_t id : {1201, 1203}) {
        const kzfile::EntryInfo *e = kzfile::findTable(info, 20, id);
        ASSERT_NE(nullptr, e);
        std::memset(want.data() + e->position + 4, id & 0xFF, id == 1201 ? 32 : 48);
    }
    EXPECT_EQ(want, readBack());
}

// A body written over the directory it was found through (a damaged file
// whose table covers its own directory) leaves the kept copy stale: the
// next table is found through the directory as the file now holds it,
// exactly as without kept directories.
TEST_F(TableFileTest, AStoreOverAKeptDirectoryIsFollowedByTheFile)
{
    FileDesc fileDesc;
    fileDesc.tables = {kzhtTable(1201, bodyOf(1, 16)), kzhtTable(1203, bodyOf(3, 16))};
    Bytes bytes = kzfile::buildFile(fileDesc);
    kzfile::FileInfo info;
    ASSERT_TRUE(kzfile::inspect(bytes, &info, nullptr));
    const uint32_t dirAt = info.kzhtDir.position;
    ASSERT_EQ(2, info.kzhtDir.count);
    ASSERT_GE(dirAt, 4u);
    // Table 1201 is the directory itself: its size word just before the
    // count, its body the count and both entries.
    setEntryPosition(bytes, 20, 1201, dirAt - 4);
    kzfile::putU32(bytes, dirAt - 4, 4 + 2 * 12);
    writeFile(bytes);

    for (bool kept : {false, true}) {
        writeFile(bytes);
        openTableFile();
        TableFile *tf = &ctx.table.tableFile;
        if (kept) {
            tableCacheBegin(tf);
        }
        ASSERT_EQ(0, tableLoad(tf, "KZHT", 1201, 20)) << kept;
        ASSERT_EQ(28, tf->loadedSize);
        std::memset(tf->loadedBody, 0, 4); // the directory's count
        ASSERT_EQ(0, tableStore(tf, "KZHT", 1201, 20)) << kept;
        tableRelease(tf);
        EXPECT_EQ(CAL_ERR_FILE, tableLoad(tf, "KZHT", 1203, 20)) << kept;
        EXPECT_EQ(1, tf->request.notListed) << kept;
        tableCacheEnd(tf);
        closeTableFile();
    }
}

// What the file's content rules out (malformed) and what the host failed
// must never be taken for each other: the first lets a caller skip the
// table, the second must end the update.
class TableDamageTest : public TableFileTest {
protected:
    // Two databases and a curve table; the last table's body ends exactly at
    // the end of the file.
    Bytes good()
    {
        FileDesc fileDesc;
        fileDesc.tables = {kzdbTable(1000, bodyOf(0x11, 40)), kzdbTable(1001, bodyOf(0x12, 24)),
                           kzhtTable(1201, bodyOf(0x22, 32))};
        return kzfile::buildFile(fileDesc);
    }
    // Locates (id, tag) in bytes; expects CAL_ERR_FILE with only the
    // malformed flag and no allocation beyond the directory buffer.
    void expectMalformed(const Bytes &bytes, uint16_t id, int32_t tag, long maxAllocs, const char *what)
    {
        writeFile(bytes);
        openTableFile();
        long allocsBefore = fake.allocs;
        EXPECT_EQ(CAL_ERR_FILE, locate(id, tag)) << what;
        EXPECT_EQ(1, req.malformed) << what;
        EXPECT_EQ(0, req.notListed) << what;
        EXPECT_LE(fake.allocs - allocsBefore, maxAllocs) << what;
        EXPECT_EQ(0, fake.outstandingAllocs) << what;
        closeTableFile();
    }
};

TEST_F(TableDamageTest, WhatLiesPastTheEndOfTheFileIsMalformed)
{
    const Bytes file = good();
    const uint32_t end = static_cast<uint32_t>(file.size());
    kzfile::FileInfo info;
    ASSERT_TRUE(kzfile::inspect(file, &info, nullptr));

    // Too short for the directory's header word.
    for (size_t cut : {0, 3, 8, 11}) {
        expectMalformed(Bytes(file.begin(), file.begin() + cut), 1000, 8, 0, "cut before word 8");
    }
    for (size_t cut : {12, 20, 23}) {
        expectMalformed(Bytes(file.begin(), file.begin() + cut), 1201, 20, 0, "cut before word 20");
    }

    // The directory itself at or past the end, straddling it, or negative.
    for (uint32_t pos : {end, end - 2, end + 100, 0xFFFFFFF0u, 0x80000000u}) {
        Bytes b = file;
        kzfile::putU32(b, 8, pos);
        expectMalformed(b, 1000, 8, 0, "directory position");
    }
    // The table position at or past the end, straddling it, or negative.
    for (uint32_t pos : {end, end - 2, end + 4, 0xFFFFFFFCu}) {
        Bytes b = file;
        setEntryPosition(b, kzfile::kTagKzdb, 1001, pos);
        expectMalformed(b, 1001, 8, 1, "table position");
    }
    // A body one byte longer than what is left, or a negative size.
    for (uint32_t size : {33u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFF94u}) {
        Bytes b = file;
        kzfile::putU32(b, info.kzhtDir.entries[0].position, size);
        expectMalformed(b, 1201, 20, 1, "size word");
    }
    // The last body cut by one byte.
    expectMalformed(Bytes(file.begin(), file.end() - 1), 1201, 20, 1, "cut body");

    // The same file whole: every table is found, the last one to the end.
    writeFile(file);
    openTableFile();
    EXPECT_EQ(40, locate(1000, 8));
    EXPECT_EQ(24, locate(1001, 8));
    EXPECT_EQ(32, locate(1201, 20));
    EXPECT_EQ(0, req.malformed);
    EXPECT_EQ(0, req.notListed);
}

TEST_F(TableDamageTest, HostFailuresAreNeverTakenForDamage)
{
    writeFile(good());
    openTableFile();
    fake.resetCounts();
    ASSERT_EQ(32, locate(1201, 20));
    const long fileOps = fake.fileOps, ioCalls = fake.ioCalls;
    ASSERT_GE(fileOps, 6); // size, then seek and read of the word, count, entries and size word
    for (long n = 1; n <= fileOps; ++n) {
        fake.resetCounts();
        fake.failFileOpAt = n;
        EXPECT_EQ(CAL_ERR_FILE, locate(1201, 20)) << "file operation " << n;
        EXPECT_EQ(0, req.malformed) << "file operation " << n;
        EXPECT_EQ(0, req.notListed) << "file operation " << n;
    }
    for (long n = 1; n <= ioCalls; ++n) {
        fake.resetCounts();
        fake.shortIoAt = n;
        EXPECT_EQ(CAL_ERR_FILE, locate(1201, 20)) << "short read " << n;
        EXPECT_EQ(0, req.malformed) << "short read " << n;
        EXPECT_EQ(0, req.notListed) << "short read " << n;
    }
    fake.resetCounts();
    fake.failAllocAt = 1; // the directory buffer
    EXPECT_EQ(CAL_ERR_NO_MEMORY, locate(1201, 20));
    EXPECT_EQ(0, req.malformed);
}

} // namespace
