// POSIX backend of the depbase platform seam.
//
// The spooler is stood in for by a printer store: a printer named N is the
// file $ZMD_PRINTER_DIR/N.conf (default directory $HOME/.config/zmd/printers)
// holding lines "ValueName = number" (decimal, optionally negative, or 0x
// hex; a 32-bit value). Blank lines and lines starting with '#' are ignored.
// The store file is opened relative to a descriptor of the store directory,
// never through a link and never blocking; only a regular file of at most
// 1 MiB is printer data, and it is read whole from the descriptor it was
// checked on. Opening a printer by name reads its store, and that read answers
// the query that opened it; a query on a caller's handle reads the store once,
// at its first read. Between the queries of a caller's handle the store file
// stays open with what was read of it: the next query checks that the path
// still names that file with the same owner, mode and change time (one
// fstatat) and that its bytes are still the ones split (one pread), and
// otherwise opens and reads the store afresh. The country code comes from
// $ZMD_COUNTRY (decimal), else 1. The heap is calloc/free.
#include "platform.h"
#include "printer_store.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const size_t kPathMax = 4096;
const size_t kNameMax = 1024;

// The most a store file may hold; a larger one is no printer data.
const size_t kStoreMax = 1024 * 1024;

void *PosixAlloc(void *, size_t size)
{
    return std::calloc(1, size ? size : 1);
}

void PosixFree(void *, void *p)
{
    std::free(p);
}

