// The parameter set (key 0x101E): four blocks picked by the first selection
// row whose six selectors equal integer settings 4, 9, 5, 8, 6 and 81.
#include <cstdint>

#include "drv_internal.h"

namespace {

const uint32_t kSelectorSettings[6] = {4, 9, 5, 8, 6, 81};
const uint32_t kHighestSetting = 81;

struct BlockTable {
    const uint8_t *base;
    uint32_t count;
    uint32_t size;
};

} // namespace

int32_t ZMD_QueryParameterSet(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                              uint32_t *pcbSize)
{
    const ZMD_ImageView *image = env->image;
    if (pcbSize == nullptr || pRecord == nullptr || image->selectionRows == nullptr || image->blocksA == nullptr ||
        image->blocksB == nullptr || image->blocksC == nullptr || image->blocksD == nullptr) {
        return ZMD_ERROR;
    }
    if (pRecord->pnInts == nullptr || pRecord->cInts <= kHighestSetting) {
        return ZMD_BAD_INT_SETTING;
    }
    if (pBuffer == nullptr || cbBuffer < ZMD_PARAMETER_SET_SIZE) {
        *pcbSize = ZMD_PARAMETER_SET_SIZE;
        return ZMD_MORE_DATA;
    }
    // The six settings, read once. A selector is 16 bits: a setting outside
    // that range matches no row. Each row's selectors are then compared in
    // two loads, the first four and the last two.
    int16_t wanted[6];
    bool inRange = true;
    for (uint32_t i = 0; i < 6; ++i) {
        const int32_t v = pRecord->pnInts[kSelectorSettings[i]];
        inRange = inRange && v >= INT16_MIN && v <= INT16_MAX;
        wanted[i] = static_cast<int16_t>(v);
    }
    const ZMD_SelectionRow *chosen = nullptr;
    uint32_t chosenRow = 0;
    if (inRange) {
        uint64_t head;
        uint32_t tail;
        std::memcpy(&head, wanted, sizeof head);
        std::memcpy(&tail, wanted + 4, sizeof tail);
        for (uint32_t r = 0; r < image->counts.selectionRows; ++r) {
            const ZMD_SelectionRow &row = image->selectionRows[r];
            uint64_t rowHead;
            uint32_t rowTail;
            std::memcpy(&rowHead, row.selector, sizeof rowHead);
            std::memcpy(&rowTail, row.selector + 4, sizeof rowTail);
            if (rowHead == head && rowTail == tail) {
                chosen = &row;
                chosenRow = r;
                break;
            }
        }
    }
    if (env->observer) {
        ZMD_Step s;
        s.kind = ZMD_SEEN_ROW;
        s.key = 0x101Eu;
        s.index = chosenRow;
        s.result = chosen ? ZMD_OK : ZMD_NOT_FOUND;
        s.record = pRecord;
        ZMD_Observe(env, s);
    }
    if (chosen == nullptr) {
        return ZMD_NOT_FOUND;
    }
    const BlockTable tables[4] = {
        {image->blocksA, image->counts.blocksA, ZMD_BLOCK_A_SIZE},
        {image->blocksB, image->counts.blocksB, ZMD_BLOCK_B_SIZE},
        {image->blocksC, image->counts.blocksC, ZMD_BLOCK_C_SIZE},
        {image->blocksD, image->counts.blocksD, ZMD_BLOCK_D_SIZE},
    };
    // Every index is checked before any byte is written.
    for (uint32_t t = 0; t < 4; ++t) {
        int32_t index = chosen->block[t];
        if (index < 0 || static_cast<uint32_t>(index) >= tables[t].count) {
            return ZMD_ERROR;
        }
    }
    // Blocks back to back from byte 0; the 20 bytes after them keep what they held.
    auto *out = static_cast<uint8_t *>(pBuffer);
    for (uint32_t t = 0; t < 4; ++t) {
        std::memcpy(out, tables[t].base + static_cast<uint32_t>(chosen->block[t]) * tables[t].size, tables[t].size);
        out += tables[t].size;
    }
    *pcbSize = ZMD_PARAMETER_SET_SIZE;
    return ZMD_OK;
}
