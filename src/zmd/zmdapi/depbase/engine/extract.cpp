// Value extraction with the size protocol: the size is always reported in
// bytes, and the value is copied only into a buffer that is present and large
// enough. The size word is written only on ZMD_OK and ZMD_MORE_DATA.
#include "extract.h"

#include <cstring>

namespace {

// Which pool a value kind reads, and how wide each delivered element is.
struct KindInfo {
    uint32_t width;    // delivered bytes per element
    uint32_t poolSize; // elements in the kind's pool
    bool poolPresent;
};

bool DescribeKind(const ZMD_ImageView *image, uint32_t kind, KindInfo *info)
{
    switch (kind) {
    case ZMD_KIND_BYTES:
        *info = {1, image->counts.bytePool, image->bytePool != nullptr};
        return true;
    case ZMD_KIND_INT8_ARRAY:
    case ZMD_KIND_UINT8_ARRAY:
        *info = {4, image->counts.bytePool, image->bytePool != nullptr};
        return true;
    case ZMD_KIND_TEXT:
        *info = {2, image->counts.bytePool, image->bytePool != nullptr};
        return true;
    case ZMD_KIND_INT32_ARRAY:
        *info = {4, image->counts.int32Pool, image->int32Pool != nullptr};
        return true;
    case ZMD_KIND_INT16_ARRAY:
    case ZMD_KIND_UINT16_ARRAY:
        *info = {4, image->counts.int16Pool, image->int16Pool != nullptr};
        return true;
    default:
        return false;
    }
}

void PutInt32(uint8_t *dst, uint32_t index, int32_t v)
{
    std::memcpy(dst + 4u * index, &v, sizeof v);
}

void CopyElements(const ZMD_ImageView *image, uint32_t kind, uint32_t offset, uint32_t count, uint8_t *dst)
{
    switch (kind) {
    case ZMD_KIND_BYTES:
        if (count != 0) {
            std::memcpy(dst, image->bytePool + offset, count);
        }
        break;
    case ZMD_KIND_INT32_ARRAY:
        for (uint32_t i = 0; i < count; ++i) {
            PutInt32(dst, i, image->int32Pool[offset + i]);
        }
        break;
    case ZMD_KIND_INT8_ARRAY:
        for (uint32_t i = 0; i < count; ++i) {
            PutInt32(dst, i, static_cast<int8_t>(image->bytePool[offset + i]));
        }
        break;
    case ZMD_KIND_UINT8_ARRAY:
        for (uint32_t i = 0; i < count; ++i) {
            PutInt32(dst, i, image->bytePool[offset + i]);
        }
        break;
    case ZMD_KIND_INT16_ARRAY:
        for (uint32_t i = 0; i < count; ++i) {
            PutInt32(dst, i, static_cast<int16_t>(image->int16Pool[offset + i]));
        }
        break;
    case ZMD_KIND_UINT16_ARRAY:
        for (uint32_t i = 0; i < count; ++i) {
            PutInt32(dst, i, image->int16Pool[offset + i]);
        }
        break;
    case ZMD_KIND_TEXT:
        for (uint32_t i = 0; i < count; ++i) {
            const uint16_t c = image->bytePool[offset + i];
            std::memcpy(dst + 2u * i, &c, sizeof c);
        }
        break;
    default:
        break;
    }
}

} // namespace

int32_t ZMD_ExtractStored(const ZMD_Env *env, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize, ZMD_Node node)
{
    if (!pcbSize || !env || !env->image) {
        return ZMD_ERROR;
    }
    const ZMD_ImageView *image = env->image;
    const uint32_t kind = ZMD_NodeKindOf(node.w0);
    const uint32_t count = ZMD_NodeLow(node.w1);
    KindInfo info;
    if (!DescribeKind(image, kind, &info)) {
        return ZMD_ERROR;
    }
    const uint32_t size = info.width * count;
    if (!pBuffer || cbBuffer < size) {
        *pcbSize = size;
        return ZMD_MORE_DATA;
    }
    const uint32_t offset = ZMD_NodeOperand(node.w0);
    if (!info.poolPresent || static_cast<uint64_t>(offset) + count > info.poolSize) {
        return ZMD_ERROR;
    }
    CopyElements(image, kind, offset, count, static_cast<uint8_t *>(pBuffer));
    *pcbSize = size;
    return ZMD_OK;
}
