// Builds the key index of a laid-out image (image.h, ZMD_KeyRange): per high
// nibble of a key the span from the lowest to the highest key that has a tree
// or a rule, and for every key of the span its position in the key table and
// in the query rules.
#include "dbc.h"

void DbcIndexKeys(DbcImage *img)
{
    img->keyRanges.clear();
    img->keySlots.clear();
    img->ruleSlots.clear();
    // A position must differ from ZMD_NO_SLOT; an image this large goes without.
    if (img->keys.size() >= ZMD_NO_SLOT || img->queryRules.size() >= ZMD_NO_SLOT) {
        return;
    }
    uint32_t low[ZMD_KEY_RANGES], high[ZMD_KEY_RANGES];
    for (uint32_t r = 0; r < ZMD_KEY_RANGES; ++r) {
        low[r] = 0x10000u;
        high[r] = 0;
    }
    const auto note = [&](uint32_t key) {
        const uint32_t r = key >> 12;
        low[r] = key < low[r] ? key : low[r];
        high[r] = key > high[r] ? key : high[r];
    };
    for (uint16_t key : img->keys) {
        note(key);
    }
    for (const ZMD_QueryRule &rule : img->queryRules) {
        note(rule.key);
    }
    for (uint32_t r = 0; r < ZMD_KEY_RANGES; ++r) {
        ZMD_KeyRange range{0, 0, static_cast<uint32_t>(img->keySlots.size())};
        if (low[r] <= high[r]) {
            range.first = static_cast<uint16_t>(low[r]);
            range.count = static_cast<uint16_t>(high[r] - low[r] + 1);
        }
        img->keyRanges.push_back(range);
        img->keySlots.resize(img->keySlots.size() + range.count, ZMD_NO_SLOT);
    }
    img->ruleSlots.assign(img->keySlots.size(), ZMD_NO_SLOT);
    // The first entry of a key is the one a search finds.
    const auto slotOf = [&](uint32_t key) {
        const ZMD_KeyRange &range = img->keyRanges[key >> 12];
        return range.slotStart + (key - range.first);
    };
    for (size_t i = 0; i < img->keys.size(); ++i) {
        uint16_t &slot = img->keySlots[slotOf(img->keys[i])];
        slot = slot == ZMD_NO_SLOT ? static_cast<uint16_t>(i) : slot;
    }
    for (size_t i = 0; i < img->queryRules.size(); ++i) {
        uint16_t &slot = img->ruleSlots[slotOf(img->queryRules[i].key)];
        slot = slot == ZMD_NO_SLOT ? static_cast<uint16_t>(i) : slot;
    }
}
