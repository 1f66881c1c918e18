/* depbase: the model dependence database.
 *
 * Six access functions, one per database, answer 16-bit keys from the
 * compiled-in database image. docs/keys.md lists every key with the settings
 * that choose its answers and the answers themselves.
 *
 * Calling
 *   Each export takes the key (only its low 16 bits count), a settings record
 *   (required), the buffer's size in bytes, the buffer (or NULL) and the size
 *   word (required). The keys each export accepts:
 *     root 0x0001-0x0FFF, drv 0x1001-0x1FFF, lm 0x2001-0x2FFF,
 *     mnt 0x3001-0x3FFF, pa 0x4001-0x4FFF, sm 0x6001-0x6FFF.
 *   The record's settings are positional: a key reads string setting i as
 *   ppszStrings[i] and integer setting i as pnInts[i]. Give at least the
 *   database's shape (strings, integers): root 1, 1; drv 0, 95; lm 5, 13;
 *   mnt 0, 1; pa 0, 4; sm 8, 16. The library keeps no pointer into the record,
 *   the buffer or the size word after a call.
 *
 * Size protocol
 *   1. Call with pBuffer == NULL (cbBuffer 0): the answer is ZMD_MORE_DATA and
 *      *pcbSize holds the value's size in bytes (also for a value of size 0).
 *   2. Call again with a buffer of at least that size: ZMD_OK, and *pcbSize
 *      holds the number of bytes written; the buffer beyond them is untouched.
 *   Every call evaluates afresh: a value that depends on the clock or on the
 *   printer's stored data may have grown in between, and then the second call
 *   answers ZMD_MORE_DATA again with the new size; ask once more. A buffer
 *   one byte too small answers ZMD_MORE_DATA. *pcbSize is written only on
 *   ZMD_OK and ZMD_MORE_DATA; on any other result it keeps what it held.
 *
 * Answer layout, by the kind of value a key holds (docs/keys.md names it).
 *   Integers are little-endian, back to back. Every integer kind is widened
 *   to 32 bits in the buffer, so an answer of n integers is 4 * n bytes:
 *     INT8_ARRAY, INT16_ARRAY  each sign-extended to int32_t
 *     UINT8_ARRAY, UINT16_ARRAY each zero-extended to uint32_t
 *     INT32_ARRAY              int32_t as stored
 *   BYTES      the stored bytes, unchanged (printer commands, words)
 *   TEXT       UTF-16 with its terminating NUL included: "1.50" is 10 bytes,
 *              4 characters and the NUL; the texts are plain ASCII
 *   COMPUTED   made at query time; by computed type:
 *                1 page format command, 13 bytes
 *                2, 3 area record, 16 bytes: four int32_t, left offset,
 *                  printable width, top offset, printable length (0.01 mm)
 *                4 page length, one uint32_t
 *                5 clock command, 65 bytes (holds the local time)
 *                6 option flags command, 12 bytes
 *                7 quiet-mode command, 56 bytes
 *   The driver database answers some keys from its own queries:
 *   option lists   0x100C-0x1014, 0x1016, 0x1017, 0x104D, 0x104E, 0x1051,
 *                  0x1054: an array of 20-byte items, five int32_t each:
 *                    nId       the value of the setting the list enumerates
 *                    nNameId   the display-name id of the choice
 *                    nValue1   a per-choice value (some keys only)
 *                    nValue2   a per-choice value (some keys only)
 *                    nDefault  the default mark: non-zero on the default item, else 0
 *                  A field a key does not fill keeps what the buffer held:
 *                  zero the buffer before the call.
 *   command sequences 0x1018-0x101D: printer command bytes assembled from
 *                  several parts (size 0 when no part yields anything); some
 *                  parts read the printer's stored values
 *   parameter set  0x101E: 192 bytes chosen by integer settings 4, 9, 5, 8,
 *                  6 and 81; bytes 172-191 are not written (zero them first)
 *
 * Printer data
 *   A key whose rules read a value stored with the printer needs the printer:
 *   hPrinter (used as it is, never closed), or pwszPrinterName, which is
 *   opened for the one call and closed again. Without either such a key
 *   answers ZMD_BAD_RECORD; a printer that stores no such value follows the
 *   rule's default. On Linux a printer named N is the file
 *   $ZMD_PRINTER_DIR/N.conf (default $HOME/.config/zmd/printers) with lines
 *   "ValueName = number"; see depbase-cli query --help. */
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
    void *hPrinter;                   /* open spooler handle, or NULL */
    uint32_t dwReserved;              /* carried into derived records, never read */
    uint32_t cStrings;                /* entries in ppszStrings */
    const char **ppszStrings;         /* string settings; a NULL entry reads as "" */
    uint32_t cInts;                   /* entries in pnInts */
    int32_t *pnInts;                  /* integer settings */
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

/* Result codes (int32_t). */
#define ZMD_OK                 0    /* the value is in the buffer; *pcbSize bytes */
#define ZMD_NOT_FOUND          1    /* key outside this export's range, or no value for these settings */
#define ZMD_MORE_DATA          2    /* no buffer, or too small: *pcbSize holds the size needed */
#define ZMD_NO_KEY             3    /* key in range, but the database has no such key */
#define ZMD_ERROR              (-1) /* no size word, memory short, a platform call failed, or a damaged image */
#define ZMD_BAD_STRING_SETTING (-2) /* the key needs a string setting beyond cStrings */
#define ZMD_BAD_INT_SETTING    (-3) /* the key needs an integer setting beyond cInts */
#define ZMD_BAD_RECORD         (-4) /* no record, or the key needs the printer and there is none */

ZMD_EXPORT int32_t ZMD_API ZMD_AccessRootDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                  void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessDrvDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                 void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessLMDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessMntDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                 void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessPADataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                void *pBuffer, uint32_t *pcbSize);
ZMD_EXPORT int32_t ZMD_API ZMD_AccessSMDataBase(uint32_t key, ZMD_SettingsRecord *pRecord, uint32_t cbBuffer,
                                                void *pBuffer, uint32_t *pcbSize);

#ifdef __cplusplus
}
#endif

#endif /* ZMD_DEPBASE_H */
