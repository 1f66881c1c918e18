// The module's one export.
//
// Until the decision flow is in place the export answers every request with
// CAL_ERR_REQUEST and hands the caller's own file back as the one to use.
#include "calibmod.h"

extern "C" KZ_EXPORT int16_t KZ_API KZCalibration(const CalibRequest *request, CalibNames *names,
                                                  const int16_t *adjustIds, const KZ_WCHAR *sourceDir,
                                                  const KZ_WCHAR *calibDir) {
    (void)request;
    (void)adjustIds;
    (void)sourceDir;
    (void)calibDir;
    if (names != nullptr) {
        // The name return: 16 zero bytes, then the source name up to and
        // including its terminator, 16 characters at most.
        for (int i = 0; i < 16; ++i) {
            names->resultName[i] = 0;
        }
        for (int i = 0; i < 16; ++i) {
            names->resultName[i] = names->sourceName[i];
            if (names->sourceName[i] == 0) {
                break;
            }
        }
    }
    return CAL_ERR_REQUEST;
}
