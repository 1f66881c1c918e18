// calibmod-cli inspect: the walk of a data file put into a report.
#include "cal_types.h"
#include "inspect_report.h"

namespace cli {

namespace {

DirectoryView directoryView(const TableDirectory &d)
{
    return {static_cast<uint32_t>(d.position), d.count, !d.countInside || d.malformed || d.count < 0};
}

KzhtView kzhtView(const InspectKzht &t, const std::vector<uint8_t> *source,
                  std::vector<std::pair<uint32_t, uint32_t>> *curveRanges)
{
    KzhtView v;
    v.id = t.id;
    v.named = t.named;
    v.present = t.state != INSPECT_TABLE_ABSENT;
    v.sizeOk = t.state != INSPECT_TABLE_DAMAGED;
    v.tagged = t.tagged;
    v.wellFormed = t.state == INSPECT_TABLE_READ;
    v.updateFails = t.named && (t.state == INSPECT_TABLE_ABSENT || t.state == INSPECT_TABLE_DAMAGED ||
                                (t.state == INSPECT_TABLE_MALFORMED && t.hasBuiltIn));
    v.bytes = t.bytes;
    v.itemCount = t.itemCount;
    v.planeCount = t.planeCount;
    for (int16_t i = 0; i < t.curveCount; ++i) {
        const InspectCurve &c = t.curves[i];
        CurveView cv{c.slot, c.offset, CurveValues(c.values, c.values + INSPECT_CURVE_ENTRIES), false, false, {}};
        curveRanges->push_back({c.offset, c.offset + CURVE_BYTES});
        CurveValues was(INSPECT_CURVE_ENTRIES);
        if (source && inspectCurveAt(source->data(), static_cast<uint32_t>(source->size()), c.offset, was.data())) {
            cv.compared = true;
            cv.source = was;
            cv.replaced = cv.source != cv.values;
        }
        v.curves.push_back(cv);
    }
    return v;
}

} // namespace

std::string notADataFile(const DataView &view, size_t size)
{
    if (view.rc == CAL_FAIL || !view.headRead) {
        return "too short for a header (" + std::to_string(size) + " bytes)";
    }
    const InspectHead &h = view.head;
    if (h.identBlockInside || h.kzdb.countInside || h.kzht.countInside) {
        return "";
    }
    return "its header places the identification block at " + std::to_string(h.identPosition) +
           " and the directories at " + std::to_string(static_cast<uint32_t>(h.kzdb.position)) + " and " +
           std::to_string(static_cast<uint32_t>(h.kzht.position)) + ", all past its end (" + std::to_string(size) +
           " bytes)";
}

InspectReport inspectReport(const std::string &path, const std::vector<uint8_t> &file, const DataView &view,
                            const std::string &against, const std::vector<uint8_t> *source)
{
    InspectReport m;
    const InspectHead &h = view.head;
    m.path = path;
    m.size = file.size();
    m.against = against;
    m.identPosition = h.identPosition;
    m.identReadable = h.identReadable;
    if (h.identReadable) {
        m.ident.assign(file.begin() + h.identOffset, file.begin() + h.identOffset + h.identLength);
    }
    m.shared = h.shared;
    m.kzdbDir = directoryView(h.kzdb);
    m.kzhtDir = directoryView(h.kzht);
    m.damaged = m.kzdbDir.damaged || (!m.shared && m.kzhtDir.damaged);

    for (const KzdbRecord &r : view.kzdb) {
        if (r.table.state == INSPECT_TABLE_ABSENT) {
            m.missingKzdb.push_back(r.table.id);
            continue;
        }
        m.kzdb.push_back({r.table.id, r.table.layout, r.table.records, r.table.state == INSPECT_TABLE_READ, r.ids});
    }
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const InspectKzht &t : view.kzht) {
        m.kzht.push_back(kzhtView(t, source, &ranges));
    }
    for (const KzhtView &v : m.kzht) {
        if (v.updateFails) {
            m.damaged = true; // damaged where the module reads it
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
