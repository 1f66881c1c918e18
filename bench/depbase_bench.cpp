// depbase benchmarks: each row asks a set of queries through the exports of
// libdepbase.so ("ours") and through the floor, a function that hands out
// the same answers precomputed ("floor": one indirect call, an array index,
// a copy), in alternating pairs so that a loaded machine slows both sides.
//
//   depbase.sweep          every export key, up to 4 records each that reach
//                          different value nodes of its tree
//   depbase.sweep.DB       the same, one database (root drv lm mnt pa sm)
//   depbase.list.0xNNNN    one option list, every answering record
//   depbase.seq1018        command sequence 0x1018 (clock and printer store)
//   depbase.seq1019        command sequence 0x1019
//   depbase.paramset       the parameter set 0x101E
//
// Benchmarks are named ROW/ours/pN and ROW/floor/pN and run in the order
// pair 0 of every row, pair 1 of every row, ...; bench/run prints the table.
//
//   depbase_bench [--pairs=N] [Google Benchmark options]   (N: 11 by default)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "depbase_sweep.h"

namespace {

struct Row {
    std::string name;
    std::vector<Call> ours, floor;
};

void Run(benchmark::State &state, const std::vector<Call> *calls, std::vector<uint8_t> *buffer)
{
    const Call *c = calls->data();
    const size_t n = calls->size();
    uint8_t *buf = buffer->data();
    const uint32_t cb = static_cast<uint32_t>(buffer->size());
    for (auto _ : state) {
        for (size_t i = 0; i < n; ++i) {
            uint32_t size = 0;
            int32_t r = c[i].fn(c[i].key, c[i].record, cb, buf, &size);
            benchmark::DoNotOptimize(r);
        }
        benchmark::ClobberMemory();
    }
    state.counters["queries"] = static_cast<double>(n);
}

// Takes --pairs=N out of the arguments.
int TakePairs(int *argc, char **argv)
{
    int pairs = 11;
    int out = 1;
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp(argv[i], "--pairs=", 8) == 0) {
            pairs = std::atoi(argv[i] + 8);
        } else {
            argv[out++] = argv[i];
        }
    }
    *argc = out;
    return pairs > 0 ? pairs : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const int pairs = TakePairs(&argc, argv);
    benchmark::Initialize(&argc, argv);
    static DepbaseSweep s;
    if (!s.error.empty()) {
        std::fprintf(stderr, "depbase_bench: %s\n", s.error.c_str());
        return 1;
    }

    static std::vector<Row> rows;
    const auto add = [&](const std::string &name, const std::vector<size_t> &positions) {
        // A set without records (a list no record makes the image answer) has no row.
        if (!positions.empty()) {
            rows.push_back({name, s.ours(positions), s.floor(positions)});
        }
    };
    add("depbase.sweep", s.sweep);
    const std::pair<const char *, uint32_t> databases[] = {{"root", ZMD_DB_ROOT}, {"drv", ZMD_DB_DRV},
                                                           {"lm", ZMD_DB_LM},     {"mnt", ZMD_DB_MNT},
                                                           {"pa", ZMD_DB_PA},     {"sm", ZMD_DB_SM}};
    for (const auto &db : databases) {
        add(std::string("depbase.sweep.") + db.first, s.sweepOf(db.second));
    }
    const uint16_t lists[] = {0x100C, 0x100D, 0x100E, 0x100F, 0x1010, 0x1011, 0x1012, 0x1013,
                              0x1014, 0x1016, 0x1017, 0x104D, 0x104E, 0x1051, 0x1054};
    for (uint16_t key : lists) {
        char name[32];
        std::snprintf(name, sizeof name, "depbase.list.0x%04X", static_cast<unsigned>(key));
        add(name, s.everyOf(key));
    }
    add("depbase.seq1018", s.everyOf(0x1018));
    add("depbase.seq1019", s.everyOf(0x1019));
    add("depbase.paramset", s.everyOf(0x101E));

    // Both sides answer every query before anything is timed.
    for (Row &row : rows) {
        if (RunCalls(row.ours, s.buffer) != row.ours.size() || RunCalls(row.floor, s.buffer) != row.floor.size()) {
            std::fprintf(stderr, "depbase_bench: %s: a query did not answer ZMD_OK\n", row.name.c_str());
            return 1;
        }
    }
    for (int p = 0; p < pairs; ++p) {
        for (Row &row : rows) {
            const std::string pair = "/p" + std::to_string(p);
            benchmark::RegisterBenchmark((row.name + "/ours" + pair).c_str(), Run, &row.ours, &s.buffer)->UseRealTime();
            benchmark::RegisterBenchmark((row.name + "/floor" + pair).c_str(), Run, &row.floor, &s.buffer)
                ->UseRealTime();
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
