#include "validate_fault.h"

#include <cstdarg>
#include <cstdio>

void ZMD_ValidateFault(ZMD_ValidateState *c, const char *format, ...)
{
    c->ok = false;
    if (!c->report) {
        return;
    }
    char message[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    c->report(c->ctx, message);
}
