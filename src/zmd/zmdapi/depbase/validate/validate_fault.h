// What the image checks share: the image under check, where its faults are
// reported, and whether any was found.
#ifndef ZMD_VALIDATE_FAULT_H
#define ZMD_VALIDATE_FAULT_H

#include "image.h"
#include "image_validate.h"

struct ZMD_ValidateState {
    const ZMD_ImageView &v;
    ZMD_ImageFaultFn report; // may be null: faults are only counted
    void *ctx;
    bool ok;
};

// Marks the check failed and reports the fault, formatted as printf does
// (at most 255 characters), when there is somewhere to report it.
void ZMD_ValidateFault(ZMD_ValidateState *c, const char *format, ...);

#endif // ZMD_VALIDATE_FAULT_H
