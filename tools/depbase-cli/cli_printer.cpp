// The printer store as depbase-cli sees it: which file a printer name is
// read from, the lines of that file the store cannot read, and which stored
// values a query reads. The library reads the store silently; the tool says
// what it finds.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "access.h"
#include "cli.h"
#include "cli_record.h"
#include "depbase.h"
#include "image.h"

namespace {

const uint32_t kValueNameKey = 0x0008;
const off_t kStoreMax = 1024 * 1024;

// Reads the store file at path as the library does: opened once, never
// through a link and never blocking, a regular file of at most 1 MiB read
// from the descriptor it was checked on. False with *why set otherwise.
bool ReadStoreFile(const std::string &path, std::string *text, std::string *why)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *why = errno == ELOOP ? "a symbolic link, which the store does not follow" : std::strerror(errno);
        return false;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (!ok) {
        *why = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        *why = "not a regular file";
        ok = false;
    } else if (st.st_size > kStoreMax) {
        *why = "larger than the 1 MiB the store reads";
        ok = false;
    }
    text->clear();
    char buf[4096];
    while (ok) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno != EINTR) {
                *why = std::strerror(errno);
                ok = false;
            }
            continue;
        }
        text->append(buf, static_cast<size_t>(n));
        if (text->size() > static_cast<size_t>(kStoreMax)) {
            *why = "larger than the 1 MiB the store reads";
            ok = false;
        }
    }
    close(fd);
    return ok;
}

std::string Trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r\n\f\v");
    if (b == std::string::npos) {
        return std::string();
    }
    size_t e = s.find_last_not_of(" \t\r\n\f\v");
    return s.substr(b, e - b + 1);
}

// The store's numbers: decimal, optionally negative, or 0x hex; 32 bits.
bool StoreNumber(const std::string &text)
{
    size_t i = 0;
    bool negative = i < text.size() && text[i] == '-';
    if (negative) {
        ++i;
    }
    uint64_t v = 0;
    if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        for (i += 2; i < text.size(); ++i) {
            if (!std::isxdigit(static_cast<unsigned char>(text[i]))) {
                return false;
            }
            v = v * 16 + static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(text[i]))
                                                   ? text[i] - '0'
                                                   : std::tolower(static_cast<unsigned char>(text[i])) - 'a' + 10);
            if (v > 0xFFFFFFFFull) {
                return false;
            }
        }
    } else {
        if (i == text.size()) {
            return false;
        }
        for (; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return false;
            }
            v = v * 10 + static_cast<uint64_t>(text[i] - '0');
            if (v > 0xFFFFFFFFull) {
                return false;
            }
        }
    }
    return !negative || v <= 0x80000000ull;
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

} // namespace

std::string CliPrinterPath(const std::string &name, std::string *why)
{
    if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos) {
        *why = "the printer name '" + name + "' is not one the store accepts (empty, with '/', or starting with '.')";
        return std::string();
    }
    const char *dir = std::getenv("ZMD_PRINTER_DIR");
    if (dir && *dir) {
        return std::string(dir) + "/" + name + ".conf";
    }
    const char *home = std::getenv("HOME");
    if (home && *home) {
        return std::string(home) + "/.config/zmd/printers/" + name + ".conf";
    }
    *why = "neither ZMD_PRINTER_DIR nor HOME is set, so there is no printer store";
    return std::string();
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
        if (ZMD_AccessRootDataBase(kValueNameKey, &rec, sizeof buf, buf, &size) != ZMD_OK) {
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
    std::istringstream in(text);
    std::vector<std::pair<std::string, int>> seen;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string at = path + ":" + std::to_string(number) + ": ";
        std::string text = Trim(line);
        if (text.empty() || text[0] == '#') {
            continue;
        }
        size_t eq = text.find('=');
        if (eq == std::string::npos) {
            warnings.push_back(at + "'" + text + "' is not 'ValueName = number'; the line is ignored");
            continue;
        }
        std::string name = Trim(text.substr(0, eq)), value = Trim(text.substr(eq + 1));
        if (name.empty()) {
            warnings.push_back(at + "no value name before '='; the line is ignored");
            continue;
        }
        int first = 0;
        for (const auto &s : seen) {
            if (s.first == name) {
                first = s.second;
            }
        }
        if (first) {
            warnings.push_back(at + name + " again; line " + std::to_string(first) + " decides, this line is ignored");
            continue;
        }
        seen.push_back({name, number});
        if (!StoreNumber(value)) {
            std::string hint = value.find('#') != std::string::npos
                                   ? "; a comment needs a line of its own, starting with '#'"
                                   : " (decimal, optionally negative, or 0x hex, 32 bits)";
            warnings.push_back(at + "'" + value + "' is not a number, so " + name + " reads as not stored" + hint);
        }
        bool known = false;
        std::string likely;
        for (const std::string &v : valueNames) {
            known = known || v == name;
            if (likely.empty() && SameIgnoringCase(v, name)) {
                likely = v;
            }
        }
        if (!known && !likely.empty()) {
            warnings.push_back(at + "'" + name + "' is not read: names match case and all; the database reads '" +
                               likely + "'");
        } else if (!known) {
            warnings.push_back(at + "the database reads no value named '" + name + "'");
        }
    }
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
