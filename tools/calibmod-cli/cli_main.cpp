// calibmod-cli: the driver engineer's tool around the calibration module.
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace {

const char kHelp[] =
    "Usage: calibmod-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  calibrate    call KZCalibration once with every argument given as an option\n"
    "  inspect      show what a calibration data file holds (and how a copy differs)\n"
    "  list         show the entries of a list file and the state of their copies\n"
    "  make-sample  write a sample calibration data file\n"
    "\n"
    "Run 'calibmod-cli COMMAND --help' for the options of a command.\n";

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) return cli::usageError("", "no command given");
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kHelp, stdout);
        return cli::kOk;
    }
    if (command == "calibrate") return cli::cmdCalibrate(args);
    if (command == "inspect") return cli::cmdInspect(args);
    if (command == "list") return cli::cmdList(args);
    if (command == "make-sample") return cli::cmdMakeSample(args);
    return cli::usageError("", "unknown command '" + command + "'");
}
