// Check counters and comparison helpers of the Windows test program.
#include <cstdarg>
#include <cwchar>
#include <cstdio>
#include <cstring>

#include "wintest.h"

void testGroup(WinTest *t, const char *name)
{
    t->group = name;
    std::printf("-- %s\n", name);
    std::fflush(stdout);
}

bool expect(WinTest *t, bool ok, const char *fmt, ...)
{
    if (ok) {
        t->passed++;
        return true;
    }
    t->failed++;
    std::printf("FAIL [%s] ", t->group ? t->group : "");
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::printf("\n");
    std::fflush(stdout);
    return false;
}

static void printHex(const char *label, const uint8_t *p, size_t from, size_t to)
{
    std::printf("    %s @%u:", label, (unsigned)from);
    for (size_t i = from; i < to; i++) {
        std::printf(" %02X", p[i]);
    }
    std::printf("\n");
}

bool expectBytes(WinTest *t, const void *actual, const void *expected, size_t n, const char *what)
{
    const uint8_t *a = static_cast<const uint8_t *>(actual);
    const uint8_t *e = static_cast<const uint8_t *>(expected);
    size_t i = 0;
    while (i < n && a[i] == e[i]) {
        i++;
    }
    if (!expect(t, i == n, "%s: bytes differ at offset %u of %u", what, (unsigned)i, (unsigned)n)) {
        size_t from = i > 8 ? i - 8 : 0;
        size_t to = i + 8 < n ? i + 8 : n;
        printHex("got ", a, from, to);
        printHex("want", e, from, to);
        return false;
    }
    return true;
}

bool expectWide(WinTest *t, const void *actual, const wchar_t *expected, const char *what)
{
    size_t n = (std::wcslen(expected) + 1) * sizeof(wchar_t);
    return expectBytes(t, actual, expected, n, what);
}

void recordInit(RecordStore *s, uint32_t cStrings, uint32_t cInts)
{
    std::memset(s, 0, sizeof *s);
    s->rec.cStrings = cStrings;
    s->rec.ppszStrings = cStrings ? s->strings : nullptr;
    s->rec.cInts = cInts;
    s->rec.pnInts = s->ints;
}
