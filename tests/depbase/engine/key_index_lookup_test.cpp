// The key index answers every key as the search of the key and rule tables
// does: the same top node, the same rule, the same ZMD_NO_KEY, ZMD_NOT_FOUND
// and ZMD_ERROR, also over malformed tables; and a slot that names an entry
// out of bounds or of another key is not believed.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "depbase.h"
#include "drv_rules.h"
#include "engine.h"
#include "index_copy.h"

namespace {

struct Answer {
    int32_t lookup;
    ZMD_Node top;
    int32_t rule;
    const ZMD_QueryRule *found;
};

Answer Ask(const ZMD_ImageView *view, uint32_t key)
{
    const ZMD_Env env{view, nullptr}; // a lookup reads only the image
    Answer a{0, {0xDEADu, 0xBEEFu}, 0, nullptr};
    a.lookup = ZMD_LookupKey(&env, key, &a.top);
    a.rule = ZMD_FindQueryRule(view, key, &a.found);
    return a;
}

// Every key 0x0000..0xFFFF (and a few with bits above the low 16) through
// the index and through the search; the number of keys with a tree and with
// a rule into *trees and *rules.
void ExpectAlike(IndexCopy *copy, const std::string &what, uint32_t *trees = nullptr, uint32_t *rules = nullptr)
{
    uint32_t withTree = 0, withRule = 0;
    for (uint32_t key = 0; key <= 0x1FFFFu; key += key < 0x10000u ? 1u : 0x1001u) {
        const Answer indexed = Ask(copy->view(), key);
        const Answer searched = Ask(copy->unindexed(), key);
        ASSERT_EQ(indexed.lookup, searched.lookup) << what << ", key 0x" << std::hex << key;
        if (indexed.lookup == ZMD_OK) {
            ASSERT_EQ(indexed.top.w0, searched.top.w0) << what << ", key 0x" << std::hex << key;
            ASSERT_EQ(indexed.top.w1, searched.top.w1) << what << ", key 0x" << std::hex << key;
            ++withTree;
        }
        ASSERT_EQ(indexed.rule, searched.rule) << what << ", key 0x" << std::hex << key;
        ASSERT_EQ(indexed.found, searched.found) << what << ", key 0x" << std::hex << key;
        withRule += indexed.rule == ZMD_OK ? 1u : 0u;
    }
    if (trees) {
        *trees = withTree;
    }
    if (rules) {
        *rules = withRule;
    }
}

TEST(KeyIndexLookup, EveryKeyAnswersAsTheSearchDoes)
{
    IndexCopy copy;
    ASSERT_NE(ZMD_ShippedImage()->keyRanges, nullptr) << "the shipped image carries a key index";
    uint32_t trees = 0, rules = 0;
    ExpectAlike(&copy, "shipped", &trees, &rules);
    // Keys 0x1xxxx answer as their low 16 bits do: each key counted twice at most.
    EXPECT_GE(trees, copy.v.counts.keys);
    EXPECT_GE(rules, copy.v.counts.queryRules);
}

TEST(KeyIndexLookup, MalformedTablesAnswerAsTheSearchDoes)
{
    const std::pair<const char *, std::function<void(ZMD_ImageView *)>> cases[] = {
        {"no key table", [](ZMD_ImageView *v) { v->keys = nullptr; }},
        {"no key nodes", [](ZMD_ImageView *v) { v->keyNodes = nullptr; }},
        {"an empty key table", [](ZMD_ImageView *v) { v->counts.keys = 0; }},
        {"a key table cut short", [](ZMD_ImageView *v) { v->counts.keys /= 2; }},
        {"top nodes beyond the node table", [](ZMD_ImageView *v) { v->counts.nodes = 2; }},
        {"no rule table", [](ZMD_ImageView *v) { v->queryRules = nullptr; }},
        {"a rule table cut short", [](ZMD_ImageView *v) { v->counts.queryRules /= 2; }},
        {"slot arrays cut short", [](ZMD_ImageView *v) { v->counts.keySlots /= 2; }},
        {"fewer ranges", [](ZMD_ImageView *v) { v->counts.keyRanges = 1; }},
    };
    for (const auto &c : cases) {
        IndexCopy copy;
        c.second(&copy.v);
        ExpectAlike(&copy, c.first);
    }
}

TEST(KeyIndexLookup, ASlotNamingAnotherKeyOrNothingInBoundsIsNotBelieved)
{
    IndexCopy copy;
    const ZMD_ImageView &shipped = *ZMD_ShippedImage();
    const uint16_t key = shipped.keys[5], rule = shipped.queryRules[3].key;
    const Answer truth = Ask(copy.unindexed(), key), ruleTruth = Ask(copy.unindexed(), rule);
    ASSERT_EQ(truth.lookup, ZMD_OK);
    ASSERT_EQ(ruleTruth.rule, ZMD_OK);

    const uint16_t lies[] = {4, static_cast<uint16_t>(shipped.counts.keys), 0xFFFE};
    for (uint16_t lie : lies) {
        copy.keySlots[copy.slotOf(key)] = lie;
        copy.ruleSlots[copy.slotOf(rule)] = lie % 2 == 0 ? 0 : static_cast<uint16_t>(shipped.counts.queryRules);
        const Answer a = Ask(copy.view(), key), r = Ask(copy.view(), rule);
        EXPECT_EQ(a.lookup, ZMD_OK) << "slot " << lie;
        EXPECT_EQ(a.top.w0, truth.top.w0) << "slot " << lie;
        EXPECT_EQ(a.top.w1, truth.top.w1) << "slot " << lie;
        EXPECT_EQ(r.rule, ZMD_OK) << "slot " << lie;
        EXPECT_EQ(r.found, ruleTruth.found) << "slot " << lie;
    }
    // A range whose slots lie beyond the arrays sends its keys to the search.
    IndexCopy far;
    far.ranges[key >> 12].slotStart = 0xFFFFFFF0u;
    EXPECT_EQ(Ask(far.view(), key).top.w0, truth.top.w0);
}

} // namespace
