// depbase.dll through its exports: the frame and size protocol, plain values,
// the driver database's lists, command sequences and parameter set, and a
// printer name that no spooler knows.
#include <cstring>

#include "wintest.h"

static const uint32_t kUntouched = 0xA5A5A5A5u;

// Asks for key with a null buffer, then with a buffer of the answered size.
// Returns the second call's result; *size holds the size it reported.
static int32_t query(ZmdAccessFn fn, uint32_t key, ZMD_SettingsRecord *rec, void *buf, uint32_t cap, uint32_t *size)
{
    *size = kUntouched;
    int32_t r = fn(key, rec, 0, nullptr, size);
    if (r != ZMD_MORE_DATA) {
        return r;
    }
    if (*size > cap) {
        return ZMD_MORE_DATA;
    }
    uint32_t needed = *size;
    r = fn(key, rec, needed, buf, size);
    return r;
}

static int32_t readInt32(const uint8_t *p, size_t index)
{
    int32_t v;
    std::memcpy(&v, p + 4 * index, 4);
    return v;
}

void checkDepbaseFrame(WinTest *t, const DepbaseApi *api)
{
    testGroup(t, "depbase frame and size protocol");
    RecordStore s;
    recordInit(&s, 1, 1);
    uint32_t size = kUntouched;
    uint8_t buf[64];

    // The record test comes before the range test.
    expect(t, api->root(0x001E, nullptr, 0, nullptr, &size) == ZMD_BAD_RECORD, "null record: want -4");
    expect(t, api->root(0x7000, nullptr, 0, nullptr, &size) == ZMD_BAD_RECORD, "null record, bad key: want -4");
    expect(t, size == kUntouched, "size word written on -4");

    // Keys outside each export's range, and a key the image lacks.
    expect(t, api->root(0x0000, &s.rec, 0, nullptr, &size) == ZMD_NOT_FOUND, "root key 0x0000: want 1");
    expect(t, api->drv(0x1000, &s.rec, 0, nullptr, &size) == ZMD_NOT_FOUND, "drv key 0x1000: want 1");
    expect(t, api->drv(0x5008, &s.rec, 0, nullptr, &size) == ZMD_NOT_FOUND, "drv key 0x5008: want 1");
    expect(t, api->sm(0x5002, &s.rec, 0, nullptr, &size) == ZMD_NOT_FOUND, "sm key 0x5002: want 1");
    expect(t, api->mnt(0x001E, &s.rec, 0, nullptr, &size) == ZMD_NOT_FOUND, "mnt key 0x001E: want 1");
    expect(t, api->root(0x0001, &s.rec, 0, nullptr, &size) == ZMD_NO_KEY, "root key 0x0001: want 3");
    expect(t, size == kUntouched, "size word written on 1 or 3");

    // The size protocol on root key 0x001E, "calibmod.dll" as 13 UTF-16 units.
    int32_t r = api->root(0x001E, &s.rec, 0, nullptr, &size);
    expect(t, r == ZMD_MORE_DATA && size == 26, "size query of 0x001E: got %d, size %u", r, size);
    r = api->root(0x001E, &s.rec, 26, nullptr, &size);
    expect(t, r == ZMD_MORE_DATA && size == 26, "null buffer with a size: got %d, size %u", r, size);
    size = kUntouched;
    r = api->root(0x001E, &s.rec, 25, buf, &size);
    expect(t, r == ZMD_MORE_DATA && size == 26, "25-byte buffer: got %d, size %u", r, size);
    std::memset(buf, 0xCC, sizeof buf);
    size = kUntouched;
    r = api->root(0x001E, &s.rec, 26, buf, &size);
    if (expect(t, r == ZMD_OK && size == 26, "26-byte buffer: got %d, size %u", r, size)) {
        expectWide(t, buf, L"calibmod.dll", "root 0x001E");
    }
    expect(t, buf[26] == 0xCC, "byte after the value was written");

    // Only the low 16 bits of the key count.
    r = query(api->root, 0x00010002, &s.rec, buf, sizeof buf, &size);
    if (expect(t, r == ZMD_OK && size == 10, "key 0x00010002: got %d, size %u", r, size)) {
        expectWide(t, buf, L"1.50", "root 0x0002 through 0x00010002");
    }

#ifndef _WIN64
    // __stdcall: the export removes its five arguments itself.
    uint32_t removed = 0;
    size = 0;
    uint32_t args[5] = {0x001E, (uint32_t)(uintptr_t)&s.rec, 0, 0, (uint32_t)(uintptr_t)&size};
    r = callMeasuringStack((void *)api->root, args, &removed);
    expect(t, r == ZMD_MORE_DATA && size == 26, "measured call: got %d, size %u", r, size);
    expect(t, removed == 20, "ZMD_AccessRootDataBase removed %u bytes of arguments, want 20", removed);
    ZmdAccessFn all[6] = {api->root, api->drv, api->lm, api->mnt, api->pa, api->sm};
    for (int i = 0; i < 6; i++) {
        uint32_t key[6] = {0x0000, 0x1000, 0x2000, 0x3000, 0x4000, 0x6000};
        uint32_t a[5] = {key[i], (uint32_t)(uintptr_t)&s.rec, 0, 0, (uint32_t)(uintptr_t)&size};
        r = callMeasuringStack((void *)all[i], a, &removed);
        expect(t, r == ZMD_NOT_FOUND && removed == 20, "export %d: result %d, removed %u bytes", i, r, removed);
    }
#endif
}

