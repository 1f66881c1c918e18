// answer_dump: every answer of the shared library, for comparing two builds.
//
// Asks every key of every export range through the library's exports, with
// an all-zero record of the database's shape and with every record of the
// catalogue sweep (each distinct set of settings that makes a key's tree
// yield a value), without a printer and with the printer named on the
// command line (opened through the store of $ZMD_PRINTER_DIR). Each record
// is asked with buffers of 0, 16 and 4096 bytes; each line gives the key,
// the settings, the buffer size, the result code, the size word and the
// bytes written in hex. The local time in a clock command is masked, and the
// bytes of a quiet-mode answer (which depends on the time of day) are left
// out, so two runs at different times print the same.
//
// Usage: answer_dump [PRINTER]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "depbase.h"
#include "image.h"
#include "key_sweep.h"
#include "records.h"
#include "platform.h"

namespace {

const uint32_t kSizes[3] = {0, 16, 4096};

std::string Settings(const SweepQuery &q)
{
    std::string s;
    char buf[32];
    for (size_t i = 0; i < q.ints.size(); ++i) {
        if (q.ints[i] != 0) {
            std::snprintf(buf, sizeof buf, " i%zu=%d", i, q.ints[i]);
            s += buf;
        }
    }
    for (size_t i = 0; i < q.strings.size(); ++i) {
        if (q.stringSet[i]) {
            std::snprintf(buf, sizeof buf, " s%zu=", i);
            s += buf + q.strings[i];
        }
    }
    return s.empty() ? " -" : s;
}

// The clock command's "SetTime=YYYYMMDDhhmmss" digits are the local time:
// each becomes '?'.
void MaskTime(uint8_t *bytes, uint32_t n)
{
    static const char kTag[] = "SetTime=";
    const uint32_t tag = sizeof kTag - 1;
    for (uint32_t i = 0; i + tag <= n; ++i) {
        if (std::memcmp(bytes + i, kTag, tag) == 0) {
            for (uint32_t j = i + tag; j < n && bytes[j] >= '0' && bytes[j] <= '9'; ++j) {
                bytes[j] = '?';
            }
        }
    }
}

void Ask(const char *label, SweepQuery &q, bool clock)
{
    const SweepExport fn = SweepExportOf(q.database);
    for (uint32_t cb : kSizes) {
        std::vector<uint8_t> buffer(cb ? cb : 1, 0xA5);
        uint32_t size = 0xDEADBEEFu;
        q.bind();
        const int32_t rc = fn(q.key, &q.record, cb, cb ? buffer.data() : nullptr, &size);
        std::printf("%s %04X%s cb=%u rc=%d size=%u", label, q.key, Settings(q).c_str(), cb, rc, size);
        if (clock) {
            std::printf(" <clock>\n");
            continue;
        }
        // The bytes written (the answer's size on ZMD_OK), and whether the
        // rest of the buffer kept its fill.
        const uint32_t written = rc == ZMD_OK && size <= cb ? size : 0;
        MaskTime(buffer.data(), written);
        std::printf(" ");
        for (uint32_t i = 0; i < written; ++i) {
            std::printf("%02X", buffer[i]);
        }
        bool kept = true;
        for (uint32_t i = written; i < cb; ++i) {
            kept = kept && buffer[i] == 0xA5;
        }
        std::printf(kept ? "\n" : " rest-touched\n");
    }
}

bool ReadsClock(uint16_t key)
{
    return SweepTreeHas(ZMD_ShippedImage(), key, [key](ZMD_Node n) {
        return ZMD_NodeKindOf(n.w0) == ZMD_KIND_COMPUTED && ZMD_NodeHigh(n.w1) == key && ZMD_NodeLow(n.w1) == 7;
    });
}

void DumpAll(const char *label, void *printer)
{
    // Every key of every range, with an all-zero record.
    for (uint32_t key = 1; key < 0x7000; ++key) {
        SweepQuery q;
        q.key = static_cast<uint16_t>(key);
        if (!SweepDatabaseOf(q.key, &q.database)) {
            continue;
        }
        ZMD_RecordShape shape{0, 0};
        ZMD_GetRecordShape(q.database, &shape);
        q.ints.assign(shape.cInts, 0);
        q.strings.assign(shape.cStrings, std::string());
        q.stringSet.assign(shape.cStrings, false);
        q.hPrinter = printer;
        q.bind();
        uint32_t size = 0;
        const int32_t rc = SweepExportOf(q.database)(q.key, &q.record, 0, nullptr, &size);
        if (rc == ZMD_NO_KEY) {
            std::printf("%s %04X - no key\n", label, key);
            continue;
        }
        Ask(label, q, ReadsClock(q.key));
    }
    // Every record of the sweep.
    const SweepAsk ask = [](uint16_t key, uint32_t database, ZMD_SettingsRecord *record) {
        uint32_t size = 0;
        return SweepExportOf(database)(key, record, 0, nullptr, &size) == ZMD_MORE_DATA ? ZMD_OK : ZMD_NOT_FOUND;
    };
    std::vector<SweepQuery> sweep = BuildFullSweep(ZMD_ShippedImage(), ask, printer);
    for (SweepQuery &q : sweep) {
        Ask(label, q, ReadsClock(q.key));
    }
}

} // namespace

int main(int argc, char **argv)
{
    DumpAll("none", nullptr);
    if (argc > 1) {
        const ZMD_Platform *platform = ZMD_DefaultPlatform();
        std::u16string name;
        for (const char *p = argv[1]; *p; ++p) {
            name.push_back(static_cast<char16_t>(*p));
        }
        void *printer = nullptr;
        if (!platform->openPrinter(platform->ctx, name.c_str(), &printer)) {
            std::fprintf(stderr, "answer_dump: cannot open printer %s\n", argv[1]);
            return 1;
        }
        DumpAll(argv[1], printer);
        platform->closePrinter(platform->ctx, printer);
    }
    return 0;
}
