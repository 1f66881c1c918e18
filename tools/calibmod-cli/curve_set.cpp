// calibmod-cli: the correction curves of a file and the built-in curves.
#include "curve_set.h"

#include <algorithm>
#include <map>

#include "builtin_curves.h"

namespace cli {

namespace {

// A curve's entries, copied one by one: the range form of assign makes GCC 12
// warn, wrongly, of a null source in optimised builds.
void copyCurve(const int16_t *from, size_t count, CurveValues *to)
{
    to->resize(count);
    for (size_t i = 0; i < count; ++i) {
        (*to)[i] = from[i];
    }
}

// The well-formed KZHT tables of a walk in directory order, each once.
std::vector<const InspectKzht *> byDirectory(const DataView &view)
{
    std::map<int32_t, const InspectKzht *> at;
    for (const InspectKzht &t : view.kzht) {
        if (t.state == INSPECT_TABLE_READ && t.entryIndex >= 0) {
            at.insert({t.entryIndex, &t});
        }
    }
    std::vector<const InspectKzht *> out;
    for (const auto &e : at) {
        out.push_back(e.second);
    }
    return out;
}

} // namespace

std::vector<LabelledCurve> fileCurves(const DataView &file, const DataView *source)
{
    std::vector<LabelledCurve> out;
    std::vector<const InspectKzht *> sourceTables;
    if (source) {
        sourceTables = byDirectory(*source);
    }
    for (const InspectKzht *t : byDirectory(file)) {
        const InspectKzht *was = nullptr;
        for (const InspectKzht *s : sourceTables) {
            if (s->id == t->id) {
                was = s;
                break;
            }
        }
        for (int16_t i = 0; i < t->curveCount; ++i) {
            const InspectCurve &c = t->curves[i];
            LabelledCurve lc;
            lc.tableId = t->id;
            lc.slot = c.slot;
            copyCurve(c.values, INSPECT_CURVE_ENTRIES, &lc.values);
            lc.adjustId = matchBuiltIn(t->id, c.slot, lc.values, &lc.otherAdjustId);
            for (int16_t k = 0; was && k < was->curveCount && !lc.hasSource; ++k) {
                if (was->curves[k].slot == c.slot) {
                    lc.hasSource = true;
                    copyCurve(was->curves[k].values, INSPECT_CURVE_ENTRIES, &lc.source);
                }
            }
            out.push_back(lc);
        }
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
                copyCurve(curve, BUILTIN_CURVE_ENTRIES, &lc.values);
                out.push_back(lc);
            }
        }
    }
    return out;
}

int matchBuiltIn(int32_t tableId, int32_t curveNumber, const CurveValues &values, int *other)
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
