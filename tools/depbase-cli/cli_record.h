// The settings record of a request, kept alive with the storage it points at.
#ifndef DEPBASE_CLI_RECORD_H
#define DEPBASE_CLI_RECORD_H

#include <string>
#include <vector>

#include "cli.h"
#include "depbase.h"

struct CliSettings {
    std::vector<int32_t> ints;
    std::vector<std::string> texts;
    std::vector<const char *> strs;
    std::u16string printer;
    ZMD_SettingsRecord rec;
};

// Fills *s with a record of the request's database shape and settings; the
// printer, when named, by name (each 8-bit character widened).
void CliBuildRecord(const CliRequest &req, CliSettings *s);

#endif // DEPBASE_CLI_RECORD_H
