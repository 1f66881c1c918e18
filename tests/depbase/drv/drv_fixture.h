// A small driver database for the list, sequence and parameter-set tests:
// the root value-name key, option lists with their per-choice and default-pair
// keys, a list catalogue, a sequence table and parameter-set tables.
#ifndef ZMD_TEST_DRV_FIXTURE_H
#define ZMD_TEST_DRV_FIXTURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "drv_query.h"
#include "fake_platform.h"
#include "image_builder.h"

// Per-choice value for an id: a select on one setting with one case per id.
inline uint32_t addPerChoice(ImageBuilder &b, uint16_t key, uint16_t setting,
                             const std::vector<std::pair<int32_t, uint16_t>> &values)
{
    std::vector<uint32_t> leaves;
    for (const auto &v : values) {
        leaves.push_back(b.add(b.int16s(key, {v.second})));
    }
    std::vector<ZMD_Node> cases;
    for (size_t i = 0; i < values.size(); ++i) {
        cases.push_back(mk::caseEqualInt(leaves[i], values[i].first));
    }
    uint32_t first = b.addRun(cases);
    return b.add(mk::selectInt(first, setting, static_cast<uint16_t>(cases.size())));
}

// The rules of the shipped driver database, written out: which keys the
// driver query answers itself and how it completes their lists.
inline void setDriverQueryRules(ImageBuilder &b)
{
    const uint16_t L = ZMD_QUERY_LIST, C = ZMD_QUERY_CATALOGUE_LIST, S = ZMD_QUERY_SEQUENCE;
    const uint16_t none = ZMD_QUERY_NO_LIST, required = ZMD_QUERY_DEFAULT_REQUIRED;
    b.queryRules = {
        {0x100C, L, 4, 4, {0x500C, 0x500B}, {2, 3}, 0, 0x5003, 0},
        {0x100D, C, 4, 4, {0x500C, 0x500B}, {2, 3}, 0, 0x5003, 0},
        {0x100E, L, 5, 0, {0, 0}, {0, 0}, 0, 0x5004, 0},
        {0x100F, C, 5, 0, {0, 0}, {0, 0}, 0, 0x5004, 0},
        {0x1010, L, 28, 28, {0x500E, 0}, {2, 0}, 0, 0, 0},
        {0x1011, L, 28, 28, {0x500E, 0}, {2, 0}, 0x1010, 0, 0},
        {0x1012, L, 7, 0, {0, 0}, {0, 0}, 0, 0x5002, 0},
        {0x1013, C, 7, 0, {0, 0}, {0, 0}, 0, 0x5002, 0},
        {0x1014, L, none, 0, {0, 0}, {0, 0}, 0, 0x500D, 0},
        {0x1016, L, none, 8, {0x5006, 0x5007}, {1, 2}, 0, 0x5005, required},
        {0x1017, L, none, 0, {0, 0}, {0, 0}, 0, 0x5005, required},
        {0x1018, S, none, 0, {0, 0}, {0, 0}, 0, 0, 0},
        {0x1019, S, none, 0, {0, 0}, {0, 0}, 0, 0, 0},
        {0x101A, S, none, 0, {0, 0}, {0, 0}, 0, 0, 0},
        {0x101B, S, none, 0, {0, 0}, {0, 0}, 0, 0, 0},
        {0x101C, S, none, 0, {0, 0}, {0, 0}, 0, 0, 0},
        {0x101D, S, none, 0, {0, 0}, {0, 0}, 0, 0, 0},
        {0x101E, ZMD_QUERY_PARAMETER_SET, none, 0, {0, 0}, {0, 0}, 0, 0, 0},
        {0x104D, L, none, 0, {0, 0}, {0, 0}, 0, 0x5010, 0},
        {0x104E, L, none, 0, {0, 0}, {0, 0}, 0, 0x5010, 0},
        {0x1051, L, 5, 0, {0, 0}, {0, 0}, 0, 0, 0},
        {0x1054, L, 28, 28, {0x500E, 0}, {2, 0}, 0, 0x5011, 0},
    };
}

struct DrvImage {
    ImageBuilder b;
    // Optional keys, so that tests can take one out before build().
    bool withKey5004 = true;
    bool withKey5010 = false;
    bool withKey5005 = true;
    // 0x5004's case, when setting 4 is 1, leads to a node that is not there.
    bool brokenKey5004 = false;
    // The same for 0x5005's case when setting 9 is 0.
    bool brokenKey5005 = false;

