// MemBlock: one zero-filled allocation from the global heap.
//
// Life of a block: empty (memInit) -> allocated (memAlloc, memAllocBlock)
// -> empty again (memRelease). A block is never half-freed: it either owns
// its allocation or holds no pointer at all. Whoever holds a block releases
// it before the call that created it returns.
#ifndef KZ_MEM_BLOCK_H
#define KZ_MEM_BLOCK_H

#include <cstdint>

#include "cal_platform.h"

struct MemBlock {
    void *handle;                // the allocation, null when none (fixed memory: also its address)
    void *data;                  // the bytes; non-null marks the block as in use
    const CalPlatform *platform; // the heap it comes from; null means the default backend
};

// Makes the block empty (handle and data null) and binds it to a heap.
void memInit(MemBlock *block, const CalPlatform *platform);

// Zero-filled allocation of size bytes into block->handle and *out. *out is
// set to null first. CAL_OK, or CAL_ERR_NO_MEMORY.
int16_t memAlloc(uint32_t size, MemBlock *block, void **out);
// memAlloc into the block's own data, only when data is null. CAL_OK, or
// CAL_ERR_NO_MEMORY (also when the block is in use; nothing is allocated then).
int16_t memAllocBlock(uint32_t size, MemBlock *block);
// Frees the allocation, if any, and leaves the block empty (handle and data
// null), still bound to its heap. Releasing an empty block does nothing.
void memRelease(MemBlock *block);

#endif // KZ_MEM_BLOCK_H
