// Case folding and comparison of names.
#include "text_util.h"

char textLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool textSameNoCase(const char *a, const char *b, int32_t n, int32_t skip)
{
    for (int32_t k = 0; k < n; ++k) {
        if (k == skip) {
            continue;
        }
        char c = textLower(a[k]);
        if (c != textLower(b[k])) {
            return false;
        }
        if (c == 0) {
            return true;
        }
    }
    return true;
}
