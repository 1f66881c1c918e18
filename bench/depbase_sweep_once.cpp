// One depbase sweep for an instruction count that does not depend on the
// machine's load: bench/run runs this under
//   valgrind --tool=callgrind --toggle-collect=RunSweepOnce
// so that only the sweep itself is counted, not building it.
#include <cstdio>

#include "depbase_sweep.h"

extern "C" __attribute__((noinline)) size_t RunSweepOnce(const std::vector<Call> *calls, std::vector<uint8_t> *buffer)
{
    return RunCalls(*calls, *buffer);
}

int main()
{
    DepbaseSweep sweep;
    if (!sweep.error.empty()) {
        std::fprintf(stderr, "depbase_sweep_once: %s\n", sweep.error.c_str());
        return 1;
    }
    const std::vector<Call> calls = sweep.ours(sweep.sweep);
    const size_t ok = RunSweepOnce(&calls, &sweep.buffer);
    std::printf("sweep: %zu of %zu queries answered ZMD_OK\n", ok, calls.size());
    return ok == calls.size() ? 0 : 1;
}
