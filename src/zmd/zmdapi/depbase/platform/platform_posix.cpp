// POSIX backend of the depbase platform seam.
//
// The spooler is stood in for by a printer store: a printer named N is the
// file $ZMD_PRINTER_DIR/N.conf (default directory $HOME/.config/zmd/printers)
// holding lines "ValueName = number" (decimal, optionally negative, or 0x
// hex; a 32-bit value). Blank lines and lines starting with '#' are ignored.
// A query reads the file once, at its first read, and answers its later reads
// from what it read (the hold of the export frame). The country code comes from $ZMD_COUNTRY (decimal), else 1. The heap is
// calloc/free.
#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const size_t kPathMax = 4096;
const size_t kNameMax = 1024;

// An open printer: the path of its store file, read afresh by every query
// (once per query, at its first read, when the query holds the printer).
struct PosixPrinter {
    char path[kPathMax];
};

// UTF-16 (NUL-terminated) to UTF-8 in out (capacity cap, terminated). False
// for an unpaired surrogate or when the text does not fit.
bool ToUtf8(const ZMD_WCHAR *s, char *out, size_t cap)
{
    size_t n = 0;
    for (; *s; ++s) {
        uint32_t c = static_cast<uint16_t>(*s);
        if (c >= 0xD800 && c <= 0xDBFF) {
            const uint32_t lo = static_cast<uint16_t>(s[1]);
            if (lo < 0xDC00 || lo > 0xDFFF) {
                return false;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
            ++s;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        char bytes[4];
        size_t len;
        if (c < 0x80) {
            bytes[0] = static_cast<char>(c);
            len = 1;
        } else if (c < 0x800) {
            bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
            len = 2;
        } else if (c < 0x10000) {
            bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
            len = 3;
        } else {
            bytes[0] = static_cast<char>(0xF0 | (c >> 18));
            bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
            len = 4;
        }
        if (n + len + 1 > cap) {
            return false;
        }
        std::memcpy(out + n, bytes, len);
        n += len;
    }
    out[n] = '\0';
    return true;
}

// The store file of printer `name`; false when the name is not acceptable
// (empty, contains '/', starts with '.') or no store directory is known.
bool StorePath(const char *name, char *path, size_t cap)
{
    if (name[0] == '\0' || name[0] == '.' || std::strchr(name, '/')) {
        return false;
    }
    const char *dir = std::getenv("ZMD_PRINTER_DIR");
    int n;
    if (dir && dir[0] != '\0') {
        n = std::snprintf(path, cap, "%s/%s.conf", dir, name);
    } else {
        const char *home = std::getenv("HOME");
        if (!home || home[0] == '\0') {
            return false;
        }
        n = std::snprintf(path, cap, "%s/.config/zmd/printers/%s.conf", home, name);
    }
    return n > 0 && static_cast<size_t>(n) < cap;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Trims blanks at both ends of [begin, end) in place; returns the new begin
// and moves *end.
char *Trim(char *begin, char **end)
{
    while (begin < *end && IsBlank(*begin)) {
        ++begin;
    }
    while (*end > begin && IsBlank((*end)[-1])) {
        --*end;
    }
    return begin;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decimal (optionally negative) or 0x hex, the whole text, fitting 32 bits.
bool ParseNumber(const char *s, const char *end, uint32_t *out)
{
    bool negative = false;
    if (s < end && *s == '-') {
        negative = true;
        ++s;
    }
    uint64_t v = 0;
    if (end - s > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s += 2;
        for (; s < end; ++s) {
            const int d = HexDigit(*s);
            if (d < 0) {
                return false;
            }
            v = v * 16 + static_cast<uint64_t>(d);
            if (v > 0xFFFFFFFFull) {
                return false;
            }
        }
    } else {
        if (s == end) {
            return false;
        }
        for (; s < end; ++s) {
            if (*s < '0' || *s > '9') {
                return false;
            }
            v = v * 10 + static_cast<uint64_t>(*s - '0');
            if (v > 0xFFFFFFFFull) {
                return false;
            }
        }
    }
    if (negative) {
        if (v > 0x80000000ull) {
            return false;
        }
        *out = static_cast<uint32_t>(0u - static_cast<uint32_t>(v));
    } else {
        *out = static_cast<uint32_t>(v);
    }
    return true;
}

// One "name = number" line of a store file: the name as it stands in the
// text, and the number when it parses.
struct StoreLine {
    const char *name;
    size_t nameLength;
    bool parsed;
    uint32_t value;
};

// Splits one line [begin, end) of a store file; false for a blank line, a
// comment or a line without '='.
bool SplitLine(char *begin, char *end, StoreLine *out)
{
    begin = Trim(begin, &end);
    if (begin == end || *begin == '#') {
        return false;
    }
    char *eq = static_cast<char *>(std::memchr(begin, '=', static_cast<size_t>(end - begin)));
    if (!eq) {
        return false;
    }
    char *nameEnd = eq;
    char *nameBegin = Trim(begin, &nameEnd);
    char *numberEnd = end;
    char *numberBegin = Trim(eq + 1, &numberEnd);
    out->name = nameBegin;
    out->nameLength = static_cast<size_t>(nameEnd - nameBegin);
    out->value = 0;
    out->parsed = ParseNumber(numberBegin, numberEnd, &out->value);
    return true;
}

bool SameName(const StoreLine &line, const char *name)
{
    return line.nameLength == std::strlen(name) && std::memcmp(line.name, name, line.nameLength) == 0;
}

// Finds `name` in the store file; the first line with that name decides.
bool LookUpValue(const char *path, const char *name, uint32_t *value)
{
    FILE *f = std::fopen(path, "r");
    if (!f) {
        return false;
    }
    char *line = nullptr;
    size_t cap = 0;
    bool found = false, ok = false;
    ssize_t len;
    while (!found && (len = getline(&line, &cap, f)) >= 0) {
        StoreLine split;
        if (!SplitLine(line, line + len, &split) || !SameName(split, name)) {
            continue;
        }
        found = true;
        ok = split.parsed;
        *value = split.value;
    }
    std::free(line);
    std::fclose(f);
    return found && ok;
}

// What a query holds of a store file: its text and its lines, read and split
// once at the query's first read.
struct HeldStore {
    char *text;
    StoreLine *lines;
    size_t count;
};

void FreeHeldStore(HeldStore *store)
{
    if (!store) {
        return;
    }
    std::free(store->text);
    std::free(store->lines);
    std::free(store);
}

// Reads the whole store file; null when it cannot be opened or read, or
// memory is short (the reads then go to the file one by one, as without a hold).
HeldStore *ReadStore(const char *path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    size_t cap = 4096, size = 0;
    char *text = static_cast<char *>(std::malloc(cap));
    bool ok = text != nullptr;
    while (ok) {
        if (size == cap) {
            char *grown = static_cast<char *>(std::realloc(text, cap * 2));
            if (!grown) {
                ok = false;
                break;
            }
            text = grown;
            cap *= 2;
        }
        const size_t room = cap - size;
        const ssize_t n = read(fd, text + size, room);
        if (n < 0) {
            ok = false;
        } else {
            size += static_cast<size_t>(n);
            // A store file is a regular file: a read that does not fill the
            // room has reached its end.
            if (static_cast<size_t>(n) < room) {
                break;
            }
        }
    }
    close(fd);
    size_t count = 0;
    StoreLine *lines = nullptr;
    if (ok) {
        size_t most = 1;
        for (size_t i = 0; i < size; ++i) {
            most += text[i] == '\n';
        }
        lines = static_cast<StoreLine *>(std::calloc(most, sizeof(StoreLine)));
        ok = lines != nullptr;
        // Lines end at '\n', which stays part of its line as with getline.
        for (size_t at = 0; ok && at < size;) {
            const char *nl = static_cast<const char *>(std::memchr(text + at, '\n', size - at));
            const size_t end = nl ? static_cast<size_t>(nl - text) + 1 : size;
            if (SplitLine(text + at, text + end, &lines[count])) {
                ++count;
            }
            at = end;
        }
    }
    HeldStore *store = ok ? static_cast<HeldStore *>(std::calloc(1, sizeof(HeldStore))) : nullptr;
    if (!store) {
        std::free(text);
        std::free(lines);
        return nullptr;
    }
    store->text = text;
    store->lines = lines;
    store->count = count;
    return store;
}

// The 4-byte answer of getPrinterData for a value found (or not).
bool Answer(bool found, uint32_t value, void *data, uint32_t cbData, uint32_t *cbNeeded)
{
    if (!found) {
        return false;
    }
    if (cbNeeded) {
        *cbNeeded = 4;
    }
    if (!data || cbData < 4) {
        return false;
    }
    uint8_t *out = static_cast<uint8_t *>(data);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return true;
}

bool PosixOpenPrinter(void *, const ZMD_WCHAR *name, void **handle)
{
    if (!name || !handle) {
        return false;
    }
    char utf8[kNameMax];
    if (!ToUtf8(name, utf8, sizeof utf8)) {
        return false;
    }
    char path[kPathMax];
    if (!StorePath(utf8, path, sizeof path)) {
        return false;
    }
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    if (!regular) {
        return false;
    }
    PosixPrinter *printer = static_cast<PosixPrinter *>(std::calloc(1, sizeof(PosixPrinter)));
    if (!printer) {
        return false;
    }
    std::memcpy(printer->path, path, sizeof path);
    *handle = printer;
    return true;
}

void PosixClosePrinter(void *, void *handle)
{
    std::free(handle);
}

bool PosixGetPrinterData(void *, void *handle, const ZMD_WCHAR *valueName, void *data, uint32_t cbData,
                         uint32_t *cbNeeded)
{
    if (!handle || !valueName) {
        return false;
    }
    char name[kNameMax];
    if (!ToUtf8(valueName, name, sizeof name)) {
        return false;
    }
    uint32_t value = 0;
    const bool found = LookUpValue(static_cast<PosixPrinter *>(handle)->path, name, &value);
    return Answer(found, value, data, cbData, cbNeeded);
}

// The store file is read and split at the query's first read; later reads
// of the query look in what was read.
bool PosixGetHeldPrinterData(void *ctx, ZMD_PrinterHold *hold, const ZMD_WCHAR *valueName, void *data, uint32_t cbData,
                             uint32_t *cbNeeded)
{
    if (!hold || !hold->handle || !valueName) {
        return false;
    }
    if (!hold->state) {
        hold->state = ReadStore(static_cast<PosixPrinter *>(hold->handle)->path);
    }
    const HeldStore *store = static_cast<const HeldStore *>(hold->state);
    if (!store) {
        return PosixGetPrinterData(ctx, hold->handle, valueName, data, cbData, cbNeeded);
    }
    char name[kNameMax];
    if (!ToUtf8(valueName, name, sizeof name)) {
        return false;
    }
    for (size_t i = 0; i < store->count; ++i) {
        const StoreLine &line = store->lines[i];
        if (SameName(line, name)) {
            return Answer(line.parsed, line.value, data, cbData, cbNeeded);
        }
    }
    return false;
}

void PosixReleaseHold(void *, ZMD_PrinterHold *hold)
{
    if (!hold) {
        return;
    }
    FreeHeldStore(static_cast<HeldStore *>(hold->state));
    hold->state = nullptr;
}

void PosixGetLocalTime(void *, ZMD_LocalTime *out)
{
    if (!out) {
        return;
    }
    *out = ZMD_LocalTime{};
    const time_t now = std::time(nullptr);
    struct tm tm;
    if (!localtime_r(&now, &tm)) {
        return;
    }
    out->year = static_cast<uint16_t>(tm.tm_year + 1900);
    out->month = static_cast<uint16_t>(tm.tm_mon + 1);
    out->day = static_cast<uint16_t>(tm.tm_mday);
    out->hour = static_cast<uint16_t>(tm.tm_hour);
    out->minute = static_cast<uint16_t>(tm.tm_min);
    out->second = static_cast<uint16_t>(tm.tm_sec);
}

// $ZMD_COUNTRY when it is a decimal number of at most 6 digits, else "1".
const char *CountryText()
{
    const char *env = std::getenv("ZMD_COUNTRY");
    if (!env || env[0] == '\0' || std::strlen(env) > 6) {
        return "1";
    }
    for (const char *p = env; *p; ++p) {
        if (*p < '0' || *p > '9') {
            return "1";
        }
    }
    return env;
}

int PosixGetCountryText(void *, char *buf, int cb)
{
    const char *text = CountryText();
    const int need = static_cast<int>(std::strlen(text)) + 1;
    if (cb == 0) {
        return need;
    }
    if (!buf || cb < need) {
        return 0;
    }
    std::memcpy(buf, text, static_cast<size_t>(need));
    return need;
}

void *PosixAlloc(void *, size_t size)
{
    return std::calloc(1, size ? size : 1);
}

void PosixFree(void *, void *p)
{
    std::free(p);
}

const ZMD_Platform kPosixPlatform = {
    nullptr,
    &PosixOpenPrinter,
    &PosixClosePrinter,
    &PosixGetPrinterData,
    &PosixGetLocalTime,
    &PosixGetCountryText,
    &PosixAlloc,
    &PosixFree,
    &PosixGetHeldPrinterData,
    &PosixReleaseHold,
};

} // namespace

const ZMD_Platform *ZMD_DefaultPlatform()
{
    return &kPosixPlatform;
}
