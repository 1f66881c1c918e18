// The ways through a key's tree and the engine's answer for each: the
// representative settings of the key catalogue and of `dbc diff`. The
// settings are found on the engine's walk through the key's tree
// (ZMD_VisitTree): every way to a value of the key gives the settings that
// lead there (a default case gets a value that no case before it takes); the
// answers come from the engine itself (ZMD_QueryDrvDataBase for driver keys),
// run on a platform with a fixed clock, a fixed country and a printer whose
// stored values the way chooses.
#ifndef DBC_WAYS_H
#define DBC_WAYS_H

#include <cstdint>
#include <string>
#include <vector>

#include "dbc_format.h"
#include "image.h"

// What one setting of a way is.
enum DbcSettingType {
    DBC_SET_INT,     // integer setting `index` = value
    DBC_SET_STR,     // string setting `index` = text
    DBC_SET_PRINTER, // the printer-data value named by item `index` = value, or not stored (absent)
    DBC_SET_COUNTRY, // the country code = value
};

struct DbcSetting {
    int type;
    uint32_t index;
    int64_t value;
    std::string text;
    bool absent;
};

// The settings of one way; every setting it does not name is 0 or "".
using DbcWay = std::vector<DbcSetting>;

// The ways through some trees, at most kDbcMaxWays of them.
struct DbcWays {
    std::vector<DbcWay> ways;
    bool truncated = false;
};

const size_t kDbcMaxWays = 128;

// Adds the ways through the tree below node `top` that reach a value of
// `key` (for sequence parts: 0x5008). The view must have passed
// DbcValidateView.
void DbcAddTreeWays(const ZMD_ImageView &view, uint32_t key, uint32_t top, DbcWays *out);

// Adds the ways of the tree of `helper`, a key whose tree shapes another
// key's answer, that set something (none when the image has no tree for it).
void DbcAddHelperWays(const ZMD_ImageView &view, uint32_t helper, DbcWays *out);

// The internal keys whose trees also shape a list key's answer (default
// pair, per-choice values).
std::vector<uint32_t> DbcHelperKeys(uint32_t key);

// The engine's answer for a key with a way's settings.
struct DbcAnswer {
    std::string kind;   // the kind name of the key's value node ("" without one)
    uint32_t count = 0; // its count
    int32_t result = 0; // the result code
    DbcValueForm form = DBC_FORM_BYTES;
    std::vector<uint8_t> data; // the delivered bytes (ZMD_OK)
    std::string value;         // decoded (ZMD_OK), as the catalogue shows it
};

// Asks the engine of `view` for key in database shape `database` (0..5, the
// internal keys ask as the driver) with the way's settings.
DbcAnswer DbcAsk(const ZMD_ImageView &view, uint32_t key, int database, const DbcWay &way);

// "int 28 = 9, item 2 not stored"; "any" for no settings.
std::string DbcDescribeWay(const DbcWay &way);

// The settings the ways test: "integer 28, string 1, printer-data item 2, country"; "—" for none.
std::string DbcWaySettingNames(const std::vector<DbcWay> &ways);

#endif // DBC_WAYS_H
