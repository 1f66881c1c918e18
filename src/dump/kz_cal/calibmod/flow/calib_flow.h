// The flow of one KZCalibration call and its steps.
//
// validate the request -> pass-through answer -> context -> decision (list
// file) -> copy presence and currency -> copy -> table update -> list update
// -> name return -> context release. Every step returns a 16-bit code; the
// call itself answers only CAL_OK, CAL_ERR_REQUEST, CAL_ERR_NO_MEMORY or
// CAL_ERR_FILE, and always leaves a usable file name in resultName.
#ifndef KZ_CALIB_FLOW_H
#define KZ_CALIB_FLOW_H

#include <cstdint>

#include "cal_context.h"
#include "cal_platform.h"
#include "calibmod.h"
#include "copy.h"

// How long a call waits for another call on the same calibration directory.
#define CAL_LOCK_WAIT_MS 10000u

// KZCalibration on a given host (null: the default backend). The export
// calls it with the default; tests pass a counting or failing platform.
int16_t flowCalibrate(const CalPlatform *platform, const CalibRequest *request, CalibNames *names,
                      const int16_t *adjustIds, const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir);

// ---- Validation (calib_validate.cpp) -------------------------------------

// Adjustment ids with a fixed meaning besides CAL_NEUTRAL_ID (curve_update.h).
#define CAL_PASS_THROUGH_ID       (-8) // answered at once, without calibration, while enabled
#define CAL_PASS_THROUGH_DISABLED (-1) // in passThroughId: the pass-through is off

// What a request must satisfy; compiled into the module.
struct CalAcceptance {
    int16_t modeCount;
    const int16_t *modes; // accepted values of CalibRequest::mode
    int16_t neutralId;
    int16_t passThroughId; // CAL_PASS_THROUGH_DISABLED turns the pass-through off
    int16_t idCount;
    const int16_t *ids; // accepted adjustment ids besides the neutral and pass-through ones, in the
                        // order of every built-in table's curve groups (tools/curvegen/curves.txt)
};

// The module's configuration: mode 1; ids -3 and 3; pass-through -8 enabled.
const CalAcceptance *calAcceptance();

// mode is in the accepted mode list. CAL_OK or CAL_ERR_REQUEST.
int16_t modeCheck(const CalibRequest *request);
// Every id in a slot that the mode uses is NEUTRAL_ID, the pass-through id
// while it is enabled, or in the accepted id list; other slots are not read.
// CAL_OK or CAL_ERR_REQUEST.
int16_t idCheck(const CalibRequest *request, const int16_t *adjustIds);
// sourceName names a file of sourceDir with a place to vary for its copies
// (1 to 15 characters and a terminator, no '/', '\\' or ':', a '.' after the
// first character), and listPrefix is five characters that keep the list
// file inside calibDir (no zero byte, '/', '\\' or ':'). CAL_OK or CAL_ERR_REQUEST.
int16_t namesCheck(const CalibNames *names);
// The whole request: no null argument, then modeCheck, idCheck, namesCheck.
// CAL_OK or CAL_ERR_REQUEST. Nothing but the argument records is read.
int16_t requestCheck(const CalibRequest *request, const CalibNames *names, const int16_t *adjustIds,
                     const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir);
// CAL_FAIL when the pass-through is enabled and an id in use equals it,
// else 0.
int16_t passThroughTest(const CalibRequest *request, const int16_t *adjustIds);

// ---- Name return (calib_flow.cpp) ----------------------------------------

// Zero-fills the 16 bytes of resultName, then copies from up to and
// including its terminator, 16 characters at most.
void nameReturn(CalibNames *names, const char *from);

#endif // KZ_CALIB_FLOW_H
