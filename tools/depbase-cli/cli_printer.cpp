// The printer store as depbase-cli sees it: which file a printer name is
// read from, the lines of that file the store cannot read, and which stored
// values a query reads. The library reads the store silently; the tool says
// what it finds.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "access.h"
#include "cli.h"
#include "cli_record.h"
#include "depbase.h"
#include "image_format.h"
#include "printer_store.h"

namespace {

// The most a store path may take here: the backend's own limits are below.
const size_t kPathCap = 8192;

// Reads the store file at path with the backend's reader (the directory and
// the file name apart, as a printer open reads them). False with *why set
// otherwise.
bool ReadStoreFile(const std::string &path, std::string *text, std::string *why)
{
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    char *data = nullptr;
    size_t size = 0;
    const int r = ZMD_ReadStoreText(dir.c_str(), file.c_str(), &data, &size);
    if (r == 0) {
        text->assign(data, size);
        ZMD_FreeStoreText(data);
        return true;
    }
    if (r == ZMD_STORE_NOT_REGULAR) {
        *why = "not a regular file";
    } else if (r == ZMD_STORE_TOO_LARGE) {
        *why = "larger than the 1 MiB the store reads";
    } else if (r == ELOOP) {
        *why = "a symbolic link, which the store does not follow";
    } else {
        *why = std::strerror(r);
    }
    return false;
}

bool SameIgnoringCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string Narrow(const ZMD_WCHAR *s)
{
    std::string out;
    for (; s && *s; ++s) {
        out.push_back(static_cast<uint16_t>(*s) < 0x80 ? static_cast<char>(*s) : '?');
    }
    return out;
}

// A platform that passes everything to the real one but records the value
// names read; with no real printer it stands in for one that stores nothing.
// The real printer's store is read once, through a hold, as in a query.
struct Probe {
    const ZMD_Platform *real;
    void *realHandle;
    CliPrinterUse *use;
    ZMD_PrinterHold hold;
};

bool ProbeOpen(void *, const ZMD_WCHAR *, void **)
{
    return false;
}
void ProbeClose(void *, void *) {}

bool ProbeGetData(void *ctx, void *, const ZMD_WCHAR *valueName, void *data, uint32_t cbData, uint32_t *cbNeeded)
{
    Probe *p = static_cast<Probe *>(ctx);
    bool ok = false;
    if (p->realHandle && p->real->getHeldPrinterData) {
        ok = p->real->getHeldPrinterData(p->real->ctx, &p->hold, valueName, data, cbData, cbNeeded);
    } else if (p->realHandle) {
        ok = p->real->getPrinterData(p->real->ctx, p->realHandle, valueName, data, cbData, cbNeeded);
    }
    std::string name = Narrow(valueName);
    bool seen = false;
    for (const std::string &n : p->use->names) {
        seen = seen || n == name;
    }
    if (!seen) {
        p->use->names.push_back(name);
        p->use->stored.push_back(ok);
    }
    return ok;
}

void ProbeLocalTime(void *ctx, ZMD_LocalTime *out)
{
    const ZMD_Platform *real = static_cast<Probe *>(ctx)->real;
    real->getLocalTime(real->ctx, out);
}

int ProbeCountry(void *ctx, char *buf, int cb)
{
    const ZMD_Platform *real = static_cast<Probe *>(ctx)->real;
    return real->getCountryText(real->ctx, buf, cb);
}

void *ProbeAlloc(void *ctx, size_t size)
{
    const ZMD_Platform *real = static_cast<Probe *>(ctx)->real;
    return real->alloc(real->ctx, size);
}

void ProbeFree(void *ctx, void *p)
{
    const ZMD_Platform *real = static_cast<Probe *>(ctx)->real;
    real->free(real->ctx, p);
}

std::string Hex4(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

std::string NameList(const CliPrinterUse &use, bool missingOnly)
{
    std::string s;
    size_t n = 0;
    for (size_t i = 0; i < use.names.size(); ++i) {
        if (!missingOnly || !use.stored[i]) {
            s += (n++ ? ", " : "") + use.names[i];
        }
    }
    return s;
}

std::string FirstMissing(const CliPrinterUse &use)
{
    for (size_t i = 0; i < use.names.size(); ++i) {
        if (!use.stored[i]) {
            return use.names[i];
        }
    }
    return use.names.empty() ? std::string() : use.names[0];
}

// The warnings about the lines of one store file, line by line as the
// backend splits them.
struct StoreLines {
    const std::string &path;
    const std::vector<std::string> &valueNames;
    std::vector<std::pair<std::string, uint32_t>> seen; // names and the lines that decide them
    std::vector<std::string> *warnings;
};

void WarnAboutLine(void *ctx, const ZMD_StoreLineInfo *line)
{
    StoreLines &l = *static_cast<StoreLines *>(ctx);
    std::vector<std::string> &warnings = *l.warnings;
    const std::string at = l.path + ":" + std::to_string(line->number) + ": ";
    if (!line->hasEquals) {
        warnings.push_back(at + "'" + std::string(line->text, line->textLength) +
                           "' is not 'ValueName = number'; the line is ignored");
        return;
    }
    const std::string name(line->name, line->nameLength), value(line->value, line->valueLength);
    if (name.empty()) {
        warnings.push_back(at + "no value name before '='; the line is ignored");
        return;
    }
    for (const auto &s : l.seen) {
        if (s.first == name) {
            warnings.push_back(at + name + " again; line " + std::to_string(s.second) +
                               " decides, this line is ignored");
            return;
        }
    }
    l.seen.push_back({name, line->number});
    if (!line->parsed) {
        std::string hint = value.find('#') != std::string::npos
                               ? "; a comment needs a line of its own, starting with '#'"
                               : " (decimal, optionally negative, or 0x hex, 32 bits)";
        warnings.push_back(at + "'" + value + "' is not a number, so " + name + " reads as not stored" + hint);
    }
    bool known = false;
    std::string likely;
    for (const std::string &v : l.valueNames) {
        known = known || v == name;
        if (likely.empty() && SameIgnoringCase(v, name)) {
            likely = v;
        }
    }
    if (!known && !likely.empty()) {
        warnings.push_back(at + "'" + name + "' is not read: names match case and all; the database reads '" + likely +
                           "'");
    } else if (!known) {
        warnings.push_back(at + "the database reads no value named '" + name + "'");
    }
}

} // namespace

std::string CliPrinterPath(const std::string &name, std::string *why)
{
    static char dir[kPathCap];
    static char file[kPathCap];
    switch (ZMD_StorePaths(name.c_str(), dir, sizeof dir, file, sizeof file)) {
    case ZMD_STORE_PATH_OK:
        return std::string(dir) + "/" + file;
    case ZMD_STORE_BAD_NAME:
        *why = "the printer name '" + name + "' is not one the store accepts (empty, with '/', or starting with '.')";
        return std::string();
    case ZMD_STORE_NO_DIRECTORY:
        *why = "neither ZMD_PRINTER_DIR nor HOME is set, so there is no printer store";
        return std::string();
    default:
        *why = "the printer name '" + name + "' or the store directory is too long for the store";
        return std::string();
    }
}

std::vector<std::string> CliValueNames()
{
    std::vector<std::string> names;
    for (int32_t item = 1; item < 256; ++item) {
        const char *strs[1] = {""};
        int32_t ints[1] = {item};
        ZMD_SettingsRecord rec{nullptr, 0, 1, strs, 1, ints, nullptr};
        uint8_t buf[512];
        uint32_t size = sizeof buf;
        if (ZMD_AccessRootDataBase(ZMD_VALUE_NAME_KEY, &rec, sizeof buf, buf, &size) != ZMD_OK) {
            continue;
        }
        std::string name;
        for (uint32_t i = 0; i + 1 < size && (buf[i] || buf[i + 1]); i += 2) {
            name.push_back(static_cast<char>(buf[i]));
        }
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> CliPrinterWarnings(const std::string &path, const std::vector<std::string> &valueNames)
{
    std::vector<std::string> warnings;
    std::string text, why;
    if (!ReadStoreFile(path, &text, &why)) {
        warnings.push_back("cannot read " + path + ": " + why);
        return warnings;
    }
    StoreLines lines{path, valueNames, {}, &warnings};
    ZMD_ForEachStoreLine(text.data(), text.size(), WarnAboutLine, &lines);
    return warnings;
}

CliPrinterUse CliProbePrinter(const CliRequest &req)
{
    CliPrinterUse use;
    const ZMD_Platform *real = ZMD_DefaultPlatform();
    CliSettings s;
    CliBuildRecord(req, &s);
    Probe probe{real, nullptr, &use, ZMD_PrinterHold{nullptr, nullptr, true}};
    if (req.hasPrinter && real->openPrinter(real->ctx, s.rec.pwszPrinterName, &probe.realHandle)) {
        use.opened = true;
        probe.hold.handle = probe.realHandle;
    }
    ZMD_Platform platform{&probe,         ProbeOpen,    ProbeClose, ProbeGetData,
                          ProbeLocalTime, ProbeCountry, ProbeAlloc, ProbeFree};
    ZMD_Env env{ZMD_ShippedImage(), &platform};
    int standIn = 0;
    s.rec.hPrinter = &standIn;
    uint32_t size = 0;
    ZMD_AccessDataBase(&env, static_cast<uint32_t>(req.database), req.key, &s.rec, 0, nullptr, &size);
    if (probe.realHandle) {
        if (real->releaseHold) {
            real->releaseHold(real->ctx, &probe.hold);
        }
        real->closePrinter(real->ctx, probe.realHandle);
    }
    return use;
}

std::string CliPrinterAdvice(const CliRequest &req, const CliPrinterUse &use)
{
    bool missing = false;
    for (size_t i = 0; i < use.stored.size(); ++i) {
        missing = missing || !use.stored[i];
    }
    if (use.names.empty() || (use.opened && !missing)) {
        return std::string();
    }
    std::string what = std::string(CliDatabaseName(req.database)) + " " + Hex4(req.key & 0xFFFFu);
    std::string example = "    " + FirstMissing(use) + " = 0\n";
    std::string why;
    std::string path = req.hasPrinter ? CliPrinterPath(req.printer, &why) : CliPrinterPath("NAME", &why);
    if (!req.hasPrinter) {
        return what + " reads the printer's stored value " + NameList(use, false) +
               ", and no printer is named: give --printer NAME, where " + path +
               " (the printer store; ZMD_PRINTER_DIR names another directory) holds a line such as\n" + example +
               "(printer files: depbase-cli query --help, Files)\n";
    }
    if (path.empty()) {
        return "printer '" + req.printer + "' cannot be opened: " + why + "; " + what + " reads its stored value " +
               NameList(use, false) + "\n";
    }
    if (!use.opened) {
        std::string text, reason = "no printer data";
        ReadStoreFile(path, &text, &reason);
        return "printer '" + req.printer + "' not found: cannot open " + path + " (" + reason + "); " + what +
               " reads its stored value " + NameList(use, false) + ", so the file needs a line such as\n" + example +
               "(ZMD_PRINTER_DIR names the directory of the printer files; samples/printers has office.conf)\n";
    }
    return "printer '" + req.printer + "' (" + path + ") stores no " + NameList(use, true) + ", which " + what +
           " reads; the answer is the one for a printer without it. To store it, add a line such as\n" + example;
}
