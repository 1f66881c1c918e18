// The frame of the six access exports: record check, key range, printer
// opened by name, the query's printer hold, then the database's answer.
#include "access.h"

#include "drv_query.h"
#include "engine.h"
#include "extract.h"

#if defined(__GNUC__)
#define ZMD_BY_NAME_PATH __attribute__((noinline))
#elif defined(_MSC_VER)
#define ZMD_BY_NAME_PATH __declspec(noinline)
#else
#define ZMD_BY_NAME_PATH
#endif

namespace {

struct KeyRange {
    uint32_t first;
    uint32_t last;
};

// Keys 0x5001..0x5FFF are internal to the driver queries; no export takes them.
const KeyRange kRanges[] = {
    {0x0001, 0x0FFF}, // root
    {0x1001, 0x1FFF}, // driver
    {0x2001, 0x2FFF}, // language monitor
    {0x3001, 0x3FFF}, // maintenance
    {0x4001, 0x4FFF}, // PA
    {0x6001, 0x6FFF}, // status monitor
};

// Tells the observer the query's answer (ANSWER).
ZMD_OBSERVER_PATH void NoteAnswer(const ZMD_Env *env, uint32_t key16, int32_t r, const void *pBuffer,
                                  const uint32_t *pcbSize, const ZMD_SettingsRecord *request)
{
    ZMD_Step s;
    s.kind = ZMD_SEEN_ANSWER;
    s.key = key16;
    s.result = r;
    s.bytes = r == ZMD_OK ? pBuffer : nullptr;
    s.size = r == ZMD_OK || r == ZMD_MORE_DATA ? *pcbSize : 0;
    s.record = request;
    ZMD_Observe(env, s);
}

// The database's answer to the query, in the environment of the query.
int32_t Answer(const ZMD_Env *env, uint32_t database, uint32_t key16, ZMD_SettingsRecord *request, uint32_t cbBuffer,
               void *pBuffer, uint32_t *pcbSize)
{
    const int32_t r = database == ZMD_DB_DRV ? ZMD_QueryDrvDataBase(env, key16, request, cbBuffer, pBuffer, pcbSize)
                                             : ZMD_LookupAndExtract(env, key16, request, cbBuffer, pBuffer, pcbSize);
    if (env->observer) {
        NoteAnswer(env, key16, r, pBuffer, pcbSize, request);
    }
    return r;
}

// The query for a request whose printer (if any) is settled: `opened` is the
// handle opened by name for this query alone, null for a caller's handle.
// The printer's stored values are held for the whole query (a query asked
// from inside another for the same printer shares the outer hold).
inline int32_t AnswerHeld(const ZMD_Env *env, uint32_t database, uint32_t key16, ZMD_SettingsRecord *request,
                          uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize, void *opened)
{
    const ZMD_Platform *platform = env->platform;
    const bool holding = request->hPrinter && platform->getHeldPrinterData && platform->releaseHold &&
                         !(env->hold && env->hold->handle == request->hPrinter);
    if (!holding) {
        return Answer(env, database, key16, request, cbBuffer, pBuffer, pcbSize);
    }
    ZMD_Env query = *env;
    ZMD_PrinterHold hold{request->hPrinter, nullptr, opened != nullptr};
    query.hold = &hold;
    const int32_t r = Answer(&query, database, key16, request, cbBuffer, pBuffer, pcbSize);
    // A hold that read nothing keeps nothing.
    if (hold.state) {
        platform->releaseHold(platform->ctx, &hold);
    }
    return r;
}

// The query for a record that names its printer without a handle: the
// printer is opened for this query (a failed open is answered without one)
// and closed again whatever the result. Kept out of line, so that a query
// with a caller's handle carries neither the copy of the record nor its frame.
ZMD_BY_NAME_PATH int32_t AnswerByName(const ZMD_Env *env, uint32_t database, uint32_t key16,
                                      const ZMD_SettingsRecord *pRecord, uint32_t cbBuffer, void *pBuffer,
                                      uint32_t *pcbSize)
{
    const ZMD_Platform *platform = env->platform;
    void *opened = nullptr;
    void *handle = nullptr;
    if (platform->openPrinter(platform->ctx, pRecord->pwszPrinterName, &handle)) {
        opened = handle;
    }
    ZMD_SettingsRecord named = *pRecord;
    named.hPrinter = opened;
    const int32_t r = AnswerHeld(env, database, key16, &named, cbBuffer, pBuffer, pcbSize, opened);
    if (opened) {
        platform->closePrinter(platform->ctx, opened);
    }
    return r;
}

} // namespace

// The record is checked before the key range; a key out of range touches
// nothing. Without a caller's handle the printer is opened by name for this
// call only (a failed open is not reported: only rules that read printer data
// fail later) and closed again whatever the result. A caller's handle is
// used as it is and never closed. Either way the query holds what it reads
// of the printer's store until it ends, where the platform keeps holds.
// A query with no printer at all (no handle, no name, or a name that did not
// open) needs neither a copy of the record nor a hold: it is answered at once.
int32_t ZMD_AccessDataBase(const ZMD_Env *env, uint32_t database, uint32_t key, ZMD_SettingsRecord *pRecord,
                           uint32_t cbBuffer, void *pBuffer, uint32_t *pcbSize)
{
    if (!pRecord) {
        return ZMD_BAD_RECORD;
    }
    if (!env || !env->image || !env->platform || database >= sizeof kRanges / sizeof kRanges[0]) {
        return ZMD_ERROR;
    }
    const uint32_t key16 = key & 0xFFFFu;
    if (key16 < kRanges[database].first || key16 > kRanges[database].last) {
        return ZMD_NOT_FOUND;
    }
    // The size word is written on success and on ZMD_MORE_DATA; without one
    // there is nowhere to answer.
    if (!pcbSize) {
        return ZMD_ERROR;
    }

    // The caller's record is read as it is unless the printer is opened by
    // name: then a copy carries the handle opened for this call.
    if (!pRecord->hPrinter && pRecord->pwszPrinterName) {
        return AnswerByName(env, database, key16, pRecord, cbBuffer, pBuffer, pcbSize);
    }
    return AnswerHeld(env, database, key16, pRecord, cbBuffer, pBuffer, pcbSize, nullptr);
}
