// Failing every allocation and every file operation, one at a time, over the
// decision and the list update: each gives its specified code and leaves no
// buffer and no open file behind.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cal_call.h"
#include "cal_types.h"
#include "calib_flow.h"
#include "list_file.h"
#include "fake_platform.h"
#include "list_file.h"
#include "temp_dir.h"

namespace {

enum class Fault {
    Alloc,
    FileOp,
    ShortIo
};

void arm(FakePlatform &fake, Fault fault, long n)
{
    fake.resetCounts();
    switch (fault) {
    case Fault::Alloc:
        fake.failAllocAt = n;
        break;
    case Fault::FileOp:
        fake.failFileOpAt = n;
        break;
    case Fault::ShortIo:
        fake.shortIoAt = n;
        break;
    }
}

// True once the n-th fault lies beyond what the run did.
bool passed(const FakePlatform &fake, Fault fault, long n)
{
    switch (fault) {
    case Fault::Alloc:
        return fake.allocs < n;
    case Fault::FileOp:
        return fake.fileOps < n;
    case Fault::ShortIo:
        return fake.ioCalls < n;
    }
    return true;
}

const char *kFound = "1,0,0,0,a1.dat\r\n7,1,2,3,Table4.dat\r\n";
const char *kOther = "1,0,0,0,a1.dat\r\n2,0,0,0,table1.dat\r\n";

struct DecideCase {
    const char *name;
    const char *list; // null: no list file
    int16_t state;    // the state without faults
};

class DecideSweep : public ::testing::TestWithParam<DecideCase> {};

TEST_P(DecideSweep, AllocationFailures)
{
    const DecideCase &k = GetParam();
    TempDir dir;
    if (k.list) {
        dir.write("abcde007.ini", k.list);
    }
    FakePlatform fake;
    int noMemory = 0;
    for (long n = 1;; ++n) {
        arm(fake, Fault::Alloc, n);
        std::unique_ptr<CalCall> c(new CalCall(fake.platform(), dir.wide()));
        int16_t rc = listDecide(&c->ctx.list);
        EXPECT_EQ(fake.openHandles, 0) << "alloc " << n;
        EXPECT_EQ(fake.outstandingAllocs, c->ctx.list.entries ? 1 : 0) << "alloc " << n;
        if (passed(fake, Fault::Alloc, n)) {
            EXPECT_EQ(rc, CAL_OK);
            EXPECT_EQ(c->ctx.list.state, k.state);
            break;
        }
        if (rc == CAL_ERR_NO_MEMORY) {
            ++noMemory; // whatever the context still holds is freed with it (checked below)
        } else if (rc == CAL_ERR_FILE) {
            // A path buffer: the list or the directory cannot be read. Never
            // taken for "no list": the entries stay.
            EXPECT_EQ(c->ctx.list.state, CAL_STATE_NONE) << "alloc " << n;
        } else {
            // A name probe in doubt: the candidate counts as taken.
            ASSERT_EQ(rc, CAL_OK) << "alloc " << n;
            EXPECT_EQ(c->ctx.list.state, k.state) << "alloc " << n;
        }
        c.reset();
        EXPECT_EQ(fake.outstandingAllocs, 0);
    }
    // The list text, the entry array and the buffer for other lists (when a
    // name is allocated) are the allocations that end the call.
    EXPECT_EQ(noMemory, (k.list && *k.list ? 2 : 0) + (k.state != CAL_STATE_FOUND ? 1 : 0));
}

TEST_P(DecideSweep, FileOperationFailures)
{
    const DecideCase &k = GetParam();
    TempDir dir;
    if (k.list) {
        dir.write("abcde007.ini", k.list);
    }
    FakePlatform fake;
    for (Fault fault : {Fault::FileOp, Fault::ShortIo}) {
        for (long n = 1;; ++n) {
            arm(fake, fault, n);
            std::unique_ptr<CalCall> c(new CalCall(fake.platform(), dir.wide()));
            int16_t rc = listDecide(&c->ctx.list);
            EXPECT_EQ(fake.openHandles, 0) << "op " << n;
            EXPECT_EQ(fake.outstandingAllocs, c->ctx.list.entries ? 1 : 0) << "op " << n;
            if (passed(fake, fault, n)) {
                EXPECT_EQ(rc, CAL_OK);
                EXPECT_EQ(c->ctx.list.state, k.state);
                break;
            }
            // A failure to open or read the list, or to read the directory,
            // ends the decision; any other (a name probe) leaves a candidate
            // taken. A list that is there is never taken for none.
            if (rc == CAL_OK) {
                EXPECT_EQ(c->ctx.list.state, k.state) << "op " << n;
            } else {
                EXPECT_EQ(rc, CAL_ERR_FILE) << "op " << n;
                EXPECT_EQ(c->ctx.list.state, CAL_STATE_NONE) << "op " << n;
            }
            // Reading the list takes three operations (name, open, read).
            if (fault == Fault::FileOp && n <= 3) {
                EXPECT_EQ(rc, CAL_ERR_FILE) << "op " << n;
            }
            c.reset();
            EXPECT_EQ(fake.outstandingAllocs, 0);
        }
    }
    EXPECT_EQ(fake.writes, 0) << "the decision writes nothing";
}

INSTANTIATE_TEST_SUITE_P(Lists, DecideSweep,
                         ::testing::Values(DecideCase{"NoList", nullptr, CAL_STATE_NEW_LIST},
                                           DecideCase{"Found", kFound, CAL_STATE_FOUND},
                                           DecideCase{"NewEntry", kOther, CAL_STATE_NEW_ENTRY},
                                           DecideCase{"Malformed", "1,2,3\r\n", CAL_STATE_NEW_LIST}),
                         [](const ::testing::TestParamInfo<DecideCase> &i) { return std::string(i.param.name); });

struct UpdateCase {
    const char *name;
    const char *list;
    bool rewrite; // the decision drops an entry
};

std::string fullList()
{
    std::string text;
    const char *c = "123456789abcdefghijklmnopqrstuvwxyz";
    for (int i = 0; c[i]; ++i) {
        text += "9," + std::to_string(i) + ",0,0,table" + std::string(1, c[i]) + ".dat\r\n";
    }
    return text;
}

class UpdateSweep : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(UpdateSweep, EveryFailureIsAFileError)
{
    const UpdateCase &k = GetParam();
    std::string list = k.list ? k.list : fullList();
    FakePlatform fake;
    for (Fault fault : {Fault::Alloc, Fault::FileOp, Fault::ShortIo}) {
        for (long n = 1;; ++n) {
            TempDir dir;
            dir.write("abcde007.ini", list);
            CalCall c(fake.platform(), dir.wide());
            fake.resetCounts(); // no fault in the decision
            ASSERT_EQ(listDecide(&c.ctx.list), CAL_OK);
            bool drops = false;
            for (int i = 0; i < c.ctx.list.entryCount; ++i) {
                drops = drops || c.ctx.list.entries[i].lineNo == CAL_LINE_DROPPED;
            }
            ASSERT_EQ(drops, k.rewrite);

            arm(fake, fault, n);
            int16_t rc = listUpdate(&c.ctx.list);
            EXPECT_EQ(fake.openHandles, 0) << "fault " << n;
            EXPECT_EQ(fake.outstandingAllocs, c.ctx.list.entries ? 1 : 0) << "fault " << n;
            if (passed(fake, fault, n)) {
                EXPECT_EQ(rc, CAL_OK);
                break;
            }
            std::string after = dir.read("abcde007.ini");
            if (rc == CAL_OK) {
                // Only a kept line of a rewrite may fail without failing the
                // update: the copying of kept lines ends, the new line is written.
                EXPECT_TRUE(k.rewrite) << "fault " << n;
                EXPECT_NE(fault, Fault::Alloc) << "fault " << n;
                EXPECT_EQ(after.substr(after.size() - 20), "7,1,2,3,table1.dat\r\n") << "fault " << n;
            } else {
                EXPECT_EQ(rc, CAL_ERR_FILE) << "fault " << n;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, UpdateSweep,
                         ::testing::Values(UpdateCase{"NewList", "", false}, UpdateCase{"Append", kOther, false},
                                           UpdateCase{"AppendAfterOpenLine", "1,0,0,0,a1.dat", false},
                                           UpdateCase{"Rewrite", nullptr, true}),
                         [](const ::testing::TestParamInfo<UpdateCase> &i) { return std::string(i.param.name); });

} // namespace
