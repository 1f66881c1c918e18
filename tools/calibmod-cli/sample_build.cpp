// The sample calibration data files of calibmod-cli make-sample.
#include "sample_build.h"

#include <algorithm>

#include "table_db.h"

namespace sample {

namespace {

const uint16_t kBuiltIn[9] = {1201, 1203, 1204, 1206, 1207, 1208, 1209, 1217, 1218};
const uint16_t kWithout[4] = {1202, 1205, 1300, 1400};
const uint32_t kFillerTag = 12;       // a table kind the module never asks for
const size_t kFillerBytes = 1u << 20; // one filler table body

// A curve from 0 to 4080 (16 per level) bent by d in -7..7: strictly
// rising, integer arithmetic only.
kzfile::Curve bentCurve(int d)
{
    kzfile::Curve c(kzfile::kCurveEntries);
    for (int k = 0; k < kzfile::kCurveEntries; ++k) {
        c[k] = static_cast<int16_t>(16 * k + d * k * (255 - k) / 255);
    }
    return c;
}

kzfile::Curve planeCurve(uint16_t id, int plane)
{
    return bentCurve(static_cast<int>((id * 7u + plane * 3u) % 15) - 7);
}

bool isTagged(uint16_t id)
{
    return id < 1300 && (id % 3 == 0 || id % 5 == 0);
}

kzfile::Bytes kzhtBody(uint16_t id)
{
    if (!isTagged(id)) {
        int planes = id >= 1400 ? 7 : id >= 1300 ? 6 : 4;
        std::vector<kzfile::Curve> curves;
        for (int p = 0; p < planes; ++p) {
            curves.push_back(planeCurve(id, p));
        }
        return kzfile::plainBody(curves);
    }
    // Odd ids carry six planes (slots 4 and 5 are not in use with mode 1),
    // even ids four; the plane items list the slots in a rotated order.
    int planes = id % 2 == 1 ? 6 : 4;
    std::vector<kzfile::TaggedPlane> items;
    for (int p = 0; p < planes; ++p) {
        kzfile::TaggedPlane plane;
        plane.slot = (p + id) % planes;
        plane.curve = planeCurve(id, plane.slot);
        items.push_back(plane);
    }
    return kzfile::taggedBody(kzfile::standardItems(items.size()), items);
}

kzfile::Table table(uint32_t tag, uint16_t id, kzfile::Bytes body)
{
    kzfile::Table t;
    t.tag = tag;
    t.id = id;
    t.body = std::move(body);
    return t;
}

kzfile::Bytes fillerBody(uint32_t seed)
{
    kzfile::Bytes b(kFillerBytes);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < b.size(); ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = static_cast<uint8_t>(x >> 24);
    }
    return b;
}

} // namespace

std::vector<uint16_t> kzhtIds(int count)
{
    std::vector<uint16_t> ids(kBuiltIn, kBuiltIn + 9);
    ids.insert(ids.end(), kWithout, kWithout + 4);
    for (uint16_t id = 1200; id < 1500; ++id) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
        }
    }
    ids.resize(static_cast<size_t>(std::max(0, std::min(count, static_cast<int>(ids.size())))));
    return ids;
}

kzfile::Bytes build(const Options &options)
{
    const std::vector<uint16_t> ids = kzhtIds(options.kzhtTables);
    kzfile::FileDesc fileDesc;
    fileDesc.ident = options.ident;
    fileDesc.sharedDirectory = options.sharedDirectory;

    // The databases name the KZHT tables round robin, so every one is named
    // (several times in a small sample), each database at least twice.
    const size_t perDatabase = std::max<size_t>(2, (ids.size() + 29) / 30 + 1);
    size_t next = 0;
    for (int j = 0; j < DB_DATABASE_COUNT; ++j) {
        std::vector<int32_t> named;
        for (size_t r = 0; r < perDatabase + static_cast<size_t>(j % 3); ++r) {
            named.push_back(ids[next++ % ids.size()]);
        }
        fileDesc.tables.push_back(table(kzfile::kTagKzdb, static_cast<uint16_t>(DB_ID_BASE + kDatabaseNumbers[j]),
                                        kzfile::kzdbBody(j % 3, named, static_cast<uint32_t>(j + 1))));
    }
    for (uint16_t id : ids) {
        fileDesc.tables.push_back(table(kzfile::kTagKzht, id, kzhtBody(id)));
    }

    if (options.minSizeMiB > 0) {
        const size_t target = static_cast<size_t>(options.minSizeMiB) << 20;
        size_t size = kzfile::buildFile(fileDesc).size();
        for (uint32_t n = 0; size < target; ++n) {
            fileDesc.tables.push_back(table(kFillerTag, static_cast<uint16_t>(2000 + n), fillerBody(n)));
            size += kFillerBytes + 4 + 12;
        }
    }
    return kzfile::buildFile(fileDesc);
}

} // namespace sample
