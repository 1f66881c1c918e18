// The module's one export: the calibration flow on the host's own platform.
#include "calib_flow.h"
#include "calibmod.h"

extern "C" KZ_EXPORT int16_t KZ_API KZCalibration(const CalibRequest *request, CalibNames *names,
                                                  const int16_t *adjustIds, const KZ_WCHAR *sourceDir,
                                                  const KZ_WCHAR *calibDir)
{
    return flowCalibrate(calDefaultPlatform(), request, names, adjustIds, sourceDir, calibDir);
}
