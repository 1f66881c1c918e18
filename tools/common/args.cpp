// Command-line parsing shared by the tools.
#include <cstdio>

#include "args.h"

#ifndef ZMD_TOOLS_VERSION
#error "ZMD_TOOLS_VERSION is set by tools/common/CMakeLists.txt"
#endif

namespace {

const ArgDef *FindLong(const std::string &name, const ArgDef *argDefs, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (name == argDefs[i].name) {
            return &argDefs[i];
        }
    }
    return nullptr;
}

const ArgDef *FindShort(const std::string &arg, const ArgDef *argDefs, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const char *s = argDefs[i].shortName;
        if (s && arg.compare(0, 2, s) == 0) {
            return &argDefs[i];
        }
    }
    return nullptr;
}

bool IsOption(const std::string &a)
{
    return a.size() > 1 && a[0] == '-';
}

} // namespace

bool ArgsParse(const std::vector<std::string> &args, const ArgDef *argDefs, size_t argDefCount, ParsedArgs *out,
               std::string *error)
{
    *out = ParsedArgs();
    std::string first;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (optionsEnded || !IsOption(a)) {
            out->positionals.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            out->help = true;
            continue;
        }
        if (a == "--version") {
            out->version = true;
            continue;
        }
        std::string fault;
        if (a.compare(0, 2, "--") == 0) {
            size_t eq = a.find('=');
            std::string name = a.substr(0, eq);
            const ArgDef *argDef = FindLong(name, argDefs, argDefCount);
            if (!argDef) {
                fault = "unknown option '" + name + "'";
            } else if (argDef->kind == ARG_FLAG) {
                if (eq != std::string::npos) {
                    fault = "option " + name + " takes no value";
                } else {
                    out->options.push_back({argDef->name, std::string()});
                }
            } else if (eq != std::string::npos) {
                out->options.push_back({argDef->name, a.substr(eq + 1)});
            } else if (i + 1 < args.size()) {
                out->options.push_back({argDef->name, args[++i]});
            } else {
                fault = "option " + name + " needs a value";
            }
        } else {
            const ArgDef *argDef = FindShort(a, argDefs, argDefCount);
            std::string name = a.substr(0, 2);
            if (!argDef || (argDef->kind == ARG_FLAG && a.size() > 2)) {
                fault = "unknown option '" + (argDef ? a : name) + "'";
            } else if (argDef->kind == ARG_FLAG) {
                out->options.push_back({argDef->name, std::string()});
            } else if (a.size() > 2) {
                out->options.push_back({argDef->name, a.substr(2)});
            } else if (i + 1 < args.size()) {
                out->options.push_back({argDef->name, args[++i]});
            } else {
                fault = "option " + name + " needs a value";
            }
        }
        if (!fault.empty() && first.empty()) {
            first = fault;
        }
    }
    if (!first.empty() && !out->help && !out->version) {
        *error = first;
        return false;
    }
    return true;
}

void ArgsSplitCommand(const std::vector<std::string> &args, const ArgDef *argDefs, size_t argDefCount,
                      std::string *command, std::vector<std::string> *rest)
{
    command->clear();
    rest->clear();
    size_t at = args.size();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--") {
            break;
        }
        if (!IsOption(a)) {
            at = i;
            break;
        }
        if (a.compare(0, 2, "--") == 0) {
            const ArgDef *argDef = FindLong(a, argDefs, argDefCount); // no '=': the value follows
            if (argDef && argDef->kind == ARG_VALUE) {
                ++i;
            }
        } else {
            const ArgDef *argDef = FindShort(a, argDefs, argDefCount);
            if (argDef && argDef->kind == ARG_VALUE && a.size() == 2) {
                ++i;
            }
        }
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (i == at) {
            *command = args[i];
        } else {
            rest->push_back(args[i]);
        }
    }
}

bool ArgsHas(const ParsedArgs &p, const char *name)
{
    for (const ArgOption &o : p.options) {
        if (o.name == name) {
            return true;
        }
    }
    return false;
}

bool ArgsLast(const ParsedArgs &p, const char *name, std::string *value)
{
    bool found = false;
    for (const ArgOption &o : p.options) {
        if (o.name == name) {
            *value = o.value;
            found = true;
        }
    }
    return found;
}

std::vector<std::string> ArgsAll(const ParsedArgs &p, const char *name)
{
    std::vector<std::string> values;
    for (const ArgOption &o : p.options) {
        if (o.name == name) {
            values.push_back(o.value);
        }
    }
    return values;
}

const char *ArgsVersion()
{
    return ZMD_TOOLS_VERSION;
}

int ArgsPrintVersion(const char *tool)
{
    std::printf("%s %s\n", tool, ArgsVersion());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int ArgsUsageError(const std::string &tool, const std::string &message)
{
    size_t space = tool.find(' ');
    std::string program = tool.substr(0, space);
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), message.c_str(), tool.c_str());
    return ARGS_EXIT_USAGE;
}
