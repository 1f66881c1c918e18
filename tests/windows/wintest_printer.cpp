// depbase.dll against a real spooler printer: the test installs a printer in
// the (wine) spooler with the built-in PostScript driver, stores the port-mode
// value with it, and checks the command sequence that reads that value and
// carries the clock command with the local time. The printer and its driver
// entry are removed again at the end.
#include "wintest.h"

#include <winspool.h>

#include <cstdio>
#include <cstring>

static const wchar_t kDriverName[] = L"ZMD Test Driver";
static const wchar_t kPortModeValue[] = L"XvnUI_CustomECPMode"; // root key 0x0008, item 2

struct TestPrinter {
    wchar_t name[64];
    wchar_t dataFile[MAX_PATH];
    bool driverAdded;
    bool printerAdded;
};

// Installs the driver entry and the printer. Returns false (with a message)
// when the spooler refuses; the printer checks are then reported as failed.
static bool printerSetup(TestPrinter *p)
{
    std::memset(p, 0, sizeof *p);
    wsprintfW(p->name, L"ZMD test printer %lu", (unsigned long)GetCurrentProcessId());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wsprintfW(p->dataFile, L"%szmdtest%lu.ppd", temp, (unsigned long)GetCurrentProcessId());
    HANDLE f = CreateFileW(p->dataFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    static const char ppd[] = "*PPD-Adobe: \"4.3\"\n*ModelName: \"ZMD Test\"\n*NickName: \"ZMD Test\"\n";
    DWORD written = 0;
    WriteFile(f, ppd, sizeof ppd - 1, &written, nullptr);
    CloseHandle(f);

    DRIVER_INFO_3W di;
    std::memset(&di, 0, sizeof di);
    di.cVersion = 3;
    di.pName = const_cast<wchar_t *>(kDriverName);
    di.pDriverPath = const_cast<wchar_t *>(L"wineps.drv");
    di.pDataFile = p->dataFile;
    di.pConfigFile = const_cast<wchar_t *>(L"wineps.drv");
    p->driverAdded = AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE *>(&di)) != 0;
    if (!p->driverAdded) {
        std::printf("    AddPrinterDriverW failed (%lu)\n", (unsigned long)GetLastError());
        return false;
    }
    PRINTER_INFO_2W pi;
    std::memset(&pi, 0, sizeof pi);
    pi.pPrinterName = p->name;
    pi.pPortName = const_cast<wchar_t *>(L"FILE:");
    pi.pDriverName = const_cast<wchar_t *>(kDriverName);
    pi.pPrintProcessor = const_cast<wchar_t *>(L"WinPrint");
    pi.pDatatype = const_cast<wchar_t *>(L"RAW");
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE *>(&pi));
    if (!h) {
        std::printf("    AddPrinterW failed (%lu)\n", (unsigned long)GetLastError());
        return false;
    }
    ClosePrinter(h);
    p->printerAdded = true;
    return true;
}

static void printerTeardown(TestPrinter *p)
{
    HANDLE h = nullptr;
    if (p->printerAdded && OpenPrinterW(p->name, &h, nullptr)) {
        DeletePrinter(h);
        ClosePrinter(h);
    }
    if (p->driverAdded) {
        DeletePrinterDriverW(nullptr, nullptr, const_cast<wchar_t *>(kDriverName));
    }
    DeleteFileW(p->dataFile);
}

// Stores the port-mode value with the printer.
static bool setPortMode(const TestPrinter *p, DWORD value)
{
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t *>(p->name), &h, nullptr)) {
        return false;
    }
    DWORD rc =
        SetPrinterDataW(h, const_cast<wchar_t *>(kPortModeValue), REG_DWORD, reinterpret_cast<BYTE *>(&value), 4);
    ClosePrinter(h);
    return rc == ERROR_SUCCESS;
}

static void timeText(const SYSTEMTIME *st, char out[15])
{
    wsprintfA(out, "%04u%02u%02u%02u%02u%02u", st->wYear, st->wMonth, st->wDay, st->wHour, st->wMinute, st->wSecond);
}

