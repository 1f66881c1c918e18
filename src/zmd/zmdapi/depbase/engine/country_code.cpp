// The user locale's country code (international telephone code, e.g. 1 or 81).
#include "engine.h"

namespace {

// Leading decimal number of s, like atoi but clamped instead of overflowing.
int32_t ParseLeadingInt(const char *s)
{
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r' || *s == '\f' || *s == '\v') {
        ++s;
    }
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s++ == '-';
    }
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > 2147483648LL) {
            v = 2147483648LL;
        }
    }
    if (negative) {
        v = -v;
    }
    if (v > 2147483647LL) {
        v = 2147483647LL;
    }
    return static_cast<int32_t>(v);
}

} // namespace

// Stores the country code in *value and returns 0; ZMD_ERROR when the
// selector's low 16 bits are not 0x500F, the locale cannot be read or memory
// is short.
int32_t ZMD_GetUserCountryCode(const ZMD_Env *env, uint32_t selector, int32_t *value)
{
    if (!value || (selector & 0xFFFFu) != ZMD_COUNTRY_SELECTOR || !env || !env->platform) {
        return ZMD_ERROR;
    }
    const ZMD_Platform *platform = env->platform;
    const int size = platform->getCountryText(platform->ctx, nullptr, 0);
    if (size <= 0) {
        return ZMD_ERROR;
    }
    // One byte more than asked for: the text is terminated whatever the
    // locale call wrote (the heap is zero-filled).
    char *text = static_cast<char *>(platform->alloc(platform->ctx, static_cast<size_t>(size) + 1));
    if (!text) {
        return ZMD_ERROR;
    }
    if (platform->getCountryText(platform->ctx, text, size) == 0) {
        platform->free(platform->ctx, text);
        return ZMD_ERROR;
    }
    *value = ParseLeadingInt(text);
    platform->free(platform->ctx, text);
    return 0;
}
