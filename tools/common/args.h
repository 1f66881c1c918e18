// Command-line parsing shared by the tools.
//
// A tool describes the options a command takes and hands its arguments over:
//
//     static const ArgDef kQueryOptions[] = {
//         {"--int", nullptr, ARG_VALUE},      // --int I=V, --int=I=V; may repeat
//         {"--output", "-o", ARG_VALUE},      // -o FILE, -oFILE, --output FILE, --output=FILE
//         {"--json", nullptr, ARG_FLAG},
//     };
//     ParsedArgs p;
//     std::string error;
//     if (!ArgsParse(args, kQueryOptions, 3, &p, &error))
//         return ArgsUsageError("depbase-cli query", error);     // stderr, returns ARGS_EXIT_USAGE
//     if (p.help) { fputs(kQueryHelp, stdout); return 0; }
//     if (p.version) return ArgsPrintVersion("depbase-cli");     // stdout, returns 0
//     ArgsHas(p, "--json");                   // flag given?
//     ArgsLast(p, "--output", &path);         // last value given, false when absent
//     ArgsAll(p, "--int");                    // every value, in order
//     p.positionals;                          // the rest, in order
//
// Rules: options may stand anywhere among the positionals; "--" ends the
// options (everything after it is positional); a lone "-" is positional;
// "-h"/"--help" and "--version" are known to every command and win over any
// other error in the same arguments; a valued option takes the next argument
// whatever it looks like ("--str 1=-x"). Errors read "unknown option '--x'",
// "option --x needs a value", "option --x takes no value".
//
// For a tool with commands, ArgsSplitCommand takes the command word out
// first (the first positional, skipping the values of the valued options
// named in the union of all the commands' option tables), so "tool --json query ..."
// and "tool query --json ..." are the same.
#ifndef ZMD_TOOL_ARGS_H
#define ZMD_TOOL_ARGS_H

#include <cstddef>
#include <string>
#include <vector>

enum ArgKind {
    ARG_FLAG,
    ARG_VALUE
};

struct ArgDef {
    const char *name;      // "--json"; options are reported and looked up by this name
    const char *shortName; // "-o", or nullptr
    ArgKind kind;
};

struct ArgOption {
    std::string name;  // the option's long name, whichever spelling was used
    std::string value; // empty for a flag
};

struct ParsedArgs {
    std::vector<std::string> positionals;
    std::vector<ArgOption> options; // in the order given
    bool help = false;
    bool version = false;
};

// Exit status, the same in every tool: 0 success, 1 the command ran and
// found a failure (a result code, a damaged file, errors in a source), 2 a
// usage error or an input that cannot be read.
enum {
    ARGS_EXIT_OK = 0,
    ARGS_EXIT_FAILURE = 1,
    ARGS_EXIT_USAGE = 2
};

// The rule above in the words every tool's --help carries.
#define ARGS_EXIT_RULE                                                                                                 \
    "Every tool exits with 0 on success, 1 when the command ran and found a failure, and 2 for a\n"                    \
    "usage error or an input that cannot be read.\n"

// Parses args (argv without the program name, and without the command word
// once split). Returns false with *error for the first fault, unless help or
// version was asked for.
bool ArgsParse(const std::vector<std::string> &args, const ArgDef *argDefs, size_t argDefCount, ParsedArgs *out,
               std::string *error);

// Takes the command word out of args: *command is empty when there is none
// (only options, or nothing), *rest is every other argument in order.
void ArgsSplitCommand(const std::vector<std::string> &args, const ArgDef *argDefs, size_t argDefCount,
                      std::string *command, std::vector<std::string> *rest);

bool ArgsHas(const ParsedArgs &p, const char *name);
bool ArgsLast(const ParsedArgs &p, const char *name, std::string *value);
std::vector<std::string> ArgsAll(const ParsedArgs &p, const char *name);

// "1.0.0": the version of the tools, set once in the top CMakeLists.txt.
const char *ArgsVersion();
// Prints "<tool> <version>" on stdout; returns 0 (the exit status).
int ArgsPrintVersion(const char *tool);
// Prints "<tool>: <message>" and "Try '<tool> --help'." on stderr; returns
// ARGS_EXIT_USAGE. tool may hold the command ("depbase-cli query").
int ArgsUsageError(const std::string &tool, const std::string &message);

#endif // ZMD_TOOL_ARGS_H
