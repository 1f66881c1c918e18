// Fault sweeps over whole KZCalibration calls, one per state: the n-th
// allocation, the n-th file operation or the n-th read or write coming up
// short, for every n until the call runs clean. Every outcome is a specified
// code with the caller's name on failure, nothing stays allocated or open,
// the source is never written, the list holds complete lines, and a later
// clean call always ends with a correctly calibrated copy.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "cal_types.h"
#include "fake_platform.h"
#include "flow_fixture.h"

namespace {

using kzfile::Bytes;

enum class Fault {
    Alloc,
    FileOp,
    ShortIo
};

struct SweepCase {
    const char *name;
    std::function<void(FlowScene &)> prepare; // brings the scene to its state
    bool shortIo;                             // also sweep short reads and writes
};

// Test names and failure messages show the case by its name.
void PrintTo(const SweepCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string similarList()
{
    std::string list;
    const char *c = "123456789abcdefghijklmnopqrstuvwxyz";
    for (int i = 0; c[i]; ++i) {
        list += "9," + std::to_string(i) + ",0,0,table" + std::string(1, c[i]) + ".dat\r\n";
    }
    return list;
}

void cleanCall(FlowScene &s)
{
    ASSERT_EQ(CAL_OK, s.call());
}

const SweepCase kCases[] = {
    {"NewList", [](FlowScene &) {}, false},
    {"NewEntry", [](FlowScene &s) { s.calib.write("abcde007.ini", "9,0,0,0,other1.dat\r\n"); }, true},
    {"NewEntryRecycled", [](FlowScene &s) { s.calib.write("abcde007.ini", similarList()); }, false},
    {"MalformedList", [](FlowScene &s) { s.calib.write("abcde007.ini", "1,2,3\r\n"); }, false},
    {"Found", [](FlowScene &s) { cleanCall(s); }, true},
    {"RefreshMissing",
     [](FlowScene &s) {
         cleanCall(s);
         s.calib.remove("table1.dat");
     },
     false},
    {"RefreshStale",
     [](FlowScene &s) {
         cleanCall(s);
         s.writeSource(flowSource("KZ-CAL 2"));
     },
     true},
};

class FlowSweep : public ::testing::TestWithParam<SweepCase> {};

void arm(FakePlatform &fake, Fault fault, long n)
{
    fake.resetCounts();
    if (fault == Fault::Alloc) {
        fake.failAllocAt = n;
    }
    if (fault == Fault::FileOp) {
        fake.failFileOpAt = n;
    }
    if (fault == Fault::ShortIo) {
        fake.shortIoAt = n;
    }
}

bool passed(const FakePlatform &fake, Fault fault, long n)
{
    if (fault == Fault::Alloc) {
        return fake.allocs < n;
    }
    if (fault == Fault::FileOp) {
        return fake.fileOps < n;
    }
    return fake.ioCalls < n;
}

TEST_P(FlowSweep, EveryFaultEndsInAUsableState)
{
    const SweepCase &k = GetParam();
    Bytes expected; // the same source in every run
    for (Fault fault : {Fault::Alloc, Fault::FileOp, Fault::ShortIo}) {
        if (fault == Fault::ShortIo && !k.shortIo) {
            continue;
        }
        int failures = 0;
        for (long n = 1;; ++n) {
            std::unique_ptr<FlowScene> s(new FlowScene);
            s->writeSource(flowSource("KZ-CAL 1"));
            k.prepare(*s);
            const Bytes source = s->sourceBytes();
            if (expected.empty()) {
                expected = s->expected();
            }
            const std::vector<std::string> sourceFiles = s->source.list();
            const std::string listBefore = s->list();

            FakePlatform fake;
            arm(fake, fault, n);
            int16_t rc = s->callOn(fake.platform());
            bool clean = passed(fake, fault, n);
            std::string at =
                std::string(k.name) + " fault " + std::to_string(static_cast<int>(fault)) + " n " + std::to_string(n);

            EXPECT_TRUE(rc == CAL_OK || rc == CAL_ERR_NO_MEMORY || rc == CAL_ERR_FILE) << at << " rc " << rc;
            EXPECT_EQ(0, fake.outstandingAllocs) << at;
            EXPECT_EQ(0, fake.openHandles) << at;
            EXPECT_EQ(source, s->sourceBytes()) << at;
            EXPECT_EQ(sourceFiles, s->source.list()) << at;
            std::string listAfter = s->list();
            if (fault != Fault::ShortIo) {
                EXPECT_TRUE(listAfter == listBefore || completeLines(listAfter)) << at << ": " << listAfter;
            }
            if (rc == CAL_OK) {
                EXPECT_EQ(expected, s->calibFile(s->result())) << at << " copy " << s->result();
            } else {
                ++failures;
                EXPECT_EQ(s->sourceNameBytes(), s->resultBytes()) << at;
            }
            if (clean) {
                EXPECT_EQ(CAL_OK, rc) << at;
                break;
            }
            // Whatever the fault left behind, the next call ends with a
            // current, correctly calibrated copy.
            int16_t next = s->call();
            EXPECT_EQ(CAL_OK, next) << at;
            if (next == CAL_OK) {
                EXPECT_EQ(expected, s->calibFile(s->result())) << at << " then " << s->result();
            }
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
        if (fault == Fault::Alloc) {
            EXPECT_GT(failures, 0) << k.name << ": the context allocation at least fails the call";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(States, FlowSweep, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SweepCase> &i) { return std::string(i.param.name); });

} // namespace
