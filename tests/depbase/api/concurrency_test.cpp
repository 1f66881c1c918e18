// Every export of the shipped library from 8 threads at once, with mixed
// keys and records: each answer must equal the one the same query gave on a
// single thread. Built with the tsan preset (scripts/tsan) this also proves
// the exports share nothing writable.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "access.h"
#include "fake_platform.h"
#include "key_sweep.h"

namespace {

const char kPrinterName[] = "Concurrency Printer";

struct Query {
    uint16_t key;
    uint32_t database;
    ZMD_SettingsRecord record;
    uint32_t cbBuffer; // 0 with withBuffer false: a size query
    bool withBuffer;
    bool clockDependent; // the bytes change with the time of day; only the result and size must agree
};

struct Answer {
    int32_t rc = 0;
    uint32_t size = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const Answer &o) const { return rc == o.rc && size == o.size && bytes == o.bytes; }
};

Answer Ask(const Query &q)
{
    Answer a;
    std::vector<uint8_t> buf(q.withBuffer ? q.cbBuffer : 0, 0xA5);
    ZMD_SettingsRecord rec = q.record; // the exports never write the record; a copy per call keeps it so
    a.size = 0xFFFFFFFFu;
    a.rc = SweepExportOf(q.database)(q.key, &rec, q.cbBuffer, q.withBuffer ? buf.data() : nullptr, &a.size);
    if (a.rc == ZMD_OK && !q.clockDependent) {
        a.bytes.assign(buf.begin(), buf.begin() + std::min<size_t>(a.size, buf.size()));
    }
    return a;
}

class DepbaseConcurrency : public ::testing::Test {
protected:
    std::string dir;
    std::u16string printer = ToU16(kPrinterName);
    std::vector<SweepQuery> sweep;
    std::vector<Query> queries;
    int32_t noInts[1] = {0};
    ZMD_SettingsRecord bare{};

    void SetUp() override
    {
        char tmpl[] = "/tmp/zmd-concurrency-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        std::ofstream(dir + "/" + kPrinterName + ".conf") << "# a printer without a quiet window\n";
        setenv("ZMD_PRINTER_DIR", dir.c_str(), 1);

        const ZMD_WCHAR *name = reinterpret_cast<const ZMD_WCHAR *>(printer.c_str());
        std::vector<uint8_t> big(64 * 1024);
        sweep = BuildSweep(ZMD_ShippedImage(), [&](uint16_t key, uint32_t db, ZMD_SettingsRecord *rec) {
            ZMD_SettingsRecord named = *rec;
            named.pwszPrinterName = name;
            uint32_t size = 0;
            return SweepExportOf(db)(key, &named, static_cast<uint32_t>(big.size()), big.data(), &size);
        });
        ASSERT_FALSE(sweep.empty());

        const ZMD_ImageView *image = ZMD_ShippedImage();
        for (SweepQuery &s : sweep) {
            s.record.pwszPrinterName = name;
            const bool clock = SweepTreeHas(image, s.key, [&](ZMD_Node n) {
                return ZMD_NodeKindOf(n.w0) == ZMD_KIND_COMPUTED && ZMD_NodeHigh(n.w1) == s.key &&
                       ZMD_NodeLow(n.w1) == 5;
            });
            queries.push_back({s.key, s.database, s.record, 64 * 1024, true, clock});
            queries.push_back({s.key, s.database, s.record, 0, false, clock}); // size query
            queries.push_back({s.key, s.database, s.record, 1, true, clock});  // too small (mostly)
            ZMD_SettingsRecord noPrinter = s.record;
            noPrinter.pwszPrinterName = nullptr;
            queries.push_back({s.key, s.database, noPrinter, 64 * 1024, true, clock});
            ZMD_SettingsRecord shortRecord = s.record; // settings missing: BAD_*_SETTING on most trees
            shortRecord.cInts = shortRecord.cInts > 0 ? 1 : 0;
            shortRecord.cStrings = 0;
            queries.push_back({s.key, s.database, shortRecord, 64 * 1024, true, clock});
        }
        // Keys outside the ranges, gaps in them, and a record with no settings.
        bare.cInts = 1;
        bare.pnInts = noInts;
        for (uint32_t db = ZMD_DB_ROOT; db <= ZMD_DB_SM; ++db) {
            for (uint16_t key : {0x0000, 0x0FFF, 0x1000, 0x1FFF, 0x2FFF, 0x3FFF, 0x4FFF, 0x5008, 0x6FFF, 0x7001}) {
                queries.push_back({key, db, bare, 64, true, false});
            }
        }
    }

    void TearDown() override
    {
        unsetenv("ZMD_PRINTER_DIR");
        std::remove((dir + "/" + kPrinterName + ".conf").c_str());
        rmdir(dir.c_str());
    }
};

TEST_F(DepbaseConcurrency, EightThreadsAnswerAsOneThreadDoes)
{
    std::vector<Answer> expected;
    for (const Query &q : queries) {
        expected.push_back(Ask(q));
    }
    // Answers that carry the time of day (the clock part of a command
    // sequence) change from one second to the next: asked again a second
    // later they show, and only their result and size are compared.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    for (size_t i = 0; i < queries.size(); ++i) {
        if (!(Ask(queries[i]) == expected[i])) {
            queries[i].clockDependent = true;
            expected[i] = Ask(queries[i]);
        }
    }

    const int kThreads = 8;
    const int kPasses = 6;
    std::atomic<int> mismatches{0};
    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread walks the queries with its own stride, so that
            // threads meet different keys and databases at the same moment.
            const size_t n = queries.size();
            const size_t stride = 1 + 2 * static_cast<size_t>(t);
            for (int pass = 0; pass < kPasses; ++pass) {
                for (size_t i = 0; i < n; ++i) {
                    const size_t at = (i * stride + static_cast<size_t>(t) * 7) % n;
                    if (!(Ask(queries[at]) == expected[at])) {
                        ++mismatches;
                    }
                    ++calls;
                }
            }
        });
    }
    for (auto &th : threads) {
        th.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(calls.load(), kThreads * kPasses * static_cast<int>(queries.size()));
}

} // namespace
