// Command-line arguments of depbase-cli.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "args.h"
#include "cli.h"

namespace {

const char *const kNames[6] = {"root", "drv", "lm", "mnt", "pa", "sm"};
const uint32_t kFirst[6] = {0x0001, 0x1001, 0x2001, 0x3001, 0x4001, 0x6001};
const uint32_t kMaxSettingIndex = 255;

// A whole-string number: decimal or 0x hex, optionally negative.
bool ParseNumber(const std::string &text, long long lo, long long hi, long long *out)
{
    if (text.empty()) {
        return false;
    }
    const char *s = text.c_str();
    bool negative = *s == '-';
    if (negative) {
        ++s;
    }
    if (*s == '\0' || *s == '-' || *s == '+' || *s == ' ') {
        return false;
    }
    char *end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s, &end, (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) ? 16 : 10);
    if (errno != 0 || *end != '\0' || end == s) {
        return false;
    }
    if (v > 0xFFFFFFFFull) {
        return false;
    }
    long long value = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
    if (value < lo || value > hi) {
        return false;
    }
    *out = value;
    return true;
}

// "I=V" of --int / --str.
bool SplitSetting(const std::string &arg, uint32_t *index, std::string *value)
{
    size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) {
        return false;
    }
    long long i = 0;
    if (!ParseNumber(arg.substr(0, eq), 0, kMaxSettingIndex, &i)) {
        return false;
    }
    *index = static_cast<uint32_t>(i);
    *value = arg.substr(eq + 1);
    return true;
}

} // namespace

int CliDatabaseByName(const std::string &name)
{
    for (int i = 0; i < 6; ++i) {
        if (name == kNames[i]) {
            return i;
        }
    }
    return -1;
}

const char *CliDatabaseName(int database)
{
    return database >= 0 && database < 6 ? kNames[database] : "?";
}

void CliKeyRange(int database, uint32_t *first, uint32_t *last)
{
    *first = kFirst[database];
    *last = (kFirst[database] & 0xF000u) | 0x0FFFu;
}

namespace {

const ArgDef kQueryArgDefs[] = {
    {"--int", nullptr, ARG_VALUE}, {"--str", nullptr, ARG_VALUE}, {"--printer", nullptr, ARG_VALUE},
    {"--raw", nullptr, ARG_FLAG},  {"--json", nullptr, ARG_FLAG},
};
const size_t kQueryArgDefCount = sizeof kQueryArgDefs / sizeof kQueryArgDefs[0];

// The arguments of query and of explain, which takes the same.
bool ParseQuery(const std::string &command, const ParsedArgs &p, CliRequest *req, std::string *error)
{
    if (p.positionals.size() < 2) {
        *error = p.positionals.empty() ? command + " needs a database and a key"
                                       : command + " needs a database and a key (only a database given)";
        return false;
    }
    if (p.positionals.size() > 2) {
        *error = command + " takes one database and one key; '" + p.positionals[2] + "' is one too many";
        return false;
    }
    const std::string &db = p.positionals[0], &keyText = p.positionals[1];
    req->database = CliDatabaseByName(db);
    if (req->database < 0) {
        *error = "unknown database '" + db + "' (use root, drv, lm, mnt, pa or sm)";
        return false;
    }
    long long key = 0;
    if (!ParseNumber(keyText, 0, 0xFFFFFFFFll, &key)) {
        *error = "malformed key '" + keyText + "' (a number, decimal or 0x hex)";
        return false;
    }
    uint32_t first = 0, last = 0;
    CliKeyRange(req->database, &first, &last);
    if (key < first || key > last) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "key %s is out of range: the %s database has keys 0x%04X to 0x%04X",
                      keyText.c_str(), CliDatabaseName(req->database), first, last);
        *error = buf;
        return false;
    }
    req->key = static_cast<uint32_t>(key);
    for (const ArgOption &o : p.options) {
        uint32_t index = 0;
        std::string value;
        if (o.name == "--int") {
            long long v = 0;
            if (!SplitSetting(o.value, &index, &value) || !ParseNumber(value, -2147483648ll, 0xFFFFFFFFll, &v)) {
                *error = "malformed --int '" + o.value + "' (expected I=V: I 0-255, V a 32-bit number)";
                return false;
            }
            req->ints.push_back({index, static_cast<int32_t>(static_cast<uint32_t>(v))});
        } else if (o.name == "--str") {
            if (!SplitSetting(o.value, &index, &value)) {
                *error = "malformed --str '" + o.value + "' (expected I=S: I 0-255)";
                return false;
            }
            req->strs.push_back({index, value});
        } else if (o.name == "--printer") {
            req->hasPrinter = true;
            req->printer = o.value;
        }
    }
    req->raw = ArgsHas(p, "--raw");
    req->json = ArgsHas(p, "--json");
    if (req->raw && req->json) {
        *error = "--raw and --json exclude each other";
        return false;
    }
    return true;
}

bool ParseDump(const ParsedArgs &p, CliRequest *req, std::string *error)
{
    if (ArgsHas(p, "--int") || ArgsHas(p, "--str") || ArgsHas(p, "--printer") || ArgsHas(p, "--raw")) {
        *error = "dump takes no settings (only --json)";
        return false;
    }
    if (!p.positionals.empty()) {
        *error = "dump takes no arguments; '" + p.positionals[0] + "' is one too many";
        return false;
    }
    req->json = ArgsHas(p, "--json");
    return true;
}

bool IsTopic(const std::string &t)
{
    return t.empty() || t == "query" || t == "explain" || t == "dump";
}

} // namespace

bool CliParseArgs(const std::vector<std::string> &args, CliRequest *req, std::string *error)
{
    *req = CliRequest();
    std::string command;
    std::vector<std::string> rest;
    ArgsSplitCommand(args, kQueryArgDefs, kQueryArgDefCount, &command, &rest);
    ParsedArgs p;
    if (command.empty() || command == "help") {
        if (!ArgsParse(rest, nullptr, 0, &p, error)) {
            return false;
        }
        if (p.version && !p.help) {
            req->command = CLI_VERSION;
            return true;
        }
        if (command.empty() && !p.help) {
            *error = p.positionals.empty() ? "no command given" : "unknown command '" + p.positionals[0] + "'";
            return false;
        }
        req->command = CLI_HELP;
        req->helpTopic = p.positionals.empty() ? "" : p.positionals[0];
        if (!IsTopic(req->helpTopic)) {
            *error = "no help on '" + req->helpTopic + "' (the commands are query, explain and dump)";
            return false;
        }
        return true;
    }
    if (command != "query" && command != "explain" && command != "dump") {
        *error = "unknown command '" + command + "' (the commands are query, explain and dump)";
        return false;
    }
    if (!ArgsParse(rest, kQueryArgDefs, kQueryArgDefCount, &p, error)) {
        return false;
    }
    if (p.help || p.version) {
        req->command = p.help ? CLI_HELP : CLI_VERSION;
        req->helpTopic = command;
        return true;
    }
    if (command == "dump") {
        req->command = CLI_DUMP;
        return ParseDump(p, req, error);
    }
    req->command = command == "query" ? CLI_QUERY : CLI_EXPLAIN;
    return ParseQuery(command, p, req, error);
}
