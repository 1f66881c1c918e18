// The parameter set (key 0x101E): four blocks picked by the first selection
// row whose six selectors equal integer settings 4, 9, 5, 8, 6 and 81.
#include <cstdint>
#include <cstring>

#include "drv_internal.h"

namespace {

const uint32_t kSelectorSettings[6] = {4, 9, 5, 8, 6, 81};
const uint32_t kHighestSetting = 81;

// A row's first four selectors in one word, its last two in another.
uint64_t HeadOf(const ZMD_SelectionRow &row)
{
    uint64_t head;
    std::memcpy(&head, row.selector, sizeof head);
    return head;
}

uint32_t TailOf(const ZMD_SelectionRow &row)
{
    uint32_t tail;
    std::memcpy(&tail, row.selector + 4, sizeof tail);
    return tail;
}

// The first of rows[0, count) whose selectors are head and tail, or count.
// The table is in no order, so every row before the match is looked at: two
// a step, with one branch for both heads (the first four selectors tell the
// rows apart; the last two rarely do), the tails only where a head matches.
uint32_t FirstMatchingRow(const ZMD_SelectionRow *rows, uint32_t count, uint64_t head, uint32_t tail)
{
    uint32_t r = 0;
    for (; r + 1 < count; r += 2) {
        const bool first = HeadOf(rows[r]) == head;
        const bool second = HeadOf(rows[r + 1]) == head;
        if (first | second) {
            if (first && TailOf(rows[r]) == tail) {
                return r;
            }
            if (second && TailOf(rows[r + 1]) == tail) {
                return r + 1;
            }
        }
    }
    if (r < count && HeadOf(rows[r]) == head && TailOf(rows[r]) == tail) {
        return r;
    }
    return count;
}

// Whether index names one of a table's count blocks.
bool InTable(int32_t index, uint32_t count)
{
    return index >= 0 && static_cast<uint32_t>(index) < count;
}

// Copies block index (checked) of a table of Size-byte blocks to out;
// answers the byte after it.
template <uint32_t Size> uint8_t *CopyBlock(uint8_t *out, const uint8_t *table, int32_t index)
{
    std::memcpy(out, table + static_cast<uint32_t>(index) * Size, Size);
    return out + Size;
}

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
        const uint32_t r = FirstMatchingRow(image->selectionRows, image->counts.selectionRows, head, tail);
        if (r < image->counts.selectionRows) {
            chosen = &image->selectionRows[r];
            chosenRow = r;
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
    // Every index is checked before any byte is written.
    const int16_t *block = chosen->block;
    if (!InTable(block[0], image->counts.blocksA) || !InTable(block[1], image->counts.blocksB) ||
        !InTable(block[2], image->counts.blocksC) || !InTable(block[3], image->counts.blocksD)) {
        return ZMD_ERROR;
    }
    // Blocks back to back from byte 0; the 20 bytes after them keep what they held.
    uint8_t *out = static_cast<uint8_t *>(pBuffer);
    out = CopyBlock<ZMD_BLOCK_A_SIZE>(out, image->blocksA, block[0]);
    out = CopyBlock<ZMD_BLOCK_B_SIZE>(out, image->blocksB, block[1]);
    out = CopyBlock<ZMD_BLOCK_C_SIZE>(out, image->blocksC, block[2]);
    CopyBlock<ZMD_BLOCK_D_SIZE>(out, image->blocksD, block[3]);
    *pcbSize = ZMD_PARAMETER_SET_SIZE;
    return ZMD_OK;
}
