// The answer dump: every key of every export at three buffer sizes (none, 16
// bytes, 4096 bytes), printed as result code, size word and the bytes the
// call left in the buffer, so that two builds of libdepbase.so can be proven
// to answer alike (compare the outputs byte for byte).
//
// Every key 0x0000..0xFFFF of each export is asked with a zero record of the
// database's shape; every key of the key table and of the driver query
// rules is also asked with every distinct record the tree walk finds for the
// database (key_sweep), each with no printer, with a printer whose store holds
// no values, with printers storing each port mode, and by printer name. The
// clock command's time digits are masked (the clock moves between runs);
// TZ is set to UTC.
//
//   depbase_answer_dump > answers.txt
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "key_sweep.h"
#include "platform.h"
#include "records.h"

namespace {

const char *const kPrinters[] = {"Dump Empty", "Dump Nibble", "Dump ECP"};
const char *const kStores[] = {"# no values\n", "XvnUI_CustomECPMode = 0\n", "XvnUI_CustomECPMode = 1\n"};
const uint32_t kSizes[] = {0, 16, 4096};

std::u16string Wide(const char *s)
{
    std::u16string w;
    for (; *s; ++s) {
        w.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s)));
    }
    return w;
}

// The clock command's 14 time digits follow "SetTime=".
void MaskClock(std::vector<uint8_t> &bytes, size_t n)
{
    static const char kTag[] = "SetTime=";
    const size_t tag = sizeof kTag - 1;
    for (size_t i = 0; i + tag + 14 <= n; ++i) {
        if (std::memcmp(bytes.data() + i, kTag, tag) == 0) {
            std::memset(bytes.data() + i + tag, 'T', 14);
        }
    }
}

void Ask(FILE *out, uint32_t db, uint32_t key, const char *label, ZMD_SettingsRecord *record)
{
    std::vector<uint8_t> buffer(4096);
    for (uint32_t size : kSizes) {
        std::memset(buffer.data(), 0xA5, buffer.size());
        uint32_t cb = 0xDEADBEEFu;
        const int32_t rc = SweepExportOf(db)(key, record, size, size ? buffer.data() : nullptr, &cb);
        std::fprintf(out, "%u %04X %s %u: rc %d cb %08X", db, key, label, size, rc, cb);
        size_t shown = size;
        if (rc == 0 && cb <= size) {
            shown = cb;
        }
        MaskClock(buffer, shown);
        if (shown) {
            std::fputc(' ', out);
        }
        for (size_t i = 0; i < shown; ++i) {
            std::fprintf(out, "%02X", buffer[i]);
        }
        bool untouched = true;
        for (size_t i = shown; i < size; ++i) {
            untouched = untouched && buffer[i] == 0xA5;
        }
        std::fprintf(out, "%s\n", untouched ? "" : " (rest written)");
    }
}

} // namespace

int main()
{
    setenv("TZ", "UTC", 1);
    char tmpl[] = "/tmp/zmd-dump-XXXXXX";
    if (!mkdtemp(tmpl)) {
        return 2;
    }
    const std::string dir = tmpl;
    setenv("ZMD_PRINTER_DIR", dir.c_str(), 1);
    const ZMD_Platform *host = ZMD_DefaultPlatform();
    void *handles[3] = {};
    for (int p = 0; p < 3; ++p) {
        std::ofstream(dir + "/" + kPrinters[p] + ".conf") << kStores[p];
        const std::u16string name = Wide(kPrinters[p]);
        if (!host->openPrinter(host->ctx, reinterpret_cast<const ZMD_WCHAR *>(name.c_str()), &handles[p])) {
            std::fprintf(stderr, "depbase_answer_dump: printer %s does not open\n", kPrinters[p]);
            return 2;
        }
    }
    const std::u16string byName = Wide(kPrinters[1]);

    const ZMD_ImageView *image = ZMD_ShippedImage();
    std::vector<uint8_t> scratch(64 * 1024);
    const SweepAsk ask = [&](uint16_t key, uint32_t db, ZMD_SettingsRecord *rec) {
        uint32_t size = 0;
        return SweepExportOf(db)(key, rec, static_cast<uint32_t>(scratch.size()), scratch.data(), &size);
    };
    const std::vector<SweepQuery> every = BuildFullSweep(image, ask, handles[1], 64);

    // Distinct records per database, in a fixed order.
    std::set<std::tuple<std::vector<int32_t>, std::vector<std::string>, std::vector<bool>>> records[6];
    for (const SweepQuery &q : every) {
        records[q.database].insert({q.ints, q.strings, q.stringSet});
    }
    std::set<uint16_t> keys(image->keys, image->keys + image->counts.keys);
    for (uint32_t i = 0; i < image->counts.queryRules; ++i) {
        keys.insert(static_cast<uint16_t>(image->queryRules[i].key));
    }

    FILE *out = stdout;
    const uint32_t dbs[6] = {ZMD_DB_ROOT, ZMD_DB_DRV, ZMD_DB_LM, ZMD_DB_MNT, ZMD_DB_PA, ZMD_DB_SM};
    for (uint32_t db : dbs) {
        ZMD_RecordShape shape;
        ZMD_GetRecordShape(db, &shape);
        // Every key with a zero record of the shape, and with no record.
        std::vector<int32_t> zeros(shape.cInts, 0);
        std::vector<const char *> empty(shape.cStrings, "");
        ZMD_SettingsRecord zero{nullptr, 0, shape.cStrings, empty.data(), shape.cInts, zeros.data(), nullptr};
        for (uint32_t key = 0; key <= 0xFFFF; ++key) {
            Ask(out, db, key, "zero", &zero);
            if ((key & 0xFFF) == 0x001) {
                Ask(out, db, key, "null", nullptr);
            }
        }
        // The catalogue's keys with every record found, with each printer.
        size_t n = 0;
        for (const auto &rec : records[db]) {
            SweepQuery q;
            q.database = db;
            q.ints = std::get<0>(rec);
            q.strings = std::get<1>(rec);
            q.stringSet = std::get<2>(rec);
            q.bind();
            for (uint16_t key : keys) {
                uint32_t keyDb = 0;
                if (!SweepDatabaseOf(key, &keyDb) || keyDb != db) {
                    continue;
                }
                char label[64];
                for (int p = -1; p < 4; ++p) {
                    q.record.hPrinter = p >= 0 && p < 3 ? handles[p] : nullptr;
                    q.record.pwszPrinterName = p == 3 ? reinterpret_cast<const ZMD_WCHAR *>(byName.c_str()) : nullptr;
                    std::snprintf(label, sizeof label, "r%zu/p%d", n, p);
                    Ask(out, db, key, label, &q.record);
                }
            }
            ++n;
        }
    }
    for (void *h : handles) {
        host->closePrinter(host->ctx, h);
    }
    for (const char *p : kPrinters) {
        std::remove((dir + "/" + p + ".conf").c_str());
    }
    rmdir(dir.c_str());
    return 0;
}
