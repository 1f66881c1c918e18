// Extraction of any value node: a COMPUTED node asks ZMD_ComputeValue, every
// other kind is copied from the image's pools. The size is reported in bytes
// and written only on ZMD_OK and ZMD_MORE_DATA.
#include "computed.h"

#include "engine.h"
#include "extract.h"

namespace {

// COMPUTED values. Every computed value answers a buffer too short for it
// with ZMD_MORE_DATA and its size, writing nothing, and fails alike with or
// without a buffer, so a buffer is offered at once (one computation, one
// reading of the clock); without one the size comes from a size query.
int32_t ExtractComputed(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                        uint32_t *pcbSize, uint32_t type)
{
    uint32_t size = 0;
    if (pBuffer) {
        const int32_t r = ZMD_ComputeValue(env, type, pRecord, cbBuffer, pBuffer, &size);
        if (r == ZMD_OK || r == ZMD_MORE_DATA) {
            *pcbSize = size;
        }
        return r;
    }
    int32_t r = ZMD_ComputeValue(env, type, pRecord, 0, nullptr, &size);
    if (r == ZMD_NOT_FOUND) {
        size = 0;
    } else if (r != ZMD_OK && r != ZMD_MORE_DATA) {
        return r;
    }
    *pcbSize = size;
    return ZMD_MORE_DATA;
}

// The extraction with an observer: an extracted value is told as EXTRACT.
ZMD_OBSERVER_PATH int32_t ExtractObserved(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                          void *pBuffer, uint32_t *pcbSize, ZMD_Node node)
{
    const int32_t r = ZMD_NodeKindOf(node.w0) == ZMD_KIND_COMPUTED
                          ? ExtractComputed(env, pRecord, cbBuffer, pBuffer, pcbSize, ZMD_NodeLow(node.w1))
                          : ZMD_ExtractStored(env, cbBuffer, pBuffer, pcbSize, node);
    if (r == ZMD_OK) {
        ZMD_Step s;
        s.kind = ZMD_SEEN_EXTRACT;
        s.key = ZMD_NodeHigh(node.w1);
        s.node = node;
        s.bytes = pBuffer;
        s.size = *pcbSize;
        s.record = pRecord;
        ZMD_Observe(env, s);
    }
    return r;
}

// The extraction for callers that have checked the environment, its image
// and the size word.
inline int32_t ExtractChecked(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                              uint32_t *pcbSize, ZMD_Node node)
{
    if (env->observer) {
        return ExtractObserved(env, pRecord, cbBuffer, pBuffer, pcbSize, node);
    }
    if (ZMD_NodeKindOf(node.w0) == ZMD_KIND_COMPUTED) {
        return ExtractComputed(env, pRecord, cbBuffer, pBuffer, pcbSize, ZMD_NodeLow(node.w1));
    }
    return ZMD_ExtractStoredFrom(env->image, cbBuffer, pBuffer, pcbSize, node);
}

} // namespace

int32_t ZMD_ExtractValue(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                         uint32_t *pcbSize, ZMD_Node node)
{
    if (!pcbSize || !env || !env->image) {
        return ZMD_ERROR;
    }
    return ExtractChecked(env, pRecord, cbBuffer, pBuffer, pcbSize, node);
}

int32_t ZMD_LookupAndExtract(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                             void *pBuffer, uint32_t *pcbSize)
{
    ZMD_Node node;
    int32_t r = ZMD_FindKey(env, key, pRecord, &node);
    if (r != ZMD_OK) {
        return r;
    }
    // A key found means an environment with an image.
    if (!pcbSize) {
        return ZMD_ERROR;
    }
    return ExtractChecked(env, pRecord, cbBuffer, pBuffer, pcbSize, node);
}
