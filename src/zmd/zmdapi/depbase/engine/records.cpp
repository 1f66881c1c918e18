// Settings records of a database's shape, built by the library for its own
// internal queries.
#include "records.h"

#include <cstring>

namespace {

const ZMD_RecordShape kShapes[] = {
    {1, 1},  // root
    {0, 95}, // driver
    {5, 13}, // language monitor
    {0, 1},  // maintenance
    {0, 4},  // PA
    {8, 16}, // status monitor
};

size_t AlignUp(size_t n, size_t a)
{
    return (n + a - 1) / a * a;
}

// Fills rec for shape over the given arrays (room for the shape's entries):
// the handle and the reserved word of src, its leading settings (pointers,
// not strings), the rest zero; never the printer name.
void FillRecord(ZMD_SettingsRecord *rec, const ZMD_RecordShape &shape, const ZMD_SettingsRecord *src,
                const char **strings, int32_t *ints)
{
    rec->hPrinter = src ? src->hPrinter : nullptr;
    rec->dwReserved = src ? src->dwReserved : 0;
    rec->pwszPrinterName = nullptr;

    rec->cStrings = shape.cStrings;
    rec->ppszStrings = nullptr;
    if (shape.cStrings != 0) {
        uint32_t n = 0;
        if (src && src->ppszStrings) {
            n = src->cStrings < shape.cStrings ? src->cStrings : shape.cStrings;
            for (uint32_t i = 0; i < n; ++i) {
                strings[i] = src->ppszStrings[i];
            }
        }
        for (uint32_t i = n; i < shape.cStrings; ++i) {
            strings[i] = nullptr;
        }
        rec->ppszStrings = strings;
    }

    rec->cInts = shape.cInts;
    rec->pnInts = nullptr;
    if (shape.cInts != 0) {
        uint32_t n = 0;
        if (src && src->pnInts) {
            n = src->cInts < shape.cInts ? src->cInts : shape.cInts;
            std::memcpy(ints, src->pnInts, n * sizeof(int32_t));
        }
        if (n < shape.cInts) {
            std::memset(ints + n, 0, (shape.cInts - n) * sizeof(int32_t));
        }
        rec->pnInts = ints;
    }
}

} // namespace

bool ZMD_GetRecordShape(uint32_t database, ZMD_RecordShape *shape)
{
    if (!shape || database >= sizeof kShapes / sizeof kShapes[0]) {
        return false;
    }
    *shape = kShapes[database];
    return true;
}

// One zero-filled heap block: the record, then the integer array, then the
// string-pointer array. With a source, the handle, the reserved word and the
// leading settings (pointers, not strings) are copied; the printer name never
// is. The record may point at the source's strings and must not outlive it.
ZMD_SettingsRecord *ZMD_CreateSettingsRecord(const ZMD_Env *env, uint32_t database, const ZMD_SettingsRecord *src)
{
    ZMD_RecordShape shape;
    if (!env || !env->platform || !ZMD_GetRecordShape(database, &shape)) {
        return nullptr;
    }
    const size_t intsAt = sizeof(ZMD_SettingsRecord);
    const size_t stringsAt = AlignUp(intsAt + shape.cInts * sizeof(int32_t), alignof(const char *));
    const size_t size = stringsAt + shape.cStrings * sizeof(const char *);
    const ZMD_Platform *platform = env->platform;
    unsigned char *block = static_cast<unsigned char *>(platform->alloc(platform->ctx, size));
    if (!block) {
        return nullptr;
    }

    ZMD_SettingsRecord *rec = reinterpret_cast<ZMD_SettingsRecord *>(block);
    FillRecord(rec, shape, src, reinterpret_cast<const char **>(block + stringsAt),
               reinterpret_cast<int32_t *>(block + intsAt));
    return rec;
}

ZMD_SettingsRecord *ZMD_InitSettingsRecord(uint32_t database, const ZMD_SettingsRecord *src, ZMD_RecordStorage *storage)
{
    ZMD_RecordShape shape;
    if (!storage || !ZMD_GetRecordShape(database, &shape)) {
        return nullptr;
    }
    const uint32_t maxInts = sizeof storage->ints / sizeof storage->ints[0];
    const uint32_t maxStrings = sizeof storage->strings / sizeof storage->strings[0];
    if (shape.cInts > maxInts || shape.cStrings > maxStrings) {
        return nullptr;
    }

    // Only the shape's own entries are written, as in a heap record.
    ZMD_SettingsRecord *rec = &storage->record;
    FillRecord(rec, shape, src, storage->strings, storage->ints);
    return rec;
}

void ZMD_FreeSettingsRecord(const ZMD_Env *env, ZMD_SettingsRecord *pRecord)
{
    if (!pRecord || !env || !env->platform) {
        return;
    }
    env->platform->free(env->platform->ctx, pRecord);
}
