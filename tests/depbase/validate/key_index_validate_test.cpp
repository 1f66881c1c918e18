// The validation of the key index: the shipped index and an image without
// one pass; an index that lies in any way is refused, by ZMD_ValidateImage
// and, where the rule slots lie, by ZMD_ValidateQueryRules too.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "depbase.h"
#include "fake_platform.h"
#include "image_validate.h"
#include "index_copy.h"

namespace {

void Collect(void *ctx, const char *message)
{
    static_cast<std::string *>(ctx)->append(message).append("\n");
}

// The first slot of the copy that names nothing in `slots`.
size_t EmptySlot(const std::vector<uint16_t> &slots)
{
    for (size_t s = 0; s < slots.size(); ++s) {
        if (slots[s] == ZMD_NO_SLOT) {
            return s;
        }
    }
    return slots.size();
}

TEST(KeyIndexValidate, TheShippedIndexAndNoIndexPass)
{
    FakePlatform fake;
    IndexCopy copy;
    std::string faults;
    EXPECT_EQ(ZMD_ValidateImage(copy.view(), fake.platform(), Collect, &faults), ZMD_OK) << faults;
    EXPECT_EQ(ZMD_ValidateImage(copy.unindexed(), fake.platform(), Collect, &faults), ZMD_OK) << faults;
    EXPECT_EQ(ZMD_ValidateQueryRules(copy.unindexed(), Collect, &faults), ZMD_OK) << faults;
}

struct Lie {
    const char *name;
    bool inRules; // the rule slots lie: ZMD_ValidateQueryRules refuses it too
    std::function<void(IndexCopy *, ZMD_ImageView *)> edit;
};

TEST(KeyIndexValidate, EveryKindOfLyingIndexIsRefused)
{
    const ZMD_ImageView &s = *ZMD_ShippedImage();
    const uint16_t count = static_cast<uint16_t>(s.counts.keys);
    const uint16_t rules = static_cast<uint16_t>(s.counts.queryRules);
    const Lie lies[] = {
        {"two key slots swapped", false,
         [&](IndexCopy *c, ZMD_ImageView *) {
             std::swap(c->keySlots[c->slotOf(s.keys[0])], c->keySlots[c->slotOf(s.keys[1])]);
         }},
        {"a key's slot emptied", false,
         [&](IndexCopy *c, ZMD_ImageView *) { c->keySlots[c->slotOf(s.keys[3])] = ZMD_NO_SLOT; }},
        {"an empty key slot names an entry", false,
         [&](IndexCopy *c, ZMD_ImageView *) { c->keySlots[EmptySlot(c->keySlots)] = 0; }},
        {"a key slot beyond the key table", false,
         [&](IndexCopy *c, ZMD_ImageView *) { c->keySlots[EmptySlot(c->keySlots)] = count; }},
        {"two rule slots swapped", true,
         [&](IndexCopy *c, ZMD_ImageView *) {
             std::swap(c->ruleSlots[c->slotOf(s.queryRules[0].key)], c->ruleSlots[c->slotOf(s.queryRules[1].key)]);
         }},
        {"a rule's slot emptied", true,
         [&](IndexCopy *c, ZMD_ImageView *) { c->ruleSlots[c->slotOf(s.queryRules[2].key)] = ZMD_NO_SLOT; }},
        {"an empty rule slot names a rule", true,
         [&](IndexCopy *c, ZMD_ImageView *) { c->ruleSlots[EmptySlot(c->ruleSlots)] = 0; }},
        {"a rule slot beyond the rules", true,
         [&](IndexCopy *c, ZMD_ImageView *) { c->ruleSlots[EmptySlot(c->ruleSlots)] = rules; }},
        {"a range starting at another slot", true, [](IndexCopy *c, ZMD_ImageView *) { c->ranges[1].slotStart += 1; }},
        {"a range reaching into the next nibble", true,
         [](IndexCopy *c, ZMD_ImageView *v) {
             c->ranges[0].count = static_cast<uint16_t>(0x1000u - c->ranges[0].first + 1);
             // The others move up, so that only the nibble is at fault.
             uint32_t at = 0;
             for (ZMD_KeyRange &r : c->ranges) {
                 r.slotStart = at;
                 at += r.count;
             }
             v->counts.keySlots = at;
             c->keySlots.resize(at, ZMD_NO_SLOT);
             c->ruleSlots.resize(at, ZMD_NO_SLOT);
             v->keySlots = c->keySlots.data();
             v->ruleSlots = c->ruleSlots.data();
         }},
        {"a range cut short, its last key left outside", false, // the last database has no rules
         [](IndexCopy *c, ZMD_ImageView *v) {
             size_t last = 0;
             for (size_t r = 0; r < c->ranges.size(); ++r) {
                 last = c->ranges[r].count ? r : last;
             }
             c->ranges[last].count -= 1;
             for (size_t r = last + 1; r < c->ranges.size(); ++r) {
                 c->ranges[r].slotStart -= 1;
             }
             v->counts.keySlots -= 1;
         }},
        {"slot arrays longer than the ranges", true, [](IndexCopy *, ZMD_ImageView *v) { v->counts.keySlots -= 1; }},
        {"fewer ranges", true, [](IndexCopy *, ZMD_ImageView *v) { v->counts.keyRanges = 7; }},
        {"no rule slots", true, [](IndexCopy *, ZMD_ImageView *v) { v->ruleSlots = nullptr; }},
        {"no key slots", true, [](IndexCopy *, ZMD_ImageView *v) { v->keySlots = nullptr; }},
        {"ranges without slots", true,
         [](IndexCopy *, ZMD_ImageView *v) {
             v->keySlots = nullptr;
             v->ruleSlots = nullptr;
         }},
    };
    FakePlatform fake;
    for (const Lie &lie : lies) {
        IndexCopy copy;
        ZMD_ImageView *view = const_cast<ZMD_ImageView *>(copy.view());
        lie.edit(&copy, view);
        std::string faults;
        EXPECT_EQ(ZMD_ValidateImage(view, fake.platform(), Collect, &faults), ZMD_ERROR) << lie.name;
        EXPECT_NE(faults.find("key index: "), std::string::npos) << lie.name << ": " << faults;
        faults.clear();
        EXPECT_EQ(ZMD_ValidateQueryRules(view, Collect, &faults), lie.inRules ? ZMD_ERROR : ZMD_OK)
            << lie.name << ": " << faults;
    }
}

} // namespace
