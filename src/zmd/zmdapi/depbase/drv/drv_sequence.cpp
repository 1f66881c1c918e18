// Command sequences (keys 0x1018 to 0x101D): a printer command string made of
// parts that are chosen one by one. A part whose tree yields nothing is left out.
#include <cstring>

#include "drv_internal.h"
#include "engine.h"
#include "computed.h"
#include "extract.h"

namespace {

// Finds the key in the sequence table.
bool FindSequence(const ZMD_ImageView *image, uint32_t key, uint32_t *index)
{
    for (uint32_t s = 0; s < image->counts.seqKeys; ++s) {
        if (image->seqKeys[s] == key) {
            *index = s;
            return true;
        }
    }
    return false;
}

// Evaluates every part into its slot; an empty slot (first word 0) is a part
// that yields nothing.
int32_t ChoosePartsInto(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t start, uint32_t nParts,
                        ZMD_Node *slots)
{
    const ZMD_ImageView *image = env->image;
    for (uint32_t m = 0; m < nParts; ++m) {
        uint64_t pos = static_cast<uint64_t>(start) + m;
        if (pos >= image->counts.seqParts) {
            return ZMD_ERROR;
        }
        uint32_t index = image->seqParts[pos];
        if (index >= image->counts.nodes) {
            return ZMD_ERROR;
        }
        slots[m].w0 = 0;
        const ZMD_Node part = image->nodes[index];
        if (env->observer) {
            ZMD_Step s;
            s.kind = ZMD_SEEN_PART;
            s.key = ZMD_SEQUENCE_TAG_KEY;
            s.index = m;
            s.arg = index;
            s.node = part;
            s.record = pRecord;
            ZMD_Observe(env, s);
        }
        int32_t r = ZMD_EvaluateNode(env, ZMD_SEQUENCE_TAG_KEY, pRecord, part.w0, part.w1, &slots[m]);
        if (r == ZMD_NOT_FOUND) {
            slots[m].w0 = 0;
        } else if (r != ZMD_OK) {
            return r;
        }
    }
    return ZMD_OK;
}

// Size pass, then (with a buffer that holds the whole) the fill pass.
int32_t Assemble(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, const ZMD_Node *slots, uint32_t nParts,
                 uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    uint64_t total = 0;
    for (uint32_t m = 0; m < nParts; ++m) {
        if (slots[m].w0 == 0) {
            continue;
        }
        uint32_t size = 0;
        int32_t r = ZMD_ExtractValue(env, pRecord, 0, nullptr, &size, slots[m]);
        if (r != ZMD_OK && r != ZMD_MORE_DATA) {
            return r;
        }
        total += size;
    }
    if (total > UINT32_MAX) {
        return ZMD_ERROR;
    }
    // A size query is a size query whatever cbBuffer claims.
    if (pBuffer == nullptr || total > cbBuffer) {
        *pcbSize = static_cast<uint32_t>(total);
        return ZMD_MORE_DATA;
    }
    auto *out = static_cast<uint8_t *>(pBuffer);
    uint32_t written = 0;
    for (uint32_t m = 0; m < nParts; ++m) {
        if (slots[m].w0 == 0) {
            continue;
        }
        uint32_t size = 0;
        int32_t r = ZMD_ExtractValue(env, pRecord, cbBuffer - written, out + written, &size, slots[m]);
        if (r == ZMD_MORE_DATA) {
            return ZMD_ERROR; // a part grew between the passes
        }
        if (r != ZMD_OK) {
            return r;
        }
        written += size;
    }
    *pcbSize = written;
    return ZMD_OK;
}

// The parts' bytes gathered in this frame in one pass (each value computed
// once, the clock read once): the answer as Assemble gives it, or, with
// *gathered false, nothing decided (a part did not fit the frame's room).
int32_t AssembleInFrame(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, const ZMD_Node *slots, uint32_t nParts,
                        uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize, bool *gathered)
{
    const uint32_t kRoom = 512;
    uint8_t room[kRoom];
    uint32_t used = 0;
    *gathered = false;
    for (uint32_t m = 0; m < nParts; ++m) {
        if (slots[m].w0 == 0) {
            continue;
        }
        uint32_t size = 0;
        int32_t r = ZMD_ExtractValue(env, pRecord, kRoom - used, room + used, &size, slots[m]);
        if (r == ZMD_MORE_DATA) {
            return ZMD_OK;
        }
        if (r != ZMD_OK) {
            return r;
        }
        used += size;
    }
    *gathered = true;
    *pcbSize = used;
    if (pBuffer == nullptr || used > cbBuffer) {
        return ZMD_MORE_DATA;
    }
    std::memcpy(pBuffer, room, used);
    return ZMD_OK;
}

} // namespace

int32_t ZMD_QueryCommandSequence(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                 void *pBuffer, uint32_t *pcbSize)
{
    if (pcbSize == nullptr) {
        return ZMD_ERROR;
    }
    const ZMD_ImageView *image = env->image;
    if (image->seqKeys == nullptr || image->seqPartCounts == nullptr || image->seqStarts == nullptr ||
        image->seqParts == nullptr || image->nodes == nullptr) {
        return ZMD_NOT_FOUND;
    }
    uint32_t s = 0;
    if (!FindSequence(image, key, &s)) {
        return ZMD_NOT_FOUND;
    }
    uint32_t nParts = image->seqPartCounts[s];
    const ZMD_Platform *platform = env->platform;
    // The part slots in this frame when they fit, else on the heap (never a
    // zero-byte request: a sequence without parts still takes one slot).
    const uint32_t kFrameSlots = 16;
    ZMD_Node frame[kFrameSlots];
    ZMD_Node *slots = frame;
    const bool onHeap = nParts > kFrameSlots;
    if (onHeap) {
        slots = static_cast<ZMD_Node *>(platform->alloc(platform->ctx, sizeof(ZMD_Node) * nParts));
        if (slots == nullptr) {
            return ZMD_ERROR;
        }
    }
    int32_t r = ChoosePartsInto(env, pRecord, image->seqStarts[s], nParts, slots);
    // An observer sees the extractions of both passes, so an observed query
    // keeps them; otherwise one pass in this frame when the parts fit it.
    bool gathered = false;
    if (r == ZMD_OK && !env->observer) {
        r = AssembleInFrame(env, pRecord, slots, nParts, cbBuffer, pBuffer, pcbSize, &gathered);
    }
    if (r == ZMD_OK && !gathered) {
        r = Assemble(env, pRecord, slots, nParts, cbBuffer, pBuffer, pcbSize);
    }
    if (onHeap) {
        platform->free(platform->ctx, slots);
    }
    return r;
}
