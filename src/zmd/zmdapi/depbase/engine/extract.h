// Extraction of stored values with the size protocol.
#ifndef ZMD_EXTRACT_H
#define ZMD_EXTRACT_H

#include "env.h"
#include "records.h"

// Copies a stored value node (any kind but COMPUTED, which the computed
// layer answers) into the buffer in its kind's width. Writes *pcbSize only on
// ZMD_OK and ZMD_MORE_DATA; ZMD_ERROR for a kind that is not stored.
int32_t ZMD_ExtractStored(const ZMD_Env *env, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize, ZMD_Node node);

// ZMD_ExtractStored for callers that have checked the image and the size
// word (both non-null).
int32_t ZMD_ExtractStoredFrom(const ZMD_ImageView *image, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize,
                              ZMD_Node node);

#endif // ZMD_EXTRACT_H
