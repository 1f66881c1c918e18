// End-to-end setup for KZCalibration tests.
#include "flow_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "builtin_curves.h"
#include "cal_types.h"
#include "list_file.h"
#include "calib_flow.h"

namespace {

using kzfile::Bytes;

kzfile::Table table(uint32_t tag, uint16_t id, Bytes body)
{
    kzfile::Table t;
    t.tag = tag;
    t.id = id;
    t.body = std::move(body);
    return t;
}

std::vector<kzfile::Curve> curves(int first, int count)
{
    std::vector<kzfile::Curve> v;
    for (int i = 0; i < count; ++i) {
        v.push_back(kzfile::rampCurve(static_cast<int16_t>(first + i), 15));
    }
    return v;
}

Bytes tagged(std::initializer_list<int32_t> slots, int first)
{
    std::vector<kzfile::TaggedPlane> planes;
    for (int32_t s : slots) {
        kzfile::TaggedPlane p;
        p.slot = s;
        p.curve = kzfile::rampCurve(static_cast<int16_t>(first++), 14);
        planes.push_back(p);
    }
    return kzfile::taggedBody(kzfile::standardItems(planes.size()), planes);
}

const int16_t *builtInCurve(int32_t tableId, int16_t id, int16_t curveNumber)
{
    const BuiltInTableList *list = builtInTables();
    for (int16_t t = 0; t < list->count; ++t) {
        const BuiltInTable &bt = list->tables[t];
        if (bt.tableId != tableId) {
            continue;
        }
        for (int16_t g = 0; g < bt.groupCount; ++g) {
            if (*bt.groups[g].adjustId == id) {
                return builtInGroupCurve(&bt.groups[g], curveNumber);
            }
        }
    }
    return nullptr;
}

} // namespace

Bytes flowSource(const std::string &ident)
{
    kzfile::FileDesc fileDesc;
    fileDesc.ident = ident;
    fileDesc.tables = {
        table(kzfile::kTagKzdb, 1000, kzfile::kzdbBody(0, {1201, 1207}, 1)),
        table(kzfile::kTagKzdb, 1001, kzfile::kzdbBody(1, {1202, 1218, 1201}, 2)),
        table(kzfile::kTagKzdb, 1128, kzfile::kzdbBody(2, {1209, 1300}, 3)),
        table(kzfile::kTagKzht, 1201, kzfile::plainBody(curves(1, 4))),
        table(kzfile::kTagKzht, 1202, kzfile::plainBody(curves(10, 4))),
        table(kzfile::kTagKzht, 1207, tagged({3, 1, 0, 2}, 20)),
        table(kzfile::kTagKzht, 1218, tagged({2, 5}, 30)),
        table(kzfile::kTagKzht, 1209, kzfile::plainBody(curves(40, 4))),
        table(kzfile::kTagKzht, 1300, kzfile::plainBody(curves(50, 6))),
    };
    return kzfile::buildFile(fileDesc);
}

Bytes expectedCopy(const Bytes &source, const int16_t ids[4])
{
    Bytes out = source;
    kzfile::FileInfo info;
    if (!kzfile::inspect(source, &info, nullptr)) {
        return out;
    }
    // The KZHT tables that the 30 table databases name, each once.
    std::vector<int32_t> named;
    std::set<int32_t> seen;
    for (int n : kDatabaseNumbers) {
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzdb, static_cast<uint16_t>(DB_ID_BASE + n));
        if (!e) {
            continue;
        }
        for (int32_t id : kzfile::inspectKzdb(source, *e).kzhtIds) {
            if (seen.insert(id).second) {
                named.push_back(id);
            }
        }
    }
    for (int32_t id : named) {
        const kzfile::EntryInfo *e = kzfile::findTable(info, kzfile::kTagKzht, static_cast<uint16_t>(id & 0xFFFF));
        if (!e) {
            continue;
        }
        for (const kzfile::CurveInfo &c : kzfile::inspectKzht(source, *e).curves) {
            if (c.slot < 0 || c.slot > 3 || ids[c.slot] == 0) {
                continue;
            }
            const int16_t *curve = builtInCurve(id, ids[c.slot], static_cast<int16_t>(c.slot));
            if (!curve) {
                continue;
            }
            for (int k = 0; k < 256; ++k) {
                kzfile::putU16(out, c.offset + 2 * k, static_cast<uint16_t>(curve[k]));
            }
        }
    }
    return out;
}

FlowScene::FlowScene(const std::string &sourceName, const char *prefix)
{
    memcpy(names.sourceName, sourceName.data(), std::min(sourceName.size(), sizeof names.sourceName));
    memcpy(names.listPrefix, prefix, strnlen(prefix, sizeof names.listPrefix));
    memset(names.resultName, 'x', sizeof names.resultName); // garbage the call must overwrite
}

std::string FlowScene::sourceName() const
{
    return std::string(names.sourceName, strnlen(names.sourceName, 16));
}

void FlowScene::writeSource(const Bytes &bytes)
{
    source.write(sourceName(), std::string(bytes.begin(), bytes.end()));
}

Bytes FlowScene::sourceBytes() const
{
    std::string s = source.read(sourceName());
    return Bytes(s.begin(), s.end());
}

int16_t FlowScene::call()
{
    return KZCalibration(&request, &names, ids, source.wide(), calib.wide());
}

int16_t FlowScene::callOn(const CalPlatform *platform)
{
    return flowCalibrate(platform, &request, &names, ids, source.wide(), calib.wide());
}

std::string FlowScene::result() const
{
    return std::string(names.resultName, strnlen(names.resultName, 16));
}

std::string FlowScene::resultBytes() const
{
    return std::string(names.resultName, 16);
}

std::string FlowScene::sourceNameBytes() const
{
    std::string s = sourceName();
    s.resize(16, '\0');
    return s;
}

std::string FlowScene::list() const
{
    return calib.read("abcde007.ini");
}

Bytes FlowScene::calibFile(const std::string &name) const
{
    std::string s = calib.read(name);
    return Bytes(s.begin(), s.end());
}

Bytes FlowScene::expected() const
{
    return expectedCopy(sourceBytes(), ids);
}

bool completeLines(const std::string &text)
{
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            return false;
        }
        std::string line = text.substr(at, end - at);
        if (std::count(line.begin(), line.end(), ',') != 4 || line.find('\r') != std::string::npos ||
            line.find('\n') != std::string::npos) {
            return false;
        }
        at = end + 2;
    }
    return true;
}

std::vector<std::string> touchedNames(const FakePlatform &fake)
{
    std::vector<std::string> names;
    for (const auto &path : fake.touched) {
        size_t slash = path.find_last_of(static_cast<KZ_WCHAR>('/'));
        std::string name;
        for (size_t i = slash == std::string::npos ? 0 : slash + 1; i < path.size(); ++i) {
            name.push_back(static_cast<char>(path[i]));
        }
        if (name != CAL_TEMP_COPY_NAME && name != CAL_TEMP_LIST_NAME) {
            names.push_back(name);
        }
    }
    return names;
}
