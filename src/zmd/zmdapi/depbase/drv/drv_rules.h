// The driver query rules of an image: the one place that reads them. Needs
// only an image view (the key catalogue of dbc asks it too).
#ifndef ZMD_DRV_RULES_H
#define ZMD_DRV_RULES_H

#include <cstdint>

#include "image.h"

// The rule of a key (only its low 16 bits count) into *rule: ZMD_OK, or
// ZMD_NOT_FOUND when the image has no rule for it (also when it has no rule
// table). The first rule of the key wins; with a key index, the rule its
// slot names (a validated index names the only one). The rule is the image's as it
// stands: the image's validation (ZMD_ValidateQueryRules) is what refuses an
// unsound one, and the queries stay inside their buffers whatever it holds.
int32_t ZMD_FindQueryRule(const ZMD_ImageView *image, uint32_t key, const ZMD_QueryRule **rule);

// True when the key has a sound rule that answers an option list.
bool ZMD_IsListKey(const ZMD_ImageView *image, uint32_t key);

#endif // ZMD_DRV_RULES_H
