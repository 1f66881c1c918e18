// calibmod-cli tests: directories for the check and repair tests.
#include "check_fixture.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "calibmod.h"
#include "sample_build.h"

namespace {

std::basic_string<KZ_WCHAR> wide(const std::string &s)
{
    return std::basic_string<KZ_WCHAR>(s.begin(), s.end());
}

} // namespace

void CalibDirTest::SetUp()
{
    char tmpl[] = "/tmp/calibmod-cli-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root = tmpl;
    sourceDir = root + "/source";
    calibDir = root + "/calib";
    ASSERT_EQ(system(("mkdir -p '" + sourceDir + "' '" + calibDir + "'").c_str()), 0);
    sample = sample::build(sample::Options());
    std::string error;
    ASSERT_TRUE(kzfile::writeFile(sourceDir + "/Table0.dat", sample, &error)) << error;
}

void CalibDirTest::TearDown()
{
    if (!root.empty()) {
        EXPECT_EQ(system(("rm -rf '" + root + "'").c_str()), 0);
    }
}

int CalibDirTest::calibrate(int32_t param1, std::string *name, int16_t listNumber)
{
    CalibRequest request{listNumber, 1, param1, 0, 0};
    CalibNames names;
    std::memset(&names, 0, sizeof names);
    std::strcpy(names.sourceName, "Table0.dat");
    std::memcpy(names.listPrefix, "calib", 5);
    const int16_t ids[6] = {-3, -3, -3, -3, 0, 0};
    int rc = KZCalibration(&request, &names, ids, wide(sourceDir).c_str(), wide(calibDir).c_str());
    if (name) {
        *name = std::string(names.resultName, strnlen(names.resultName, sizeof names.resultName));
    }
    return rc;
}

cli::DirReport CalibDirTest::scan()
{
    cli::DirReport r;
    std::string error;
    EXPECT_TRUE(cli::scanDirectory(calibDir, sourceDir, &r, &error)) << error;
    return r;
}

void CalibDirTest::repairAndRebuild(std::initializer_list<int32_t> keys)
{
    cli::RepairResult fixed = cli::repairDirectory(scan());
    EXPECT_FALSE(fixed.failed);
    for (int32_t k : keys) {
        EXPECT_EQ(calibrate(k), CAL_OK) << "key " << k;
    }
    cli::DirReport after = scan();
    EXPECT_EQ(after.problems, 0) << entryProblems(after);
    EXPECT_TRUE(after.orphans.empty());
    EXPECT_TRUE(after.temporaries.empty());
}

std::string CalibDirTest::read(const std::string &name) const
{
    std::ifstream in(calibPath(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void CalibDirTest::write(const std::string &name, const std::string &text) const
{
    std::ofstream out(calibPath(name), std::ios::binary | std::ios::trunc);
    out << text;
}

std::string entryProblems(const cli::DirReport &r)
{
    std::string out;
    for (const cli::ListReport &l : r.lists) {
        for (const cli::EntryReport &e : l.entries) {
            std::string p = e.copy.verdict != cli::COPY_HEALTHY ? cli::verdictName(e.copy.verdict) : "";
            if (e.duplicateName) {
                p += std::string(p.empty() ? "" : "+") + "duplicate_name";
            }
            if (e.duplicateKey) {
                p += std::string(p.empty() ? "" : "+") + "duplicate_key";
            }
            if (e.wrongList) {
                p += std::string(p.empty() ? "" : "+") + "wrong_list";
            }
            if (!e.line.read) {
                p += std::string(p.empty() ? "" : "+") + "unread";
            }
            if (!p.empty()) {
                out += (out.empty() ? "" : " ") + std::to_string(e.line.number) + ":" + p;
            }
        }
        for (const cli::ListLine &b : l.badLines) {
            if (!b.wellFormed) {
                out += (out.empty() ? "" : " ") + std::to_string(b.number) + ":malformed";
            }
        }
    }
    return out;
}