    void build()
    {
        // Root value names: item 2 for the port mode part, item 154 for quiet mode.
        uint32_t ecp = b.add(b.text(0x0008, "XvnUI_CustomECPMode"));
        uint32_t silent = b.add(b.text(0x0008, "XvnUI_SilentModeTime"));
        uint32_t nameCases = b.addRun({mk::caseEqual(ecp, 2), mk::caseEqual(silent, 154)});
        uint32_t key0008 = b.add(mk::selectInt(nameCases, 0, 2));

        uint32_t key100C = b.add(b.int8s(0x100C, {1}));
        uint32_t key100E = b.add(b.int16s(0x100E, {1, 271, 2}));
        uint32_t key1010 = b.add(b.int16s(0x1010, {11, 9, 256}));
        uint32_t key1011 = b.add(b.int16s(0x1011, {11, 9, 13, 256, 8}));
        uint32_t key1012 = b.add(b.int8s(0x1012, {7}));
        uint32_t key1014 = b.add(b.int8s(0x1014, {3, 1}));
        uint32_t key1016 = b.add(b.int8s(0x1016, {1, 2, 3}));
        uint32_t key1017 = b.add(b.int8s(0x1017, {1, 2, 3, 4, 5}));
        uint32_t key104D = b.add(b.int8s(0x104D, {2, 4}));
        uint32_t key104E = b.add(b.int8s(0x104E, {}));
        uint32_t key5002 = b.add(b.int32s(0x5002, {7, 1}));
        uint32_t key5003 = b.add(b.int32s(0x5003, {1, 1}));
        // The list-5 default is in force only while setting 4 is 1.
        uint32_t pair5004 = b.add(b.int32s(0x5004, {1, 1}));
        uint32_t key5004 =
            b.add(mk::selectInt(b.addRun({mk::caseEqualInt(brokenKey5004 ? 0x00FFFFFFu : pair5004, 1)}), 4, 1));
        // The 0x1016/0x1017 default is in force only while setting 9 is 0.
        uint32_t pair5005 = b.add(b.int32s(0x5005, {3, 7}));
        uint32_t key5005 =
            b.add(mk::selectInt(b.addRun({mk::caseEqualInt(brokenKey5005 ? 0x00FFFFFFu : pair5005, 0)}), 9, 1));
        uint32_t key5006 = addPerChoice(b, 0x5006, 8, {{1, 0x101}, {2, 0x102}, {3, 0x103}});
        uint32_t key5007 = addPerChoice(b, 0x5007, 8, {{1, 11}, {2, 22}, {3, 33}});
        uint32_t key500B = addPerChoice(b, 0x500B, 4, {{1, 1}});
        uint32_t key500C = addPerChoice(b, 0x500C, 4, {{1, 20001}});
        uint32_t key500D = b.add(b.int32s(0x500D, {1, 1}));
        uint32_t key500E =
            addPerChoice(b, 0x500E, 28, {{11, 15712}, {9, 15700}, {13, 15702}, {256, 15744}, {8, 15703}});
        uint32_t key5010 = b.add(b.int32s(0x5010, {4, 1}));

        b.addKey(0x0008, key0008);
        b.addKey(0x100C, key100C);
        b.addKey(0x100E, key100E);
        b.addKey(0x1010, key1010);
        b.addKey(0x1011, key1011);
        b.addKey(0x1012, key1012);
        b.addKey(0x1014, key1014);
        b.addKey(0x1016, key1016);
        b.addKey(0x1017, key1017);
        b.addKey(0x104D, key104D);
        b.addKey(0x104E, key104E);
        b.addKey(0x5002, key5002);
        b.addKey(0x5003, key5003);
        if (withKey5004) {
            b.addKey(0x5004, key5004);
        }
        if (withKey5005) {
            b.addKey(0x5005, key5005);
        }
        b.addKey(0x5006, key5006);
        b.addKey(0x5007, key5007);
        b.addKey(0x500B, key500B);
        b.addKey(0x500C, key500C);
        b.addKey(0x500D, key500D);
        b.addKey(0x500E, key500E);
        if (withKey5010) {
            b.addKey(0x5010, key5010);
        }

        // Catalogue: lists 28, 7, 5 and 4.
        b.listNumbers = {28, 7, 5, 4};
        b.listLengths = {5, 1, 3, 1};
        b.listStarts = {0, 5, 6, 9};
        b.listIds = {11, 9, 13, 256, 8, 7, 1, 271, 2, 1};
        b.listNameIds = {0x3D92, 0x3D90, 0x3D97, 0x3D80, 0x3D8E, 0x3BC6, 0x3AFD, 0x3B0D, 0x3AFE, 0x3A9A};

        buildSequences();
        buildParameterSet();
        setDriverQueryRules(b);
    }

