// The update of KZHT curve tables: replacing the 256-entry correction curves
// of a calibrated copy by built-in curves, chosen per plane by the request's
// adjustment ids.
//
// A KZHT body is either plain (a run of 512-byte curves, their number given
// by the table id: 1200-1299 four, 1300-1399 six, 1400-1499 seven) or tagged
// (TAGGED_BLOCK_MAGIC, an item count, tag/value items that set the plane
// count and locate plane items, each plane item naming a slot and locating
// its curve). Words of a body are read as converted copies; a body keeps its
// stored bytes except for the curves that are replaced.
//
// Codes: CAL_OK; CAL_FAIL (-1) for a malformed body. Tagged bodies are read through tagged_body.h.
#ifndef KZ_CURVE_UPDATE_H
#define KZ_CURVE_UPDATE_H

#include <cstdint>

#include "builtin_curves.h"
#include "table_work.h"

#define TAGGED_BLOCK_MAGIC 0x50178516u
#define CURVE_DESCRIPTOR   0x44000100u
#define CURVE_BYTES        512

// The adjustment id that is always accepted and leaves a slot's curves
// unchanged.
#define CAL_NEUTRAL_ID   0

#define CAL_SLOT_MAX     8 // room for the unpacked slots; a mode fills at most 6
#define TAGGED_PLANE_MAX 7 // a plane count must be below 8

#define ITEM_PLANE_COUNT 0xF8
#define ITEM_SKIP        0x9A
#define ITEM_PLANE       0xDC

// The slots a request's mode uses, as (adjustment id, curve number) pairs:
// mode 1 or 4: adjustIds[0..3] with curve numbers 0..3; mode 2: adjustIds[3]
// with curve number 3; mode 3, 5 or 6: adjustIds[0..5] with 0..5; any other
// mode: none. Reads only the slots the mode uses.
void adjustIdsUnpack(const CalibRequest *request, const int16_t *adjustIds, int16_t *ids, int16_t *curveNumbers,
                     int16_t *slotCount);

// Copies the built-in curve (group of id, curve number) over dest (256
// 16-bit entries; dest need not be aligned) and converts it to file order.
// NEUTRAL_ID, an id without a group or an empty curve place leaves dest as it
// is, unconverted.
void builtInCurveCopy(const TableWork *work, const BuiltInTable *table, uint8_t *dest, int16_t id, int16_t curveNumber);

// Rewrites the curves of a plain body: curve i takes slot i. A slot that was
// not unpacked leaves its curve unchanged. CAL_FAIL for a table id outside
// 1200-1499 or a body shorter than its curves.
int16_t plainTableUpdate(const TableWork *work, const BuiltInTable *table, int32_t tableId, uint8_t *body,
                         int32_t bodySize, const int16_t *ids, const int16_t *curveNumbers, int16_t slotCount);

// Rewrites the curves of a tagged body plane by plane. CAL_FAIL for a
// malformed body: items beyond the body, a plane count of 8 or more, a plane
// item before any plane count or beyond it, fewer plane items than planes, an
// unknown tag, a plane item or curve beyond the body, a slot word not tagged
// 0xF8 or a descriptor other than CURVE_DESCRIPTOR. A plane whose slot index
// was not unpacked is left unchanged.
int16_t taggedTableUpdate(const TableWork *work, const BuiltInTable *table, uint8_t *body, int32_t bodySize,
                          const int16_t *ids, const int16_t *curveNumbers, int16_t slotCount);

// Calls visit with every curve of a loaded KZHT body (byteOrder as in
// TableWork) and the slot it answers, as the update finds them: a plain
// body's curves in order, slot i for curve i; a tagged body's planes in item
// order with their stored slots. CAL_OK, or CAL_FAIL where the update fails:
// a plain id outside 1200-1499 or a body shorter than its curves, a
// malformed tagged body (visit may have seen the planes before the fault).
typedef void (*CurveVisit)(void *arg, int32_t slot, const uint8_t *curve);
int16_t curveBodyWalk(uint8_t byteOrder, int32_t tableId, uint8_t *body, int32_t bodySize, CurveVisit visit, void *arg);
// True when the module has built-in curves for the (whole 32-bit) table id.
bool curveTableHasBuiltIn(int32_t tableId);

// Updates one loaded KZHT body with every built-in table of the same (whole
// 32-bit) id; a table id without built-in curves leaves the body unchanged.
int16_t curveTableUpdate(const TableWork *work, int32_t tableId, uint8_t *body, int32_t bodySize);
// The same over a given built-in table list (tests pass their own).
int16_t curveTableUpdateWith(const TableWork *work, const BuiltInTableList *list, int32_t tableId, uint8_t *body,
                             int32_t bodySize);

// tableLoad / tableStore of the KZHT table with the low 16 bits of tableId.
int16_t curveTableLoad(TableWork *work, int32_t tableId, uint8_t **body, int32_t *bodySize);
int16_t curveTableStore(TableWork *work, int32_t tableId);

// Collects the table ids, then loads, updates, stores and releases each
// listed table in turn. Stops at the first failure: the tables stored before
// it stay rewritten, the failing one and those after it are untouched. Unlike
// a damaged KZDB table, which the scan skips, a listed KZHT table that is
// missing from its directory or that the file cannot hold (directory, size
// word or body past the end of the file) is such a failure.
int16_t tablesUpdateAll(TableWork *work);

#endif // KZ_CURVE_UPDATE_H
