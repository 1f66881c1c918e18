// The depbase sweep and its floor; see depbase_sweep.h.
#include "depbase_sweep.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <unistd.h>

#include "platform.h"

namespace {

const char kPrinter[] = "Bench Printer";

std::u16string Wide(const char *s)
{
    std::u16string w;
    for (; *s; ++s) {
        w.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s)));
    }
    return w;
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
    std::ofstream(printerDir + "/" + kPrinter + ".conf") << "# the sweep's printer: no stored values\n";
    setenv("ZMD_PRINTER_DIR", printerDir.c_str(), 1);
    const ZMD_Platform *host = ZMD_DefaultPlatform();
    const std::u16string name = Wide(kPrinter);
    if (!host->openPrinter(host->ctx, reinterpret_cast<const ZMD_WCHAR *>(name.c_str()), &printer)) {
        printer = nullptr;
    }

    queries = BuildSweep(
        ZMD_ShippedImage(),
        [&](uint16_t key, uint32_t db, ZMD_SettingsRecord *rec) {
            uint32_t size = 0;
            return SweepExportOf(db)(key, rec, static_cast<uint32_t>(buffer.size()), buffer.data(), &size);
        },
        printer);

    for (const SweepQuery &q : queries) {
        FloorEntry e;
        e.id = q.database << 16 | q.key;
        e.size = 0;
        ZMD_SettingsRecord rec = q.record;
        SweepExportOf(q.database)(q.key, &rec, static_cast<uint32_t>(buffer.size()), buffer.data(), &e.size);
        e.bytes.assign(buffer.begin(), buffer.begin() + e.size);
        floor.push_back(std::move(e));
    }
    std::sort(floor.begin(), floor.end(), [](const FloorEntry &a, const FloorEntry &b) { return a.id < b.id; });

    full = BuildFullSweep(
        ZMD_ShippedImage(),
        [&](uint16_t key, uint32_t db, ZMD_SettingsRecord *rec) {
            uint32_t size = 0;
            return SweepExportOf(db)(key, rec, static_cast<uint32_t>(buffer.size()), buffer.data(), &size);
        },
        printer);
    for (size_t i = 0; i < full.size(); ++i) {
        const SweepQuery &q = full[i];
        FloorEntry e;
        e.id = static_cast<uint32_t>(i);
        e.size = 0;
        ZMD_SettingsRecord rec = q.record;
        SweepExportOf(q.database)(q.key, &rec, static_cast<uint32_t>(buffer.size()), buffer.data(), &e.size);
        e.bytes.assign(buffer.begin(), buffer.begin() + e.size);
        fullFloor.push_back(std::move(e));
    }
}

DepbaseSweep::~DepbaseSweep()
{
    if (printer) {
        const ZMD_Platform *host = ZMD_DefaultPlatform();
        host->closePrinter(host->ctx, printer);
    }
    std::remove((printerDir + "/" + kPrinter + ".conf").c_str());
    rmdir(printerDir.c_str());
}

std::vector<const SweepQuery *> DepbaseSweep::only(const std::vector<uint16_t> &keys) const
{
    std::vector<const SweepQuery *> out;
    for (const SweepQuery &q : queries) {
        if (std::find(keys.begin(), keys.end(), q.key) != keys.end()) {
            out.push_back(&q);
        }
    }
    return out;
}

std::vector<const SweepQuery *> DepbaseSweep::fullOnly(const std::vector<uint16_t> &keys) const
{
    std::vector<const SweepQuery *> out;
    for (const SweepQuery &q : full) {
        if (std::find(keys.begin(), keys.end(), q.key) != keys.end()) {
            out.push_back(&q);
        }
    }
    return out;
}

int32_t AskExport(const SweepQuery &q, std::vector<uint8_t> &buffer)
{
    ZMD_SettingsRecord rec = q.record;
    uint32_t size = 0;
    return SweepExportOf(q.database)(q.key, &rec, static_cast<uint32_t>(buffer.size()), buffer.data(), &size);
}

__attribute__((noinline)) int32_t AskFloorById(const std::vector<FloorEntry> &floor, uint32_t id,
                                               ZMD_SettingsRecord *record, uint32_t cbBuffer, void *pBuffer,
                                               uint32_t *pcbSize)
{
    if (!record || !pcbSize) {
        return ZMD_BAD_RECORD;
    }
    auto it =
        std::lower_bound(floor.begin(), floor.end(), id, [](const FloorEntry &e, uint32_t v) { return e.id < v; });
    if (it == floor.end() || it->id != id) {
        return ZMD_NO_KEY;
    }
    *pcbSize = it->size;
    if (!pBuffer || cbBuffer < it->size) {
        return ZMD_MORE_DATA;
    }
    if (it->size) {
        std::memcpy(pBuffer, it->bytes.data(), it->size);
    }
    return ZMD_OK;
}

int32_t AskFloor(const std::vector<FloorEntry> &floor, uint32_t database, uint32_t key, ZMD_SettingsRecord *record,
                 uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    return AskFloorById(floor, database << 16 | (key & 0xFFFFu), record, cbBuffer, pBuffer, pcbSize);
}
