// The settings record of a request: the database's shape, all 0 or empty but
// the settings given.
#include "cli_record.h"

namespace {

const uint32_t kShapeStrings[6] = {1, 0, 5, 0, 0, 8};
const uint32_t kShapeInts[6] = {1, 95, 13, 1, 4, 16};

} // namespace

void CliBuildRecord(const CliRequest &req, CliSettings *s)
{
    s->ints.assign(kShapeInts[req.database], 0);
    s->texts.assign(kShapeStrings[req.database], std::string());
    for (const auto &p : req.ints) {
        if (p.first >= s->ints.size()) {
            s->ints.resize(p.first + 1, 0);
        }
        s->ints[p.first] = p.second;
    }
    for (const auto &p : req.strs) {
        if (p.first >= s->texts.size()) {
            s->texts.resize(p.first + 1);
        }
        s->texts[p.first] = p.second;
    }
    s->strs.clear();
    for (const std::string &t : s->texts) {
        s->strs.push_back(t.c_str());
    }
    s->printer.clear();
    for (unsigned char c : req.printer) {
        s->printer.push_back(static_cast<char16_t>(c));
    }
    s->rec.hPrinter = nullptr;
    s->rec.dwReserved = 0;
    s->rec.cStrings = static_cast<uint32_t>(s->strs.size());
    s->rec.ppszStrings = s->strs.empty() ? nullptr : s->strs.data();
    s->rec.cInts = static_cast<uint32_t>(s->ints.size());
    s->rec.pnInts = s->ints.empty() ? nullptr : s->ints.data();
    s->rec.pwszPrinterName = req.hasPrinter ? reinterpret_cast<const ZMD_WCHAR *>(s->printer.c_str()) : nullptr;
}
