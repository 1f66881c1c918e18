// depbase_query: queries with arbitrary keys and records over the shipped
// image, through the export frame on a fake platform (a printer whose stored
// values, the clock, the country and a failing allocation come from the
// input) and through the shipped exports themselves.
//
// Input: route (1 byte: database 0-5 through the frame, 6 the generic
// lookup, 7 the shipped export), key (1 byte choice + 2 bytes), integer
// settings (count, then each value), string settings (count, then each: 0xFF
// for a null entry, else a length and the characters), printer (flags, the
// stored values), clock (6 bytes), country (length + text), buffer size
// (2 bytes), failing allocation (1 byte). Arrays are exactly as long as
// their counts. The answer must be a known code, a size within the buffer
// on ZMD_OK, and nothing allocated or open afterwards.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "access.h"
#include "depbase.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "fuzz_targets.h"
#include "image_format.h"

namespace {

const char kPrinter[] = "Fuzz Printer";

// The printer-data value names of the shipped image: the value-name key's texts.
const std::vector<std::string> &valueNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        FakePlatform fake;
        const ZMD_Env env = fake.env(ZMD_ShippedImage());
        for (int32_t item = 0; item < 512; ++item) {
            int32_t ints[1] = {item};
            ZMD_SettingsRecord rec{};
            rec.cInts = 1;
            rec.pnInts = ints;
            uint8_t buf[512];
            uint32_t size = 0;
            if (ZMD_AccessDataBase(&env, ZMD_DB_ROOT, ZMD_VALUE_NAME_KEY, &rec, sizeof buf, buf, &size) != ZMD_OK) {
                continue;
            }
            std::string s;
            for (uint32_t i = 0; i + 1 < size; i += 2) {
                if (buf[i]) {
                    s.push_back(static_cast<char>(buf[i]));
                }
            }
            out.push_back(s);
        }
        return out;
    }();
    return names;
}

int32_t readInt(FuzzInput &in)
{
    const uint8_t b = in.u8();
    if (b < 0xC0) {
        return b;
    }
    if (b < 0xF0) {
        return in.u16();
    }
    return static_cast<int32_t>(in.u32());
}

bool knownCode(int32_t r)
{
    return r == ZMD_OK || r == ZMD_NOT_FOUND || r == ZMD_MORE_DATA || r == ZMD_NO_KEY || r == ZMD_ERROR ||
           r == ZMD_BAD_STRING_SETTING || r == ZMD_BAD_INT_SETTING || r == ZMD_BAD_RECORD;
}

} // namespace

