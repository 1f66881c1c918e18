// Placeholder database image: a handful of keys, one per database, until the
// image generated from the database source takes this file's place.
#include "image.h"

namespace {

const ZMD_Node kNodes[] = {
    {ZMD_MakeW0(ZMD_KIND_LIST, 1), ZMD_MakeW1(0, 6)},              // 0: the top nodes of all keys
    {ZMD_MakeW0(ZMD_KIND_TEXT, 0), ZMD_MakeW1(0x0002, 5)},         // 1: "1.50"
    {ZMD_MakeW0(ZMD_KIND_INT32_ARRAY, 0), ZMD_MakeW1(0x1001, 2)},  // 2: 21000, 29700
    {ZMD_MakeW0(ZMD_KIND_BYTES, 5), ZMD_MakeW1(0x2001, 2)},        // 3: 1B 40
    {ZMD_MakeW0(ZMD_KIND_UINT8_ARRAY, 7), ZMD_MakeW1(0x3001, 3)},  // 4: 1, 2, 3
    {ZMD_MakeW0(ZMD_KIND_INT16_ARRAY, 0), ZMD_MakeW1(0x4001, 2)},  // 5: -1, 100
    {ZMD_MakeW0(ZMD_KIND_TEXT, 10), ZMD_MakeW1(0x6001, 6)},        // 6: "ready"
};

const uint16_t kKeys[] = {0x0002, 0x1001, 0x2001, 0x3001, 0x4001, 0x6001};
const uint32_t kKeyNodes[] = {1, 2, 3, 4, 5, 6};

const int32_t kInt32Pool[] = {21000, 29700};
const uint16_t kInt16Pool[] = {0xFFFF, 100};
const uint8_t kBytePool[] = {'1', '.', '5', '0', 0, 0x1B, 0x40, 1, 2, 3, 'r', 'e', 'a', 'd', 'y', 0};

template <typename T, uint32_t N> constexpr uint32_t CountOf(const T (&)[N]) { return N; }

const ZMD_ImageView kImage = {
    kNodes, kKeys, kKeyNodes, kInt32Pool, kInt16Pool, kBytePool, nullptr,
    nullptr, nullptr, nullptr, nullptr,                // sequences
    nullptr, nullptr, nullptr, nullptr, nullptr,       // list catalogue
    nullptr, nullptr, nullptr, nullptr, nullptr,       // parameter set
    {CountOf(kNodes), CountOf(kKeys), 0, 0, 0, 0, CountOf(kInt32Pool), CountOf(kInt16Pool), CountOf(kBytePool), 0,
     0, 0, 0, 0, 0},
};

} // namespace

const ZMD_ImageView *ZMD_ShippedImage() { return &kImage; }
