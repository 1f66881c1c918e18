// The catalogue sweep: every key of an image, each with a record of its
// database's shape whose settings make the key's rule tree yield a value.
//
// The records are found by walking each key's tree: every path to a value
// node of the key gives settings (integer and string) that the selectors on
// the path require; the first set of settings with which the key answers
// ZMD_OK through the caller's ask function is kept. Used by the benchmarks,
// the allocation-count tests and the concurrency tests.
#ifndef ZMD_TEST_KEY_SWEEP_H
#define ZMD_TEST_KEY_SWEEP_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "env.h"

struct SweepQuery {
    uint16_t key = 0;
    uint32_t database = 0;
    std::vector<int32_t> ints;
    std::vector<std::string> strings;
    std::vector<bool> stringSet; // false: the entry is a null pointer
    bool readsPrinter = false;   // the chosen path reads a value stored with the printer
    void *hPrinter = nullptr;    // the record's printer handle
    // The record over the settings above (no printer name).
    // Valid while this query lives and is not copied; bind() refreshes it.
    ZMD_SettingsRecord record{};
    std::vector<const char *> stringPtrs;
    void bind();
};

// The database an export key belongs to; internal keys (0x5xxx) and keys
// outside every database answer false.
bool SweepDatabaseOf(uint16_t key, uint32_t *database);

// The export of a database (the shipped library's function).
typedef int32_t (*SweepExport)(uint32_t, ZMD_SettingsRecord *, uint32_t, void *, uint32_t *);
SweepExport SweepExportOf(uint32_t database);

// Asks one key with a record; returns the result code. The sweep keeps a
// record when this answers ZMD_OK.
typedef std::function<int32_t(uint16_t key, uint32_t database, ZMD_SettingsRecord *record)> SweepAsk;

// One query per export key of the image (internal keys are left out), in key
// order; every record carries the printer handle given (may be null). A key
// for which no record answers ZMD_OK is listed in *unanswered (when given)
// and left out of the result.
std::vector<SweepQuery> BuildSweep(const ZMD_ImageView *image, const SweepAsk &ask, void *printer = nullptr,
                                   std::vector<uint16_t> *unanswered = nullptr);

// Every record that answers: for each key of BuildSweep, one query per
// distinct set of settings (of the paths through the key's tree, at most
// perKey of them) with which the key answers ZMD_OK, in key order.
std::vector<SweepQuery> BuildFullSweep(const ZMD_ImageView *image, const SweepAsk &ask, void *printer = nullptr,
                                       size_t perKey = 64);

// True when the key's tree holds a node kind that reads the printer, the
// locale or the clock-dependent quiet window (SELECT_PRINTER_DATA,
// SELECT_COUNTRY, COMPUTED type 7) anywhere below its top node.
bool SweepTreeReadsHost(const ZMD_ImageView *image, uint16_t key);
// True when a node below the key's top node (the top node included) satisfies pred.
bool SweepTreeHas(const ZMD_ImageView *image, uint16_t key, const std::function<bool(ZMD_Node)> &pred);

#endif // ZMD_TEST_KEY_SWEEP_H
