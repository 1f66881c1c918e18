// Builds small synthetic (and deliberately malformed) database images for
// tests. Nodes are added bottom-up: add the leaves, then the runs of
// children or cases that point at them, then the branch above, then the key.
//
//   ImageBuilder b;
//   uint32_t a = b.add(b.text(0x0002, "A"));
//   uint32_t d = b.add(b.text(0x0002, "D"));
//   uint32_t cases = b.addRun({mk::caseEqual(a, 1), mk::caseDefault(d)});
//   b.addKey(0x0002, b.add(mk::selectInt(cases, 0, 2)));
//   ZMD_ImageView v = b.view();   // valid while b lives and is not changed
//
// view() gives a table a null base when it is empty, so a test that needs a
// present-but-empty table, or a missing table that has entries, edits the
// view afterwards.
#ifndef ZMD_TEST_IMAGE_BUILDER_H
#define ZMD_TEST_IMAGE_BUILDER_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "image.h"

namespace mk {

inline ZMD_Node node(uint32_t kind, uint32_t operand, uint32_t w1)
{
    return ZMD_Node{ZMD_MakeW0(kind, operand), w1};
}
inline ZMD_Node value(uint32_t kind, uint32_t offset, uint16_t key, uint16_t count)
{
    return node(kind, offset, ZMD_MakeW1(key, count));
}
inline ZMD_Node computed(uint16_t key, uint16_t type)
{
    return value(ZMD_KIND_COMPUTED, 0, key, type);
}
inline ZMD_Node list(uint32_t first, uint16_t count)
{
    return node(ZMD_KIND_LIST, first, count);
}
inline ZMD_Node switchOn(uint32_t first, uint16_t setting, uint16_t count)
{
    return node(ZMD_KIND_SWITCH, first, ZMD_MakeW1(setting, count));
}
inline ZMD_Node when(uint32_t first, uint16_t value, uint16_t count)
{
    return node(ZMD_KIND_WHEN, first, ZMD_MakeW1(value, count));
}
inline ZMD_Node selectInt(uint32_t firstCase, uint16_t setting, uint16_t count)
{
    return node(ZMD_KIND_SELECT_INT, firstCase, ZMD_MakeW1(setting, count));
}
inline ZMD_Node selectString(uint32_t firstCase, uint16_t setting, uint16_t count)
{
    return node(ZMD_KIND_SELECT_STRING, firstCase, ZMD_MakeW1(setting, count));
}
inline ZMD_Node selectPrinterData(uint32_t firstCase, uint16_t selector, uint16_t count)
{
    return node(ZMD_KIND_SELECT_PRINTER_DATA, firstCase, ZMD_MakeW1(selector, count));
}
inline ZMD_Node selectCountry(uint32_t firstCase, uint16_t count, uint16_t selector = 0x500F)
{
    return node(ZMD_KIND_SELECT_COUNTRY, firstCase, ZMD_MakeW1(selector, count));
}
inline ZMD_Node selectMasked(uint32_t maskNode, uint16_t setting, uint16_t count)
{
    return node(ZMD_KIND_SELECT_MASKED, maskNode, ZMD_MakeW1(setting, count));
}
inline ZMD_Node mask(uint32_t firstCase, uint32_t bits)
{
    return node(ZMD_KIND_MASK, firstCase, bits);
}
inline ZMD_Node caseEqual(uint32_t target, uint32_t v)
{
    return node(ZMD_KIND_CASE_EQUAL, target, v);
}
inline ZMD_Node caseEqualInt(uint32_t target, int32_t v)
{
    return caseEqual(target, static_cast<uint32_t>(v));
}
inline ZMD_Node caseString(uint32_t target, uint32_t stringNode)
{
    return node(ZMD_KIND_CASE_STRING, target, stringNode);
}
inline ZMD_Node caseDefault(uint32_t target)
{
    return node(ZMD_KIND_CASE_DEFAULT, target, 0);
}
inline ZMD_Node caseRange(uint32_t target, uint32_t poolIndex)
{
    return node(ZMD_KIND_CASE_RANGE, target, poolIndex);
}

} // namespace mk

