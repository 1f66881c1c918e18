// calibmod-cli make-sample: writes a sample calibration data file.
#include <cstdio>

#include "args.h"
#include "cli.h"
#include "tool_io.h"
#include "sample_build.h"

namespace cli {

namespace {

const char kHelp[] = "Usage: calibmod-cli make-sample [options] OUT\n"
                     "\n"
                     "Writes a calibration data file to OUT ('-': standard output): all 30 KZDB\n"
                     "table databases over the three record layouts, naming KZHT curve tables in\n"
                     "plain and tagged form, the nine with built-in curves first, then tables\n"
                     "without. The same options always write the same bytes (samples/Table0.dat is\n"
                     "the default sample).\n"
                     "\n"
                     "  --ident TEXT     the identification string (default \"KZ-CAL SAMPLE 1\")\n"
                     "  --kzht N         number of KZHT tables, 1 to 255 (default 13)\n"
                     "  --size MIB       pad with tables the module does not read to at least MIB\n"
                     "                   MiB, 1 to 1024\n"
                     "  --shared         one directory for both table kinds (default: two)\n"
                     "  --large          a file to benchmark with: --kzht 200 --size 32\n"
                     "  -h, --help       this text\n"
                     "      --version    the version of the tools\n"
                     "\n"
                     "Example:\n"
                     "  calibmod-cli make-sample --kzht 20 /tmp/Sample0.dat\n"
                     "\n"
                     "Exit status: 0 when OUT was written; 1 when it cannot be written; 2 for a\n"
                     "bad command line.\n";

} // namespace

int cmdMakeSample(const std::vector<std::string> &args)
{
    static const ArgDef kOptions[] = {
        {"--ident", nullptr, ARG_VALUE}, {"--kzht", nullptr, ARG_VALUE}, {"--size", nullptr, ARG_VALUE},
        {"--shared", nullptr, ARG_FLAG}, {"--large", nullptr, ARG_FLAG},
    };
    ParsedArgs p;
    std::string error;
    if (!ArgsParse(args, kOptions, sizeof kOptions / sizeof kOptions[0], &p, &error)) {
        return usageError("make-sample", error);
    }
    if (p.help) {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (p.version) {
        return ArgsPrintVersion("calibmod-cli");
    }
    sample::Options o;
    for (const ArgOption &opt : p.options) {
        const std::string &a = opt.name, &v = opt.value;
        int64_t n = 0;
        if (a == "--large") {
            o.kzhtTables = 200;
            o.minSizeMiB = 32;
        } else if (a == "--shared") {
            o.sharedDirectory = true;
        } else if (a == "--ident") {
            o.ident = v;
        } else if (a == "--kzht") {
            if (!parseNumber(v, 1, sample::kMaxKzhtTables, &n)) {
                return usageError("make-sample", "--kzht: '" + v + "' is not a number from 1 to 255");
            }
            o.kzhtTables = static_cast<int>(n);
        } else if (a == "--size") {
            if (!parseNumber(v, 1, sample::kMaxSizeMiB, &n)) {
                return usageError("make-sample", "--size: '" + v + "' is not a number from 1 to 1024");
            }
            o.minSizeMiB = static_cast<int>(n);
        }
    }
    if (p.positionals.size() > 1) {
        return usageError("make-sample", "more than one OUT given");
    }
    const std::string out = p.positionals.empty() ? std::string() : p.positionals[0];
    if (out.empty()) {
        return usageError("make-sample", "no OUT file given");
    }
    kzfile::Bytes bytes = sample::build(o);
    if (!writeOutput(out, std::string(bytes.begin(), bytes.end()))) {
        return kFailed;
    }
    std::fprintf(ToolIsStdio(out) ? stderr : stdout, "wrote %s: %zu bytes, %d KZHT tables\n", out.c_str(), bytes.size(),
                 o.kzhtTables);
    return kOk;
}

} // namespace cli
