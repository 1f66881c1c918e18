// Fixed-length character comparison for case strings.
#include "engine.h"

// True when both pointers are non-null and the first n characters (n taken
// as 16 bits) are equal; n == 0 matches. Neither string needs a terminator.
bool ZMD_CompareChars(const char *a, const char *b, uint32_t n)
{
    if (!a || !b) {
        return false;
    }
    const uint32_t count = n & 0xFFFFu;
    for (uint32_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}
