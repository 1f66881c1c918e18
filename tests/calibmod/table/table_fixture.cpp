// Shared setup of the table tests.
#include "table_fixture.h"

#include "builtin_curves.h"
#include "file_layer.h"

void TableTest::SetUp()
{
    contextInit(&ctx, fake.platform(), &request, &names, adjustIds, dir.wide(), dir.wide());
    std::snprintf(ctx.list.chosenName, sizeof ctx.list.chosenName, "%s", fileName.c_str());
}

void TableTest::writeFile(const kzfile::Bytes &bytes)
{
    written = bytes;
    dir.write(fileName, std::string(bytes.begin(), bytes.end()));
}

kzfile::Bytes TableTest::readBack() const
{
    std::string s = dir.read(fileName);
    return kzfile::Bytes(s.begin(), s.end());
}

void TableTest::openTableFile()
{
    ASSERT_EQ(0, fileOpenForUpdate(&ctx.table.tableFile.file, dir.wide(), fileName.c_str()));
}

void TableTest::closeTableFile()
{
    fileClose(&ctx.table.tableFile.file);
}

void TableTest::setIds(int16_t a, int16_t b, int16_t c, int16_t d)
{
    adjustIds[0] = a;
    adjustIds[1] = b;
    adjustIds[2] = c;
    adjustIds[3] = d;
}

kzfile::Curve builtIn(int32_t tableId, int16_t id, int16_t curveNumber)
{
    const BuiltInTableList *list = builtInTables();
    for (int16_t t = 0; t < list->count; ++t) {
        const BuiltInTable &table = list->tables[t];
        if (table.tableId != tableId) {
            continue;
        }
        for (int16_t g = 0; g < table.groupCount; ++g) {
            if (*table.groups[g].adjustId != id) {
                continue;
            }
            const int16_t *c = builtInGroupCurve(&table.groups[g], curveNumber);
            if (c) {
                return kzfile::Curve(c, c + BUILTIN_CURVE_ENTRIES);
            }
        }
    }
    ADD_FAILURE() << "no built-in curve " << tableId << "/" << id << "/" << curveNumber;
    return kzfile::Curve(BUILTIN_CURVE_ENTRIES, 0);
}

kzfile::Curve planeCurve(int n)
{
    return kzfile::rampCurve(static_cast<int16_t>(0x0101 * (n + 1)), 3);
}

kzfile::Table kzdbTable(uint16_t id, kzfile::Bytes body)
{
    kzfile::Table t;
    t.tag = kzfile::kTagKzdb;
    t.id = id;
    t.body = std::move(body);
    return t;
}

kzfile::Table kzhtTable(uint16_t id, kzfile::Bytes body)
{
    kzfile::Table t;
    t.tag = kzfile::kTagKzht;
    t.id = id;
    t.body = std::move(body);
    return t;
}

void setEntryPosition(kzfile::Bytes &file, uint32_t tag, uint16_t id, uint32_t position)
{
    kzfile::FileInfo info;
    ASSERT_TRUE(kzfile::inspect(file, &info, nullptr));
    const kzfile::DirectoryInfo &d = tag == kzfile::kTagKzdb ? info.kzdbDir : info.kzhtDir;
    for (size_t i = 0; i < d.entries.size(); ++i) {
        if (d.entries[i].tag != tag || d.entries[i].id != id) {
            continue;
        }
        kzfile::putU32(file, d.position + 4 + 12 * i + 8, position);
        return;
    }
    ADD_FAILURE() << "no entry " << tag << "/" << id;
}
