// depbase benchmarks: each measures the shipped exports ("ours") and the floor
// of answering the same queries from a precomputed array ("baseline") in the
// same run; bench/run prints the ratio.
//
//   depbase.sweep          every export key of the shipped image, one record each
//   depbase.sweep.all      every export key with every record that answers
//   depbase.lists          the option-list keys of the driver database, one record each
//   depbase.list.0xNNNN    one option list with every record that answers
//   depbase.seq1018        command sequence 0x1018 (clock and printer data), every record
//   depbase.seq1019        command sequence 0x1019, every record
//   depbase.paramset       the parameter set (0x101E), every record
#include <benchmark/benchmark.h>

#include <cstdio>

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

// The floor of a list of queries: sweep queries look their answer up by
// database and key, full-sweep queries by their position.
void RunFloor(benchmark::State &state, std::vector<const SweepQuery *> queries)
{
    DepbaseSweep &s = Sweep();
    if (queries.empty()) {
        state.SkipWithError("no query answers ZMD_OK");
        return;
    }
    std::vector<uint32_t> ids;
    const std::vector<FloorEntry> *floor = &s.floor;
    for (const SweepQuery *q : queries) {
        const bool inFull = !s.full.empty() && q >= &s.full.front() && q <= &s.full.back();
        if (inFull) {
            floor = &s.fullFloor;
            ids.push_back(static_cast<uint32_t>(q - &s.full.front()));
        } else {
            ids.push_back(q->database << 16 | q->key);
        }
    }
    for (auto _ : state) {
        for (size_t i = 0; i < queries.size(); ++i) {
            ZMD_SettingsRecord rec = queries[i]->record;
            uint32_t size = 0;
            int32_t r =
                AskFloorById(*floor, ids[i], &rec, static_cast<uint32_t>(s.buffer.size()), s.buffer.data(), &size);
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
    for (const SweepQuery &q : s.queries) {
        all.push_back(&q);
    }
    Pair("depbase.sweep", all);
    std::vector<const SweepQuery *> every;
    for (const SweepQuery &q : s.full) {
        every.push_back(&q);
    }
    Pair("depbase.sweep.all", every);
    const std::vector<uint16_t> lists = {0x100C, 0x100D, 0x100E, 0x100F, 0x1010, 0x1011, 0x1012, 0x1013,
                                         0x1014, 0x1016, 0x1017, 0x104D, 0x104E, 0x1051, 0x1054};
    Pair("depbase.lists", s.only(lists));
    for (uint16_t key : lists) {
        char name[32];
        std::snprintf(name, sizeof name, "depbase.list.0x%04X", static_cast<unsigned>(key));
        // A list the shipped image does not answer (no record found) has no row.
        if (!s.fullOnly({key}).empty()) {
            Pair(name, s.fullOnly({key}));
        }
    }
    Pair("depbase.seq1018", s.fullOnly({0x1018}));
    Pair("depbase.seq1019", s.fullOnly({0x1019}));
    Pair("depbase.paramset", s.fullOnly({0x101E}));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
