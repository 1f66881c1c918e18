// The depbase sweep shared by the benchmark and the callgrind count: every
// export key of the shipped image with up to four records that reach
// different value nodes of its tree, asked through the exports of the shared
// library; and the floor it is compared with, which hands out the same
// answers precomputed (one indirect call, an array index and a copy).
#ifndef ZMD_BENCH_DEPBASE_SWEEP_H
#define ZMD_BENCH_DEPBASE_SWEEP_H

#include <cstdint>
#include <string>
#include <vector>

#include "key_sweep.h"

// How a driver asks: through a pointer to one of the six exports.
typedef int32_t (*AskFn)(uint32_t key, ZMD_SettingsRecord *record, uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);

// One timed call: the function, the key it is given and the record.
struct Call {
    AskFn fn;
    uint32_t key;
    ZMD_SettingsRecord *record;
};

// The sweep records per key; the lists, sequences and parameter set are
// measured with every answering record found (up to kEveryPerKey).
const size_t kSweepPerKey = 4;
const size_t kEveryPerKey = 64;

struct DepbaseSweep {
    // Every answering record the tree walk finds, up to kEveryPerKey per
    // key, in key order.
    std::vector<SweepQuery> every;
    // The sweep: up to kSweepPerKey of them per key (positions in `every`)
    // with different answers, spread over the records found.
    std::vector<size_t> sweep;
    // The floor's answers, by position in `every`: offset and size in bytes.
    std::vector<uint32_t> floorOffset, floorSize;
    std::vector<uint8_t> floorBytes;
    std::vector<uint8_t> buffer; // the caller's buffer, large enough for every answer
    std::string printerDir;      // temporary printer store of the sweep's printer
    void *printer = nullptr;     // its handle, passed in every record
    std::string error;           // why the sweep cannot be measured, or empty

    DepbaseSweep();
    ~DepbaseSweep();
    DepbaseSweep(const DepbaseSweep &) = delete;
    DepbaseSweep &operator=(const DepbaseSweep &) = delete;

    // Positions in `every` of the sweep queries of a database.
    std::vector<size_t> sweepOf(uint32_t database) const;
    // Positions in `every` of every record of one key.
    std::vector<size_t> everyOf(uint16_t key) const;

    // The calls of a set of queries through the exports ("ours"), and the
    // same queries answered by the floor.
    std::vector<Call> ours(const std::vector<size_t> &positions);
    std::vector<Call> floor(const std::vector<size_t> &positions);
};

// Runs the calls once; the number that answered ZMD_OK.
size_t RunCalls(const std::vector<Call> &calls, std::vector<uint8_t> &buffer);

#endif // ZMD_BENCH_DEPBASE_SWEEP_H
