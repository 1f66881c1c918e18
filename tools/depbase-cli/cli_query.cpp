// One query through the real export, with the two-call size protocol, and
// the kind of the answer: from the driver query's own keys, or from the
// value node that the shipped image's tree chooses for the same record.
#include <algorithm>
#include <cstring>

#include "access.h"
#include "cli.h"
#include "cli_record.h"
#include "dbc_format.h"
#include "depbase.h"
#include "drv_rules.h"
#include "engine.h"
#include "image.h"

namespace {

typedef int32_t (*Export)(uint32_t, ZMD_SettingsRecord *, uint32_t, void *, uint32_t *);

Export ExportOf(int database)
{
    static const Export exports[6] = {ZMD_AccessRootDataBase, ZMD_AccessDrvDataBase, ZMD_AccessLMDataBase,
                                      ZMD_AccessMntDataBase,  ZMD_AccessPADataBase,  ZMD_AccessSMDataBase};
    return exports[database];
}

// The driver query rule of a driver key in the shipped image, null when the
// key is answered from its tree.
const ZMD_QueryRule *RuleOf(const CliRequest &req, uint32_t key)
{
    const ZMD_QueryRule *rule = nullptr;
    if (req.database != 1 || ZMD_FindQueryRule(ZMD_ShippedImage(), key, &rule) != ZMD_OK) {
        return nullptr;
    }
    return rule;
}

// The name of a value node kind in answers: "int16_array", "text", ...
std::string KindName(uint32_t kind)
{
    std::string name = DbcKindName(kind);
    for (char &c : name) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return name;
}

// The chosen value node's kind and count, asked of the shipped image with the
// same record (and the printer opened the same way).
void FindKind(const CliRequest &req, ZMD_SettingsRecord rec, CliAnswer *a)
{
    const ZMD_Platform *platform = ZMD_DefaultPlatform();
    ZMD_Env env{ZMD_ShippedImage(), platform};
    void *opened = nullptr;
    if (rec.pwszPrinterName && platform->openPrinter(platform->ctx, rec.pwszPrinterName, &opened)) {
        rec.hPrinter = opened;
    }
    ZMD_Node node{0, 0};
    if (ZMD_FindKey(&env, req.key, &rec, &node) == ZMD_OK) {
        uint32_t kind = ZMD_NodeKindOf(node.w0);
        uint32_t count = ZMD_NodeLow(node.w1);
        a->kind = KindName(kind);
        a->form = DbcFormOfNode(kind, count);
        if (kind == ZMD_KIND_COMPUTED) {
            a->computedType = count;
        }
    } else {
        a->kind = "";
        a->form = DBC_FORM_BYTES;
    }
    if (opened) {
        platform->closePrinter(platform->ctx, opened);
    }
}

} // namespace

CliAnswer CliQuery(const CliRequest &req)
{
    return CliQueryObserved(req, nullptr);
}

CliAnswer CliQueryObserved(const CliRequest &req, const ZMD_Observer *observer)
{
    CliAnswer a;
    CliSettings s;
    CliBuildRecord(req, &s);
    Export fn = ExportOf(req.database);
    // With an observer, the export's own frame over the shipped image and the
    // host platform, as the export builds it, with the observer added.
    ZMD_Env env{ZMD_ShippedImage(), ZMD_DefaultPlatform()};
    env.observer = observer;
    auto ask = [&](uint32_t cb, void *buffer, uint32_t *size) {
        return observer
                   ? ZMD_AccessDataBase(&env, static_cast<uint32_t>(req.database), req.key, &s.rec, cb, buffer, size)
                   : fn(req.key, &s.rec, cb, buffer, size);
    };
    uint32_t key = req.key & 0xFFFFu;
    // Ask for the size, then for the value; a value that changed in between
    // (a clock or printer-data value) is asked for again.
    a.result = ask(0, nullptr, &a.size);
    for (int attempt = 0; attempt < 3 && a.result == ZMD_MORE_DATA; ++attempt) {
        a.bytes.assign(a.size ? a.size : 1, 0);
        uint32_t size = a.size;
        a.result = ask(a.size, a.bytes.data(), &size);
        a.size = size;
    }
    a.bytes.resize(a.result == ZMD_OK ? a.size : 0);
    const ZMD_QueryRule *rule = RuleOf(req, key);
    if (rule && (rule->form == ZMD_QUERY_LIST || rule->form == ZMD_QUERY_CATALOGUE_LIST)) {
        a.kind = "list";
        a.form = DBC_FORM_LIST;
    } else if (rule && rule->form == ZMD_QUERY_SEQUENCE) {
        a.kind = "sequence";
        a.form = DBC_FORM_BYTES;
    } else if (rule && rule->form == ZMD_QUERY_PARAMETER_SET) {
        a.kind = "paramset";
        a.form = CLI_FORM_PARAMETER_SET;
    } else {
        FindKind(req, s.rec, &a);
    }
    return a;
}

uint32_t CliElementCount(const CliAnswer &a)
{
    uint32_t n = static_cast<uint32_t>(a.bytes.size());
    switch (a.form) {
    case DBC_FORM_INTS:
    case DBC_FORM_UINTS:
        return n / 4;
    case DBC_FORM_TEXT:
        return n / 2;
    case DBC_FORM_AREA:
        return n == 16 ? 1 : n;
    case DBC_FORM_LIST:
        return n / 20;
    default:
        return n;
    }
}

std::vector<uint32_t> CliDumpKeys(int database)
{
    std::vector<uint32_t> keys;
    uint32_t first = 0, last = 0;
    CliKeyRange(database, &first, &last);
    const ZMD_ImageView *img = ZMD_ShippedImage();
    for (uint32_t i = 0; img && img->keys && i < img->counts.keys; ++i) {
        if (img->keys[i] >= first && img->keys[i] <= last) {
            keys.push_back(img->keys[i]);
        }
    }
    if (database == 1) {
        for (uint32_t k : {0x100Du, 0x100Fu, 0x1013u, 0x1018u, 0x1019u, 0x101Au, 0x101Bu, 0x101Cu, 0x101Du, 0x101Eu}) {
            bool have = false;
            for (uint32_t x : keys) {
                have = have || x == k;
            }
            if (!have) {
                keys.push_back(k);
            }
        }
        std::sort(keys.begin(), keys.end());
    }
    return keys;
}