class ImageBuilder {
public:
    // Rule trees and pools.
    std::vector<ZMD_Node> nodes;
    std::vector<uint16_t> keys;
    std::vector<uint32_t> keyNodes;
    std::vector<int32_t> int32Pool;
    std::vector<uint16_t> int16Pool;
    std::vector<uint8_t> bytePool;
    std::string caseStrings;
    // Driver query tables.
    std::vector<uint16_t> seqKeys;
    std::vector<uint16_t> seqPartCounts;
    std::vector<uint32_t> seqStarts;
    std::vector<uint32_t> seqParts;
    std::vector<uint16_t> listNumbers;
    std::vector<uint16_t> listLengths;
    std::vector<uint32_t> listStarts;
    std::vector<uint16_t> listIds;
    std::vector<uint32_t> listNameIds;
    std::vector<ZMD_SelectionRow> selectionRows;
    std::vector<uint8_t> blocksA, blocksB, blocksC, blocksD; // whole blocks back to back
    std::vector<ZMD_QueryRule> queryRules;

    // Appends a node; returns its index.
    uint32_t add(ZMD_Node n)
    {
        nodes.push_back(n);
        return static_cast<uint32_t>(nodes.size() - 1);
    }
    // Appends a contiguous run (children or cases); returns the first index.
    uint32_t addRun(std::initializer_list<ZMD_Node> run)
    {
        uint32_t first = static_cast<uint32_t>(nodes.size());
        nodes.insert(nodes.end(), run.begin(), run.end());
        return first;
    }
    uint32_t addRun(const std::vector<ZMD_Node> &run)
    {
        uint32_t first = static_cast<uint32_t>(nodes.size());
        nodes.insert(nodes.end(), run.begin(), run.end());
        return first;
    }
    // Reserves n placeholder nodes (kind 0) to fill in later with set().
    uint32_t reserve(uint32_t n)
    {
        uint32_t first = static_cast<uint32_t>(nodes.size());
        nodes.resize(nodes.size() + n, ZMD_Node{0, 0});
        return first;
    }
    void set(uint32_t index, ZMD_Node n) { nodes.at(index) = n; }

    // Keys must be added in ascending order (the builder does not sort).
    void addKey(uint16_t key, uint32_t topNode)
    {
        keys.push_back(key);
        keyNodes.push_back(topNode);
    }

    // Value nodes that append their elements to the pool (not added as nodes).
    ZMD_Node text(uint16_t key, const std::string &s) // stores s and its NUL
    {
        uint32_t off = putBytes(s.data(), s.size());
        bytePool.push_back(0);
        return mk::value(ZMD_KIND_TEXT, off, key, static_cast<uint16_t>(s.size() + 1));
    }
    ZMD_Node bytes(uint16_t key, const std::vector<uint8_t> &b, uint32_t kind = ZMD_KIND_BYTES)
    {
        uint32_t off = putBytes(b.data(), b.size());
        return mk::value(kind, off, key, static_cast<uint16_t>(b.size()));
    }
    ZMD_Node int8s(uint16_t key, const std::vector<int8_t> &v) // INT8_ARRAY
    {
        uint32_t off = putBytes(v.data(), v.size());
        return mk::value(ZMD_KIND_INT8_ARRAY, off, key, static_cast<uint16_t>(v.size()));
    }
    ZMD_Node uint8s(uint16_t key, const std::vector<uint8_t> &v) { return bytes(key, v, ZMD_KIND_UINT8_ARRAY); }
    ZMD_Node int16s(uint16_t key, const std::vector<uint16_t> &v, uint32_t kind = ZMD_KIND_INT16_ARRAY)
    {
        uint32_t off = static_cast<uint32_t>(int16Pool.size());
        int16Pool.insert(int16Pool.end(), v.begin(), v.end());
        return mk::value(kind, off, key, static_cast<uint16_t>(v.size()));
    }
    ZMD_Node uint16s(uint16_t key, const std::vector<uint16_t> &v) { return int16s(key, v, ZMD_KIND_UINT16_ARRAY); }
    ZMD_Node int32s(uint16_t key, const std::vector<int32_t> &v)
    {
        uint32_t off = putInt32s(v);
        return mk::value(ZMD_KIND_INT32_ARRAY, off, key, static_cast<uint16_t>(v.size()));
    }
    // The BYTES node a CASE_STRING names: offset into the case-string pool, key 0.
    ZMD_Node caseStringNode(const std::string &s)
    {
        uint32_t off = static_cast<uint32_t>(caseStrings.size());
        caseStrings += s;
        return mk::value(ZMD_KIND_BYTES, off, 0, static_cast<uint16_t>(s.size()));
    }
    // Appends to the int32 pool; returns the index of the first entry.
    uint32_t putInt32s(const std::vector<int32_t> &v)
    {
        uint32_t off = static_cast<uint32_t>(int32Pool.size());
        int32Pool.insert(int32Pool.end(), v.begin(), v.end());
        return off;
    }
    uint32_t putBytes(const void *p, size_t n)
    {
        uint32_t off = static_cast<uint32_t>(bytePool.size());
        const uint8_t *b = static_cast<const uint8_t *>(p);
        bytePool.insert(bytePool.end(), b, b + n);
        return off;
    }

