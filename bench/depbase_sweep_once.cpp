// One depbase sweep for an instruction count that does not depend on the
// machine's load: bench/run runs this under
//   valgrind --tool=callgrind --toggle-collect=RunSweepOnce
// so that only the sweep itself is counted, not building it.
#include <cstdio>

#include "depbase_sweep.h"

extern "C" __attribute__((noinline)) int RunSweepOnce(const DepbaseSweep *s, std::vector<uint8_t> *buffer)
{
    int ok = 0;
    for (const SweepQuery &q : s->queries) {
        ok += AskExport(q, *buffer) == ZMD_OK;
    }
    return ok;
}

int main()
{
    DepbaseSweep sweep;
    const int ok = RunSweepOnce(&sweep, &sweep.buffer);
    std::printf("sweep: %d of %zu queries answered ZMD_OK\n", ok, sweep.queries.size());
    return ok == static_cast<int>(sweep.queries.size()) ? 0 : 1;
}
