// Command-line arguments of depbase-cli.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "cli.h"

namespace {

const char *const kNames[6] = {"root", "drv", "lm", "mnt", "pa", "sm"};
const uint32_t kFirst[6] = {0x0001, 0x1001, 0x2001, 0x3001, 0x4001, 0x6001};
const uint32_t kMaxSettingIndex = 255;

// A whole-string number: decimal or 0x hex, optionally negative.
bool ParseNumber(const std::string &text, long long lo, long long hi, long long *out)
{
    if (text.empty()) return false;
    const char *s = text.c_str();
    bool negative = *s == '-';
    if (negative) ++s;
    if (*s == '\0' || *s == '-' || *s == '+' || *s == ' ') return false;
    char *end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s, &end, (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) ? 16 : 10);
    if (errno != 0 || *end != '\0' || end == s) return false;
    if (v > 0xFFFFFFFFull) return false;
    long long value = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
    if (value < lo || value > hi) return false;
    *out = value;
    return true;
}

// "I=V" of --int / --str.
bool SplitSetting(const std::string &arg, uint32_t *index, std::string *value)
{
    size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    long long i = 0;
    if (!ParseNumber(arg.substr(0, eq), 0, kMaxSettingIndex, &i)) return false;
    *index = static_cast<uint32_t>(i);
    *value = arg.substr(eq + 1);
    return true;
}

} // namespace

const char *CliUsage()
{
    return "usage: depbase-cli query DATABASE KEY [--int I=V ...] [--str I=S ...] [--printer NAME] [--raw] [--json]\n"
           "       depbase-cli dump [--json]\n"
           "       depbase-cli --help\n"
           "\n"
           "Asks the model database through the exports of libdepbase.\n"
           "  DATABASE   root (keys 0x0001-0x0FFF), drv (0x1001-0x1FFF), lm (0x2001-0x2FFF),\n"
           "             mnt (0x3001-0x3FFF), pa (0x4001-0x4FFF) or sm (0x6001-0x6FFF)\n"
           "  KEY        the key, decimal or 0x hex (0x1003)\n"
           "  --int I=V  integer setting I (0-255) is V (decimal or 0x hex, 32 bits); may repeat\n"
           "  --str I=S  string setting I (0-255) is S (may be empty); may repeat\n"
           "  --printer NAME  the printer whose stored values the rules may read\n"
           "  --raw      print the value's bytes as hex instead of decoding them\n"
           "  --json     print the answer as JSON\n"
           "The record has the database's shape (root 1 string and 1 integer setting, drv 95 integers,\n"
           "lm 5 and 13, mnt 0 and 1, pa 0 and 4, sm 8 and 16), all 0 or empty unless set; a setting\n"
           "beyond the shape makes the record longer. dump asks every key of every database with such\n"
           "default records. The exit status is 0 when the answer is ZMD_OK, 1 for any other result,\n"
           "2 for a usage error.\n";
}

int CliDatabaseByName(const std::string &name)
{
    for (int i = 0; i < 6; ++i)
        if (name == kNames[i]) return i;
    return -1;
}

const char *CliDatabaseName(int database) { return database >= 0 && database < 6 ? kNames[database] : "?"; }

void CliKeyRange(int database, uint32_t *first, uint32_t *last)
{
    *first = kFirst[database];
    *last = (kFirst[database] & 0xF000u) | 0x0FFFu;
}

bool CliParseArgs(const std::vector<std::string> &args, CliRequest *req, std::string *error)
{
    *req = CliRequest();
    if (args.empty()) {
        *error = "no command given";
        return false;
    }
    size_t i = 1;
    const std::string &cmd = args[0];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        req->command = CLI_HELP;
        return true;
    }
    if (cmd == "query") {
        req->command = CLI_QUERY;
        if (args.size() < 3) {
            *error = "query needs a database and a key";
            return false;
        }
        req->database = CliDatabaseByName(args[1]);
        if (req->database < 0) {
            *error = "unknown database '" + args[1] + "' (use root, drv, lm, mnt, pa or sm)";
            return false;
        }
        long long key = 0;
        if (!ParseNumber(args[2], 0, 0xFFFFFFFFll, &key)) {
            *error = "malformed key '" + args[2] + "' (a number, decimal or 0x hex)";
            return false;
        }
        uint32_t first = 0, last = 0;
        CliKeyRange(req->database, &first, &last);
        if (key < first || key > last) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "key %s is out of range: the %s database has keys 0x%04X to 0x%04X",
                          args[2].c_str(), CliDatabaseName(req->database), first, last);
            *error = buf;
            return false;
        }
        req->key = static_cast<uint32_t>(key);
        i = 3;
    } else if (cmd == "dump") {
        req->command = CLI_DUMP;
    } else {
        *error = "unknown command '" + cmd + "'";
        return false;
    }
    for (; i < args.size(); ++i) {
        const std::string &a = args[i];
        bool takesValue = a == "--int" || a == "--str" || a == "--printer";
        if (takesValue && req->command == CLI_DUMP) {
            *error = "dump takes no settings (only --json)";
            return false;
        }
        if (takesValue && i + 1 >= args.size()) {
            *error = a + " needs a value";
            return false;
        }
        if (a == "--int") {
            uint32_t index = 0;
            std::string value;
            long long v = 0;
            if (!SplitSetting(args[i + 1], &index, &value) || !ParseNumber(value, -2147483648ll, 0xFFFFFFFFll, &v)) {
                *error = "malformed --int '" + args[i + 1] + "' (expected I=V: I 0-255, V a 32-bit number)";
                return false;
            }
            req->ints.push_back({index, static_cast<int32_t>(static_cast<uint32_t>(v))});
            ++i;
        } else if (a == "--str") {
            uint32_t index = 0;
            std::string value;
            if (!SplitSetting(args[i + 1], &index, &value)) {
                *error = "malformed --str '" + args[i + 1] + "' (expected I=S: I 0-255)";
                return false;
            }
            req->strs.push_back({index, value});
            ++i;
        } else if (a == "--printer") {
            req->hasPrinter = true;
            req->printer = args[i + 1];
            ++i;
        } else if (a == "--raw" && req->command == CLI_QUERY) {
            req->raw = true;
        } else if (a == "--json") {
            req->json = true;
        } else {
            *error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (req->raw && req->json) {
        *error = "--raw and --json exclude each other";
        return false;
    }
    return true;
}
