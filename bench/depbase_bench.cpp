// depbase benchmarks: each measures the shipped exports ("ours") and the floor
// of answering the same queries from a precomputed array ("baseline") in the
// same run; bench/run prints the ratio.
//
//   depbase.sweep      every export key of the shipped image, one call each
//   depbase.lists      the option-list keys of the driver database
//   depbase.seq1018    command sequence 0x1018
//   depbase.seq1019    command sequence 0x1019
//   depbase.paramset   the parameter set (0x101E)
#include <benchmark/benchmark.h>

#include "depbase_sweep.h"

namespace {

DepbaseSweep &Sweep()
{
    static DepbaseSweep sweep;
    return sweep;
}

void RunOurs(benchmark::State &state, std::vector<const SweepQuery *> queries)
{
    DepbaseSweep &s = Sweep();
    if (queries.empty()) {
        state.SkipWithError("no query answers ZMD_OK");
        return;
    }
    for (auto _ : state) {
        for (const SweepQuery *q : queries) {
            int32_t r = AskExport(*q, s.buffer);
            benchmark::DoNotOptimize(r);
        }
        benchmark::ClobberMemory();
    }
    state.counters["queries"] = static_cast<double>(queries.size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * queries.size()));
}

void RunFloor(benchmark::State &state, std::vector<const SweepQuery *> queries)
{
    DepbaseSweep &s = Sweep();
    if (queries.empty()) {
        state.SkipWithError("no query answers ZMD_OK");
        return;
    }
    for (auto _ : state) {
        for (const SweepQuery *q : queries) {
            ZMD_SettingsRecord rec = q->record;
            uint32_t size = 0;
            int32_t r = AskFloor(s.floor, q->database, q->key, &rec, static_cast<uint32_t>(s.buffer.size()),
                                 s.buffer.data(), &size);
            benchmark::DoNotOptimize(r);
        }
        benchmark::ClobberMemory();
    }
    state.counters["queries"] = static_cast<double>(queries.size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * queries.size()));
}

void Pair(const char *name, const std::vector<const SweepQuery *> &queries)
{
    const std::string base = name;
    benchmark::RegisterBenchmark((base + "/ours").c_str(), RunOurs, queries);
    benchmark::RegisterBenchmark((base + "/baseline").c_str(), RunFloor, queries);
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    DepbaseSweep &s = Sweep();
    std::vector<const SweepQuery *> all;
    for (const SweepQuery &q : s.queries)
        all.push_back(&q);
    Pair("depbase.sweep", all);
    Pair("depbase.lists", s.only({0x100C, 0x100D, 0x100E, 0x100F, 0x1010, 0x1011, 0x1012, 0x1013, 0x1014, 0x1016,
                                  0x1017, 0x104D, 0x104E, 0x1051, 0x1054}));
    Pair("depbase.seq1018", s.only({0x1018}));
    Pair("depbase.seq1019", s.only({0x1019}));
    Pair("depbase.paramset", s.only({0x101E}));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