// The clock command at the start of a 0x1018 answer: the fixed frame, and the
// local time taken between the moments before and after the call.
static void checkClock(WinTest *t, const uint8_t *cmd, const SYSTEMTIME *before, const SYSTEMTIME *after)
{
    static const char head[] = "\x1B[K\x02\x00\x00\x1FKZLSTART\nControlMode=Common\nSetTime=";
    static const char tail[] = "\nKZLEND\n";
    expectBytes(t, cmd, head, 43, "clock command frame");
    expectBytes(t, cmd + 57, tail, 8, "clock command end");
    char got[15], lo[15], hi[15];
    std::memcpy(got, cmd + 43, 14);
    got[14] = 0;
    timeText(before, lo);
    timeText(after, hi);
    bool digits = true;
    for (int i = 0; i < 14; i++) {
        digits = digits && got[i] >= '0' && got[i] <= '9';
    }
    expect(t, digits && std::strcmp(lo, got) <= 0 && std::strcmp(got, hi) <= 0,
           "clock command time \"%s\" not within local time %s..%s", got, lo, hi);
}

static const char kEcpBlock[] = "\x1B[K\x02\x00\x00\x1FKZLSTART\nControlMode=Common\nSelectParallel=ECP\nKZLEND\n"
                                "\x1B[K\x02\x00\x00\x0F";
static_assert(sizeof kEcpBlock - 1 == 68, "ECP block");
static const char kNibbleBlock[] = "\x1B[K\x02\x00\x00\x1FKZLSTART\nControlMode=Common\nSelectParallel=Nibble\n"
                                   "KZLEND\n\x1B[K\x02\x00\x00\x0F";

static_assert(sizeof kNibbleBlock - 1 == 71, "Nibble block");

// One 0x1018 query; checks size, clock command and the port-mode block.
static void checkSequence(WinTest *t, const DepbaseApi *api, ZMD_SettingsRecord *rec, const char *block,
                          uint32_t blockSize, const char *what)
{
    uint8_t buf[256];
    uint32_t size = 0;
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    int32_t r = api->drv(0x1018, rec, sizeof buf, buf, &size);
    GetLocalTime(&after);
    uint32_t want = 65 + blockSize + ((rec->pnInts[79] & 0x800000) ? 12 : 0);
    if (!expect(t, r == ZMD_OK && size == want, "%s: drv 0x1018 got %d, size %u, want 0 and %u", what, r, size, want)) {
        return;
    }
    checkClock(t, buf, &before, &after);
    expectBytes(t, buf + 65, block, blockSize, what);
    if (want > 65 + blockSize) {
        static const uint8_t flags[12] = {0x1B, 0x28, 0x24, 0x07, 0x00, 0x01, 0x00, 0x01, 0x12, 0x34, 0x00, 0x01};
        expectBytes(t, buf + 65 + blockSize, flags, 12, "option flags command");
    }
}

void checkDepbasePrinter(WinTest *t, const DepbaseApi *api)
{
    testGroup(t, "depbase with a spooler printer (clock command, printer data)");
    TestPrinter p;
    bool ready = printerSetup(&p);
    if (expect(t, ready, "could not install a test printer in the spooler")) {
        RecordStore s;
        recordInit(&s, 0, 95);
        s.rec.pwszPrinterName = p.name;

        // Opened by name; the new printer stores no value: the trailing
        // default, the ECP block.
        checkSequence(t, api, &s.rec, kEcpBlock, sizeof kEcpBlock - 1, "no stored value");
        expect(t, setPortMode(&p, 0), "could not store the port-mode value");
        checkSequence(t, api, &s.rec, kNibbleBlock, sizeof kNibbleBlock - 1, "stored value 0");
        s.ints[79] = 0x800000;
        s.ints[80] = 0x1234;
        checkSequence(t, api, &s.rec, kNibbleBlock, sizeof kNibbleBlock - 1, "stored value 0, option flags");
        s.ints[79] = 0;
        expect(t, setPortMode(&p, 1), "could not store the port-mode value");
        checkSequence(t, api, &s.rec, kEcpBlock, sizeof kEcpBlock - 1, "stored value 1");

        // A handle of the caller's is used as it is and stays open.
        HANDLE h = nullptr;
        if (expect(t, OpenPrinterW(p.name, &h, nullptr) != 0, "OpenPrinterW of the test printer failed")) {
            expect(t, setPortMode(&p, 0), "could not store the port-mode value");
            s.rec.hPrinter = h;
            s.rec.pwszPrinterName = nullptr;
            checkSequence(t, api, &s.rec, kNibbleBlock, sizeof kNibbleBlock - 1, "caller's handle");
            DWORD type = 0, value = 7, needed = 0;
            DWORD rc = GetPrinterDataW(h, const_cast<wchar_t *>(kPortModeValue), &type,
                                       reinterpret_cast<BYTE *>(&value), 4, &needed);
            expect(t, rc == ERROR_SUCCESS && value == 0, "caller's handle no longer usable after the call (%lu)",
                   (unsigned long)rc);
            ClosePrinter(h);
        }
    }
    printerTeardown(&p);
}
