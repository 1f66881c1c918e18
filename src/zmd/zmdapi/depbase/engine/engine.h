// Key lookup and rule-tree evaluation over an image view.
#ifndef ZMD_ENGINE_H
#define ZMD_ENGINE_H

#include "env.h"
#include "image_format.h"

// Looks the key's low 16 bits up in the key table and evaluates its top node.
// On ZMD_OK *out holds the chosen value node.
int32_t ZMD_FindKey(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, ZMD_Node *out);

// Steps 1 to 3 of the lookup alone: the key's top node into *top (ZMD_NO_KEY
// when the key table lacks the key, ZMD_ERROR for a malformed table). A caller
// that evaluates one key many times looks it up once and evaluates the top
// node with ZMD_EvaluateNode.
int32_t ZMD_LookupKey(const ZMD_Env *env, uint32_t key, ZMD_Node *top);

// Evaluates the node given by its two words for the key. Writes *out only on ZMD_OK.
int32_t ZMD_EvaluateNode(const ZMD_Env *env, uint32_t key, const ZMD_SettingsRecord *pRecord, uint32_t w0, uint32_t w1,
                         ZMD_Node *out);

// Evaluates the node for two keys in one walk: results[k] and out[k] are what
// ZMD_EvaluateNode would give for keys[k] (out[k] written only on ZMD_OK).
void ZMD_EvaluateNodePair(const ZMD_Env *env, const uint32_t keys[2], const ZMD_SettingsRecord *pRecord, uint32_t w0,
                          uint32_t w1, ZMD_Node out[2], int32_t results[2]);

// True when both pointers are non-null and the first n (low 16 bits) characters are equal.
bool ZMD_CompareChars(const char *a, const char *b, uint32_t n);

// Reads the printer-data value named by a TEXT value node. 0 read, 1 no printer
// or value absent/unreadable, ZMD_ERROR malformed name node or no memory.
int32_t ZMD_ReadPrinterDword(const ZMD_Env *env, void *hPrinter, uint32_t nameW0, uint32_t nameW1, int32_t *value);

// The user locale's country code; selector must be 0x500F. 0 or ZMD_ERROR.
int32_t ZMD_GetUserCountryCode(const ZMD_Env *env, uint32_t selector, int32_t *value);

#endif // ZMD_ENGINE_H
