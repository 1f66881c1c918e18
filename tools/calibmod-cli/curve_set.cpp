// calibmod-cli: the correction curves of a file and the built-in curves.
#include "curve_set.h"

#include <algorithm>
#include <set>

#include "builtin_curves.h"

namespace cli {

namespace {

// The curves of one KZHT table, as kzfile locates them.
void addTable(const kzfile::Bytes &file, const kzfile::EntryInfo &e, const kzfile::Bytes *source,
              std::vector<LabelledCurve> *out)
{
    kzfile::KzhtInfo h = kzfile::inspectKzht(file, e);
    if (!e.sizeOk || !h.wellFormed) {
        return;
    }
    kzfile::FileInfo sourceInfo;
    kzfile::KzhtInfo sourceTable{};
    bool haveSource = false;
    if (source && kzfile::inspect(*source, &sourceInfo, nullptr)) {
        const kzfile::EntryInfo *se = kzfile::findTable(sourceInfo, kzfile::kTagKzht, e.id);
        if (se && se->sizeOk) {
            sourceTable = kzfile::inspectKzht(*source, *se);
            haveSource = sourceTable.wellFormed;
        }
    }
    for (const kzfile::CurveInfo &c : h.curves) {
        LabelledCurve lc;
        lc.tableId = e.id;
        lc.slot = c.slot;
        lc.values = kzfile::curveAt(file, c.offset);
        lc.adjustId = matchBuiltIn(e.id, c.slot, lc.values, &lc.otherAdjustId);
        if (haveSource) {
            for (const kzfile::CurveInfo &sc : sourceTable.curves) {
                if (sc.slot != c.slot) {
                    continue;
                }
                lc.hasSource = true;
                lc.source = kzfile::curveAt(*source, sc.offset);
                break;
            }
        }
        out->push_back(lc);
    }
}

} // namespace

std::vector<LabelledCurve> fileCurves(const kzfile::Bytes &file, const kzfile::Bytes *source)
{
    std::vector<LabelledCurve> out;
    kzfile::FileInfo info;
    if (!kzfile::inspect(file, &info, nullptr)) {
        return out;
    }
    std::set<uint16_t> seen;
    for (const kzfile::EntryInfo &e : info.kzhtDir.entries) {
        if (e.tag != kzfile::kTagKzht || !seen.insert(e.id).second) {
            continue;
        }
        addTable(file, e, source, &out);
    }
    return out;
}

std::vector<LabelledCurve> builtInCurves()
{
    std::vector<LabelledCurve> out;
    const BuiltInTableList *list = builtInTables();
    for (int16_t t = 0; t < list->count; ++t) {
        const BuiltInTable &table = list->tables[t];
        for (int16_t g = 0; g < table.groupCount; ++g) {
            const BuiltInGroup &group = table.groups[g];
            for (int16_t n = 0; n < BUILTIN_CURVE_PLACES; ++n) {
                const int16_t *curve = builtInGroupCurve(&group, n);
                if (!curve) {
                    continue;
                }
                LabelledCurve lc;
                lc.tableId = table.tableId;
                lc.slot = n;
                lc.adjustId = *group.adjustId;
                lc.values.assign(curve, curve + BUILTIN_CURVE_ENTRIES);
                out.push_back(lc);
            }
        }
    }
    return out;
}

int matchBuiltIn(int32_t tableId, int32_t curveNumber, const kzfile::Curve &values, int *other)
{
    if (other) {
        *other = kNoAdjustId;
    }
    if (curveNumber < 0 || curveNumber >= BUILTIN_CURVE_PLACES || values.size() != BUILTIN_CURVE_ENTRIES) {
        return kNoAdjustId;
    }
    int found = kNoAdjustId;
    const BuiltInTableList *list = builtInTables();
    for (int16_t t = 0; t < list->count; ++t) {
        const BuiltInTable &table = list->tables[t];
        if (table.tableId != tableId) {
            continue;
        }
        for (int16_t g = 0; g < table.groupCount; ++g) {
            const int16_t *curve = builtInGroupCurve(&table.groups[g], static_cast<int16_t>(curveNumber));
            if (!curve || !std::equal(values.begin(), values.end(), curve)) {
                continue;
            }
            if (found == kNoAdjustId) {
                found = *table.groups[g].adjustId;
            } else if (other && *other == kNoAdjustId) {
                *other = *table.groups[g].adjustId;
            }
        }
    }
    return found;
}

bool hasBuiltInTable(int32_t tableId)
{
    const BuiltInTableList *list = builtInTables();
    for (int16_t t = 0; t < list->count; ++t) {
        if (list->tables[t].tableId == tableId) {
            return true;
        }
    }
    return false;
}

std::string adjustLabel(int adjustId, int otherAdjustId)
{
    if (adjustId == kNoAdjustId) {
        return "own curve";
    }
    return "id " + std::to_string(adjustId) +
           (otherAdjustId == kNoAdjustId ? "" : " or " + std::to_string(otherAdjustId));
}

} // namespace cli
