// dbc: compiles the database sources into the image, prints images back as
// trees and writes the key catalogue.
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "dbc.h"
#include "dbc_catalogue.h"
#include "dbc_diff.h"
#include "tool_io.h"

namespace {

#define DBC_EXIT_STATUS                                                                                                \
    "Exit status:\n"                                                                                                   \
    "  0  success\n"                                                                                                   \
    "  1  the sources have errors (FILE:LINE: message on stderr, in line order, at most 20), or the\n"                 \
    "     output cannot be written\n"                                                                                  \
    "  2  usage error, or a source file cannot be read\n"

const char kUsage[] =
    "dbc - the database compiler of depbase\n"
    "\n"
    "Usage: dbc compile [-o OUT.cpp] FILE.zdb...\n"
    "   or: dbc check FILE.zdb...\n"
    "   or: dbc print [-o OUT] FILE.zdb...\n"
    "   or: dbc catalogue [-o OUT.md] FILE.zdb...\n"
    "   or: dbc validate FILE.zdb...\n"
    "   or: dbc lines [-o OUT.cpp] FILE.zdb...\n"
    "   or: dbc diff [--json] OLD NEW\n"
    "   or: dbc help [COMMAND]\n"
    "\n"
    "Commands:\n"
    "  compile    check the sources and write the image as C++\n"
    "  check      check the sources only\n"
    "  print      print the image as trees\n"
    "  catalogue  write the Markdown catalogue of every key\n"
    "  validate   check the sources and every table and tree of their image\n"
    "  lines      write the source line of every node and key as C++ (depbase-cli explain)\n"
    "  diff       the keys whose answers differ between two databases\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE  write to FILE instead of standard output (compile, print, catalogue,\n"
    "                     lines); '-' is standard output\n"
    "  -h, --help         print the help (of a command: dbc COMMAND --help) and exit\n"
    "      --version      print the version and exit\n"
    "Sources are compiled together in the order given; a source '-' is standard input. Options\n"
    "may stand anywhere after the command; '--' ends them.\n"
    "\n"
    "Examples:\n"
    "  dbc check src/zmd/zmdapi/depbase/db/*.zdb\n"
    "  dbc print tools/dbc/examples/example.zdb\n"
    "  dbc diff old/db src/zmd/zmdapi/depbase/db\n"
    "\n" DBC_EXIT_STATUS "  (dbc diff: 0 the databases answer the same, 1 they differ, 2 usage error or a\n"
    "  database that cannot be read or has errors)\n" ARGS_EXIT_RULE "\n"
    "Files:\n"
    "  src/zmd/zmdapi/depbase/db/*.zdb   the database sources; FORMAT.md there describes them\n"
    "  tools/dbc/examples/example.zdb    a small complete example of the format\n";

struct CommandHelp {
    const char *name;
    const char *text;
};

const CommandHelp kCommands[] = {
    {"compile", "dbc compile - check the database sources and write the image as C++\n"
                "\n"
                "Usage: dbc compile [-o OUT.cpp] FILE.zdb...\n"
                "\n"
                "Compiles the sources together, in the order given, and writes the image as C++ source\n"
                "(image_data.cpp of depbase). Errors are reported as FILE:LINE: message on stderr.\n"
                "\n"
                "Options:\n"
                "  -o, --output FILE  write to FILE instead of standard output ('-' too)\n"
                "  -h, --help         print this help and exit\n"
                "      --version      print the version and exit\n"
                "\n"
                "Examples:\n"
                "  dbc compile -o image_data.cpp src/zmd/zmdapi/depbase/db/*.zdb\n"
                "\n" DBC_EXIT_STATUS},
    {"check", "dbc check - check the database sources\n"
              "\n"
              "Usage: dbc check FILE.zdb...\n"
              "\n"
              "Compiles the sources together, in the order given, and writes nothing. Errors are reported\n"
              "as FILE:LINE: message on stderr.\n"
              "\n"
              "Options:\n"
              "  -h, --help     print this help and exit\n"
              "      --version  print the version and exit\n"
              "\n"
              "Examples:\n"
              "  dbc check src/zmd/zmdapi/depbase/db/*.zdb\n"
              "  dbc check tools/dbc/examples/example.zdb\n"
              "\n" DBC_EXIT_STATUS},
    {"print", "dbc print - print a database image as trees\n"
              "\n"
              "Usage: dbc print [-o OUT] FILE.zdb...\n"
              "\n"
              "Prints the image compiled from the sources as .zdb text that compiles to the same image.\n"
              "\n"
              "Options:\n"
              "  -o, --output FILE  write to FILE instead of standard output ('-' too)\n"
              "  -h, --help         print this help and exit\n"
              "      --version      print the version and exit\n"
              "\n"
              "Examples:\n"
              "  dbc print src/zmd/zmdapi/depbase/db/*.zdb | less\n"
              "  dbc print tools/dbc/examples/example.zdb\n"
              "\n" DBC_EXIT_STATUS},
    {"catalogue", "dbc catalogue - write the Markdown catalogue of every key\n"
                  "\n"
                  "Usage: dbc catalogue [-o OUT.md] FILE.zdb...\n"
                  "\n"
                  "Compiles the sources and writes every key with the settings that choose its answers and the\n"
                  "answers themselves, as Markdown (docs/keys.md).\n"
                  "\n"
                  "Options:\n"
                  "  -o, --output FILE  write to FILE instead of standard output ('-' too)\n"
                  "  -h, --help         print this help and exit\n"
                  "      --version      print the version and exit\n"
                  "\n"
                  "Examples:\n"
                  "  dbc catalogue -o docs/keys.md src/zmd/zmdapi/depbase/db/*.zdb\n"
                  "\n" DBC_EXIT_STATUS},
    {"lines", "dbc lines - write the source line of every node and key of the image as C++\n"
              "\n"
              "Usage: dbc lines [-o OUT.cpp] FILE.zdb...\n"
              "\n"
              "Compiles the sources and writes, for every node and every key of their image, the file\n"
              "and line it was written on, as the C++ table depbase-cli explain names source positions\n"
              "by (tools/depbase-cli/source_lines.cpp). The table is the tool's; the image and the\n"
              "libraries do not carry it.\n"
              "\n"
              "Options:\n"
              "  -o, --output FILE  write to FILE instead of standard output ('-' too)\n"
              "  -h, --help         print this help and exit\n"
              "      --version      print the version and exit\n"
              "\n"
              "Examples:\n"
              "  dbc lines src/zmd/zmdapi/depbase/db/*.zdb | head\n"
              "\n" DBC_EXIT_STATUS},
    {"validate", "dbc validate - check the image of the database sources\n"
                 "\n"
                 "Usage: dbc validate FILE.zdb...\n"
                 "\n"
                 "Compiles the sources and checks every table and tree of their image with the validator of\n"
                 "the image format (the one the library's tests use), and says so when it is sound. dbc\n"
                 "carries no image of its own: it writes the one depbase is built with.\n"
                 "\n"
                 "Options:\n"
                 "  -h, --help     print this help and exit\n"
                 "      --version  print the version and exit\n"
                 "\n"
                 "Examples:\n"
                 "  dbc validate src/zmd/zmdapi/depbase/db/*.zdb\n"
                 "\n"
                 "Exit status:\n"
                 "  0  the image is sound\n"
                 "  1  faults found (listed on stderr)\n"
                 "  2  usage error, or a source file cannot be read\n" ARGS_EXIT_RULE},
    {"diff",
     "dbc diff - the keys whose answers differ between two databases\n"
     "\n"
     "Usage: dbc diff [--json] OLD NEW\n"
     "\n"
     "OLD and NEW are databases: a folder (every *.zdb in it, in name order, compiled together, as\n"
     "src/zmd/zmdapi/depbase/db) or one .zdb file ('-': standard input). Both are compiled, and every\n"
     "key is asked through the engine on both images with the same settings: one set of settings\n"
     "for every way through the key's trees in either database (its own tree, the trees of the keys\n"
     "a driver list reads, the parts of a command sequence, the rows of the parameter set), as the\n"
     "catalogue chooses them (settings not named are 0 or empty; the printer stores the named\n"
     "value, or nothing; the clock and the country are fixed).\n"
     "\n"
     "For each key whose answers differ it prints 'changed DATABASE KEY' and, for each difference,\n"
     "the fewest settings that show it and the old and new answers decoded (numbers, text, list\n"
     "items, command bytes; for command bytes and lists only the lines that differ, '-' old and\n"
     "'+' new); 'added' and 'removed' for keys only one database has; then a summary line. Nothing\n"
     "is printed when the databases answer the same.\n"
     "\n"
     "Options:\n"
     "      --json     print one JSON object instead, also when nothing differs (docs/json.md)\n"
     "  -h, --help     print this help and exit\n"
     "      --version  print the version and exit\n"
     "\n"
     "Examples:\n"
     "  dbc diff src/zmd/zmdapi/depbase/db src/zmd/zmdapi/depbase/db\n"
     "  dbc diff --json old/db src/zmd/zmdapi/depbase/db\n"
     "\n"
     "Exit status:\n"
     "  0  the databases answer the same\n"
     "  1  some answers differ, or keys were added or removed\n"
     "  2  usage error, or a database cannot be read or has errors (FILE:LINE: message on stderr)\n" ARGS_EXIT_RULE},
};

const ArgDef kOutputArgDef[] = {{"--output", "-o", ARG_VALUE}};
const ArgDef kDiffArgDef[] = {{"--json", nullptr, ARG_FLAG}};

const CommandHelp *FindCommand(const std::string &name)
{
    for (const CommandHelp &c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

bool WriteOut(const std::string &path, const std::string &text)
{
    std::string error;
    if (!ToolWriteOutput(path.empty() ? "-" : path, text, &error)) {
        std::fprintf(stderr, "dbc: %s\n", error.c_str());
        return false;
    }
    return true;
}

std::string BaseName(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads and compiles the sources; the exit status when that fails (a source
// that cannot be read is unreadable input), else 0.
int Compile(const std::vector<std::string> &files, DbcImage *img)
{
    std::string diagnostics;
    std::vector<DbcSource> sources;
    if (!DbcReadSources(files, &sources, &diagnostics)) {
        std::fputs(diagnostics.c_str(), stderr);
        return ARGS_EXIT_USAGE;
    }
    bool ok = DbcCompile(sources, img, &diagnostics);
    std::fputs(diagnostics.c_str(), stderr);
    return ok ? 0 : ARGS_EXIT_FAILURE;
}

// dbc diff OLD NEW [--json]: 0 the same, 1 differences, 2 usage or unreadable input.
int Diff(const std::vector<std::string> &args)
{
    ParsedArgs p;
    std::string error;
    if (!ArgsParse(args, kDiffArgDef, 1, &p, &error)) {
        return ArgsUsageError("dbc diff", error);
    }
    if (p.help) {
        std::fputs(FindCommand("diff")->text, stdout);
        return 0;
    }
    if (p.version) {
        return ArgsPrintVersion("dbc");
    }
    if (p.positionals.size() != 2) {
        return ArgsUsageError("dbc diff", "diff needs two databases, OLD and NEW");
    }
    if (p.positionals[0] == "-" && p.positionals[1] == "-") {
        return ArgsUsageError("dbc diff", "standard input can be only one of the databases");
    }
    DbcImage images[2];
    for (int i = 0; i < 2; ++i) {
        std::string diagnostics;
        if (!DbcLoadDatabase(p.positionals[static_cast<size_t>(i)], &images[i], &diagnostics)) {
            std::fputs(diagnostics.c_str(), stderr);
            return ARGS_EXIT_USAGE;
        }
    }
    ZMD_ImageView views[2];
    DbcMakeView(images[0], &views[0]);
    DbcMakeView(images[1], &views[1]);
    DbcDiff diff;
    DbcDiffImages(views[0], views[1], &diff);
    std::string report =
        ArgsHas(p, "--json") ? DbcDiffJson(diff, p.positionals[0], p.positionals[1]) : DbcDiffText(diff);
    std::fputs(report.c_str(), stdout);
    return diff.keys.empty() ? ARGS_EXIT_OK : ARGS_EXIT_FAILURE;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string command;
    std::vector<std::string> rest;
    ArgsSplitCommand(args, kOutputArgDef, 1, &command, &rest);
    const CommandHelp *help = FindCommand(command);
    ParsedArgs p;
    std::string error;
    if (!help) {
        if (!ArgsParse(rest, nullptr, 0, &p, &error)) {
            return ArgsUsageError("dbc", error);
        }
        if (p.version && !p.help) {
            return ArgsPrintVersion("dbc");
        }
        if ((command.empty() && p.help) || command == "help") {
            const CommandHelp *topic = p.positionals.empty() ? nullptr : FindCommand(p.positionals[0]);
            if (!p.positionals.empty() && !topic) {
                return ArgsUsageError("dbc", "no help on '" + p.positionals[0] + "'");
            }
            std::fputs(topic ? topic->text : kUsage, stdout);
            return 0;
        }
        return ArgsUsageError("dbc", command.empty() ? "no command given" : "unknown command '" + command + "'");
    }
    if (command == "diff") {
        return Diff(rest);
    }
    bool takesOutput = command == "compile" || command == "print" || command == "catalogue" || command == "lines";
    if (!ArgsParse(rest, kOutputArgDef, takesOutput ? 1 : 0, &p, &error)) {
        return ArgsUsageError("dbc " + command, error);
    }
    if (p.help) {
        std::fputs(help->text, stdout);
        return 0;
    }
    if (p.version) {
        return ArgsPrintVersion("dbc");
    }
    std::string outPath;
    ArgsLast(p, "--output", &outPath);
    const std::vector<std::string> &files = p.positionals;
    bool needFiles = command == "compile" || command == "check" || command == "catalogue" || command == "print" ||
                     command == "validate" || command == "lines";
    if (needFiles && files.empty()) {
        return ArgsUsageError("dbc " + command, command + " needs source files");
    }
    if (command == "compile" || command == "check" || command == "validate" || command == "lines") {
        DbcImage img;
        if (int status = Compile(files, &img)) {
            return status;
        }
        if (command == "check") {
            return 0;
        }
        if (command == "validate") {
            // Compile validated the image; say so.
            std::puts("dbc: the image is sound");
            return 0;
        }
        std::string origin;
        for (const std::string &f : files) {
            origin += (origin.empty() ? "" : ", ") + BaseName(f);
        }
        return WriteOut(outPath, command == "lines" ? DbcWriteLines(img, origin) : DbcWriteCpp(img, origin)) ? 0 : 1;
    }
    if (command == "print") {
        ZMD_ImageView view;
        DbcImage img;
        if (int status = Compile(files, &img)) {
            return status;
        }
        DbcMakeView(img, &view);
        return WriteOut(outPath, DbcPrintView(view)) ? 0 : 1;
    }
    if (command == "catalogue") {
        DbcImage img;
        if (int status = Compile(files, &img)) {
            return status;
        }
        ZMD_ImageView view;
        DbcMakeView(img, &view);
        std::string md;
        if (!DbcWriteCatalogue(view, &md)) {
            std::fputs(md.c_str(), stderr);
            return 1;
        }
        return WriteOut(outPath, md) ? 0 : 1;
    }
    return ArgsUsageError("dbc", "unknown command '" + command + "'");
}