// UTF-16 (NUL-terminated) to UTF-8 in out (capacity cap, terminated). False
// for an unpaired surrogate or when the text does not fit.
bool ToUtf8(const ZMD_WCHAR *s, char *out, size_t cap)
{
    size_t n = 0;
    // ASCII, the names' usual text, byte for byte until something else.
    for (; n + 1 < cap && *s && *s < 0x80; ++s) {
        out[n++] = static_cast<char>(*s);
    }
    for (; *s; ++s) {
        uint32_t c = static_cast<uint16_t>(*s);
        if (c < 0x80) {
            if (n + 2 > cap) {
                return false;
            }
            out[n++] = static_cast<char>(c);
            continue;
        }
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
        if (c < 0x800) {
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

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Trims blanks at both ends of [begin, end); returns the new begin and moves
// *end.
const char *Trim(const char *begin, const char **end)
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

// Splits one line [begin, end) of a store file; false for a blank line or a
// comment (a line without '=' is one with hasEquals false).
bool ClassifyLine(const char *begin, const char *end, ZMD_StoreLineInfo *out)
{
    begin = Trim(begin, &end);
    if (begin == end || *begin == '#') {
        return false;
    }
    *out = ZMD_StoreLineInfo{0, begin, static_cast<size_t>(end - begin), false, nullptr, 0, nullptr, 0, false, 0};
    const char *eq = static_cast<const char *>(std::memchr(begin, '=', static_cast<size_t>(end - begin)));
    if (!eq) {
        return true;
    }
    const char *nameEnd = eq;
    const char *nameBegin = Trim(begin, &nameEnd);
    const char *numberEnd = end;
    const char *numberBegin = Trim(eq + 1, &numberEnd);
    out->hasEquals = true;
    out->name = nameBegin;
    out->nameLength = static_cast<size_t>(nameEnd - nameBegin);
    out->value = numberBegin;
    out->valueLength = static_cast<size_t>(numberEnd - numberBegin);
    out->parsed = ParseNumber(numberBegin, numberEnd, &out->number32);
    return true;
}

// The line [begin, end) as a stored value; false for a blank line, a
// comment or a line without '='.
bool SplitLine(const char *begin, const char *end, StoreLine *out)
{
    ZMD_StoreLineInfo line;
    if (!ClassifyLine(begin, end, &line) || !line.hasEquals) {
        return false;
    }
    *out = StoreLine{line.name, line.nameLength, line.parsed, line.parsed ? line.number32 : 0};
    return true;
}

// The end of the line that starts at `at` (past its '\n', which stays part of it).
size_t LineEnd(const char *text, size_t size, size_t at)
{
    const char *nl = static_cast<const char *>(std::memchr(text + at, '\n', size - at));
    return nl ? static_cast<size_t>(nl - text) + 1 : size;
}

bool SameName(const StoreLine &line, const char *name, size_t nameLength)
{
    return line.nameLength == nameLength && std::memcmp(line.name, name, nameLength) == 0;
}

// What makes an open store file the one a path names now, as the process
// may open it: the same file, owner, mode and change time (a chmod, chown or
// ACL change moves the change time).
struct FileIdentity {
    dev_t device;
    ino_t inode;
    mode_t mode;
    uid_t owner;
    gid_t group;
    struct timespec changed;
};

FileIdentity IdentityOf(const struct stat &st)
{
    return FileIdentity{st.st_dev, st.st_ino, st.st_mode, st.st_uid, st.st_gid, st.st_ctim};
}

bool SameIdentity(const FileIdentity &a, const FileIdentity &b)
{
    return a.device == b.device && a.inode == b.inode && a.mode == b.mode && a.owner == b.owner && a.group == b.group &&
           a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
}

// What is read of a store file: its text and its lines, split once; and,
// for a caller's printer, the file it was read from, kept open for the
// next query's check.
struct HeldStore {
    char *text;
    StoreLine *lines;
    size_t count;
    size_t size;     // bytes of text
    int fd;          // the store file, or -1 when it is not kept
    FileIdentity id; // the file's identity when it was opened (fd >= 0)
    char *recheck;   // size + 1 bytes for the next check's read, or null
};

// The state of a hold whose store could not be read: the query's reads fail
// without opening the store again.
const HeldStore kNoStore = {nullptr, nullptr, 0, 0, -1, FileIdentity{}, nullptr};

void FreeHeldStore(HeldStore *store)
{
    if (!store || store == &kNoStore) {
        return;
    }
    if (store->fd >= 0) {
        close(store->fd);
    }
    PosixFree(nullptr, store->recheck);
    PosixFree(nullptr, store->text);
    PosixFree(nullptr, store); // the lines share the store's block
}

// Reads fd (a regular file of `hint` bytes when checked) to its end into a
// new block (*text, *size): 0, or why not (ZMD_STORE_TOO_LARGE past
// kStoreMax bytes, the errno of a failed read, ENOMEM); nothing is kept then.
int ReadWhole(int fd, size_t hint, char **text, size_t *size)
{
    size_t cap = hint + 1, used = 0;
    char *buf = static_cast<char *>(PosixAlloc(nullptr, cap));
    int why = ENOMEM;
    while (buf) {
        if (used == cap) {
            // The file grew since it was checked: grow up to one byte past the limit.
            const size_t grown = cap > kStoreMax / 2 ? kStoreMax + 1 : cap * 2;
            char *bigger = used > kStoreMax ? nullptr : static_cast<char *>(PosixAlloc(nullptr, grown));
            why = used > kStoreMax ? ZMD_STORE_TOO_LARGE : ENOMEM;
            if (bigger) {
                std::memcpy(bigger, buf, used);
            }
            PosixFree(nullptr, buf);
            buf = bigger;
            cap = grown;
            continue;
        }
        const ssize_t n = read(fd, buf + used, cap - used);
        if (n == 0) {
            if (used > kStoreMax) {
                why = ZMD_STORE_TOO_LARGE;
                break;
            }
            *text = buf;
            *size = used;
            return 0;
        }
        if (n < 0 && errno != EINTR) {
            why = errno;
            break;
        }
        used += n > 0 ? static_cast<size_t>(n) : 0;
    }
    PosixFree(nullptr, buf);
    return why;
}

// Splits text (size bytes, taken over) into a store; null when memory is
// short (the text is then freed).
HeldStore *SplitStore(char *text, size_t size)
{
    size_t most = 1;
    for (size_t i = 0; i < size; ++i) {
        most += text[i] == '\n';
    }
    // The store and its lines in one block, the lines after the store.
    static_assert(sizeof(HeldStore) % alignof(StoreLine) == 0, "the lines follow the store aligned");
    void *block = most <= (SIZE_MAX - sizeof(HeldStore)) / sizeof(StoreLine)
                      ? PosixAlloc(nullptr, sizeof(HeldStore) + most * sizeof(StoreLine))
                      : nullptr;
    if (!block) {
        PosixFree(nullptr, text);
        return nullptr;
    }
    HeldStore *store = static_cast<HeldStore *>(block);
    StoreLine *lines = reinterpret_cast<StoreLine *>(static_cast<unsigned char *>(block) + sizeof(HeldStore));
    size_t count = 0;
    for (size_t at = 0; at < size;) {
        const size_t end = LineEnd(text, size, at);
        if (SplitLine(text + at, text + end, &lines[count])) {
            ++count;
        }
        at = end;
    }
    store->text = text;
    store->lines = lines;
    store->count = count;
    store->size = size;
    store->fd = -1;
    return store;
}

int OpenStoreFile(const char *dir, const char *file, int *fdOut, struct stat *st);
bool JoinStorePath(const char *dir, const char *file, char *path, size_t cap);

// Reads and splits the store (ZMD_ReadStoreText). Null when there is no
// such file, it is anything else (a FIFO, a device, a directory, a link, too
// large), a read fails or memory is short: no printer data.
HeldStore *ReadStore(const char *dir, const char *file)
{
    char *text = nullptr;
    size_t size = 0;
    return ZMD_ReadStoreText(dir, file, &text, &size) == 0 ? SplitStore(text, size) : nullptr;
}

// An open printer: where its store file is, what opening it read (kept for
// the query that opened it; null once that query has taken it), and what the
// last query read with its file still open (null while a query holds it;
// taken and given back whole, so that two queries on one handle never share it).
struct PosixPrinter {
    char dir[kPathMax];
    char file[kNameMax + 8];
    char path[kPathMax]; // "dir/file", empty when the store opens in two steps
    HeldStore *opened;
    std::atomic<HeldStore *> kept;
};

HeldStore *ReadPrinterStore(const PosixPrinter *printer)
{
    return ReadStore(printer->dir, printer->file);
}

// Whether kept, what a query read, still is the store: printer's path names
// the same file, unchanged in owner, mode and change time, and a read of it
// now gives the very bytes that were split. Whatever a rewrite does (in
// place, whatever its size and times, or by a rename) it is seen here.
bool StillTheStore(const PosixPrinter *printer, HeldStore *kept)
{
    struct stat st;
    if (fstatat(AT_FDCWD, printer->path, &st, AT_SYMLINK_NOFOLLOW) != 0 || !SameIdentity(IdentityOf(st), kept->id) ||
        st.st_size < 0 || static_cast<uint64_t>(st.st_size) != kept->size) {
        return false;
    }
    if (!kept->recheck && !(kept->recheck = static_cast<char *>(PosixAlloc(nullptr, kept->size + 1)))) {
        return false;
    }
    // One byte more than the text: a file that grew since the check reads longer.
    ssize_t n;
    do {
        n = pread(kept->fd, kept->recheck, kept->size + 1, 0);
    } while (n < 0 && errno == EINTR);
    return n >= 0 && static_cast<size_t>(n) == kept->size && std::memcmp(kept->recheck, kept->text, kept->size) == 0;
}

// A query's read of a caller's printer: what the last query kept when it is
// still the store, else the store opened and read afresh (then kept open
// when it opens by a joined path). Null: no printer data.
HeldStore *ReadKeptStore(PosixPrinter *printer)
{
    HeldStore *kept = printer->kept.exchange(nullptr);
    if (kept) {
        if (StillTheStore(printer, kept)) {
            return kept;
        }
        FreeHeldStore(kept);
    }
    int fd = -1;
    struct stat st;
    if (OpenStoreFile(printer->dir, printer->file, &fd, &st) != 0) {
        return nullptr;
    }
    char *text = nullptr;
    size_t size = 0;
    HeldStore *store =
        ReadWhole(fd, static_cast<size_t>(st.st_size), &text, &size) == 0 ? SplitStore(text, size) : nullptr;
    if (store && printer->path[0] != '\0') {
        store->fd = fd;
        store->id = IdentityOf(st);
    } else {
        close(fd);
    }
    return store;
}

// The 4-byte answer of getPrinterData for `name` in store (null: no data).
bool Answer(const HeldStore *store, const char *name, void *data, uint32_t cbData, uint32_t *cbNeeded)
{
    const StoreLine *found = nullptr;
    const size_t nameLength = std::strlen(name);
    for (size_t i = 0; store && !found && i < store->count; ++i) {
        if (SameName(store->lines[i], name, nameLength)) {
            found = &store->lines[i];
        }
    }
    // The first line with the name decides, whether or not its number parses.
    if (!found || !found->parsed) {
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
        out[i] = static_cast<uint8_t>(found->value >> (8 * i));
    }
    return true;
}

// Opens the printer: its store is read now, and the printer does not open
// when there is no printer data (no file, or not one the store reads).
bool PosixOpenPrinter(void *, const ZMD_WCHAR *name, void **handle)
{
    if (!name || !handle) {
        return false;
    }
    char utf8[kNameMax];
    if (!ToUtf8(name, utf8, sizeof utf8)) {
        return false;
    }
    void *block = PosixAlloc(nullptr, sizeof(PosixPrinter));
    if (!block) {
        return false;
    }
    PosixPrinter *printer = new (block) PosixPrinter();
    if (ZMD_StorePaths(utf8, printer->dir, sizeof printer->dir, printer->file, sizeof printer->file) !=
            ZMD_STORE_PATH_OK ||
        !(printer->opened = ReadPrinterStore(printer))) {
        printer->~PosixPrinter();
        PosixFree(nullptr, printer);
        return false;
    }
    if (!JoinStorePath(printer->dir, printer->file, printer->path, sizeof printer->path)) {
        printer->path[0] = '\0';
    }
    *handle = printer;
    return true;
}

void PosixClosePrinter(void *, void *handle)
{
    PosixPrinter *printer = static_cast<PosixPrinter *>(handle);
    if (!printer) {
        return;
    }
    FreeHeldStore(printer->opened);
    FreeHeldStore(printer->kept.exchange(nullptr));
    printer->~PosixPrinter();
    PosixFree(nullptr, printer);
}

// Without a hold every read is a look-up of its own: the store is read
// afresh, once.
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
    HeldStore *store = ReadPrinterStore(static_cast<PosixPrinter *>(handle));
    const bool ok = Answer(store, name, data, cbData, cbNeeded);
    FreeHeldStore(store);
    return ok;
}

// The query's first read takes what opening the printer read (a printer
// opened for this query) or reads the store (checking what the last query
// kept); the query's later reads look in that, and a store that could not
// be read fails them all.
bool PosixGetHeldPrinterData(void *, ZMD_PrinterHold *hold, const ZMD_WCHAR *valueName, void *data, uint32_t cbData,
                             uint32_t *cbNeeded)
{
    if (!hold || !hold->handle || !valueName) {
        return false;
    }
    if (!hold->state) {
        PosixPrinter *printer = static_cast<PosixPrinter *>(hold->handle);
        HeldStore *store = nullptr;
        if (hold->openedForQuery && printer->opened) {
            store = printer->opened;
            printer->opened = nullptr;
        } else {
            store = ReadKeptStore(printer);
        }
        hold->state = store ? store : const_cast<HeldStore *>(&kNoStore);
    }
    char name[kNameMax];
    if (!ToUtf8(valueName, name, sizeof name)) {
        return false;
    }
    return Answer(static_cast<const HeldStore *>(hold->state), name, data, cbData, cbNeeded);
}

// A store read with its file kept open goes back to the printer for the
// next query (freeing what another query gave back meanwhile).
void PosixReleaseHold(void *, ZMD_PrinterHold *hold)
{
    if (!hold) {
        return;
    }
    HeldStore *store = static_cast<HeldStore *>(hold->state);
    hold->state = nullptr;
    if (store && store != &kNoStore && store->fd >= 0 && hold->handle) {
        store = static_cast<PosixPrinter *>(hold->handle)->kept.exchange(store);
    }
    FreeHeldStore(store);
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

int ZMD_StorePaths(const char *name, char *dir, size_t dirCap, char *file, size_t fileCap)
{
    if (name[0] == '\0' || name[0] == '.' || std::strchr(name, '/')) {
        return ZMD_STORE_BAD_NAME;
    }
    const char *env = std::getenv("ZMD_PRINTER_DIR");
    const char *home = std::getenv("HOME");
    if ((!env || env[0] == '\0') && (!home || home[0] == '\0')) {
        return ZMD_STORE_NO_DIRECTORY;
    }
    const int f = std::snprintf(file, fileCap, "%s.conf", name);
    if (f <= 0 || static_cast<size_t>(f) >= fileCap) {
        return ZMD_STORE_TOO_LONG;
    }
    const int n = env && env[0] != '\0' ? std::snprintf(dir, dirCap, "%s", env)
                                        : std::snprintf(dir, dirCap, "%s/.config/zmd/printers", home);
    return n > 0 && static_cast<size_t>(n) < dirCap ? ZMD_STORE_PATH_OK : ZMD_STORE_TOO_LONG;
}

namespace {

// The joined path "dir/file" (capacity cap); false for an empty directory
// name or a path that does not fit, which open in two steps.
bool JoinStorePath(const char *dir, const char *file, char *path, size_t cap)
{
    const size_t dirLength = std::strlen(dir);
    const size_t fileLength = std::strlen(file);
    if (dirLength == 0 || dirLength + 1 + fileLength >= cap) {
        return false;
    }
    std::memcpy(path, dir, dirLength);
    path[dirLength] = '/';
    std::memcpy(path + dirLength + 1, file, fileLength + 1);
    return true;
}

// Opens store file `file` of directory `dir` never through a link and never
// blocking, and checks it on its descriptor: 0 with *fdOut open on a regular
// file of at most kStoreMax bytes (*st its status, the caller closes it), or
// why not (as ZMD_ReadStoreText; nothing is left open then).
int OpenStoreFile(const char *dir, const char *file, int *fdOut, struct stat *st)
{
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    // The joined path "dir/file" resolves as the two steps do (the
    // directory's links followed, the file's not; a directory that is none
    // fails with ENOTDIR): one open instead of open, openat and close. An
    // empty directory name or a path too long to join takes the two steps.
    char path[kPathMax];
    int fd = -1;
    if (JoinStorePath(dir, file, path, sizeof path)) {
        fd = open(path, flags);
        if (fd < 0) {
            return errno;
        }
    } else {
        const int dirFd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) {
            return errno;
        }
        fd = openat(dirFd, file, flags);
        const int openError = errno;
        close(dirFd);
        if (fd < 0) {
            return openError;
        }
    }
    int why = 0;
    if (fstat(fd, st) != 0) {
        why = errno;
    } else if (!S_ISREG(st->st_mode)) {
        why = ZMD_STORE_NOT_REGULAR;
    } else if (st->st_size < 0 || static_cast<uint64_t>(st->st_size) > kStoreMax) {
        why = ZMD_STORE_TOO_LARGE;
    }
    if (why != 0) {
        close(fd);
        return why;
    }
    *fdOut = fd;
    return 0;
}

} // namespace

int ZMD_ReadStoreText(const char *dir, const char *file, char **text, size_t *size)
{
    int fd = -1;
    struct stat st;
    int why = OpenStoreFile(dir, file, &fd, &st);
    if (why == 0) {
        why = ReadWhole(fd, static_cast<size_t>(st.st_size), text, size);
        close(fd);
    }
    return why;
}

void ZMD_FreeStoreText(char *text)
{
    PosixFree(nullptr, text);
}

void ZMD_ForEachStoreLine(const char *text, size_t size, void (*fn)(void *ctx, const ZMD_StoreLineInfo *line),
                          void *ctx)
{
    uint32_t number = 1;
    for (size_t at = 0; at < size; ++number) {
        const size_t end = LineEnd(text, size, at);
        ZMD_StoreLineInfo line;
        if (ClassifyLine(text + at, text + end, &line)) {
            line.number = number;
            fn(ctx, &line);
        }
        at = end;
    }
}

const ZMD_Platform *ZMD_DefaultPlatform()
{
    return &kPosixPlatform;
}
