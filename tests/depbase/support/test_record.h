// A ZMD_SettingsRecord over owned settings, for tests.
//
//   TestRecord rec({0, 13}, {"CL"});   // ints, strings
//   ZMD_FindKey(&env, 0x0002, rec.get(), &node);
#ifndef ZMD_TEST_RECORD_H
#define ZMD_TEST_RECORD_H

#include <cstdint>
#include <string>
#include <vector>

#include "depbase.h"

class TestRecord {
public:
    std::vector<int32_t> ints;
    std::vector<const char *> strings; // entries may be null
    void *hPrinter = nullptr;
    uint32_t dwReserved = 0;
    std::u16string printerName;
    bool hasPrinterName = false;

    TestRecord() = default;
    TestRecord(std::vector<int32_t> i, std::vector<const char *> s = {}) : ints(std::move(i)), strings(std::move(s)) {}

    void setPrinterName(const std::string &ascii)
    {
        printerName.clear();
        for (unsigned char c : ascii) {
            printerName.push_back(static_cast<char16_t>(c));
        }
        hasPrinterName = true;
    }

    // The record, refreshed from the fields above; valid while this object lives.
    ZMD_SettingsRecord *get()
    {
        rec_.hPrinter = hPrinter;
        rec_.dwReserved = dwReserved;
        rec_.cStrings = static_cast<uint32_t>(strings.size());
        rec_.ppszStrings = strings.empty() ? nullptr : strings.data();
        rec_.cInts = static_cast<uint32_t>(ints.size());
        rec_.pnInts = ints.empty() ? nullptr : ints.data();
        rec_.pwszPrinterName = hasPrinterName ? reinterpret_cast<const ZMD_WCHAR *>(printerName.c_str()) : nullptr;
        return &rec_;
    }

private:
    ZMD_SettingsRecord rec_{};
};

#endif // ZMD_TEST_RECORD_H
