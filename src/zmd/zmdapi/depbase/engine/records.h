// Settings records of a database's shape.
#ifndef ZMD_RECORDS_H
#define ZMD_RECORDS_H

#include "env.h"

// A record of the database's shape in one heap block, optionally seeded from
// src (handle, reserved word, leading settings). Null for an unknown database
// or when memory is short.
ZMD_SettingsRecord *ZMD_CreateSettingsRecord(const ZMD_Env *env, uint32_t database, const ZMD_SettingsRecord *src);
void ZMD_FreeSettingsRecord(const ZMD_Env *env, ZMD_SettingsRecord *pRecord);

// Room in the caller's frame for a record of any database's shape.
struct ZMD_RecordStorage {
    ZMD_SettingsRecord record;
    int32_t ints[96];
    const char *strings[8];
};

// The record ZMD_CreateSettingsRecord would build, laid out in storage
// instead of the heap. Null for an unknown database or a shape the storage
// cannot hold (the caller then takes the heap); never allocates.
ZMD_SettingsRecord *ZMD_InitSettingsRecord(uint32_t database, const ZMD_SettingsRecord *src,
                                           ZMD_RecordStorage *storage);

// Shape of each database's record.
struct ZMD_RecordShape {
    uint32_t cStrings;
    uint32_t cInts;
};
bool ZMD_GetRecordShape(uint32_t database, ZMD_RecordShape *shape);

#endif // ZMD_RECORDS_H
