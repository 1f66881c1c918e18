// MemBlock: zero-filled allocations from the global heap of the block's host.
#include "mem_block.h"

#include "cal_types.h"

void memInit(MemBlock *block, const CalPlatform *platform)
{
    block->handle = nullptr;
    block->data = nullptr;
    block->platform = platform;
}

int16_t memAlloc(uint32_t size, MemBlock *block, void **out)
{
    *out = nullptr;
    const CalPlatform *p = calPlatformOr(block->platform);
    void *mem = p->alloc(p->ctx, size);
    block->handle = mem;
    if (mem == nullptr) {
        return CAL_ERR_NO_MEMORY;
    }
    *out = mem;
    return CAL_OK;
}

int16_t memAllocBlock(uint32_t size, MemBlock *block)
{
    if (block->data != nullptr) {
        return CAL_ERR_NO_MEMORY; // in use: a second allocation would lose the first
    }
    return memAlloc(size, block, &block->data) == CAL_OK ? CAL_OK : CAL_ERR_NO_MEMORY;
}

void memRelease(MemBlock *block)
{
    if (block->handle != nullptr) {
        const CalPlatform *p = calPlatformOr(block->platform);
        p->free(p->ctx, block->handle);
    }
    block->handle = nullptr;
    block->data = nullptr;
}
