// Option lists of the driver database: lists from a key's own tree and from
// the catalogue, names, per-choice values, membership and default marks.
#include <vector>

#include "access.h"
#include "drv_fixture.h"
#include "drv_internal.h"

namespace {

using Bytes = std::vector<uint8_t>;
const int32_t kFill = 0x5A5A5A5A;

Bytes filled(size_t n)
{
    return Bytes(n, 0x5A);
}

TEST_F(DrvTest, OfferedPaperSizesWithPerChoiceValues)
{
    uint32_t size = 0;
    EXPECT_EQ(query(0x1010, 0, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 60u);
    Bytes small = filled(59);
    EXPECT_EQ(query(0x1010, 59, small.data(), &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 60u);
    EXPECT_EQ(small, filled(59));

    Bytes buf = filled(60);
    size = 0;
    ASSERT_EQ(query(0x1010, 60, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 60u);
    const int32_t ids[] = {11, 9, 256};
    const int32_t names[] = {0x3D92, 0x3D90, 0x3D80};
    const int32_t values[] = {15712, 15700, 15744};
    for (int i = 0; i < 3; ++i) {
        ZMD_ListItem item = itemAt(buf, i);
        EXPECT_EQ(item.nId, ids[i]);
        EXPECT_EQ(item.nNameId, names[i]);
        EXPECT_EQ(item.nValue1, values[i]);
        // Not written for this key, and not among the vacated words 1 and 2.
        EXPECT_EQ(item.nValue2, kFill);
        EXPECT_EQ(item.nDefault, kFill);
    }
    EXPECT_EQ(r.ints[28], 0) << "the caller's record is not touched";

    // The driver export's frame hands list keys to the same handler.
    Bytes viaFrame = filled(60);
    size = 0;
    ASSERT_EQ(ZMD_AccessDataBase(&env, ZMD_DB_DRV, 0x1010, &r.rec, 60, viaFrame.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 60u);
    EXPECT_EQ(viaFrame, buf);
}

TEST_F(DrvTest, ListAnswerLeavesItsSizeAfterOneLargeCall)
{
    for (uint32_t key : {0x1010u, 0x100Eu, 0x100Du, 0x1016u, 0x1017u}) {
        Bytes buf(1000, 0);
        uint32_t size = 0xDEAD;
        r.ints[4] = 1;
        ASSERT_EQ(query(key, 1000, buf.data(), &size), ZMD_OK) << std::hex << key;
        uint32_t asked = 0;
        EXPECT_EQ(query(key, 0, nullptr, &asked), ZMD_MORE_DATA);
        EXPECT_EQ(size, asked) << std::hex << key;
    }
}

TEST_F(DrvTest, MembershipWalkOfAllPaperSizes)
{
    // Ids 11, 9, 13, 256, 8 against the offered 11, 9, 256: 8 comes after the
    // offered list is used up and is simply not in it.
    Bytes buf = filled(101);
    uint32_t size = 0;
    ASSERT_EQ(query(0x1011, 100, buf.data() + 1, &size), ZMD_OK); // no alignment promised
    EXPECT_EQ(size, 100u);
    const int32_t ids[] = {11, 9, 13, 256, 8};
    const int32_t names[] = {0x3D92, 0x3D90, 0x3D97, 0x3D80, 0x3D8E};
    const int32_t values[] = {15712, 15700, 15702, 15744, 15703};
    const int32_t member[] = {0, 0, 1, 0, 1};
    for (int i = 0; i < 5; ++i) {
        ZMD_ListItem item = itemAt(buf, i, 1);
        EXPECT_EQ(item.nId, ids[i]);
        EXPECT_EQ(item.nNameId, names[i]);
        EXPECT_EQ(item.nValue1, values[i]);
        EXPECT_EQ(item.nValue2, member[i]) << i;
        // Word 4 was vacated by the spread; the later items keep the caller's bytes.
        EXPECT_EQ(item.nDefault, i == 0 ? 0 : kFill) << i;
    }
}

TEST_F(DrvTest, MembershipWithNothingOffered)
{
    // An empty offered list: every item is outside it.
    uint32_t n1010 = image.b.keyNodes[3];
    ASSERT_EQ(image.b.keys[3], 0x1010);
    image.b.nodes[n1010].w1 = ZMD_MakeW1(0x1010, 0);
    Bytes buf(100, 0);
    uint32_t size = 0;
    ASSERT_EQ(query(0x1011, 100, buf.data(), &size), ZMD_OK);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(itemAt(buf, i).nValue2, 1);
    }
}

TEST_F(DrvTest, DefaultMarks)
{
    Bytes buf(60, 0x77);
    uint32_t size = 0;
    r.ints[4] = 1;
    ASSERT_EQ(query(0x100E, 60, buf.data(), &size), ZMD_OK);
    const int32_t ids[] = {1, 271, 2};
    const int32_t names[] = {0x3AFD, 0x3B0D, 0x3AFE};
    for (int i = 0; i < 3; ++i) {
        ZMD_ListItem item = itemAt(buf, i);
        EXPECT_EQ(item.nId, ids[i]);
        EXPECT_EQ(item.nNameId, names[i]);
        EXPECT_EQ(item.nDefault, i == 0 ? 1 : 0);
        EXPECT_EQ(item.nValue1, i == 0 ? 0 : 0x77777777) << "vacated word, else untouched";
    }

    // No pair in force (result 1 from the default key): every mark 0, result 0.
    r.ints[4] = 0;
    buf.assign(60, 0x77);
    ASSERT_EQ(query(0x100E, 60, buf.data(), &size), ZMD_OK);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(itemAt(buf, i).nDefault, 0);
    }

    // The list-7 key and the key without a catalogue list.
    buf.assign(40, 0x77);
    ASSERT_EQ(query(0x1012, 40, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(itemAt(buf, 0).nId, 7);
    EXPECT_EQ(itemAt(buf, 0).nNameId, 0x3BC6);
    EXPECT_EQ(itemAt(buf, 0).nDefault, 1);
    buf.assign(40, 0x77);
    ASSERT_EQ(query(0x1014, 40, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(itemAt(buf, 0).nId, 3);
    EXPECT_EQ(itemAt(buf, 1).nId, 1);
    EXPECT_EQ(itemAt(buf, 0).nNameId, 0); // vacated word 1
    EXPECT_EQ(itemAt(buf, 1).nNameId, 0x77777777);
    EXPECT_EQ(itemAt(buf, 0).nDefault, 0);
    EXPECT_EQ(itemAt(buf, 1).nDefault, 1);
}

TEST_F(DrvTest, DefaultKeyThatFailsFailsTheList)
{
    // An absent default key leaves every mark 0 (below); one whose tree is
    // broken is a real error of the list, not "no default".
    image = DrvImage{};
    image.brokenKey5004 = true;
    ready();
    r.ints[4] = 1;
    Bytes buf(60, 0x77);
    uint32_t size = 0;
    EXPECT_EQ(query(0x100E, 60, buf.data(), &size), ZMD_ERROR);
    r.ints[4] = 0; // the broken case is not reached: no pair in force
    EXPECT_EQ(query(0x100E, 60, buf.data(), &size), ZMD_OK);
}

TEST_F(DrvTest, ChoiceListDefaultKeyThatFailsFailsTheList)
{
    // The choice lists share the default marking of the other lists: a tree
    // that fails is the list's result here too (their pair must be in force,
    // so no pair and no key are passed on as well; see below).
    image = DrvImage{};
    image.brokenKey5005 = true;
    ready();
    Bytes buf(100, 0x77);
    uint32_t size = 0;
    EXPECT_EQ(query(0x1016, 100, buf.data(), &size), ZMD_ERROR);
    EXPECT_EQ(query(0x1017, 100, buf.data(), &size), ZMD_ERROR);
    r.ints[9] = 1; // the broken case is not reached: no pair in force
    EXPECT_EQ(query(0x1017, 100, buf.data(), &size), ZMD_NOT_FOUND);
}

TEST_F(DrvTest, DefaultKeyAbsentEndsWithZero)
{
    image = DrvImage{};
    image.withKey5004 = false;
    ready();
    r.ints[4] = 1;
    Bytes buf(60, 0x77);
    uint32_t size = 0;
    ASSERT_EQ(query(0x100E, 60, buf.data(), &size), ZMD_OK);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(itemAt(buf, i).nDefault, 0);
    }
    // 0x104D's default key 0x5010 is absent too; with it present the mark lands on id 4.
    ASSERT_EQ(query(0x104D, 60, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(itemAt(buf, 1).nDefault, 0);
    image = DrvImage{};
    image.withKey5010 = true;
    ready();
    ASSERT_EQ(query(0x104D, 60, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(itemAt(buf, 0).nDefault, 0);
    EXPECT_EQ(itemAt(buf, 1).nDefault, 1);
}

TEST_F(DrvTest, WholeCatalogueLists)
{
    r.ints[4] = 1;
    uint32_t size = 0;
    EXPECT_EQ(query(0x100D, 0, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 20u);
    Bytes buf(20, 0x77);
    ASSERT_EQ(query(0x100D, 20, buf.data(), &size), ZMD_OK);
    ZMD_ListItem item = itemAt(buf, 0);
    EXPECT_EQ(item.nId, 1);
    EXPECT_EQ(item.nNameId, 0x3A9A);
    EXPECT_EQ(item.nValue1, 20001);
    EXPECT_EQ(item.nValue2, 1);
    EXPECT_EQ(item.nDefault, 1);

    buf.assign(60, 0);
    ASSERT_EQ(query(0x100F, 60, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 60u);
    EXPECT_EQ(itemAt(buf, 1).nId, 271);
    EXPECT_EQ(itemAt(buf, 1).nNameId, 0x3B0D);
    EXPECT_EQ(itemAt(buf, 0).nDefault, 1);
    ASSERT_EQ(query(0x1013, 60, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(itemAt(buf, 0).nId, 7);
}

TEST_F(DrvTest, CatalogueFaults)
{
    Bytes buf(200, 0);
    uint32_t size = 99;
    // An id that the catalogue list lacks.
    image.b.listIds[5] = 8;
    view = image.b.view();
    EXPECT_EQ(query(0x1012, 200, buf.data(), &size), ZMD_NOT_FOUND);
    image.b.listIds[5] = 7;

    // A list whose positions run past the pool.
    image.b.listLengths[3] = 3; // list 4 from position 9 of 10
    view = image.b.view();
    EXPECT_EQ(query(0x100D, 200, buf.data(), &size), ZMD_ERROR);
    image.b.listLengths[3] = 1;
    image.b.listLengths[1] = 2; // list 7 as id 1 at the last position, then past the pool
    image.b.listStarts[1] = 9;
    view = image.b.view();
    EXPECT_EQ(query(0x1012, 200, buf.data(), &size), ZMD_ERROR);
    image.b.listLengths[1] = 1;
    image.b.listStarts[1] = 5;

    // More items than the list has.
    image.b.listLengths[0] = 2;
    view = image.b.view();
    EXPECT_EQ(query(0x1010, 200, buf.data(), &size), ZMD_ERROR);
    image.b.listLengths[0] = 5;

    // A catalogue without the list, or without its arrays.
    image.b.listNumbers[2] = 6;
    view = image.b.view();
    EXPECT_EQ(query(0x100F, 200, buf.data(), &size), ZMD_NOT_FOUND);
    EXPECT_EQ(query(0x100E, 200, buf.data(), &size), ZMD_NOT_FOUND);
    image.b.listNumbers[2] = 5;
    view = image.b.view();
    view.listIds = nullptr;
    EXPECT_EQ(query(0x100F, 200, buf.data(), &size), ZMD_NOT_FOUND);
    view = image.b.view();
    view.listStarts = nullptr;
    EXPECT_EQ(query(0x1013, 200, buf.data(), &size), ZMD_NOT_FOUND);
    view = image.b.view();
    view.listNameIds = nullptr;
    EXPECT_EQ(query(0x1013, 200, buf.data(), &size), ZMD_ERROR);
    EXPECT_EQ(size, 99u) << "no failure writes the size word";
}

TEST_F(DrvTest, OwnTreeResultsPassThrough)
{
    Bytes buf(200, 0);
    uint32_t size = 5;
    EXPECT_EQ(query(0x1054, 200, buf.data(), &size), ZMD_NO_KEY);
    EXPECT_EQ(query(0x1051, 0, nullptr, &size), ZMD_NO_KEY);
    EXPECT_EQ(size, 5u);

    // An empty list: an empty answer.
    EXPECT_EQ(query(0x104E, 0, nullptr, &size), ZMD_MORE_DATA);
    EXPECT_EQ(size, 0u);
    size = 5;
    EXPECT_EQ(query(0x104E, 200, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 0u);

    // A list key whose value is not a list of integers.
    uint32_t n = image.b.keyNodes[1];
    ASSERT_EQ(image.b.keys[1], 0x100C);
    image.b.nodes[n].w0 = ZMD_MakeW0(ZMD_KIND_BYTES, ZMD_NodeOperand(image.b.nodes[n].w0));
    size = 5;
    EXPECT_EQ(query(0x100C, 200, buf.data(), &size), ZMD_ERROR);
    EXPECT_EQ(size, 5u);
}

TEST_F(DrvTest, PerChoiceValuesNeedTheirSetting)
{
    Bytes buf(200, 0);
    uint32_t size = 0;
    r.resize(28);
    EXPECT_EQ(query(0x1010, 200, buf.data(), &size), ZMD_BAD_INT_SETTING);
    EXPECT_EQ(query(0x1011, 200, buf.data(), &size), ZMD_BAD_INT_SETTING);
    r.resize(29);
    EXPECT_EQ(query(0x1010, 200, buf.data(), &size), ZMD_OK);
    r.resize(4);
    EXPECT_EQ(query(0x100C, 200, buf.data(), &size), ZMD_BAD_INT_SETTING);
    r.resize(8);
    EXPECT_EQ(query(0x1016, 200, buf.data(), &size), ZMD_BAD_INT_SETTING);
    r.rec.pnInts = nullptr;
    r.rec.cInts = 95;
    EXPECT_EQ(query(0x1016, 200, buf.data(), &size), ZMD_BAD_INT_SETTING);

    // The completion itself with no record.
    Bytes ids(60, 0);
    int32_t first = 11;
    std::memcpy(ids.data(), &first, 4);
    EXPECT_EQ(ZMD_CompleteListItems(&env, 0x1010, nullptr, 60, ids.data(), 1), ZMD_ERROR);
    EXPECT_EQ(ZMD_CompleteListItems(&env, 0x1010, &r.rec, 19, ids.data(), 1), ZMD_ERROR) << "buffer too small";
    EXPECT_EQ(ZMD_CompleteListItems(&env, 0x1015, &r.rec, 60, ids.data(), 1), ZMD_ERROR) << "not a list key";
}

TEST_F(DrvTest, PerChoiceValueLargerThanAnInteger)
{
    // 0x500E answering two integers for id 9.
    ZMD_Node *id9 = nullptr;
    for (ZMD_Node &node : image.b.nodes) {
        if (ZMD_NodeKindOf(node.w0) == ZMD_KIND_INT16_ARRAY && ZMD_NodeHigh(node.w1) == 0x500E &&
            image.b.int16Pool[ZMD_NodeOperand(node.w0)] == 15700) {
            id9 = &node;
        }
    }
    ASSERT_NE(id9, nullptr);
    id9->w1 = ZMD_MakeW1(0x500E, 2);
    Bytes buf(60, 0);
    uint32_t size = 0;
    EXPECT_EQ(query(0x1010, 60, buf.data(), &size), ZMD_ERROR);
    id9->w1 = ZMD_MakeW1(0x500E, 1);
    // A choice for which the per-choice key has no value ends the completion.
    for (ZMD_Node &node : image.b.nodes) {
        if (ZMD_NodeKindOf(node.w0) == ZMD_KIND_CASE_EQUAL && node.w1 == 256) {
            node.w1 = 257;
        }
    }
    EXPECT_EQ(query(0x1010, 60, buf.data(), &size), ZMD_NOT_FOUND);
}

TEST_F(DrvTest, ChoiceListsWithTheirOwnCompletion)
{
    Bytes buf(60, 0x77);
    uint32_t size = 0;
    ASSERT_EQ(query(0x1016, 60, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 60u);
    for (int i = 0; i < 3; ++i) {
        ZMD_ListItem item = itemAt(buf, i);
        EXPECT_EQ(item.nId, i + 1);
        EXPECT_EQ(item.nNameId, 0x101 + i);
        EXPECT_EQ(item.nValue1, 11 * (i + 1));
        EXPECT_EQ(item.nDefault, i == 2 ? 7 : 0);
        EXPECT_EQ(item.nValue2, 0x77777777) << "word 3 is beyond the vacated words 1 and 2";
    }
    EXPECT_EQ(r.ints[8], 0);

    buf.assign(100, 0x77);
    ASSERT_EQ(query(0x1017, 100, buf.data(), &size), ZMD_OK);
    EXPECT_EQ(size, 100u);
    for (int i = 0; i < 5; ++i) {
        ZMD_ListItem item = itemAt(buf, i);
        EXPECT_EQ(item.nId, i + 1);
        EXPECT_EQ(item.nDefault, i == 2 ? 7 : 0);
        EXPECT_EQ(item.nNameId, i == 0 ? 0 : 0x77777777) << "not written for 0x1017";
    }

    // No default pair in force, or no default key at all: these two keys pass it on.
    r.ints[9] = 1;
    size = 3;
    EXPECT_EQ(query(0x1017, 100, buf.data(), &size), ZMD_NOT_FOUND);
    EXPECT_EQ(query(0x1016, 100, buf.data(), &size), ZMD_NOT_FOUND);
    EXPECT_EQ(size, 3u);
    image = DrvImage{};
    image.withKey5005 = false;
    ready();
    r.ints[9] = 0;
    EXPECT_EQ(query(0x1017, 100, buf.data(), &size), ZMD_NO_KEY);
    EXPECT_EQ(query(0x1016, 100, buf.data(), &size), ZMD_NO_KEY);
    EXPECT_EQ(size, 3u);
}

// Names of many items over a long catalogue list (taken through a table of
// first positions) and of few items (scanned per item) answer alike: the
// first entry with an id names it, an id the list lacks (also one beyond 16
// bits or below 0) fails the list, and names already written stay written.
TEST_F(DrvTest, NamesFromLongListsTakeTheFirstEntryOfAnId)
{
    // List 9: ids 1000..1039 with 1005 and 1020 repeated (later names differ).
    std::vector<uint16_t> ids;
    std::vector<uint32_t> names;
    for (uint16_t i = 0; i < 40; ++i) {
        ids.push_back(static_cast<uint16_t>(1000 + i));
        names.push_back(0x4000u + i);
    }
    ids.push_back(1005);
    names.push_back(0x5005);
    ids.push_back(1020);
    names.push_back(0x5020);
    const uint32_t start = static_cast<uint32_t>(image.b.listIds.size());
    image.b.listNumbers.push_back(9);
    image.b.listLengths.push_back(static_cast<uint32_t>(ids.size()));
    image.b.listStarts.push_back(start);
    image.b.listIds.insert(image.b.listIds.end(), ids.begin(), ids.end());
    image.b.listNameIds.insert(image.b.listNameIds.end(), names.begin(), names.end());
    view = image.b.view();
    ZMD_QueryRule rule{};
    rule.key = 0x1010;
    rule.form = ZMD_QUERY_LIST;
    rule.listNumber = 9;

    auto complete = [&](const std::vector<int32_t> &want, Bytes *items) {
        items->assign(want.size() * 20, 0);
        for (size_t i = 0; i < want.size(); ++i) {
            ZMD_PutWord(items->data(), static_cast<uint32_t>(i), want[i]);
        }
        return ZMD_CompleteListItemsOfRule(&env, rule, &r.rec, static_cast<uint32_t>(items->size()), items->data(),
                                           static_cast<uint32_t>(want.size()));
    };
    for (size_t n : {size_t{3}, size_t{40}}) {
        std::vector<int32_t> want;
        for (size_t i = 0; i < n; ++i) {
            want.push_back(static_cast<int32_t>(1039 - (i * 7) % 40)); // out of the list's order
        }
        want[n - 1] = 1005;
        want[0] = 1020;
        Bytes items;
        ASSERT_EQ(complete(want, &items), ZMD_OK) << n << " items";
        for (size_t i = 0; i < n; ++i) {
            EXPECT_EQ(itemAt(items, i).nId, want[i]);
            EXPECT_EQ(itemAt(items, i).nNameId, static_cast<int32_t>(0x4000 + (want[i] - 1000))) << "item " << i;
        }
        for (int32_t lacking : {1040, 1000 + 65536, -1}) {
            std::vector<int32_t> bad = want;
            bad[n - 1] = lacking;
            ASSERT_EQ(complete(bad, &items), ZMD_NOT_FOUND) << n << " items, id " << lacking;
            EXPECT_EQ(itemAt(items, 0).nNameId, 0x4014) << "names before the lacking id stay written";
        }
    }
}

} // namespace

namespace {

// Per-choice values of every integer kind and of some other kinds: what
// ZMD_ChoiceValueOfNode answers, with and without an observer (which sees
// every extraction), is what the extraction delivers into four zeroed bytes.
TEST(ChoiceValue, EveryKindAnswersAsTheExtractionWould)
{
    ImageBuilder b;
    std::vector<ZMD_Node> nodes = {
        b.int32s(1, {-70000}),
        b.int16s(1, {0xFFFE}),
        b.uint16s(1, {0xFFFE}),
        b.int8s(1, {-3}),
        b.uint8s(1, {0xFD}),
        b.int32s(1, {}),
        b.int16s(1, {7, 8}),
        b.bytes(1, {1, 2, 3}),
        b.text(1, "ab"),
        b.int32s(1, {1, 2}),
        b.text(1, "abcd"),
        mk::value(ZMD_KIND_INT32_ARRAY, 50, 1, 1), // beyond its pool
        mk::value(ZMD_KIND_INT16_ARRAY, 50, 1, 1),
        mk::value(ZMD_KIND_UINT8_ARRAY, 500, 1, 1),
        mk::node(ZMD_KIND_LIST, 0, 1), // not a value
    };
    const ZMD_ImageView view = b.view();
    FakePlatform fake;
    const ZMD_Env plain = fake.env(&view);
    ZMD_Env observed = plain;
    int steps = 0;
    const ZMD_Observer observer{&steps, [](void *ctx, const ZMD_Step *) { ++*static_cast<int *>(ctx); }};
    observed.observer = &observer;

    for (size_t i = 0; i < nodes.size(); ++i) {
        uint8_t bytes[4] = {0, 0, 0, 0};
        uint32_t got = 0;
        int32_t expected = ZMD_ExtractValue(&plain, nullptr, sizeof bytes, bytes, &got, nodes[i]);
        if (expected == ZMD_MORE_DATA) {
            expected = ZMD_ERROR;
        }
        int32_t want = 0;
        std::memcpy(&want, bytes, sizeof want);
        const ZMD_Env *envs[] = {&plain, &observed};
        for (const ZMD_Env *env : envs) {
            int32_t value = kFill;
            EXPECT_EQ(ZMD_ChoiceValueOfNode(env, nodes[i], nullptr, &value), expected) << "node " << i;
            if (expected == ZMD_OK) {
                EXPECT_EQ(value, want) << "node " << i;
            }
        }
    }
    EXPECT_EQ(nodes.size(), 15u);
    // The one-element integers themselves, so that a shared fault cannot hide.
    const int32_t singles[] = {-70000, -2, 0xFFFE, -3, 0xFD};
    for (size_t i = 0; i < 5; ++i) {
        int32_t value = 0;
        ASSERT_EQ(ZMD_ChoiceValueOfNode(&plain, nodes[i], nullptr, &value), ZMD_OK);
        EXPECT_EQ(value, singles[i]);
    }
    EXPECT_GT(steps, 0); // the observed way told its extractions
}

} // namespace
