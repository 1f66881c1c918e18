// The help texts of depbase-cli. The man page is made from these by
// help2man, so each keeps its sections in that tool's layout: a NAME-worthy
// first line, then "Usage:", option lines, and upper-case section headings.
#include "args.h"
#include "cli.h"

namespace {

#define CLI_ENVIRONMENT                                                                                                \
    "Environment:\n"                                                                                                   \
    "  ZMD_PRINTER_DIR  the directory of the printer store (default $HOME/.config/zmd/printers)\n"                     \
    "  HOME             gives the default printer store directory when ZMD_PRINTER_DIR is unset or empty\n"            \
    "  ZMD_COUNTRY      the user's country code, a decimal number of at most 6 digits (default 1)\n"                   \
    "\n"

#define CLI_FILES                                                                                                      \
    "Files:\n"                                                                                                         \
    "  $ZMD_PRINTER_DIR/NAME.conf (else $HOME/.config/zmd/printers/NAME.conf)\n"                                       \
    "    The printer NAME of --printer (not empty, no '/', not starting with '.'). One stored value\n"                 \
    "    a line:\n"                                                                                                    \
    "        ValueName = number\n"                                                                                     \
    "    The number is decimal (optionally negative) or 0x hex and is stored as 32 bits. Blanks\n"                     \
    "    around the name and the number are ignored. Names match exactly, case included:\n"                            \
    "    XvnUI_CustomECPMode, not xvnui_customecpmode. The first line with a name decides.\n"                          \
    "    Blank lines and lines whose first character (after blanks) is '#' are ignored; a '#'\n"                       \
    "    after a number is NOT a comment: \"XvnUI_CustomECPMode = 0  # note\" makes the value\n"                       \
    "    unreadable, and an unreadable value reads as not stored. depbase-cli warns on stderr\n"                       \
    "    about every line of the file it uses that the store cannot read. Example (samples/printers/office.conf):\n"   \
    "        # parallel port in nibble mode\n"                                                                         \
    "        XvnUI_CustomECPMode = 0\n"                                                                                \
    "\n"

#define CLI_EXIT_STATUS                                                                                                \
    "Exit status:\n"                                                                                                   \
    "  0  the answer is ZMD_OK (help and version too)\n"                                                               \
    "  1  any other result; the reason is on stderr when the key needs printer data it did not get\n"                  \
    "  2  usage error (unknown option, malformed argument)\n" ARGS_EXIT_RULE "\n"

const char kTop[] =
    "depbase-cli - ask the model database through the exports of libdepbase\n"
    "\n"
    "Usage: depbase-cli query DATABASE KEY [--int I=V]... [--str I=S]... [--printer NAME] [--raw|--json]\n"
    "   or: depbase-cli explain DATABASE KEY [--int I=V]... [--str I=S]... [--printer NAME] [--raw|--json]\n"
    "   or: depbase-cli dump [--json]\n"
    "   or: depbase-cli help [COMMAND]\n"
    "\n"
    "Commands:\n"
    "  query    ask one key with a settings record, print the answer\n"
    "  explain  ask as query does, then print each step the engine took to the answer\n"
    "  dump     ask every key of every database with default records\n"
    "  help     this text, or the help of a command (also COMMAND --help)\n"
    "\n"
    "Options:\n"
    "  -h, --help     print the help and exit\n"
    "      --version  print the version and exit\n"
    "Options may stand anywhere after the command; '--' ends them. Values may follow as the\n"
    "next argument or after '=' (--printer=office).\n"
    "\n"
    "Examples:\n"
    "  depbase-cli query drv 0x1001 --int 28=9            printable width and length of A4\n"
    "  ZMD_PRINTER_DIR=samples/printers depbase-cli query drv 0x1018 --printer office\n"
    "  depbase-cli explain drv 0x1001 --int 28=9          which settings chose that answer\n"
    "  depbase-cli dump --json\n"
    "\n" CLI_ENVIRONMENT CLI_FILES CLI_EXIT_STATUS
    "See docs/keys.md for every key and docs/json.md for the JSON output.\n";

const char kQuery[] =
    "depbase-cli query - ask one key of the model database\n"
    "\n"
    "Usage: depbase-cli query DATABASE KEY [--int I=V]... [--str I=S]... [--printer NAME] [--raw|--json]\n"
    "\n"
    "Arguments:\n"
    "  DATABASE   root (keys 0x0001-0x0FFF), drv (0x1001-0x1FFF), lm (0x2001-0x2FFF),\n"
    "             mnt (0x3001-0x3FFF), pa (0x4001-0x4FFF) or sm (0x6001-0x6FFF)\n"
    "  KEY        the key, decimal or 0x hex (0x1003)\n"
    "\n"
    "Options:\n"
    "      --int I=V        integer setting I (0-255) is V (decimal or 0x hex, 32 bits); may repeat\n"
    "      --str I=S        string setting I (0-255) is S (may be empty); may repeat\n"
    "      --printer NAME   the printer whose stored values the rules may read (see Files below)\n"
    "      --raw            print the value's bytes as hex instead of decoding them\n"
    "      --json           print the answer as one JSON object (docs/json.md)\n"
    "  -h, --help           print this help and exit\n"
    "      --version        print the version and exit\n"
    "\n"
    "The record has the database's shape (root 1 string and 1 integer setting, drv 95 integers,\n"
    "lm 5 and 13, mnt 0 and 1, pa 0 and 4, sm 8 and 16), all 0 or empty unless set; a setting\n"
    "beyond the shape makes the record longer. When the rules of the key read a value stored\n"
    "with the printer and there is no printer, no such printer file or no such value, stderr\n"
    "says which file was looked for and which value name the key reads, with an example line.\n"
    "\n"
    "Examples:\n"
    "  depbase-cli query drv 0x1001 --int 28=9            printable width and length of A4\n"
    "  depbase-cli query root 0x001E --json               a text answer as JSON\n"
    "  depbase-cli query drv 0x1010 --raw                 an option list as hex\n"
    "  ZMD_PRINTER_DIR=samples/printers depbase-cli query drv 0x1018 --printer office\n"
    "\n" CLI_ENVIRONMENT CLI_FILES CLI_EXIT_STATUS;

const char kExplain[] =
    "depbase-cli explain - ask one key and show how the engine reached the answer\n"
    "\n"
    "Usage: depbase-cli explain DATABASE KEY [--int I=V]... [--str I=S]... [--printer NAME] [--raw|--json]\n"
    "\n"
    "Asks the key as query does (the same arguments, the same record, the same printer and\n"
    "country) and prints the answer exactly as query prints it. Then, under \"How:\", one line per\n"
    "step of the engine's own evaluation of that query, indented by the nesting of key walks:\n"
    "the key whose tree is walked; each selector with the setting (integer I, string I), the\n"
    "value stored with the printer (printer-data item N and its value name) or the country it\n"
    "read, and the value it found; the case that matched, the default taken, or that no case\n"
    "matched; the value the walk reached; each value extracted, a computed value with the\n"
    "settings it is made from; for option lists each item's walk of its per-choice keys and the\n"
    "default mark; for command sequences each part's walk; the end of each walk with its result;\n"
    "and last the answer. Lines carry the source position db/FILE.zdb:LINE where dbc knows it.\n"
    "The steps are reported by the evaluation that gives the answer, so they cannot disagree.\n"
    "\n"
    "Options:\n"
    "      --int I=V        integer setting I (0-255) is V (decimal or 0x hex, 32 bits); may repeat\n"
    "      --str I=S        string setting I (0-255) is S (may be empty); may repeat\n"
    "      --printer NAME   the printer whose stored values the rules may read (see Files below)\n"
    "      --raw            print the answer's bytes as hex instead of decoding them\n"
    "      --json           print the answer and the steps as one JSON object (docs/json.md)\n"
    "  -h, --help           print this help and exit\n"
    "      --version        print the version and exit\n"
    "\n"
    "Examples:\n"
    "  depbase-cli explain drv 0x1001 --int 28=9          the printable area of A4, and why\n"
    "  depbase-cli explain drv 0x100C --json              an option list item by item, as JSON\n"
    "  ZMD_PRINTER_DIR=samples/printers depbase-cli explain drv 0x1018 --printer office\n"
    "\n" CLI_ENVIRONMENT CLI_FILES CLI_EXIT_STATUS;

const char kDump[] = "depbase-cli dump - ask every key of every database\n"
                     "\n"
                     "Usage: depbase-cli dump [--json]\n"
                     "\n"
                     "Asks every key of the six databases with default records (every setting 0 or empty, no\n"
                     "printer), and for the driver database also the keys its list, sequence and parameter-set\n"
                     "queries answer. One line a key; keys that need a printer answer ZMD_BAD_RECORD.\n"
                     "\n"
                     "Options:\n"
                     "      --json     print a JSON array of answers, each as query --json prints it\n"
                     "  -h, --help     print this help and exit\n"
                     "      --version  print the version and exit\n"
                     "\n"
                     "Examples:\n"
                     "  depbase-cli dump | grep ZMD_OK\n"
                     "  depbase-cli dump --json > answers.json\n"
                     "\n"
                     "Exit status:\n"
                     "  0  every answer was printed (whatever the results)\n"
                     "  1  standard output could not be written\n"
                     "  2  usage error\n" ARGS_EXIT_RULE "\n" CLI_ENVIRONMENT;

} // namespace

const char *CliUsage(const std::string &topic)
{
    if (topic == "query") {
        return kQuery;
    }
    if (topic == "dump") {
        return kDump;
    }
    if (topic == "explain") {
        return kExplain;
    }
    return kTop;
}