    // 0x1019: a fixed part, a part chosen by setting 5 (none for other values),
    // the computed page format, and a WHEN used as a plain sequence.
    // 0x101A: one part that yields nothing unless setting 5 is 99.
    // 0x1018: the clock command and the port mode chosen by printer-data item 2.
    void buildSequences()
    {
        uint32_t fixed = b.add(b.bytes(0x5008, {0x1B, 0x28, 0x62, 0x01, 0x00, 0x01}));
        uint32_t a = b.add(b.bytes(0x5008, {0xA1}));
        uint32_t c = b.add(b.bytes(0x5008, {0xC3, 0xC3}));
        uint32_t chosen = b.add(mk::selectInt(b.addRun({mk::caseEqualInt(a, 1), mk::caseEqualInt(c, 3)}), 5, 2));
        uint32_t page = b.add(mk::computed(0x5008, 1));
        uint32_t inner = b.addRun({b.bytes(0x1234, {0xEE}), b.bytes(0x5008, {0x6C, 0x34})});
        uint32_t when = b.add(mk::when(inner, 77, 2));
        uint32_t never = b.add(b.bytes(0x5008, {0x99}));
        uint32_t rarely = b.add(mk::selectInt(b.addRun({mk::caseEqualInt(never, 99)}), 5, 1));
        uint32_t clock = b.add(mk::computed(0x5008, 5));
        uint32_t nibble = b.add(b.bytes(0x5008, {'N'}));
        uint32_t ecp = b.add(b.bytes(0x5008, {'E', 'C', 'P'}));
        uint32_t port =
            b.add(mk::selectPrinterData(b.addRun({mk::caseEqualInt(nibble, 0), mk::caseDefault(ecp)}), 2, 2));

        b.seqKeys = {0x1019, 0x101A, 0x1018};
        b.seqPartCounts = {4, 1, 2};
        b.seqStarts = {0, 4, 5};
        b.seqParts = {fixed, chosen, page, when, rarely, clock, port};
    }

    // Rows pick blocks by settings 4, 9, 5, 8, 6 and 81; block t of table X
    // is filled with one byte value per table and index.
    void buildParameterSet()
    {
        b.selectionRows = {
            {{1, 0, 1, 2, 1, 0}, {1, 0, 2, 0}},
            {{-1, 0, 1, 2, 1, -300}, {0, 0, 1, 0}},
            {{1, 0, 1, 2, 1, 0}, {2, 0, 0, 0}}, // hidden by the first row
            {{5, 5, 5, 5, 5, 5}, {3, 0, 0, 0}}, // block A index out of its table
        };
        for (uint8_t i = 0; i < 3; ++i) {
            b.blocksA.insert(b.blocksA.end(), ZMD_BLOCK_A_SIZE, static_cast<uint8_t>(0xA0 + i));
            b.blocksC.insert(b.blocksC.end(), ZMD_BLOCK_C_SIZE, static_cast<uint8_t>(0xC0 + i));
        }
        b.blocksB.assign(ZMD_BLOCK_B_SIZE, 0xB0);
        b.blocksD.assign(ZMD_BLOCK_D_SIZE, 0xD0);
    }
};

// Driver-shaped settings (95 integers).
struct DrvRecord {
    std::vector<int32_t> ints = std::vector<int32_t>(95, 0);
    ZMD_SettingsRecord rec{};
    DrvRecord()
    {
        rec.cInts = 95;
        rec.pnInts = ints.data();
    }
    void resize(size_t n)
    {
        ints.resize(n);
        rec.cInts = static_cast<uint32_t>(n);
        rec.pnInts = ints.data();
    }
};

class DrvTest : public ::testing::Test {
protected:
    FakePlatform fake;
    DrvImage image;
    ZMD_ImageView view{};
    ZMD_Env env{};
    DrvRecord r;

    // Builds the image once the test has chosen its options.
    void ready()
    {
        image.build();
        view = image.b.view();
        env = fake.env(&view);
    }
    void SetUp() override { ready(); }
    void TearDown() override
    {
        EXPECT_EQ(fake.outstanding(), 0u) << "allocations left behind";
        EXPECT_EQ(fake.badFrees, 0);
    }

    int32_t query(uint32_t key, uint32_t cb, void *buf, uint32_t *size)
    {
        return ZMD_QueryDrvDataBase(&env, key, &r.rec, cb, buf, size);
    }
};

inline int32_t wordAt(const std::vector<uint8_t> &buf, size_t word)
{
    int32_t v;
    std::memcpy(&v, buf.data() + 4 * word, 4);
    return v;
}

inline ZMD_ListItem itemAt(const std::vector<uint8_t> &buf, size_t i, size_t offset = 0)
{
    ZMD_ListItem item;
    std::memcpy(&item, buf.data() + offset + 20 * i, sizeof item);
    return item;
}

#endif // ZMD_TEST_DRV_FIXTURE_H
