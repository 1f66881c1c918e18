// The observer of an evaluation: a tool (depbase-cli explain) hands the
// query an observer in its environment and is told each step the evaluation
// takes, by the same code that answers the query. The exports never set one;
// without one every step costs a single test of a null pointer.
#ifndef ZMD_OBSERVE_H
#define ZMD_OBSERVE_H

#include "depbase.h"
#include "image.h"

// What a step is. Steps of one key's walk lie between its KEY and its END;
// walks nest (a selector of printer data walks the value-name key, a quiet
// window reads it, a list walks its per-choice and default keys).
enum ZMD_StepKind : uint32_t {
    ZMD_SEEN_KEY = 1, // a key's tree is walked: key (key2 too for a walk of two), node = its top node
    ZMD_SEEN_END,     // the walk of key ends with result
    ZMD_SEEN_READ,    // a selector (node) reads arg: the setting index, printer-data item or country
                      // selector; value = what it found (masked for SELECT_MASKED, raw in value2),
                      // text = the string read; result 0, or 1 for a printer value not stored, or
                      // the fault that ends the walk
    ZMD_SEEN_CASE,    // case node `index` of the selector matched (node = the case, its kind says how)
    ZMD_SEEN_NO_CASE, // no case of the selector (node) matched
    ZMD_SEEN_VALUE,   // the value node of key is reached
    ZMD_SEEN_EXTRACT, // a value node is extracted: bytes/size delivered (a COMPUTED node: computed)
    ZMD_SEEN_LIST,    // a list of `index` items is completed for key (arg = catalogue list or 0xFFFF)
    ZMD_SEEN_ITEM,    // per-choice values of item `index` (value = its id, arg = the setting it is put in)
    ZMD_SEEN_FIELD,   // item `index` field arg is value, from key
    ZMD_SEEN_DEFAULT, // the default pair of key: id value, mark value2 (result: ZMD_OK, or why none)
    ZMD_SEEN_PART,    // sequence part `index`, top node `node` (arg: its node index)
    ZMD_SEEN_ROW,     // parameter-set selection row `index` chosen (result ZMD_NOT_FOUND: none)
    ZMD_SEEN_ANSWER,  // the query answers result with bytes/size
};

struct ZMD_Step {
    uint32_t kind = 0; // ZMD_StepKind
    uint32_t key = 0;
    uint32_t key2 = 0;
    ZMD_Node node{0, 0};
    uint32_t index = 0;
    uint32_t arg = 0;
    int32_t value = 0;
    int32_t value2 = 0;
    int32_t result = 0;
    const char *text = nullptr;
    const void *bytes = nullptr;
    uint32_t size = 0;
    const ZMD_SettingsRecord *record = nullptr; // the record the walk reads
};

// For the functions that build and tell a step: kept out of line and out of
// the hot path, so that the walk without an observer carries neither their
// code nor their stack frame.
#if defined(__GNUC__)
#define ZMD_OBSERVER_PATH __attribute__((noinline, cold))
#elif defined(_MSC_VER)
#define ZMD_OBSERVER_PATH __declspec(noinline)
#else
#define ZMD_OBSERVER_PATH
#endif

struct ZMD_Observer {
    void *ctx;
    void (*step)(void *ctx, const ZMD_Step *step);
};

#endif // ZMD_OBSERVE_H
