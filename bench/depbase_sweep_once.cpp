// One depbase sweep for an instruction count that does not depend on the
// machine's load: bench/run runs this under
//   valgrind --tool=callgrind --toggle-collect=RunSweepOnce
// so that only the sweep itself is counted, not building it. With a key
// (hex, e.g. 0x1011) it runs every record found for that key instead: the
// rows of the option lists, the sequences and the parameter set.
#include <cstdio>
#include <cstdlib>

#include "depbase_sweep.h"

extern "C" __attribute__((noinline)) size_t RunSweepOnce(const std::vector<Call> *calls, std::vector<uint8_t> *buffer)
{
    return RunCalls(*calls, *buffer);
}

int main(int argc, char **argv)
{
    DepbaseSweep sweep;
    if (!sweep.error.empty()) {
        std::fprintf(stderr, "depbase_sweep_once: %s\n", sweep.error.c_str());
        return 1;
    }
    const std::vector<Call> calls =
        argc > 1 ? sweep.ours(sweep.everyOf(static_cast<uint16_t>(std::strtoul(argv[1], nullptr, 16))))
                 : sweep.ours(sweep.sweep);
    const size_t ok = RunSweepOnce(&calls, &sweep.buffer);
    std::printf("sweep: %zu of %zu queries answered ZMD_OK\n", ok, calls.size());
    return ok == calls.size() ? 0 : 1;
}
