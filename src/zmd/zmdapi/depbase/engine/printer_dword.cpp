// Reading a 4-byte value stored with the printer.
#include "engine.h"

// Reads the value named by a TEXT value node into *value. Returns 0 when the
// value was read, 1 when there is no printer or the value is absent or
// unreadable (larger than 4 bytes, say), ZMD_ERROR for a malformed name node
// or when memory is short. A stored value shorter than 4 bytes reads with its
// missing high bytes as 0; *value is written only when the read succeeds.
int32_t ZMD_ReadPrinterDword(const ZMD_Env *env, void *hPrinter, uint32_t nameW0, uint32_t nameW1, int32_t *value)
{
    if (!hPrinter) {
        return 1;
    }
    if (!value || !env || !env->image || !env->platform) {
        return ZMD_ERROR;
    }
    const ZMD_ImageView *image = env->image;
    const ZMD_Platform *platform = env->platform;
    if (ZMD_NodeKindOf(nameW0) != ZMD_KIND_TEXT) {
        return ZMD_ERROR;
    }
    const uint64_t offset = ZMD_NodeOperand(nameW0);
    const uint32_t count = ZMD_NodeLow(nameW1);
    if (!image->bytePool || offset + count > image->counts.bytePool) {
        return ZMD_ERROR;
    }

    // One character more than the stored text, so the name is terminated
    // even if the image's text lacks its NUL: in this frame when it fits (the
    // names are short), else on the heap.
    const uint32_t kFrameChars = 64;
    ZMD_WCHAR frame[kFrameChars];
    ZMD_WCHAR *name = frame;
    const bool onHeap = count + 1u > kFrameChars;
    if (onHeap) {
        name = static_cast<ZMD_WCHAR *>(platform->alloc(platform->ctx, (count + 1u) * sizeof(ZMD_WCHAR)));
        if (!name) {
            return ZMD_ERROR;
        }
    }
    for (uint32_t i = 0; i < count; ++i) {
        name[i] = static_cast<ZMD_WCHAR>(image->bytePool[offset + i]);
    }
    name[count] = 0;

    uint8_t data[4] = {0, 0, 0, 0};
    uint32_t needed = 0;
    const bool ok = ZMD_GetPrinterData(env, hPrinter, name, data, sizeof data, &needed);
    if (onHeap) {
        platform->free(platform->ctx, name);
    }
    if (!ok) {
        return 1;
    }
    *value = static_cast<int32_t>(static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                                  static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
    return 0;
}
