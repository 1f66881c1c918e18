/* calibmod: the calibration module.
 *
 * KZCalibration keeps calibrated copies of calibration data files in a
 * calibration directory, with a list file that maps request keys to copies,
 * and always answers with a file name the driver can use. */
#ifndef KZ_CALIBMOD_H
#define KZ_CALIBMOD_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(_WIN32)
#define KZ_API __stdcall
#if defined(KZ_BUILDING_CALIBMOD)
#define KZ_EXPORT
#else
#define KZ_EXPORT __declspec(dllimport)
#endif
typedef wchar_t KZ_WCHAR;
#else
#define KZ_API
#if defined(KZ_BUILDING_CALIBMOD)
#define KZ_EXPORT __attribute__((visibility("default")))
#else
#define KZ_EXPORT
#endif
typedef char16_t KZ_WCHAR;
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CalibRequest {
    int16_t listNumber;
    int16_t mode;
    int32_t param1;
    int32_t param2;
    int32_t param3;
} CalibRequest; /* 16 bytes */

typedef struct CalibNames {
    char sourceName[16];
    char resultName[16];
    char listPrefix[5];
} CalibNames; /* 37 bytes */

/* Result codes. */
#define CAL_OK            0
#define CAL_ERR_REQUEST (-128)
#define CAL_ERR_NO_MEMORY (-108)
#define CAL_ERR_FILE    (-138)

KZ_EXPORT int16_t KZ_API KZCalibration(const CalibRequest *request, CalibNames *names, const int16_t *adjustIds,
                                       const KZ_WCHAR *sourceDir, const KZ_WCHAR *calibDir);

#ifdef __cplusplus
}
#endif

#endif /* KZ_CALIBMOD_H */