void checkDepbaseValues(WinTest *t, const DepbaseApi *api)
{
    testGroup(t, "depbase values");
    uint8_t buf[256];
    uint32_t size;
    RecordStore s;

    recordInit(&s, 1, 1);
    int32_t r = query(api->root, 0x0005, &s.rec, buf, sizeof buf, &size);
    expect(t, r == ZMD_OK && size == 4 && readInt32(buf, 0) == 102, "root 0x0005: got %d, size %u, value %d", r, size,
           readInt32(buf, 0));

    s.ints[0] = 154;
    r = query(api->root, 0x0008, &s.rec, buf, sizeof buf, &size);
    if (expect(t, r == ZMD_OK && size == 42, "root 0x0008 item 154: got %d, size %u", r, size)) {
        expectWide(t, buf, L"XvnUI_SilentModeTime", "root 0x0008 item 154");
    }
    s.ints[0] = 155;
    expect(t, api->root(0x0008, &s.rec, 0, nullptr, &size) == ZMD_NOT_FOUND, "root 0x0008 item 155: want 1");

    s.strings[0] = "DOC";
    r = query(api->root, 0x0012, &s.rec, buf, sizeof buf, &size);
    if (expect(t, r == ZMD_OK && size == 22, "root 0x0012 \"DOC\": got %d, size %u", r, size)) {
        expectWide(t, buf, L"XvnSLM_DOC", "root 0x0012");
    }

    recordInit(&s, 0, 1);
    s.ints[0] = 500;
    r = query(api->mnt, 0x300B, &s.rec, buf, sizeof buf, &size);
    if (expect(t, r == ZMD_OK && size == 22, "mnt 0x300B word 500: got %d, size %u", r, size)) {
        expectBytes(t, buf, "@TestPrint=NozzleCheck", 22, "mnt 0x300B word 500");
    }

    recordInit(&s, 0, 95);
    s.ints[28] = 9;
    r = query(api->drv, 0x1003, &s.rec, buf, sizeof buf, &size);
    expect(t, r == ZMD_OK && size == 8 && readInt32(buf, 0) == 21000 && readInt32(buf, 1) == 29700,
           "drv 0x1003 A4: got %d, size %u, %d x %d", r, size, readInt32(buf, 0), readInt32(buf, 1));
    expect(t, api->drv(0x1004, &s.rec, 0, nullptr, &size) == ZMD_NOT_FOUND, "drv 0x1004 for A4: want 1");

    // The user-defined size: an area record computed from settings 29 and 30.
    s.ints[28] = 256;
    s.ints[29] = 10000;
    s.ints[30] = 15000;
    r = query(api->drv, 0x1004, &s.rec, buf, sizeof buf, &size);
    expect(t,
           r == ZMD_OK && size == 16 && readInt32(buf, 0) == 340 && readInt32(buf, 1) == 9320 &&
               readInt32(buf, 2) == 300 && readInt32(buf, 3) == 14200,
           "drv 0x1004 custom: got %d, size %u, %d %d %d %d", r, size, readInt32(buf, 0), readInt32(buf, 1),
           readInt32(buf, 2), readInt32(buf, 3));

    // A record too short for the tree's settings.
    recordInit(&s, 0, 28);
    expect(t, api->drv(0x1003, &s.rec, 0, nullptr, &size) == ZMD_BAD_INT_SETTING, "drv 0x1003, 28 ints: want -3");
}

