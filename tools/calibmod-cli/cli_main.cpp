// calibmod-cli: the driver engineer's tool around the calibration module.
#include <cstdio>
#include <cstring>

#include "args.h"
#include "cli.h"
#include "tool_text.h"

namespace {

const char kHelp[] = "Usage: calibmod-cli COMMAND [ARGS]\n"
                     "\n"
                     "Commands:\n"
                     "  calibrate    call KZCalibration once with every argument given as an option\n"
                     "  inspect      show what a calibration data file holds (and how a copy differs)\n"
                     "  list         show the entries of a list file and the state of their copies\n"
                     "  check        the health of a calibration directory; --repair mends it\n"
                     "  plot         draw the correction curves of a file (or the built-in ones) as SVG\n"
                     "  make-sample  write a sample calibration data file\n"
                     "  help         this text, or the help of a command (help COMMAND)\n"
                     "\n"
                     "  -h, --help   this text        --version   the version of the tools\n"
                     "\n"
                     "Run 'calibmod-cli help COMMAND' (or 'calibmod-cli COMMAND --help') for the\n"
                     "arguments, options, examples and exit status of a command. Where a command\n"
                     "reads a file, '-' is standard input; where it writes one, standard output.\n"
                     "\n"
                     "Exit status: 0 success; 1 the command ran but found a failure (a result code,\n"
                     "a damaged file, an unhealthy directory); 2 a bad command line or unreadable\n"
                     "input.\n" ARGS_EXIT_RULE;

typedef int (*Command)(const std::vector<std::string> &args);

struct CommandEntry {
    const char *name;
    Command run;
};

const CommandEntry kCommands[] = {
    {"calibrate", cli::cmdCalibrate}, {"inspect", cli::cmdInspect}, {"list", cli::cmdList},
    {"check", cli::cmdCheck},         {"plot", cli::cmdPlot},       {"make-sample", cli::cmdMakeSample},
};

const CommandEntry *findCommand(const std::string &name)
{
    for (const CommandEntry &c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        return cli::usageError("", "no command given");
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "help" && !args.empty()) {
        const CommandEntry *topic = findCommand(args[0]);
        if (topic == nullptr || args.size() > 1) {
            return cli::usageError("", topic == nullptr ? "no help on '" + ToolEscape(args[0]) + "'"
                                                        : "help takes one COMMAND");
        }
        return topic->run({"--help"});
    }
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kHelp, stdout);
        return cli::kOk;
    }
    if (command == "--version") {
        return ArgsPrintVersion("calibmod-cli");
    }
    if (const CommandEntry *c = findCommand(command)) {
        return c->run(args);
    }
    if (!command.empty() && command[0] == '-') {
        return cli::usageError("", "unknown option '" + ToolEscape(command) + "'");
    }
    return cli::usageError("", "unknown command '" + ToolEscape(command) + "'");
}
