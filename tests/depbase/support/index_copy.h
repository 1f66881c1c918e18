// The shipped image with its key index copied into arrays a test may change:
// view() points at the shipped tables and the copies. Valid while the
// IndexCopy lives and its arrays keep their sizes.
#ifndef ZMD_TEST_INDEX_COPY_H
#define ZMD_TEST_INDEX_COPY_H

#include <vector>

#include "image.h"

struct IndexCopy {
    std::vector<ZMD_KeyRange> ranges;
    std::vector<uint16_t> keySlots;
    std::vector<uint16_t> ruleSlots;
    ZMD_ImageView v;

    IndexCopy() : v(*ZMD_ShippedImage())
    {
        ranges.assign(v.keyRanges, v.keyRanges + v.counts.keyRanges);
        keySlots.assign(v.keySlots, v.keySlots + v.counts.keySlots);
        ruleSlots.assign(v.ruleSlots, v.ruleSlots + v.counts.keySlots);
    }
    // The slot of a key the shipped index covers.
    size_t slotOf(uint16_t key) const
    {
        const ZMD_KeyRange &r = ranges.at(key >> 12);
        return r.slotStart + static_cast<size_t>(key - r.first);
    }
    const ZMD_ImageView *view()
    {
        v.keyRanges = ranges.data();
        v.keySlots = keySlots.data();
        v.ruleSlots = ruleSlots.data();
        return &v;
    }
    // The same image (with v's tables and counts) without an index: keys
    // and rules are searched.
    const ZMD_ImageView *unindexed()
    {
        bare = v;
        bare.keyRanges = nullptr;
        bare.keySlots = nullptr;
        bare.ruleSlots = nullptr;
        bare.counts.keyRanges = 0;
        bare.counts.keySlots = 0;
        return &bare;
    }

private:
    ZMD_ImageView bare;
};

#endif // ZMD_TEST_INDEX_COPY_H
