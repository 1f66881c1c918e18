// Tables of a calibration data file: locating one through its directory,
// reading its body into memory and writing the body back in place.
//
// File layout (little-endian words): the header word at offset 8 locates the
// KZDB directory, the one at offset 20 the KZHT directory (both may point at
// one shared directory). A directory is a signed entry count and 12-byte
// entries (kind tag, 16-bit id, 16 unused bits, table position); a table is a
// 32-bit body size followed by the body. The kind tag of a kind equals the
// header offset of its directory word. Directory words, counts, entries and
// size words are read as stored; only bodies are converted.
#ifndef KZ_TABLE_FILE_H
#define KZ_TABLE_FILE_H

#include <cstdint>

#include "file_layer.h"
#include "table_work.h"

#define TABLE_KIND_KZDB      8
#define TABLE_KIND_KZHT      20
#define TABLE_DIR_ENTRY_SIZE 12

// A directory as tableLocate reads it.
struct TableDirectory {
    int32_t fileBytes;   // the size of the file, or a negative code when the host failed it
    int32_t position;    // the header word at the kind tag; 0 when the file cannot hold it
    int32_t count;       // the stored entry count; 0 when the file cannot hold it
    uint8_t countInside; // the header word and the count lie inside the file
    uint8_t malformed;   // the header word, the count or the entries lie beyond the end of the file
};

// Reads the directory of a kind tag the way tableLocate does and leaves the
// file positioned at its first entry. CAL_OK (a count of 0 or less: no
// entries), or CAL_ERR_FILE: with dir->malformed when the file's content
// rules the directory out, else a failed size, seek or read of the host.
int16_t tableDirectoryRead(FileRef *file, int32_t kindTag, TableDirectory *dir);
// Entry index (0 to count - 1) of a directory tableDirectoryRead read whole:
// its kind tag, id and table position. CAL_OK or CAL_ERR_FILE.
int16_t tableDirectoryEntry(FileRef *file, const TableDirectory *dir, int32_t index, int32_t *kindTag, uint16_t *id,
                            int32_t *tablePos);

// The body size of the requested table, with the file positioned at its
// first byte; or CAL_ERR_FILE / CAL_ERR_NO_MEMORY. The first entry whose
// kind tag and id both match wins. CAL_ERR_FILE comes with one of two flags
// when the file's content, not the host, rules the table out:
// request->notListed for a directory count of 0 or less or no matching
// entry; request->malformed for a file too short for the directory's header
// word, or a directory, size word or body that runs past the end of the
// file, or a negative body size. Nothing is read or allocated for what lies
// beyond the end. With neither flag set, CAL_ERR_FILE is a failed size,
// seek or read of the host.
int32_t tableLocate(FileRef *file, TableRequest *request);
// Reads the requested body into a new zero-filled buffer owned by
// request->bodyBlock and sets body and bodySize. CAL_OK, CAL_ERR_FILE or
// CAL_ERR_NO_MEMORY; on failure nothing stays allocated.
int16_t tableReadBody(FileRef *file, TableRequest *request);
// Writes request->body over the stored body of the same table, after a fresh
// directory walk. CAL_ERR_FILE (and nothing written) when the table cannot be
// located or its stored size differs from expectedSize; CAL_OK otherwise.
int16_t tableWriteBody(FileRef *file, TableRequest *request, int32_t expectedSize);

// Reads the body of the table (kind name, id, kind tag) into the record; on
// success the record's loaded body is set. On failure no body is loaded.
int16_t tableLoad(TableFile *table, const char *kindName, uint16_t tableId, int32_t kindTag);
// Writes the loaded body back over the table (kind name, id, kind tag), which
// must still have the size that tableLoad read.
int16_t tableStore(TableFile *table, const char *kindName, uint16_t tableId, int32_t kindTag);
// Frees the loaded body, if any; the record then holds none.
void tableRelease(TableFile *table);
// From tableCacheBegin to tableCacheEnd, tableLoad and tableStore read each
// kind's directory once, keep it, and find tables in the copy kept: only
// the size word and the body are read or written per table. The file must
// not be changed meanwhile but by tableStore, which drops a kept directory
// that a body it writes overlaps. tableCacheEnd frees what is kept; so does
// tableWorkRelease.
void tableCacheBegin(TableFile *table);
void tableCacheEnd(TableFile *table);

#endif // KZ_TABLE_FILE_H
