// Boundaries of KZCalibration that a one-line slip would move: an
// identification text that ends on the file's last byte, the names '.' and
// '..', and which allocation failures answer "no memory" rather than a file
// failure.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "cal_call.h"
#include "cal_types.h"
#include "copy.h"
#include "fake_platform.h"
#include "flow_fixture.h"
#include "temp_dir.h"

namespace {

using kzfile::Bytes;

// A file whose identification block is at byte 8: the length at 12, the
// text from 16 to the end of the file.
std::string identAtEnd(const std::string &text)
{
    Bytes b(16, 0);
    kzfile::putU32(b, 4, 8);
    kzfile::putU32(b, 12, static_cast<uint32_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    return std::string(b.begin(), b.end());
}

int16_t locate(const TempDir &dir, const std::string &name, IdentString *ident)
{
    FakePlatform fake;
    FileRef file;
    fileInit(&file, fake.platform());
    int16_t rc = fileOpenNamed(&file, dir.wide(), name.c_str(), CAL_MODE_READ);
    if (rc == CAL_OK) {
        rc = identLocate(&file, ident);
    }
    fileClose(&file);
    return rc;
}

TEST(IdentBoundary, TextEndingOnTheLastByteIsReadable)
{
    TempDir dir;
    const std::string whole = identAtEnd("KZ-CAL 1");
    dir.write("exact.dat", whole);
    dir.write("short.dat", whole.substr(0, whole.size() - 1));
    IdentString ident{-1, -1};
    EXPECT_EQ(locate(dir, "exact.dat", &ident), CAL_OK);
    EXPECT_EQ(ident.offset, 16);
    EXPECT_EQ(ident.length, 8);
    EXPECT_EQ(locate(dir, "short.dat", &ident), CAL_ERR_FILE) << "one byte of the text is missing";
}

// A copy whose identification ends on its last byte, like its source's, is
// current; with another text of the same length it is not.
TEST(IdentBoundary, CopyEndingOnItsIdentificationIsCurrent)
{
    TempDir source;
    TempDir calib;
    FakePlatform fake;
    source.write("Table0.dat", identAtEnd("KZ-CAL 1"));
    CalCall c(fake.platform(), calib.wide(), "Table0.dat", "abcde", source.wide());
    std::strcpy(c.ctx.list.chosenName, "Table1.dat");
    calib.write("Table1.dat", identAtEnd("KZ-CAL 1"));
    EXPECT_EQ(copyCurrency(&c.ctx.copy), CAL_EQUAL);
    calib.write("Table1.dat", identAtEnd("KZ-CAL 2"));
    EXPECT_EQ(copyCurrency(&c.ctx.copy), CAL_DIFFERENT);
    EXPECT_EQ(fake.openHandles, 0);
}

// '.' and '..' are refused as source names by the request check: the answer
// is CAL_ERR_REQUEST with the caller's name, and nothing is allocated or
// opened (the system is never asked what the name is).
TEST(NameBoundary, DotAndDotDotAreRefusedBeforeAnyFileIsTouched)
{
    for (const char *name : {"..", "."}) {
        FlowScene s(name);
        s.writeSource(flowSource("KZ-CAL 1")); // sourceDir/.. and . exist whatever
        FakePlatform fake;
        EXPECT_EQ(s.callOn(fake.platform()), CAL_ERR_REQUEST) << name;
        EXPECT_EQ(s.resultBytes(), s.sourceNameBytes()) << name;
        EXPECT_EQ(fake.allocs, 0) << name;
        EXPECT_EQ(fake.fileOps, 0) << name;
        EXPECT_TRUE(s.calib.list().empty()) << name;
    }
    // Names that only start with dots are files like any other.
    FlowScene s("..a.dat");
    s.writeSource(flowSource("KZ-CAL 1"));
    EXPECT_EQ(s.call(), CAL_OK);
}

struct MemoryCase {
    const char *name;
    std::function<void(FlowScene &)> prepare;
    int noMemory;           // allocations after the context whose failure answers CAL_ERR_NO_MEMORY
    bool systemCopy = true; // false: a host without a system copy (the copy goes through a chunk)
};

void PrintTo(const MemoryCase &c, std::ostream *os)
{
    *os << c.name;
}

// The context is the first allocation. After it, a path buffer that cannot
// be had is a file that cannot be reached: CAL_ERR_FILE. Every other
// allocation is working memory: the list's text and entry array, the buffer
// that new names are checked against, the copy's chunk (only where the
// system cannot copy), the table directories (read once per kind for the
// whole update, not once per table) and the tables the update loads; its
// failure answers CAL_ERR_NO_MEMORY. The counts are those working
// allocations along each state's path (a new one there adds to them).
const MemoryCase kMemoryCases[] = {
    {"NewList", [](FlowScene &) {}, 5},
    {"NewListNoSystemCopy", [](FlowScene &) {}, 6, false},
    {"NewEntry", [](FlowScene &s) { s.calib.write("abcde007.ini", "9,0,0,0,other1.dat\r\n"); }, 7},
    {"Found", [](FlowScene &s) { ASSERT_EQ(s.call(), CAL_OK); }, 2},
    {"RefreshStale",
     [](FlowScene &s) {
         ASSERT_EQ(s.call(), CAL_OK);
         s.writeSource(flowSource("KZ-CAL 2"));
     },
     6},
};

class MemoryBoundary : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryBoundary, EachAllocationFailureAnswersItsCode)
{
    const MemoryCase &k = GetParam();
    int noMemory = 0;
    int fileErrors = 0;
    for (long n = 1;; ++n) {
        std::unique_ptr<FlowScene> s(new FlowScene);
        s->writeSource(flowSource("KZ-CAL 1"));
        k.prepare(*s);
        FakePlatform fake;
        fake.failAllocAt = n;
        fake.noSystemCopyFrom = k.systemCopy ? 0 : 1;
        const int16_t rc = s->callOn(fake.platform());
        if (fake.allocs < n) {
            EXPECT_EQ(rc, CAL_OK);
            break;
        }
        if (n == 1) {
            EXPECT_EQ(rc, CAL_ERR_NO_MEMORY) << "the context";
        } else if (rc == CAL_ERR_NO_MEMORY) {
            ++noMemory;
        } else if (rc == CAL_ERR_FILE) {
            ++fileErrors;
        } else {
            EXPECT_EQ(rc, CAL_OK) << "allocation " << n;
        }
        if (rc != CAL_OK) {
            EXPECT_EQ(s->resultBytes(), s->sourceNameBytes()) << "allocation " << n;
        }
        EXPECT_EQ(fake.outstandingAllocs, 0) << "allocation " << n;
    }
    EXPECT_EQ(noMemory, k.noMemory);
    EXPECT_GT(fileErrors, 0) << "a path buffer";
}

INSTANTIATE_TEST_SUITE_P(States, MemoryBoundary, ::testing::ValuesIn(kMemoryCases),
                         [](const ::testing::TestParamInfo<MemoryCase> &i) { return std::string(i.param.name); });

} // namespace
