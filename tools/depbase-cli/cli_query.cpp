// One query through the real export, with the two-call size protocol, and
// the kind of the answer: from the driver query's own keys, or from the
// value node that the shipped image's tree chooses for the same record.
#include <algorithm>
#include <cstring>

#include "cli.h"
#include "dbc_format.h"
#include "depbase.h"
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

const uint32_t kShapeStrings[6] = {1, 0, 5, 0, 0, 8};
const uint32_t kShapeInts[6] = {1, 95, 13, 1, 4, 16};

// The settings of a request, kept alive for the record that points at them.
struct Settings {
    std::vector<int32_t> ints;
    std::vector<std::string> texts;
    std::vector<const char *> strs;
    std::u16string printer;
    ZMD_SettingsRecord rec;
};

void BuildRecord(const CliRequest &req, Settings *s)
{
    s->ints.assign(kShapeInts[req.database], 0);
    s->texts.assign(kShapeStrings[req.database], std::string());
    for (const auto &p : req.ints) {
        if (p.first >= s->ints.size()) s->ints.resize(p.first + 1, 0);
        s->ints[p.first] = p.second;
    }
    for (const auto &p : req.strs) {
        if (p.first >= s->texts.size()) s->texts.resize(p.first + 1);
        s->texts[p.first] = p.second;
    }
    for (const std::string &t : s->texts) s->strs.push_back(t.c_str());
    // Printer names are taken as 8-bit characters, each widened.
    for (unsigned char c : req.printer) s->printer.push_back(static_cast<char16_t>(c));
    s->rec.hPrinter = nullptr;
    s->rec.dwReserved = 0;
    s->rec.cStrings = static_cast<uint32_t>(s->strs.size());
    s->rec.ppszStrings = s->strs.empty() ? nullptr : s->strs.data();
    s->rec.cInts = static_cast<uint32_t>(s->ints.size());
    s->rec.pnInts = s->ints.empty() ? nullptr : s->ints.data();
    s->rec.pwszPrinterName = req.hasPrinter ? reinterpret_cast<const ZMD_WCHAR *>(s->printer.c_str()) : nullptr;
}

bool IsListKey(uint32_t key)
{
    switch (key) {
    case 0x100C: case 0x100D: case 0x100E: case 0x100F: case 0x1010: case 0x1011: case 0x1012: case 0x1013:
    case 0x1014: case 0x1016: case 0x1017: case 0x104D: case 0x104E: case 0x1051: case 0x1054:
        return true;
    default:
        return false;
    }
}

// The chosen value node's kind and count, asked of the shipped image with the
// same record (and the printer opened the same way).
void FindKind(const CliRequest &req, ZMD_SettingsRecord rec, CliAnswer *a)
{
    const ZMD_Platform *platform = ZMD_DefaultPlatform();
    ZMD_Env env{ZMD_ShippedImage(), platform};
    void *opened = nullptr;
    if (rec.pwszPrinterName && platform->openPrinter(platform->ctx, rec.pwszPrinterName, &opened))
        rec.hPrinter = opened;
    ZMD_Node node{0, 0};
    if (ZMD_FindKey(&env, req.key, &rec, &node) == ZMD_OK) {
        uint32_t kind = ZMD_NodeKindOf(node.w0);
        a->kind = DbcKindName(kind);
        a->count = ZMD_NodeLow(node.w1);
        a->form = DbcFormOfNode(kind, a->count);
        if (kind == ZMD_KIND_COMPUTED) a->kind += " type " + std::to_string(a->count);
    } else {
        a->kind = "";
        a->form = DBC_FORM_BYTES;
    }
    if (opened) platform->closePrinter(platform->ctx, opened);
}

} // namespace

CliAnswer CliQuery(const CliRequest &req)
{
    CliAnswer a;
    Settings s;
    BuildRecord(req, &s);
    Export fn = ExportOf(req.database);
    uint32_t key = req.key & 0xFFFFu;
    // Ask for the size, then for the value; a value that changed in between
    // (a clock or printer-data value) is asked for again.
    a.result = fn(req.key, &s.rec, 0, nullptr, &a.size);
    for (int attempt = 0; attempt < 3 && a.result == ZMD_MORE_DATA; ++attempt) {
        a.bytes.assign(a.size ? a.size : 1, 0);
        uint32_t size = a.size;
        a.result = fn(req.key, &s.rec, a.size, a.bytes.data(), &size);
        a.size = size;
    }
    a.bytes.resize(a.result == ZMD_OK ? a.size : 0);
    if (req.database == 1 && IsListKey(key)) {
        a.kind = "list items";
        a.form = DBC_FORM_LIST;
        a.count = a.size / 20;
    } else if (req.database == 1 && key >= 0x1018 && key <= 0x101D) {
        a.kind = "command sequence";
        a.form = DBC_FORM_BYTES;
    } else if (req.database == 1 && key == 0x101E) {
        a.kind = "parameter set";
        a.form = CLI_FORM_PARAMETER_SET;
    } else {
        FindKind(req, s.rec, &a);
    }
    return a;
}

std::vector<uint32_t> CliDumpKeys(int database)
{
    std::vector<uint32_t> keys;
    uint32_t first = 0, last = 0;
    CliKeyRange(database, &first, &last);
    const ZMD_ImageView *img = ZMD_ShippedImage();
    for (uint32_t i = 0; img && img->keys && i < img->counts.keys; ++i)
        if (img->keys[i] >= first && img->keys[i] <= last) keys.push_back(img->keys[i]);
    if (database == 1) {
        for (uint32_t k : {0x100Du, 0x100Fu, 0x1013u, 0x1018u, 0x1019u, 0x101Au, 0x101Bu, 0x101Cu, 0x101Du, 0x101Eu}) {
            bool have = false;
            for (uint32_t x : keys) have = have || x == k;
            if (!have) keys.push_back(k);
        }
        std::sort(keys.begin(), keys.end());
    }
    return keys;
}
