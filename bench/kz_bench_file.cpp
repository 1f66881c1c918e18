// The large calibration data file of the calibmod benchmarks.
#include "kz_bench_file.h"

#include <vector>

namespace {

kzfile::Table table(uint32_t tag, uint16_t id, kzfile::Bytes body, bool listed = true)
{
    kzfile::Table t;
    t.tag = tag;
    t.id = id;
    t.body = std::move(body);
    t.listed = listed;
    return t;
}

// Plain tables carry as many curves as their id range asks (1200-1299 four,
// 1300-1399 six); every third table is tagged with four to seven planes.
kzfile::Bytes kzhtBody(int index, int32_t id)
{
    const int curves = id < 1300 ? 4 : 6;
    if (index % 3 == 2) {
        std::vector<kzfile::TaggedPlane> planes;
        const int count = 4 + index % 4;
        for (int p = 0; p < count; ++p) {
            kzfile::TaggedPlane plane;
            plane.slot = (p + index) % 6;
            plane.curve = kzfile::rampCurve(static_cast<int16_t>(index + p), 13);
            planes.push_back(plane);
        }
        return kzfile::taggedBody(kzfile::standardItems(planes.size()), planes);
    }
    std::vector<kzfile::Curve> v;
    for (int c = 0; c < curves; ++c) {
        v.push_back(kzfile::rampCurve(static_cast<int16_t>(index + c), 15));
    }
    return kzfile::plainBody(v);
}

} // namespace

kzfile::Bytes benchCalibrationFile(size_t totalBytes)
{
    kzfile::FileDesc fileDesc;
    fileDesc.ident = "KZ-CAL BENCH 200";
    // KZHT ids 1200-1399: the nine with built-in curves (1201-1218) among them.
    std::vector<int32_t> ids;
    for (int i = 0; i < kBenchKzhtTables; ++i) {
        ids.push_back(1200 + i);
    }
    // Each table database names a share of the ids, in three layouts.
    for (int n = 0; n < DB_DATABASE_COUNT; ++n) {
        std::vector<int32_t> named;
        for (size_t i = static_cast<size_t>(n); i < ids.size(); i += DB_DATABASE_COUNT) {
            named.push_back(ids[i]);
        }
        fileDesc.tables.push_back(table(kzfile::kTagKzdb, static_cast<uint16_t>(DB_ID_BASE + kDatabaseNumbers[n]),
                                        kzfile::kzdbBody(n % 3, named, static_cast<uint32_t>(n + 1))));
    }
    for (size_t i = 0; i < ids.size(); ++i) {
        fileDesc.tables.push_back(
            table(kzfile::kTagKzht, static_cast<uint16_t>(ids[i]), kzhtBody(static_cast<int>(i), ids[i])));
    }
    // Bulk data (halftone and other tables the module does not read) fills
    // the file up to its size, in 1 MiB bodies that no directory names.
    size_t have = kzfile::buildFile(fileDesc).size();
    uint32_t seed = 0x9E3779B9u;
    while (have + 8 < totalBytes) {
        size_t n = totalBytes - have - 8;
        if (n > (1u << 20)) {
            n = 1u << 20;
        }
        kzfile::Bytes bulk(n & ~size_t(3));
        for (size_t k = 0; k < bulk.size(); ++k) {
            seed = seed * 1664525u + 1013904223u;
            bulk[k] = static_cast<uint8_t>(seed >> 24);
        }
        have += bulk.size() + 4;
        fileDesc.tables.push_back(table(0x40, 0, std::move(bulk), false));
        if (n < 16) {
            break;
        }
    }
    return kzfile::buildFile(fileDesc);
}
