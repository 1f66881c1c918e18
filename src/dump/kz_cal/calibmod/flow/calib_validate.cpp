// Validation of a KZCalibration request against the acceptance configuration.
#include "cal_types.h"
#include "calib_flow.h"
#include "curve_update.h"

namespace {

const int16_t kModes[1] = {1};
const int16_t kIds[2] = {-3, 3};
const CalAcceptance kAcceptance = {1, kModes, CAL_NEUTRAL_ID, CAL_PASS_THROUGH_ID, 2, kIds};

bool charIsSeparator(char c)
{
    return c == '/' || c == '\\' || c == ':';
}

bool idAccepted(const CalAcceptance *a, int16_t id)
{
    if (id == a->neutralId) {
        return true;
    }
    if (a->passThroughId != CAL_PASS_THROUGH_DISABLED && id == a->passThroughId) {
        return true;
    }
    for (int16_t i = 0; i < a->idCount; ++i) {
        if (a->ids[i] == id) {
            return true;
        }
    }
    return false;
}

} // namespace

const CalAcceptance *calAcceptance()
{
    return &kAcceptance;
}

int16_t modeCheck(const CalibRequest *request)
{
    const CalAcceptance *a = calAcceptance();
    for (int16_t i = 0; i < a->modeCount; ++i) {
        if (a->modes[i] == request->mode) {
            return CAL_OK;
        }
    }
    return CAL_ERR_REQUEST;
}

int16_t idCheck(const CalibRequest *request, const int16_t *adjustIds)
{
    int16_t ids[CAL_SLOT_MAX];
    int16_t curveNumbers[CAL_SLOT_MAX];
    int16_t count = 0;
    adjustIdsUnpack(request, adjustIds, ids, curveNumbers, &count); // reads only the slots in use
    const CalAcceptance *a = calAcceptance();
    for (int16_t i = 0; i < count; ++i) {
        if (!idAccepted(a, ids[i])) {
            return CAL_ERR_REQUEST;
        }
    }
    return CAL_OK;
}

int16_t namesCheck(const CalibNames *names)
{
    // sourceName: a terminator within its 16 bytes, no separator, and a '.'
    // with at least one character before it (the copy name varies the
    // character before the last '.').
    const char *s = names->sourceName;
    int length = -1;
    int lastDot = -1;
    for (int i = 0; i < CAL_NAME_SIZE; ++i) {
        if (s[i] == 0) {
            length = i;
            break;
        }
        if (charIsSeparator(s[i])) {
            return CAL_ERR_REQUEST;
        }
        if (s[i] == '.') {
            lastDot = i;
        }
    }
    if (length <= 0 || lastDot <= 0) {
        return CAL_ERR_REQUEST;
    }
    if (length == 2 && s[0] == '.' && s[1] == '.') {
        return CAL_ERR_REQUEST; // the parent directory, not a file of sourceDir
    }
    for (int i = 0; i < 5; ++i) {
        char c = names->listPrefix[i];
        if (c == 0 || charIsSeparator(c)) {
            return CAL_ERR_REQUEST;
        }
    }
    return CAL_OK;
}

int16_t requestCheck(const CalibRequest *request, const CalibNames *names, const int16_t *adjustIds,
                     const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir)
{
    if (request == nullptr || names == nullptr || adjustIds == nullptr || sourceDir == nullptr || calibDir == nullptr) {
        return CAL_ERR_REQUEST;
    }
    int16_t rc = modeCheck(request);
    if (rc == CAL_OK) {
        rc = idCheck(request, adjustIds);
    }
    if (rc == CAL_OK) {
        rc = namesCheck(names);
    }
    return rc;
}

int16_t passThroughTest(const CalibRequest *request, const int16_t *adjustIds)
{
    const CalAcceptance *a = calAcceptance();
    if (a->passThroughId == CAL_PASS_THROUGH_DISABLED) {
        return CAL_OK;
    }
    int16_t ids[CAL_SLOT_MAX];
    int16_t curveNumbers[CAL_SLOT_MAX];
    int16_t count = 0;
    adjustIdsUnpack(request, adjustIds, ids, curveNumbers, &count);
    for (int16_t i = 0; i < count; ++i) {
        if (ids[i] == a->passThroughId) {
            return CAL_FAIL;
        }
    }
    return CAL_OK;
}
