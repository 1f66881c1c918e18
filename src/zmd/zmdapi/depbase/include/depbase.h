/* depbase: the model dependence database.
 *
 * Six access functions, one per database, answer 16-bit keys from the
 * compiled-in database image. Ask once with pBuffer == NULL to learn the size
 * (ZMD_MORE_DATA), then again with a buffer of that size (ZMD_OK). */
#ifndef ZMD_DEPBASE_H
#define ZMD_DEPBASE_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(_WIN32)
#define ZMD_API __stdcall
#if defined(ZMD_BUILDING_DEPBASE)
#define ZMD_EXPORT
#else
#define ZMD_EXPORT __declspec(dllimport)
#endif
typedef wchar_t ZMD_WCHAR;
#else
#define ZMD_API
#if defined(ZMD_BUILDING_DEPBASE)
#define ZMD_EXPORT __attribute__((visibility("default")))
#else
#define ZMD_EXPORT
#endif
typedef char16_t ZMD_WCHAR;
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZMD_SettingsRecord {
    void            *hPrinter;        /* open spooler handle, or NULL */
    uint32_t         dwReserved;      /* carried into derived records, never read */
    uint32_t         cStrings;        /* entries in ppszStrings */
    const char     **ppszStrings;     /* string settings; a NULL entry reads as "" */
    uint32_t         cInts;           /* entries in pnInts */
    int32_t         *pnInts;          /* integer settings */
    const ZMD_WCHAR *pwszPrinterName; /* UTF-16, NUL-terminated; may be NULL */
} ZMD_SettingsRecord;

/* The record's size is part of the interface: natural alignment gives 28
 * bytes on 32-bit Windows (seven 4-byte fields) and 48 bytes on 64-bit
 * Windows and Linux x86-64 (8-byte handle and pointers). A compiler that
 * lays it out otherwise stops here (an array of negative size). */
#if defined(_WIN64) || (defined(__x86_64__) && !defined(__ILP32__))
typedef char ZMD_SettingsRecordSizeCheck[sizeof(ZMD_SettingsRecord) == 48 ? 1 : -1];
#elif defined(_WIN32)
typedef char ZMD_SettingsRecordSizeCheck[sizeof(ZMD_SettingsRecord) == 28 ? 1 : -1];
#endif

/* Result codes. */
#define ZMD_OK                  0
#define ZMD_NOT_FOUND           1
#define ZMD_MORE_DATA           2
#define ZMD_NO_KEY              3
#define ZMD_ERROR             (-1)
#define ZMD_BAD_STRING_SETTING (-2)
#define ZMD_BAD_INT_SETTING   (-3)
#define ZMD_BAD_RECORD        (-4)

ZMD_EXPORT int32_t ZMD_API ZMD_AccessRootDataBase(uint32_t key, ZMD_SettingsRecord *pRecord,
                                                  uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessDrvDataBase(uint32_t key, ZMD_SettingsRecord *pRecord,
                                                 uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessLMDataBase(uint32_t key, ZMD_SettingsRecord *pRecord,
                                                uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessMntDataBase(uint32_t key, ZMD_SettingsRecord *pRecord,
                                                 uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessPADataBase(uint32_t key, ZMD_SettingsRecord *pRecord,
                                                uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessSMDataBase(uint32_t key, ZMD_SettingsRecord *pRecord,
                                                uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize);

#ifdef __cplusplus
}
#endif

#endif /* ZMD_DEPBASE_H */
