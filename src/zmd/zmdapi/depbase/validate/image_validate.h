// Validating a whole image against the rules the runtime relies on: every
// node decodes (image_format.h), every run, target, pool offset and case
// lies inside its table, the trees have no cycle, the value-name key's tree
// does not read printer data (whose name it gives), the key table ascends, the
// driver query tables fit together, every query rule is sound and the key
// index, when there is one, names every key and rule truly. dbc
// validates each image it writes, a test validates the shipped one, and
// tests and fuzzers of synthetic images validate them before the runtime
// sees them. Not linked into the shared library.
#ifndef ZMD_IMAGE_VALIDATE_H
#define ZMD_IMAGE_VALIDATE_H

#include <cstdint>

#include "image.h"
#include "platform.h"

// Called once per fault with its description ("node 12: ..."), in the order
// the checks find them.
typedef void (*ZMD_ImageFaultFn)(void *ctx, const char *message);

// ZMD_OK for a sound image, else ZMD_ERROR with every fault reported (report
// may be null). The scratch memory comes from the platform; when it is short
// the image is refused with the fault "out of memory".
int32_t ZMD_ValidateImage(const ZMD_ImageView *image, const ZMD_Platform *platform, ZMD_ImageFaultFn report, void *ctx);

// The query rules alone: one rule a key, each sound (ZMD_QueryRuleFaults),
// and the key index's rule slots, when there is an index.
// ZMD_OK or ZMD_ERROR, as above; part of ZMD_ValidateImage.
int32_t ZMD_ValidateQueryRules(const ZMD_ImageView *image, ZMD_ImageFaultFn report, void *ctx);

#endif // ZMD_IMAGE_VALIDATE_H
