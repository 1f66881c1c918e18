// Values computed at query time (COMPUTED value nodes), and extraction of any value node.
#ifndef ZMD_COMPUTED_H
#define ZMD_COMPUTED_H

#include "env.h"

// Produces the value of a computed type (low 16 bits of type). ZMD_OK with the
// value and its size; ZMD_MORE_DATA with the size when the buffer is absent or
// too small; ZMD_NOT_FOUND, writing nothing, for a type it does not serve; a
// negative code when the record lacks what the type needs.
int32_t ZMD_ComputeValue(const ZMD_Env *env, uint32_t type, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                         void *pBuffer, uint32_t *pcbSize);

// Copies the value node into the buffer in its kind's width (a COMPUTED node
// through ZMD_ComputeValue). Writes *pcbSize only on ZMD_OK and ZMD_MORE_DATA.
// pRecord is only passed on to ZMD_ComputeValue.
int32_t ZMD_ExtractValue(const ZMD_Env *env, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                         uint32_t *pcbSize, ZMD_Node node);

// The generic path for one key: lookup and evaluation, then extraction.
int32_t ZMD_LookupAndExtract(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                             void *pBuffer, uint32_t *pcbSize);

#endif // ZMD_COMPUTED_H
