// The platform seam of depbase: everything the library needs of the host.
// One table of functions; the shipped exports use ZMD_DefaultPlatform()
// (Win32 backend on Windows, POSIX backend elsewhere). Tests may pass their
// own table to count spooler calls, fix the clock and the country, or fail
// the n-th allocation.
#ifndef ZMD_PLATFORM_H
#define ZMD_PLATFORM_H

#include <cstddef>
#include <cstdint>

#include "depbase.h"

struct ZMD_LocalTime {
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
};

// One query's hold on a printer's stored values: kept in the export frame of
// the query, filled by the backend at the query's first read and released
// by the frame when the query ends.
struct ZMD_PrinterHold {
    void *handle; // the printer the hold is for
    void *state;  // the backend's, null until the first read
    // The printer was opened by name for this query alone: what the backend
    // read of the store when it opened the printer is this query's (false
    // for a caller's handle, whose store is read afresh by every query).
    bool openedForQuery = false;
};

struct ZMD_Platform {
    void *ctx; // passed back to every function; the default backend ignores it

    // Opens the printer named by a NUL-terminated UTF-16 string. Returns true
    // and stores the handle, or returns false (the handle out is then unspecified).
    bool (*openPrinter)(void *ctx, const ZMD_WCHAR *name, void **handle);
    void (*closePrinter)(void *ctx, void *handle);
    // Reads the named value stored with the printer into data (capacity
    // cbData bytes). Returns true on success; *cbNeeded receives the value's
    // size. Only the bytes the store holds are written.
    bool (*getPrinterData)(void *ctx, void *handle, const ZMD_WCHAR *valueName, void *data, uint32_t cbData,
                           uint32_t *cbNeeded);
    void (*getLocalTime)(void *ctx, ZMD_LocalTime *out);
    // The user locale's country code as text, like GetLocaleInfoA with
    // LOCALE_ICOUNTRY: with cb == 0 returns the size needed (NUL included);
    // otherwise copies into buf and returns the characters written (NUL
    // included), or 0 on failure.
    int (*getCountryText)(void *ctx, char *buf, int cb);
    // Global heap, fixed memory. alloc returns zero-filled memory or null.
    void *(*alloc)(void *ctx, size_t size);
    void (*free)(void *ctx, void *p);

    // Optional (null in a table without them: every read then goes to
    // getPrinterData). Reads as getPrinterData would for hold->handle, but
    // what the first read of a query takes from the store is kept in
    // hold->state and answers the later reads of the same query.
    bool (*getHeldPrinterData)(void *ctx, ZMD_PrinterHold *hold, const ZMD_WCHAR *valueName, void *data,
                               uint32_t cbData, uint32_t *cbNeeded) = nullptr;
    // Frees what the hold keeps (nothing when it keeps nothing).
    void (*releaseHold)(void *ctx, ZMD_PrinterHold *hold) = nullptr;
};

// The host backend (platform_win32.cpp or platform_posix.cpp).
const ZMD_Platform *ZMD_DefaultPlatform();

#endif // ZMD_PLATFORM_H
