// The depbase sweep shared by the benchmark and the callgrind count: every
// export key of the shipped image with a record that yields a value, asked
// through the shipped exports; and the floor it is compared with, the same
// answers from a precomputed array (a lookup and a copy).
#ifndef ZMD_BENCH_DEPBASE_SWEEP_H
#define ZMD_BENCH_DEPBASE_SWEEP_H

#include <cstdint>
#include <string>
#include <vector>

#include "key_sweep.h"

struct FloorEntry {
    uint32_t id; // database << 16 | key
    uint32_t size;
    std::vector<uint8_t> bytes;
};

struct DepbaseSweep {
    std::vector<SweepQuery> queries;
    std::vector<FloorEntry> floor; // sorted by id
    // Every answering record of every key, and its floor (id: the query's
    // position in `full`).
    std::vector<SweepQuery> full;
    std::vector<FloorEntry> fullFloor;
    std::vector<uint8_t> buffer; // the caller's buffer, large enough for every answer
    std::string printerDir;      // temporary printer store of the sweep's printer
    void *printer = nullptr;     // its handle, passed in every record

    DepbaseSweep();
    ~DepbaseSweep();
    DepbaseSweep(const DepbaseSweep &) = delete;
    DepbaseSweep &operator=(const DepbaseSweep &) = delete;

    // The queries whose key is in keys (in sweep order).
    std::vector<const SweepQuery *> only(const std::vector<uint16_t> &keys) const;
    // The same of the full sweep.
    std::vector<const SweepQuery *> fullOnly(const std::vector<uint16_t> &keys) const;
};

// One query through its export; returns the result (the size is discarded).
int32_t AskExport(const SweepQuery &q, std::vector<uint8_t> &buffer);
// The floor's answer to the same query: binary search and copy.
int32_t AskFloor(const std::vector<FloorEntry> &floor, uint32_t database, uint32_t key, ZMD_SettingsRecord *record,
                 uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);

// The floor's answer by entry id (binary search and copy).
int32_t AskFloorById(const std::vector<FloorEntry> &floor, uint32_t id, ZMD_SettingsRecord *record, uint32_t cbBuffer,
                     void *pBuffer, uint32_t *pcbSize);

#endif // ZMD_BENCH_DEPBASE_SWEEP_H
