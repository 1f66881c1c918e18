// calibmod-cli inspect: gathering what a calibration data file holds.
#include "inspect_model.h"

#include <set>

namespace cli {

namespace {

const int kDatabaseNumbers[30] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  12,  13,  14,
                                  15, 16, 17, 18, 20, 21, 22, 24, 25, 26, 27, 100, 101, 102, 128};

bool fits(const kzfile::Bytes &b, uint64_t at, uint64_t n)
{
    return at + n <= b.size();
}

KzhtView kzhtView(const kzfile::Bytes &file, const kzfile::EntryInfo &e, bool named, const kzfile::Bytes *source,
                  std::vector<std::pair<uint32_t, uint32_t>> *curveRanges)
{
    KzhtView v{e.id, named, true, e.sizeOk, false, false, e.bodySize, 0, 0, {}};
    if (!e.sizeOk) {
        return v;
    }
    kzfile::KzhtInfo h = kzfile::inspectKzht(file, e);
    v.tagged = h.tagged;
    v.wellFormed = h.wellFormed;
    v.itemCount = h.itemCount;
    v.planeCount = h.planeCount;
    if (!h.wellFormed) {
        return v;
    }
    for (const kzfile::CurveInfo &c : h.curves) {
        CurveView cv{c.slot, c.offset, kzfile::curveAt(file, c.offset), false, false, {}};
        curveRanges->push_back({c.offset, c.offset + kzfile::kCurveBytes});
        if (source && fits(*source, c.offset, kzfile::kCurveBytes)) {
            cv.compared = true;
            cv.source = kzfile::curveAt(*source, c.offset);
            cv.replaced = cv.source != cv.values;
        }
        v.curves.push_back(cv);
    }
    return v;
}

} // namespace

std::string notADataFile(const kzfile::Bytes &file, const kzfile::FileInfo &info)
{
    if (fits(file, info.identPosition, 8) || fits(file, info.kzdbDirPosition, 4) ||
        fits(file, info.kzhtDirPosition, 4)) {
        return "";
    }
    return "its header places the identification block at " + std::to_string(info.identPosition) +
           " and the directories at " + std::to_string(info.kzdbDirPosition) + " and " +
           std::to_string(info.kzhtDirPosition) + ", all past its end (" + std::to_string(file.size()) + " bytes)";
}

InspectModel inspectModel(const std::string &path, const kzfile::Bytes &file, const kzfile::FileInfo &info,
                          const std::string &against, const kzfile::Bytes *source)
{
    InspectModel m;
    m.path = path;
    m.size = file.size();
    m.info = info;
    m.against = against;
    if (info.kzdbDir.count < 0 || !info.kzdbDir.entriesOk) {
        m.damaged = true;
    }
    if (info.kzdbDirPosition != info.kzhtDirPosition && (info.kzhtDir.count < 0 || !info.kzhtDir.entriesOk)) {
        m.damaged = true;
    }

    std::vector<int32_t> named;
    std::set<int32_t> seen;
    for (int n : kDatabaseNumbers) {
        uint16_t id = static_cast<uint16_t>(1000 + n);
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzdb, id);
        if (!e) {
            m.missingKzdb.push_back(id);
            continue;
        }
        kzfile::KzdbInfo k = kzfile::inspectKzdb(file, *e);
        m.kzdb.push_back({id, k.layout, k.count, k.recordsOk, k.kzhtIds});
        for (int32_t t : k.kzhtIds) {
            if (seen.insert(t).second) {
                named.push_back(t);
            }
        }
    }

    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (int32_t t : named) {
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzht, static_cast<uint16_t>(t & 0xFFFF));
        if (!e) {
            m.kzht.push_back({static_cast<uint16_t>(t & 0xFFFF), true, false, false, false, false, 0, 0, 0, {}});
            m.damaged = true;
            continue;
        }
        m.kzht.push_back(kzhtView(file, *e, true, source, &ranges));
    }
    for (const kzfile::EntryInfo &e : info.kzhtDir.entries) {
        if (e.tag == kzfile::kTagKzht && !seen.count(e.id) && kzfile::findTable(info, e.tag, e.id) == &e) {
            m.kzht.push_back(kzhtView(file, e, false, source, &ranges));
        }
    }
    for (const KzhtView &v : m.kzht) {
        if (v.present && (!v.sizeOk || !v.wellFormed)) {
            m.damaged = true;
        }
        for (const CurveView &c : v.curves) {
            if (c.compared) {
                (c.replaced ? m.replaced : m.unchanged) += 1;
            }
        }
    }

    if (source) {
        m.sourceSize = source->size();
        m.sizesDiffer = source->size() != file.size();
        if (!m.sizesDiffer) {
            for (size_t b = 0; b < file.size(); ++b) {
                if (file[b] == (*source)[b]) {
                    continue;
                }
                bool inCurve = false;
                for (const auto &r : ranges) {
                    inCurve = inCurve || (b >= r.first && b < r.second);
                }
                m.bytesOutside += inCurve ? 0 : 1;
            }
        }
    }
    return m;
}

} // namespace cli
