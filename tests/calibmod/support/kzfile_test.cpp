// The calibration data file writer and reader used by tests and tools.
#include <gtest/gtest.h>

#include "kz_read.h"

namespace {

using kzfile::Bytes;

kzfile::FileDesc fileDesc(bool shared)
{
    kzfile::FileDesc s;
    s.sharedDirectory = shared;
    kzfile::Table db{kzfile::kTagKzdb, 1005, kzfile::kzdbBody(2, {1201, -2})};
    kzfile::Table plain{kzfile::kTagKzht, 1201, kzfile::plainBody({kzfile::rampCurve(0, 16), kzfile::rampCurve(1, 2)})};
    std::vector<kzfile::TaggedPlane> planes(1);
    planes[0].slot = 3;
    planes[0].curve = kzfile::rampCurve(0, 3);
    kzfile::Table tagged{kzfile::kTagKzht, 1218, kzfile::taggedBody(kzfile::standardItems(1), planes)};
    s.tables = {db, plain, tagged};
    return s;
}

TEST(KzFile, WritesWhatItReads)
{
    for (bool shared : {false, true}) {
        Bytes file = kzfile::buildFile(fileDesc(shared));
        kzfile::FileInfo info;
        ASSERT_TRUE(kzfile::inspect(file, &info, nullptr));
        EXPECT_EQ("KZ-CAL SAMPLE 1", info.ident);
        EXPECT_EQ(shared, info.kzdbDirPosition == info.kzhtDirPosition);
        const kzfile::EntryInfo *db = kzfile::findTable(info, kzfile::kTagKzdb, 1005);
        ASSERT_NE(nullptr, db);
        EXPECT_EQ((std::vector<int32_t>{1201, -2}), kzfile::inspectKzdb(file, *db).kzhtIds);
        const kzfile::EntryInfo *tagged = kzfile::findTable(info, kzfile::kTagKzht, 1218);
        ASSERT_NE(nullptr, tagged);
        kzfile::KzhtInfo h = kzfile::inspectKzht(file, *tagged);
        EXPECT_TRUE(h.tagged && h.wellFormed);
        ASSERT_EQ(1u, h.curves.size());
        EXPECT_EQ(3, h.curves[0].slot);
        EXPECT_EQ(kzfile::rampCurve(0, 3), kzfile::curveAt(file, h.curves[0].offset));
        std::string text = kzfile::describe(file);
        EXPECT_NE(std::string::npos, text.find("KZDB 1005: layout 2, 2 records, KZHT ids 1201 -2")) << text;
        EXPECT_NE(std::string::npos, text.find("KZHT 1201: plain, 2 curves")) << text;
        EXPECT_NE(std::string::npos, text.find("KZHT 1218: tagged, 3 items, 1 curves; slot 3 ends 765")) << text;
    }
}

TEST(KzFile, ReaderStaysInsideTruncatedFiles)
{
    Bytes file = kzfile::buildFile(fileDesc(false));
    for (size_t n = 0; n < file.size(); ++n) {
        Bytes cut(file.begin(), file.begin() + n);
        std::string text = kzfile::describe(cut); // must not read past the end
        EXPECT_FALSE(text.empty());
    }
}

} // namespace
