// Validating the key index of an image (image.h, ZMD_KeyRange): part of
// ZMD_ValidateImage (keys and rules) and ZMD_ValidateQueryRules (rules).
#ifndef ZMD_KEY_INDEX_VALIDATE_H
#define ZMD_KEY_INDEX_VALIDATE_H

#include <cstdint>

#include "image.h"
#include "image_validate.h"

// Which slot arrays ZMD_CheckKeyIndex holds against their tables.
enum : uint32_t {
    ZMD_INDEX_KEYS = 1,  // keySlots against the key table
    ZMD_INDEX_RULES = 2, // ruleSlots against the query rules
};

// True when the image has no key index (all three tables null, both counts
// 0) or a sound one: ZMD_KEY_RANGES ranges, each within its nibble, tiling
// the slot arrays in order; every slot in bounds and ZMD_NO_SLOT or naming an
// entry of exactly its key; every entry of the tables in `parts` named by
// its key's slot. Otherwise false, with each fault reported (report may be
// null). The key table is read only through its count and base, which may
// be null.
bool ZMD_CheckKeyIndex(const ZMD_ImageView *image, uint32_t parts, ZMD_ImageFaultFn report, void *ctx);

#endif // ZMD_KEY_INDEX_VALIDATE_H
