// The depbase sweep and its floor; see depbase_sweep.h.
#include "depbase_sweep.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

#include <dlfcn.h>
#include <unistd.h>

#include "platform.h"

namespace {

const char kPrinter[] = "Bench Printer";

// The answers the floor hands out; set once, before anything is timed.
const DepbaseSweep *gFloorOf = nullptr;

// The floor: what any answer costs at least when the driver asks through a
// pointer, with the answer already known. The key is the query's position.
__attribute__((noinline)) int32_t FloorAsk(uint32_t key, ZMD_SettingsRecord *record, uint32_t cbBuffer, void *pBuffer,
                                           uint32_t *pcbSize)
{
    if (!record || !pcbSize) {
        return ZMD_BAD_RECORD;
    }
    const DepbaseSweep &s = *gFloorOf;
    const uint32_t size = s.floorSize[key];
    *pcbSize = size;
    if (!pBuffer || cbBuffer < size) {
        return ZMD_MORE_DATA;
    }
    std::memcpy(pBuffer, s.floorBytes.data() + s.floorOffset[key], size);
    return ZMD_OK;
}

std::u16string Wide(const char *s)
{
    std::u16string w;
    for (; *s; ++s) {
        w.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s)));
    }
    return w;
}

// n positions of list spread evenly over it (all of them when it is short).
std::vector<size_t> Spread(const std::vector<size_t> &list, size_t n)
{
    if (list.size() <= n) {
        return list;
    }
    std::vector<size_t> out;
    for (size_t i = 0; i < n; ++i) {
        out.push_back(list[i * list.size() / n]);
    }
    return out;
}

// True when the export lives in the shared library (libdepbase.so*).
bool FromSharedLibrary(SweepExport fn)
{
    Dl_info info{};
    if (!fn || !dladdr(reinterpret_cast<void *>(fn), &info) || !info.dli_fname) {
        return false;
    }
    return std::strstr(info.dli_fname, "libdepbase.so") != nullptr;
}

// The driver keys answered from the query tables (command sequences,
// parameter set, catalogue lists) have no tree of their own to walk, and the
// option lists whose tree has a single path answer from the catalogue with
// what the settings select: a driver asks them with the settings it asks
// everything else with. Such a key gets every distinct record found for the
// other keys of its database with which it answers ZMD_OK (up to
// kEveryPerKey).
void AddTableRecords(const SweepAsk &ask, std::vector<SweepQuery> *every)
{
    const ZMD_ImageView *image = ZMD_ShippedImage();
    const std::set<uint16_t> inTable(image->keys, image->keys + image->counts.keys);
    std::vector<SweepQuery> grown;
    for (size_t first = 0; first < every->size();) {
        size_t end = first;
        while (end < every->size() && (*every)[end].key == (*every)[first].key) {
            ++end;
        }
        const SweepQuery &head = (*every)[first];
        std::vector<SweepQuery> found;
        if (head.database == ZMD_DB_DRV && (!inTable.count(head.key) || end - first == 1)) {
            std::set<std::pair<std::vector<int32_t>, std::vector<std::string>>> seen;
            for (const SweepQuery &other : *every) {
                if (found.size() >= kEveryPerKey) {
                    break;
                }
                if (other.database != head.database || !seen.insert({other.ints, other.strings}).second) {
                    continue;
                }
                SweepQuery q = other;
                q.key = head.key;
                q.bind();
                if (ask(q.key, q.database, &q.record) == ZMD_OK) {
                    found.push_back(std::move(q));
                }
            }
        }
        if (found.empty()) {
            found.assign(every->begin() + static_cast<std::ptrdiff_t>(first),
                         every->begin() + static_cast<std::ptrdiff_t>(end));
        }
        for (SweepQuery &q : found) {
            grown.push_back(std::move(q));
        }
        first = end;
    }
    for (SweepQuery &q : grown) {
        q.bind();
    }
    every->swap(grown);
}

} // namespace

