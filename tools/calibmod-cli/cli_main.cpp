// calibmod-cli: the driver engineer's tool around the calibration module.
#include <cstdio>
#include <cstring>

#include "args.h"
#include "cli.h"

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
                     "\n"
                     "  -h, --help   this text        --version   the version of the tools\n"
                     "\n"
                     "Run 'calibmod-cli COMMAND --help' for the arguments, options, examples and\n"
                     "exit status of a command.\n"
                     "\n"
                     "Exit status: 0 success; 1 the command ran but found a failure (a result code,\n"
                     "a damaged file, an unhealthy directory); 2 a bad command line or unreadable\n"
                     "input.\n";

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        return cli::usageError("", "no command given");
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kHelp, stdout);
        return cli::kOk;
    }
    if (command == "--version") {
        return ArgsPrintVersion("calibmod-cli");
    }
    if (command == "calibrate") {
        return cli::cmdCalibrate(args);
    }
    if (command == "inspect") {
        return cli::cmdInspect(args);
    }
    if (command == "list") {
        return cli::cmdList(args);
    }
    if (command == "check") {
        return cli::cmdCheck(args);
    }
    if (command == "plot") {
        return cli::cmdPlot(args);
    }
    if (command == "make-sample") {
        return cli::cmdMakeSample(args);
    }
    if (!command.empty() && command[0] == '-') {
        return cli::usageError("", "unknown option '" + command + "'");
    }
    return cli::usageError("", "unknown command '" + command + "'");
}