void checkDepbaseDriverQueries(WinTest *t, const DepbaseApi *api)
{
    testGroup(t, "depbase driver lists, sequences, parameter set");
    uint8_t buf[512];
    uint32_t size;
    RecordStore s;
    recordInit(&s, 0, 95);

    // Paper size list: nine items of five 32-bit fields.
    static const int32_t ids[9] = {11, 9, 13, 1, 5, 20, 27, 275, 256};
    static const int32_t names[9] = {0x3D92, 0x3D90, 0x3D97, 0x3D87, 0x3D8B, 0x3DA4, 0x3DA5, 0x3DB0, 0x3D80};
    static const int32_t value1[9] = {15712, 15710, 15717, 15701, 15705, 15747, 15748, 15742, 15744};
    std::memset(buf, 0, sizeof buf);
    int32_t r = query(api->drv, 0x1010, &s.rec, buf, sizeof buf, &size);
    if (expect(t, r == ZMD_OK && size == 180, "drv 0x1010: got %d, size %u", r, size)) {
        for (int i = 0; i < 9; i++) {
            const uint8_t *item = buf + 20 * i;
            expect(t,
                   readInt32(item, 0) == ids[i] && readInt32(item, 1) == names[i] && readInt32(item, 2) == value1[i] &&
                       readInt32(item, 3) == 0 && readInt32(item, 4) == 0,
                   "drv 0x1010 item %d: %d %d %d %d %d", i, readInt32(item, 0), readInt32(item, 1), readInt32(item, 2),
                   readInt32(item, 3), readInt32(item, 4));
        }
    }

    // List 5 with its default mark.
    s.ints[4] = 1;
    s.ints[9] = 0;
    std::memset(buf, 0, sizeof buf);
    r = query(api->drv, 0x100E, &s.rec, buf, sizeof buf, &size);
    if (expect(t, r == ZMD_OK && size == 180, "drv 0x100E: got %d, size %u", r, size)) {
        for (int i = 0; i < 9; i++) {
            expect(t, readInt32(buf + 20 * i, 4) == (i == 0 ? 1 : 0), "drv 0x100E item %d default %d", i,
                   readInt32(buf + 20 * i, 4));
        }
    }

    // Command sequence 0x1019: five parts for A4, normal margins, list-5 choice 1.
    s.ints[28] = 9;
    s.ints[52] = 0;
    s.ints[5] = 1;
    s.ints[81] = 0;
    s.ints[8] = 2;
    s.ints[6] = 1;
    static const uint8_t seq[78] = {
        0x1B, 0x28, 0x62, 0x01, 0x00, 0x01,                                                       // part 1
        0x1B, 0x28, 0x63, 0x03, 0x00, 0x30, 0x00, 0x03, 0x1B, 0x28, 0x64, 0x04, 0x00, 0x02, 0x58, // print mode
        0x02, 0x58, 0x1B, 0x28, 0x74, 0x1E, 0x00, 0x80, 0x80, 0x01, 0x22, 0x00, 0x03, 0x22, 0x00, //
        0x03, 0x01, 0x00, 0x02, 0x01, 0x00, 0x02, 0,    0,    0,    0,    0,    0,    0,    0,    //
        0,    0,    0,    0,    0,    0,    0,                                                    //
        0x1B, 0x28, 0x70, 0x08, 0x00, 0x02, 0xAB, 0x00, 0x00, 0x01, 0xE0, 0x00, 0x00,             // page format
        0x1B, 0x28, 0x6C, 0x02, 0x00, 0x34, 0x00};
    r = query(api->drv, 0x1019, &s.rec, buf, sizeof buf, &size);
    if (expect(t, r == ZMD_OK && size == 78, "drv 0x1019: got %d, size %u", r, size)) {
        expectBytes(t, buf, seq, 78, "drv 0x1019");
    }
    r = query(api->drv, 0x101D, &s.rec, buf, sizeof buf, &size);
    static const uint8_t eject[8] = {0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, 0x01, 0x0C};
    if (expect(t, r == ZMD_OK && size == 8, "drv 0x101D: got %d, size %u", r, size)) {
        expectBytes(t, buf, eject, 8, "drv 0x101D");
    }

    // Parameter set: row 0 (blocks A0, B0, C0, D0); bytes 172 to 191 are not written.
    std::memset(buf, 0xCC, sizeof buf);
    r = query(api->drv, 0x101E, &s.rec, buf, sizeof buf, &size);
    if (expect(t, r == ZMD_OK && size == 192, "drv 0x101E: got %d, size %u", r, size)) {
        static const uint16_t a0[14] = {122, 0, 31, 256, 0, 0, 0, 1, 0, 600, 600, 600, 600, 2};
        expectBytes(t, buf, a0, sizeof a0, "parameter set block A0");
        uint8_t text[64];
        uint32_t textSize;
        if (query(api->drv, 0x1042, &s.rec, text, sizeof text, &textSize) == ZMD_OK) {
            char name[20] = {0};
            for (uint32_t i = 0; i + 1 < textSize / 2 && i < 20; i++) {
                name[i] = (char)text[2 * i];
            }
            expectBytes(t, buf + 28, name, 20, "parameter set table file name (key 0x1042)");
        }
        static const uint8_t zeros[48] = {0};
        expectBytes(t, buf + 48, zeros, 40, "parameter set block B0");
        static const uint16_t c0head[4] = {13, 7, 3, 5};
        static const int32_t c0body[3] = {21590, 27940, 1};
        expectBytes(t, buf + 88, c0head, 8, "parameter set block C0 head");
        expectBytes(t, buf + 96, c0body, 12, "parameter set block C0 body");
        expectBytes(t, buf + 108, zeros, 16, "parameter set block C0 tail");
        expectBytes(t, buf + 124, zeros, 48, "parameter set block D0");
        uint8_t cc[20];
        std::memset(cc, 0xCC, sizeof cc);
        expectBytes(t, buf + 172, cc, 20, "parameter set bytes 172 to 191");
    }
    s.ints[9] = 1; // rows 25 to 49: flag Q set in block A
    r = query(api->drv, 0x101E, &s.rec, buf, sizeof buf, &size);
    expect(t, r == ZMD_OK && buf[16] == 1 && buf[17] == 0, "drv 0x101E with setting 9 = 1: got %d, Q %u", r, buf[16]);
    s.ints[5] = 999;
    uint32_t before = size = kUntouched;
    r = api->drv(0x101E, &s.rec, sizeof buf, buf, &size);
    expect(t, r == ZMD_NOT_FOUND && size == before, "drv 0x101E without a row: got %d", r);
}

