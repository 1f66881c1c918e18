// Value extraction with the size protocol: the size is always reported in
// bytes, and the value is copied only into a buffer that is present and large
// enough. The size word is written only on ZMD_OK and ZMD_MORE_DATA.
//
// One dispatch on the kind: each kind checks the protocol against its own
// width and pool and copies with its own loop.
#include "extract.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZMD_WIDEN_SSE2 1
#endif

namespace {

// The size protocol, then the pool check: ZMD_OK (size written) when the
// `count` elements from `offset` may be copied.
inline int32_t Admit(uint32_t size, uint32_t cbBuffer, const void *pBuffer, uint32_t *pcbSize, const void *pool,
                     uint32_t poolSize, uint32_t offset, uint32_t count)
{
    if (!pBuffer || cbBuffer < size) {
        *pcbSize = size;
        return ZMD_MORE_DATA;
    }
    if (!pool || static_cast<uint64_t>(offset) + count > poolSize) {
        return ZMD_ERROR;
    }
    *pcbSize = size;
    return ZMD_OK;
}

inline void PutInt32(uint8_t *dst, uint32_t index, int32_t v)
{
    std::memcpy(dst + 4u * index, &v, sizeof v);
}

// Each element widened to a 32-bit integer through T (its signedness).
template <typename T, typename Src> void Widen(uint8_t *dst, const Src *src, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        PutInt32(dst, i, static_cast<T>(src[i]));
    }
}

// Each byte widened to one UTF-16 unit. With SSE2, whole blocks of 8 bytes
// (4 for short text) are widened at a time; the last block overlaps the one
// before it instead of leaving a tail, so that no unit is written twice with
// different values and nothing is written beyond 2 * count bytes.
inline void WidenText(uint8_t *dst, const uint8_t *src, uint32_t count)
{
#if defined(ZMD_WIDEN_SSE2)
    const __m128i zero = _mm_setzero_si128();
    if (count >= 8) {
        const uint32_t last = count - 8;
        for (uint32_t i = 0; i < last; i += 8) {
            const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + i));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 2u * i), _mm_unpacklo_epi8(b, zero));
        }
        const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + last));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 2u * last), _mm_unpacklo_epi8(b, zero));
        return;
    }
    if (count >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, src, 4);
        std::memcpy(&tail, src + count - 4, 4);
        const __m128i h = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(head)), zero);
        const __m128i t = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(tail)), zero);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), h);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + 2u * (count - 4)), t);
        return;
    }
#endif
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t c = src[i];
        std::memcpy(dst + 2u * i, &c, sizeof c);
    }
}

} // namespace

int32_t ZMD_ExtractStored(const ZMD_Env *env, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize, ZMD_Node node)
{
    if (!pcbSize || !env || !env->image) {
        return ZMD_ERROR;
    }
    return ZMD_ExtractStoredFrom(env->image, cbBuffer, pBuffer, pcbSize, node);
}

int32_t ZMD_ExtractStoredFrom(const ZMD_ImageView *image, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize,
                              ZMD_Node node)
{
    const uint32_t count = ZMD_NodeLow(node.w1);
    const uint32_t offset = ZMD_NodeOperand(node.w0);
    uint8_t *dst = static_cast<uint8_t *>(pBuffer);
    int32_t r;
    switch (ZMD_NodeKindOf(node.w0)) {
    case ZMD_KIND_BYTES:
        r = Admit(count, cbBuffer, pBuffer, pcbSize, image->bytePool, image->counts.bytePool, offset, count);
        if (r == ZMD_OK && count != 0) {
            std::memcpy(dst, image->bytePool + offset, count);
        }
        return r;
    case ZMD_KIND_INT32_ARRAY:
        r = Admit(4u * count, cbBuffer, pBuffer, pcbSize, image->int32Pool, image->counts.int32Pool, offset, count);
        if (r == ZMD_OK && count != 0) {
            std::memcpy(dst, image->int32Pool + offset, 4u * count);
        }
        return r;
    case ZMD_KIND_INT8_ARRAY:
        r = Admit(4u * count, cbBuffer, pBuffer, pcbSize, image->bytePool, image->counts.bytePool, offset, count);
        if (r == ZMD_OK) {
            Widen<int8_t>(dst, image->bytePool + offset, count);
        }
        return r;
    case ZMD_KIND_UINT8_ARRAY:
        r = Admit(4u * count, cbBuffer, pBuffer, pcbSize, image->bytePool, image->counts.bytePool, offset, count);
        if (r == ZMD_OK) {
            Widen<uint8_t>(dst, image->bytePool + offset, count);
        }
        return r;
    case ZMD_KIND_INT16_ARRAY:
        r = Admit(4u * count, cbBuffer, pBuffer, pcbSize, image->int16Pool, image->counts.int16Pool, offset, count);
        if (r == ZMD_OK) {
            Widen<int16_t>(dst, image->int16Pool + offset, count);
        }
        return r;
    case ZMD_KIND_UINT16_ARRAY:
        r = Admit(4u * count, cbBuffer, pBuffer, pcbSize, image->int16Pool, image->counts.int16Pool, offset, count);
        if (r == ZMD_OK) {
            Widen<uint16_t>(dst, image->int16Pool + offset, count);
        }
        return r;
    case ZMD_KIND_TEXT:
        // Each byte widens to one UTF-16 unit.
        r = Admit(2u * count, cbBuffer, pBuffer, pcbSize, image->bytePool, image->counts.bytePool, offset, count);
        if (r == ZMD_OK) {
            WidenText(dst, image->bytePool + offset, count);
        }
        return r;
    default:
        return ZMD_ERROR;
    }
}