    ZMD_ImageView view() const
    {
        ZMD_ImageView v{};
        v.nodes = base(nodes);
        v.keys = base(keys);
        v.keyNodes = base(keyNodes);
        v.int32Pool = base(int32Pool);
        v.int16Pool = base(int16Pool);
        v.bytePool = base(bytePool);
        v.caseStringPool = caseStrings.empty() ? nullptr : caseStrings.data();
        v.seqKeys = base(seqKeys);
        v.seqPartCounts = base(seqPartCounts);
        v.seqStarts = base(seqStarts);
        v.seqParts = base(seqParts);
        v.listNumbers = base(listNumbers);
        v.listLengths = base(listLengths);
        v.listStarts = base(listStarts);
        v.listIds = base(listIds);
        v.listNameIds = base(listNameIds);
        v.selectionRows = base(selectionRows);
        v.blocksA = base(blocksA);
        v.blocksB = base(blocksB);
        v.blocksC = base(blocksC);
        v.blocksD = base(blocksD);
        v.queryRules = base(queryRules);
        v.counts.nodes = count(nodes);
        v.counts.keys = count(keys);
        v.counts.seqKeys = count(seqKeys);
        v.counts.seqParts = count(seqParts);
        v.counts.lists = count(listNumbers);
        v.counts.listEntries = count(listIds);
        v.counts.int32Pool = count(int32Pool);
        v.counts.int16Pool = count(int16Pool);
        v.counts.bytePool = count(bytePool);
        v.counts.caseStringPool = static_cast<uint32_t>(caseStrings.size());
        v.counts.selectionRows = count(selectionRows);
        v.counts.blocksA = static_cast<uint32_t>(blocksA.size() / ZMD_BLOCK_A_SIZE);
        v.counts.blocksB = static_cast<uint32_t>(blocksB.size() / ZMD_BLOCK_B_SIZE);
        v.counts.blocksC = static_cast<uint32_t>(blocksC.size() / ZMD_BLOCK_C_SIZE);
        v.counts.blocksD = static_cast<uint32_t>(blocksD.size() / ZMD_BLOCK_D_SIZE);
        v.counts.queryRules = count(queryRules);
        return v;
    }

private:
    template <typename T> static const T *base(const std::vector<T> &v) { return v.empty() ? nullptr : v.data(); }
    template <typename T> static uint32_t count(const std::vector<T> &v) { return static_cast<uint32_t>(v.size()); }
};

#endif // ZMD_TEST_IMAGE_BUILDER_H
