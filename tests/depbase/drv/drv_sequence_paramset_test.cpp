// Command sequences and the parameter set of the driver database.
#include <vector>

#include "drv_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SequenceTest : public DrvTest {
protected:
    void SetUp() override
    {
        DrvTest::SetUp();
        r.ints[5] = 1;
        r.ints[29] = 10000;
        r.ints[30] = 15000;
    }
};

const Bytes kSequence1019 = {0x1B, 0x28, 0x62, 0x01, 0x00, 0x01, // fixed part
                             0xA1,                               // chosen by setting 5
                             0x1B, 0x28, 0x70, 0x08, 0x00, 0x01, 0x50, 0x00,
                             0x00, 0x00, 0xDD, 0x00, 0x00, 0x6C, 0x34}; // the WHEN part, its value not compared

TEST_F(SequenceTest, PartsInOrderWithTheSizeProtocol)
{
    uint32_t size = 0;
    EXPECT_EQ(query(0x1019, 0, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, kSequence1019.size());

    Bytes small(kSequence1019.size() - 1, 0xEE);
    size = 0;
    EXPECT_EQ(query(0x1019, static_cast<uint32_t>(small.size()), small.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, kSequence1019.size());
    EXPECT_EQ(small, Bytes(small.size(), 0xEE));

    Bytes buf(100, 0xEE);
    size = 0;
    ASSERT_EQ(query(0x1019, 100, buf.data(), &size), ZMD_OK);
    ASSERT_EQ(size, kSequence1019.size());
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + size), kSequence1019);
    EXPECT_EQ(buf[size], 0xEE);

    // A part that yields nothing is left out.
    r.ints[5] = 2;
    ASSERT_EQ(query(0x1019, 100, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, kSequence1019.size() - 1);
    r.ints[5] = 3;
    ASSERT_EQ(query(0x1019, 100, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, kSequence1019.size() + 1);
    EXPECT_EQ(buf[6], 0xC3);
    EXPECT_EQ(buf[7], 0xC3);
}

TEST_F(SequenceTest, NullBufferIsASizeQueryWhateverItsClaimedSize)
{
    uint32_t size = 0;
    EXPECT_EQ(query(0x1019, 0xFFFFFFFFu, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, kSequence1019.size());
    // An empty sequence too.
    size = 7;
    EXPECT_EQ(query(0x101A, 1000, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 0u);
}

TEST_F(SequenceTest, AllPartsEmptyGivesNothing)
{
    Bytes buf(8, 0xEE);
    uint32_t size = 7;
    EXPECT_EQ(query(0x101A, 8, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buf, Bytes(8, 0xEE));
    EXPECT_EQ(query(0x101A, 0, buf.data(), &size), ZMD_OK);
    r.ints[5] = 99;
    EXPECT_EQ(query(0x101A, 8, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(buf[0], 0x99);
}

TEST_F(SequenceTest, PrinterDataAndClockParts)
{
    fake.localTime = ZMD_LocalTime{2026, 12, 7, 3, 9, 41};
    r.rec.hPrinter = fake.addPrinter("P");
    fake.setDword("P", "XvnUI_CustomECPMode", 0);
    Bytes buf(200, 0);
    uint32_t size = 0;
    fake.timeCalls = 0;
    ASSERT_EQ(query(0x1018, 200, buf.data(), &size), ZMD_OK);
    ASSERT_EQ(size, 66u);
    EXPECT_EQ(buf[65], 'N');
    EXPECT_EQ(std::string(buf.begin() + 43, buf.begin() + 57), "20261207030941");
    EXPECT_EQ(fake.timeCalls, 1) << "one reading of the clock answers the query";
    EXPECT_EQ(query(0x1018, 0, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 66u);
    EXPECT_EQ(fake.timeCalls, 2);

    fake.setDword("P", "XvnUI_CustomECPMode", 1);
    ASSERT_EQ(query(0x1018, 200, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 68u);
    fake.removeValue("P", "XvnUI_CustomECPMode");
    ASSERT_EQ(query(0x1018, 200, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 68u) << "no stored value: the default case";

    // A part that fails ends the query with its code; the slots are freed (TearDown).
    r.rec.hPrinter = nullptr;
    size = 5;
    EXPECT_EQ(query(0x1018, 200, buf.data(), &size), ZMD_BAD_RECORD);
    EXPECT_EQ(size, 5u);
}

TEST_F(SequenceTest, FailuresInTheSizeAndFillPasses)
{
    Bytes buf(100, 0);
    uint32_t size = 5;
    r.resize(30); // the computed page format needs 53 settings
    EXPECT_EQ(query(0x1019, 100, buf.data(), &size), ZMD_BAD_INT_SETTING);
    r.resize(5); // the part chosen by setting 5 cannot be chosen
    EXPECT_EQ(query(0x1019, 100, buf.data(), &size), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(size, 5u);
}

// Sequences of more than 16 parts keep their part slots on the heap: 0x101B
// has 17 one-byte parts (1..17), the last chosen by setting 60, so that a
// record of fewer settings fails it; 0x101C has 16, which fit in the frame.
class LongSequenceTest : public DrvTest {
protected:
    void SetUp() override
    {
        image.build();
        ImageBuilder &b = image.b;
        std::vector<uint32_t> parts;
        for (uint8_t i = 1; i <= 16; ++i) {
            parts.push_back(b.add(b.bytes(0x5008, {i})));
        }
        uint32_t last = b.add(b.bytes(0x5008, {17}));
        parts.push_back(b.add(mk::selectInt(b.addRun({mk::caseEqualInt(last, 0)}), 60, 1)));
        b.seqKeys.push_back(0x101B);
        b.seqPartCounts.push_back(17);
        b.seqStarts.push_back(static_cast<uint32_t>(b.seqParts.size()));
        b.seqParts.insert(b.seqParts.end(), parts.begin(), parts.end());
        b.seqKeys.push_back(0x101C);
        b.seqPartCounts.push_back(16);
        b.seqStarts.push_back(static_cast<uint32_t>(b.seqParts.size()));
        b.seqParts.insert(b.seqParts.end(), parts.begin(), parts.begin() + 16);
        // 0x101D: 604 bytes, more than a query gathers in its frame.
        b.seqKeys.push_back(0x101D);
        b.seqPartCounts.push_back(3);
        b.seqStarts.push_back(static_cast<uint32_t>(b.seqParts.size()));
        b.seqParts.push_back(b.add(b.bytes(0x5008, {1, 2, 3})));
        b.seqParts.push_back(b.add(b.bytes(0x5008, std::vector<uint8_t>(600, 0x77))));
        b.seqParts.push_back(b.add(b.bytes(0x5008, {9})));
        view = b.view();
        env = fake.env(&view);
    }
};

TEST_F(LongSequenceTest, HeapSlotsAreFreedOnEveryExit)
{
    Bytes buf(32, 0xEE);
    uint32_t size = 0;
    fake.resetAllocCounters();
    ASSERT_EQ(query(0x101B, 32, buf.data(), &size), ZMD_OK);
    ASSERT_EQ(size, 17u);
    for (uint8_t i = 0; i < 17; ++i) {
        EXPECT_EQ(buf[i], i + 1);
    }
    EXPECT_EQ(fake.allocCalls, 1);
    EXPECT_EQ(fake.outstanding(), 0u);

    // A size query, with no buffer and with one too small.
    EXPECT_EQ(query(0x101B, 0, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 17u);
    EXPECT_EQ(fake.outstanding(), 0u) << "size query";
    EXPECT_EQ(query(0x101B, 16, buf.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(fake.outstanding(), 0u) << "short buffer";

    // The 17th part fails.
    r.resize(30);
    size = 5;
    EXPECT_EQ(query(0x101B, 32, buf.data(), &size), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(fake.outstanding(), 0u) << "failed part";
    EXPECT_EQ(fake.allocCalls, 4);
    EXPECT_EQ(fake.freeCalls, 4);

    // No slots to be had.
    r.resize(95);
    fake.resetAllocCounters();
    fake.failAllocAt = 1;
    EXPECT_EQ(query(0x101B, 32, buf.data(), &size), ZMD_ERROR);
    EXPECT_EQ(size, 5u);

    // Sixteen parts fit in the frame.
    fake.resetAllocCounters();
    ASSERT_EQ(query(0x101C, 32, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(fake.allocCalls, 0);
}

// Parts beyond the frame's room are measured, then written: the same answer.
TEST_F(LongSequenceTest, PartsBeyondTheFrameAnswerAlike)
{
    Bytes expected = {1, 2, 3};
    expected.insert(expected.end(), 600, 0x77);
    expected.push_back(9);
    uint32_t size = 0;
    EXPECT_EQ(query(0x101D, 0, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 604u);
    Bytes buf(603, 0xEE);
    size = 0;
    EXPECT_EQ(query(0x101D, 603, buf.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 604u);
    EXPECT_EQ(buf, Bytes(603, 0xEE));
    buf.assign(700, 0xEE);
    ASSERT_EQ(query(0x101D, 700, buf.data(), &size), ZMD_OK);
    ASSERT_EQ(size, 604u);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 604), expected);
    EXPECT_EQ(buf[604], 0xEE);
}

TEST_F(SequenceTest, MalformedSequenceTable)
{
    Bytes buf(100, 0);
    uint32_t size = 5;
    EXPECT_EQ(query(0x101B, 100, buf.data(), &size), ZMD_NOT_FOUND) << "not in the sequence table";
    view.seqParts = nullptr;
    EXPECT_EQ(query(0x1019, 100, buf.data(), &size), ZMD_NOT_FOUND);
    view = image.b.view();
    view.nodes = nullptr;
    EXPECT_EQ(query(0x1019, 100, buf.data(), &size), ZMD_NOT_FOUND);
    view = image.b.view();
    view.counts.seqParts = 6; // the part of 0x1018 at position 6 lies beyond the table
    EXPECT_EQ(query(0x1018, 100, buf.data(), &size), ZMD_ERROR);
    view = image.b.view();
    image.b.seqParts[0] = view.counts.nodes;
    EXPECT_EQ(query(0x1019, 100, buf.data(), &size), ZMD_ERROR);
    EXPECT_EQ(size, 5u);
}

class ParameterSetTest : public DrvTest {
protected:
    void SetUp() override
    {
        DrvTest::SetUp();
        select(1, 0, 1, 2, 1, 0);
    }
    void select(int32_t s4, int32_t s9, int32_t s5, int32_t s8, int32_t s6, int32_t s81)
    {
        r.ints[4] = s4;
        r.ints[9] = s9;
        r.ints[5] = s5;
        r.ints[8] = s8;
        r.ints[6] = s6;
        r.ints[81] = s81;
    }
};

Bytes parameterSet(uint8_t a, uint8_t c)
{
    Bytes out(48, a);
    out.insert(out.end(), 40, 0xB0);
    out.insert(out.end(), 36, c);
    out.insert(out.end(), 48, 0xD0);
    out.insert(out.end(), 20, 0xEE); // left as the caller had them
    return out;
}

TEST_F(ParameterSetTest, FirstMatchingRowPicksTheBlocks)
{
    uint32_t size = 0;
    EXPECT_EQ(query(0x101E, 0, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 192u);
    Bytes buf(191, 0xEE);
    EXPECT_EQ(query(0x101E, 191, buf.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(buf, Bytes(191, 0xEE));

    buf.assign(192, 0xEE);
    size = 0;
    ASSERT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 192u);
    EXPECT_EQ(buf, parameterSet(0xA1, 0xC2));

    // Selectors are signed 16-bit values compared with the whole setting.
    select(-1, 0, 1, 2, 1, -300);
    buf.assign(192, 0xEE);
    ASSERT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(buf, parameterSet(0xA0, 0xC1));
    select(0xFFFF, 0, 1, 2, 1, -300);
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_NOT_FOUND);
    select(-1, 0, 1, 2, 1, -300 + 65536); // the last selector, its low 16 bits alike
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_NOT_FOUND);
    select(-1, 0, 1, 2, 0, -300); // one selector of the first four differs
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_NOT_FOUND);
}

// The rows are looked at two a step: the first match wins wherever it
// stands, a row whose first four selectors match but not its last two (or
// the reverse) is passed over, and the lone last row of an odd count is seen.
TEST_F(ParameterSetTest, FirstMatchAtEveryPositionOfAStep)
{
    // Row i picks block A i % 3 and block C i / 3.
    image.b.selectionRows = {
        {{7, 0, 3, 4, 1, 1}, {0, 0, 0, 0}}, // the head of the wanted row, not its tail
        {{7, 0, 3, 4, 2, 0}, {1, 0, 0, 0}}, // the same, second of its step
        {{7, 0, 3, 5, 1, 0}, {2, 0, 0, 0}}, // the tail, not the head
        {{7, 0, 3, 4, 1, 0}, {0, 0, 1, 0}}, // the wanted row, second of its step
        {{7, 0, 3, 4, 1, 0}, {1, 0, 1, 0}}, // hidden by row 3
        {{8, 0, 0, 0, 0, 0}, {2, 0, 1, 0}}, {{9, 0, 0, 0, 0, 0}, {0, 0, 2, 0}}, // alone in its step
    };
    view = image.b.view();
    env = fake.env(&view);
    struct Case {
        int32_t s[6];
        uint8_t a, c;
    };
    const Case cases[] = {
        {{7, 0, 3, 4, 1, 0}, 0xA0, 0xC1}, {{7, 0, 3, 4, 1, 1}, 0xA0, 0xC0}, {{7, 0, 3, 4, 2, 0}, 0xA1, 0xC0},
        {{7, 0, 3, 5, 1, 0}, 0xA2, 0xC0}, {{8, 0, 0, 0, 0, 0}, 0xA2, 0xC1}, {{9, 0, 0, 0, 0, 0}, 0xA0, 0xC2},
    };
    for (const Case &c : cases) {
        select(c.s[0], c.s[1], c.s[2], c.s[3], c.s[4], c.s[5]);
        Bytes buf(192, 0xEE);
        uint32_t size = 0;
        ASSERT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_OK) << int(c.s[0]) << int(c.s[3]);
        EXPECT_EQ(buf, parameterSet(c.a, c.c)) << int(c.s[0]) << int(c.s[3]);
    }
    uint32_t size = 0;
    Bytes buf(192, 0xEE);
    select(7, 0, 3, 5, 1, 1);
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_NOT_FOUND);
    select(9, 0, 0, 0, 0, 1);
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_NOT_FOUND);
    image.b.selectionRows.resize(1);
    view = image.b.view();
    env = fake.env(&view);
    select(7, 0, 3, 4, 1, 1);
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_OK) << "a table of one row";
    select(7, 0, 3, 4, 1, 0);
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_NOT_FOUND);
}

TEST_F(ParameterSetTest, NoRowAndBadInput)
{
    Bytes buf(192, 0xEE);
    uint32_t size = 7;
    select(1, 0, 1, 2, 1, 1);
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_NOT_FOUND);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(buf, Bytes(192, 0xEE));

    select(5, 5, 5, 5, 5, 5); // a row whose block A index lies beyond its table
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_ERROR);
    EXPECT_EQ(buf, Bytes(192, 0xEE));

    r.resize(81);
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(ZMD_QueryDrvDataBase(&env, 0x101E, nullptr, 192, buf.data(), &size), ZMD_ERROR);
    r.resize(95);
    view.blocksC = nullptr;
    EXPECT_EQ(query(0x101E, 192, buf.data(), &size), ZMD_ERROR);
    view = image.b.view();
    view.selectionRows = nullptr;
    EXPECT_EQ(query(0x101E, 0, nullptr, &size), ZMD_ERROR);
    EXPECT_EQ(size, 7u);
}

} // namespace
