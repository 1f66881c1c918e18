// A ZMD_Platform for tests: counts spooler calls, keeps an in-memory printer
// store, fixes the clock and the country, and counts (and can fail)
// allocations. Pass fake.platform() wherever a ZMD_Platform is wanted.
#ifndef ZMD_TEST_FAKE_PLATFORM_H
#define ZMD_TEST_FAKE_PLATFORM_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "env.h"
#include "platform.h"

std::u16string ToU16(const std::string &ascii);

class FakePlatform {
public:
    FakePlatform();
    FakePlatform(const FakePlatform &) = delete;
    FakePlatform &operator=(const FakePlatform &) = delete;
    ~FakePlatform();

    const ZMD_Platform *platform() const { return &table_; }
    // An environment over the given image with this platform.
    ZMD_Env env(const ZMD_ImageView *image) const { return ZMD_Env{image, &table_}; }

    // --- Printer store -------------------------------------------------
    // Adds a printer (without values) and returns its handle. The handle is
    // stable: opening the printer by name hands out the same one, so tests
    // can also pass it as the caller's own hPrinter.
    void *addPrinter(const std::string &name);
    // Stores a value with the printer (added when missing). Any length,
    // including shorter than 4 bytes.
    void setValue(const std::string &printer, const std::string &valueName, const std::vector<uint8_t> &bytes);
    void setDword(const std::string &printer, const std::string &valueName, int32_t value);
    void removeValue(const std::string &printer, const std::string &valueName);
    void *handleOf(const std::string &printer) const;

    bool failOpen = false; // openPrinter fails even for a known printer

    // Spooler counters.
    int openCalls = 0;                          // openPrinter calls (successful or not)
    int openSucceeded = 0;                      // of them, the ones that handed out a handle
    int closeCalls = 0;                         // closePrinter calls
    int getDataCalls = 0;                       // getPrinterData calls
    std::vector<void *> closedHandles;          // every handle passed to closePrinter, in order
    std::vector<std::u16string> lastValueNames; // value names asked for, in order
    // Handles opened by openPrinter and not yet closed.
    int openHandles() const { return openSucceeded - closedOpened_; }

    // --- Clock and locale ----------------------------------------------
    ZMD_LocalTime localTime{2024, 3, 9, 14, 5, 7};
    int timeCalls = 0;
    std::string countryText = "1"; // what the locale's country item holds
    bool failCountrySize = false;  // size query answers 0
    bool failCountryFetch = false; // fetch answers 0
    int countryCalls = 0;

    // --- Heap ----------------------------------------------------------
    // 1-based number of the allocation that fails; 0 = none fails. Only the
    // n-th call fails; later ones succeed again.
    int failAllocAt = 0;
    int allocCalls = 0; // every alloc call, the failed one included
    int freeCalls = 0;  // free calls with a non-null pointer
    int badFrees = 0;   // frees of pointers this heap did not hand out
    size_t outstanding() const { return live_.size(); }
    // Resets the allocation counters and the failure point (not the live set).
    void resetAllocCounters()
    {
        failAllocAt = 0;
        allocCalls = 0;
        freeCalls = 0;
        badFrees = 0;
    }
    void resetSpoolerCounters();

private:
    struct Printer {
        void *handle;
        std::map<std::u16string, std::vector<uint8_t>> values;
    };
    static bool OpenPrinter(void *ctx, const ZMD_WCHAR *name, void **handle);
    static void ClosePrinter(void *ctx, void *handle);
    static bool GetPrinterData(void *ctx, void *handle, const ZMD_WCHAR *valueName, void *data, uint32_t cbData,
                               uint32_t *cbNeeded);
    static void GetLocalTime(void *ctx, ZMD_LocalTime *out);
    static int GetCountryText(void *ctx, char *buf, int cb);
    static void *Alloc(void *ctx, size_t size);
    static void Free(void *ctx, void *p);
    Printer *byHandle(void *handle);

    ZMD_Platform table_;
    std::map<std::u16string, Printer> printers_;
    std::set<void *> live_;
    int closedOpened_ = 0;
    uintptr_t nextHandle_ = 0x1000;
};

#endif // ZMD_TEST_FAKE_PLATFORM_H