void checkDepbaseUnknownPrinter(WinTest *t, const DepbaseApi *api)
{
    testGroup(t, "depbase with a printer name no spooler knows");
    uint8_t buf[256];
    uint32_t size;
    RecordStore s;
    recordInit(&s, 0, 95);
    s.rec.pwszPrinterName = L"ZMD test printer that does not exist";

    // The open fails silently: the sequence that reads printer data has no handle.
    int32_t r = api->drv(0x1018, &s.rec, sizeof buf, buf, &size);
    expect(t, r == ZMD_BAD_RECORD, "drv 0x1018: got %d, want -4", r);
    s.ints[28] = 9;
    r = query(api->drv, 0x1003, &s.rec, buf, sizeof buf, &size);
    expect(t, r == ZMD_OK && size == 8 && readInt32(buf, 0) == 21000, "drv 0x1003: got %d, size %u", r, size);
    recordInit(&s, 1, 1);
    s.rec.pwszPrinterName = L"ZMD test printer that does not exist";
    r = query(api->root, 0x001E, &s.rec, buf, sizeof buf, &size);
    expect(t, r == ZMD_OK && size == 26, "root 0x001E: got %d, size %u", r, size);

    // No handle and no name at all: the same -4.
    recordInit(&s, 0, 95);
    r = api->drv(0x1018, &s.rec, sizeof buf, buf, &size);
    expect(t, r == ZMD_BAD_RECORD, "drv 0x1018 without a printer: got %d, want -4", r);
}