int FuzzDepbaseQuery(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const ZMD_ImageView *image = ZMD_ShippedImage();
    const uint8_t route = in.u8() % 8;
    const uint8_t keyChoice = in.u8();
    uint32_t key = in.u16();
    if (keyChoice < 0xC0 && image->counts.keys != 0) {
        key = image->keys[key % image->counts.keys];
    }
    if (keyChoice & 0x20) {
        key |= static_cast<uint32_t>(in.u16()) << 16; // high bits are ignored
    }

    // Settings, each array exactly its count long.
    const uint32_t cInts = in.u8() % 128;
    std::unique_ptr<int32_t[]> ints(cInts ? new int32_t[cInts] : nullptr);
    for (uint32_t i = 0; i < cInts; ++i) {
        ints[i] = readInt(in);
    }
    const uint32_t cStrings = in.u8() % 12;
    std::vector<std::unique_ptr<char[]>> strings;
    std::unique_ptr<const char *[]> stringPtrs(cStrings ? new const char *[cStrings] : nullptr);
    for (uint32_t i = 0; i < cStrings; ++i) {
        const uint8_t b = in.u8();
        if (b == 0xFF) {
            stringPtrs[i] = nullptr;
            continue;
        }
        const std::vector<uint8_t> text = in.bytes(b % 24);
        strings.emplace_back(new char[text.size() + 1]);
        if (!text.empty()) {
            std::memcpy(strings.back().get(), text.data(), text.size());
        }
        strings.back()[text.size()] = 0;
        stringPtrs[i] = strings.back().get();
    }

    // The printer, its stored values, the clock and the country.
    FakePlatform fake;
    const uint8_t printerFlags = in.u8();
    void *handle = fake.addPrinter(kPrinter);
    const std::vector<std::string> &names = valueNames();
    const uint8_t stored = in.u8() % 4;
    for (uint8_t v = 0; v < stored && !names.empty(); ++v) {
        const std::string &name = names[in.u8() % names.size()];
        fake.setValue(kPrinter, name, in.bytes(in.u8() % 7));
    }
    fake.failOpen = (printerFlags & 0x08) != 0;
    fake.localTime = ZMD_LocalTime{static_cast<uint16_t>(1990 + in.u8()), static_cast<uint16_t>(in.u8() % 14),
                                   static_cast<uint16_t>(in.u8() % 33),   static_cast<uint16_t>(in.u8() % 26),
                                   static_cast<uint16_t>(in.u8() % 62),   static_cast<uint16_t>(in.u8() % 62)};
    const std::vector<uint8_t> country = in.bytes(in.u8() % 6);
    fake.countryText.assign(country.begin(), country.end());
    fake.failCountryFetch = (printerFlags & 0x10) != 0;

    ZMD_SettingsRecord record{};
    record.hPrinter = (printerFlags & 1) ? handle : nullptr;
    record.dwReserved = printerFlags;
    record.cInts = cInts;
    record.pnInts = ints.get();
    record.cStrings = cStrings;
    record.ppszStrings = stringPtrs.get();
    const std::u16string printerName =
        (printerFlags & 4) ? ToU16(kPrinter)
                           : ToU16(std::string("Other ") + static_cast<char>('A' + (printerFlags >> 5)));
    if (printerFlags & 2) {
        record.pwszPrinterName = reinterpret_cast<const ZMD_WCHAR *>(printerName.c_str());
    }

    const uint32_t cbBuffer = in.u16() % 4096;
    const bool noBuffer = (cbBuffer & 7) == 7;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[cbBuffer ? cbBuffer : 1]);
    fake.failAllocAt = in.u8() % 6;

    uint32_t sizeOut = 0xFFFFFFFFu;
    int32_t r;
    if (route == 7) {
        // The shipped exports on the host's own platform: no printer, the real clock.
        static const decltype(&ZMD_AccessRootDataBase) kExports[] = {ZMD_AccessRootDataBase, ZMD_AccessDrvDataBase,
                                                                     ZMD_AccessLMDataBase,   ZMD_AccessMntDataBase,
                                                                     ZMD_AccessPADataBase,   ZMD_AccessSMDataBase};
        record.hPrinter = nullptr;
        record.pwszPrinterName = nullptr;
        r = kExports[(key >> 12) % 6](key, &record, cbBuffer, noBuffer ? nullptr : buffer.get(), &sizeOut);
    } else {
        const ZMD_Env env = fake.env(image);
        if (route == 6) {
            r = ZMD_LookupAndExtract(&env, key, &record, cbBuffer, noBuffer ? nullptr : buffer.get(), &sizeOut);
        } else {
            r = ZMD_AccessDataBase(&env, route, key, &record, cbBuffer, noBuffer ? nullptr : buffer.get(), &sizeOut);
        }
    }
    FUZZ_CHECK(knownCode(r));
    if (r == ZMD_OK) {
        FUZZ_CHECK(sizeOut <= cbBuffer && !noBuffer);
    }
    if (r == ZMD_MORE_DATA) {
        FUZZ_CHECK(noBuffer || sizeOut > cbBuffer);
    }
    FUZZ_CHECK(fake.outstanding() == 0);
    FUZZ_CHECK(fake.badFrees == 0);
    FUZZ_CHECK(fake.openHandles() == 0);
    return 0;
}