DepbaseSweep::DepbaseSweep() : buffer(64 * 1024)
{
    // The printer lives in a temporary printer store; its handle comes from
    // the host backend, as a driver holding an open printer would pass it.
    char tmpl[] = "/tmp/zmd-bench-XXXXXX";
    if (mkdtemp(tmpl)) {
        printerDir = tmpl;
    }
    // The value sequence 0x1018 reads (the port mode, as in
    // samples/printers/office.conf), so that its stored-value way is measured.
    std::ofstream(printerDir + "/" + kPrinter + ".conf") << "# the sweep's printer\nXvnUI_CustomECPMode = 0\n";
    setenv("ZMD_PRINTER_DIR", printerDir.c_str(), 1);
    const ZMD_Platform *host = ZMD_DefaultPlatform();
    const std::u16string name = Wide(kPrinter);
    if (!host->openPrinter(host->ctx, reinterpret_cast<const ZMD_WCHAR *>(name.c_str()), &printer)) {
        printer = nullptr;
        error = "the sweep's printer does not open";
    }
    for (uint32_t db : {ZMD_DB_ROOT, ZMD_DB_DRV, ZMD_DB_LM, ZMD_DB_MNT, ZMD_DB_PA, ZMD_DB_SM}) {
        if (!FromSharedLibrary(SweepExportOf(db))) {
            error = "an export does not come from libdepbase.so";
        }
    }

    const SweepAsk ask = [&](uint16_t key, uint32_t db, ZMD_SettingsRecord *rec) {
        uint32_t size = 0;
        return SweepExportOf(db)(key, rec, static_cast<uint32_t>(buffer.size()), buffer.data(), &size);
    };
    every = BuildFullSweep(ZMD_ShippedImage(), ask, printer, kEveryPerKey);
    AddTableRecords(ask, &every);

    // The floor's answers: what the export answers now.
    for (size_t i = 0; i < every.size(); ++i) {
        uint32_t size = 0;
        if (SweepExportOf(every[i].database)(every[i].key, &every[i].record, static_cast<uint32_t>(buffer.size()),
                                             buffer.data(), &size) != ZMD_OK) {
            error = "a record of the sweep no longer answers ZMD_OK";
        }
        floorOffset.push_back(static_cast<uint32_t>(floorBytes.size()));
        floorSize.push_back(size);
        floorBytes.insert(floorBytes.end(), buffer.begin(), buffer.begin() + size);
    }
    gFloorOf = this;

    // The sweep: per key, up to kSweepPerKey records with different answers
    // (records with one answer are taken to reach one branch), spread over
    // the records found.
    for (size_t first = 0; first < every.size();) {
        size_t end = first;
        while (end < every.size() && every[end].key == every[first].key) {
            ++end;
        }
        std::vector<size_t> firsts, others;
        std::vector<std::vector<uint8_t>> seen;
        for (size_t i = first; i < end; ++i) {
            std::vector<uint8_t> answer(floorBytes.begin() + floorOffset[i],
                                        floorBytes.begin() + floorOffset[i] + floorSize[i]);
            if (std::find(seen.begin(), seen.end(), answer) == seen.end()) {
                seen.push_back(answer);
                firsts.push_back(i);
            } else {
                others.push_back(i);
            }
        }
        std::vector<size_t> chosen = Spread(firsts, kSweepPerKey);
        std::sort(chosen.begin(), chosen.end());
        sweep.insert(sweep.end(), chosen.begin(), chosen.end());
        first = end;
    }
}

DepbaseSweep::~DepbaseSweep()
{
    if (gFloorOf == this) {
        gFloorOf = nullptr;
    }
    if (printer) {
        const ZMD_Platform *host = ZMD_DefaultPlatform();
        host->closePrinter(host->ctx, printer);
    }
    std::remove((printerDir + "/" + kPrinter + ".conf").c_str());
    rmdir(printerDir.c_str());
}

std::vector<size_t> DepbaseSweep::sweepOf(uint32_t database) const
{
    std::vector<size_t> out;
    for (size_t i : sweep) {
        if (every[i].database == database) {
            out.push_back(i);
        }
    }
    return out;
}

std::vector<size_t> DepbaseSweep::everyOf(uint16_t key) const
{
    std::vector<size_t> out;
    for (size_t i = 0; i < every.size(); ++i) {
        if (every[i].key == key) {
            out.push_back(i);
        }
    }
    return out;
}

std::vector<Call> DepbaseSweep::ours(const std::vector<size_t> &positions)
{
    std::vector<Call> calls;
    for (size_t i : positions) {
        calls.push_back({SweepExportOf(every[i].database), every[i].key, &every[i].record});
    }
    return calls;
}

std::vector<Call> DepbaseSweep::floor(const std::vector<size_t> &positions)
{
    std::vector<Call> calls;
    for (size_t i : positions) {
        calls.push_back({FloorAsk, static_cast<uint32_t>(i), &every[i].record});
    }
    return calls;
}

size_t RunCalls(const std::vector<Call> &calls, std::vector<uint8_t> &buffer)
{
    size_t ok = 0;
    for (const Call &c : calls) {
        uint32_t size = 0;
        ok += c.fn(c.key, c.record, static_cast<uint32_t>(buffer.size()), buffer.data(), &size) == ZMD_OK;
    }
    return ok;
}
