// Locating, reading and writing back table bodies of a calibration data file.
#include "table_file.h"

#include <cstring>

#include "cal_types.h"

namespace {

int16_t int32ReadAt(FileRef *file, int32_t offset, int32_t *out)
{
    if (fileSeek(file, offset) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    return fileRead(file, out, 4) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
}

// True when the bytes [offset, offset + length) lie inside a file of
// fileBytes bytes.
bool inside(int64_t offset, int64_t length, int32_t fileBytes)
{
    return offset >= 0 && length >= 0 && offset + length <= fileBytes;
}

// The answer for a table that the file's content rules out.
int32_t malformedTable(TableRequest *request)
{
    request->malformed = 1;
    return CAL_ERR_FILE;
}

void requestFill(TableRequest *request, const char *kindName, uint16_t tableId, int32_t kindTag)
{
    std::memset(request->kindName, 0, sizeof request->kindName);
    if (kindName) {
        std::strncpy(request->kindName, kindName, sizeof request->kindName - 1);
    }
    request->tableId = tableId;
    request->kindTag = kindTag;
}

// Finds the first of count stored directory entries with the request's
// kind tag and id: CAL_OK with *tablePos, CAL_FAIL when none matches.
int16_t entriesFind(const uint8_t *e, int32_t count, const TableRequest *request, int32_t *tablePos)
{
    for (int32_t i = 0; i < count; ++i, e += TABLE_DIR_ENTRY_SIZE) {
        int32_t tag;
        uint16_t id;
        std::memcpy(&tag, e, 4);
        std::memcpy(&id, e + 4, 2);
        if (tag == request->kindTag && id == request->tableId) {
            std::memcpy(tablePos, e + 8, 4);
            return CAL_OK;
        }
    }
    return CAL_FAIL;
}

// Reads the count directory entries at the file's position into block
// (empty; the caller releases it). CAL_OK, CAL_ERR_FILE or CAL_ERR_NO_MEMORY.
int16_t entriesRead(FileRef *file, int32_t count, MemBlock *block)
{
    uint32_t entryBytes = static_cast<uint32_t>(count) * TABLE_DIR_ENTRY_SIZE;
    if (memAllocBlock(entryBytes, block) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    return fileRead(file, block->data, static_cast<int32_t>(entryBytes)) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
}

// Reads the count directory entries at the file's position into a block of
// its own, which it releases before returning, and finds the first entry
// with the request's kind tag and id. CAL_OK with *tablePos, CAL_FAIL when
// no entry matches, CAL_ERR_FILE or CAL_ERR_NO_MEMORY.
int16_t directoryFind(FileRef *file, int32_t count, const TableRequest *request, int32_t *tablePos)
{
    MemBlock entries;
    memInit(&entries, file->platform);
    int16_t rc = entriesRead(file, count, &entries);
    if (rc == CAL_OK) {
        rc = entriesFind(static_cast<const uint8_t *>(entries.data), count, request, tablePos);
    }
    memRelease(&entries);
    return rc;
}

// The size word of the table at tablePos of a file of fileBytes bytes,
// checked, with the file positioned at the body: the size, or CAL_ERR_FILE
// (request->malformed when the content rules it out).
int32_t tableAt(FileRef *file, TableRequest *request, int32_t fileBytes, int32_t tablePos)
{
    if (!inside(tablePos, 4, fileBytes)) {
        return malformedTable(request);
    }
    int32_t size;
    if (int32ReadAt(file, tablePos, &size) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    if (size < 0 || !inside(static_cast<int64_t>(tablePos) + 4, size, fileBytes)) {
        return malformedTable(request);
    }
    return size;
}

// The kept directory of a kind tag: the one held for it, else an empty
// one, else the first, emptied.
TableDirCache *cacheSlot(TableFile *table, int32_t kindTag)
{
    for (int i = 0; i < CAL_TABLE_DIR_CACHES; ++i) {
        if (table->dirs[i].held && table->dirs[i].kindTag == kindTag) {
            return &table->dirs[i];
        }
    }
    for (int i = 0; i < CAL_TABLE_DIR_CACHES; ++i) {
        if (!table->dirs[i].held) {
            return &table->dirs[i];
        }
    }
    table->dirs[0].held = 0;
    memRelease(&table->dirs[0].entries);
    return &table->dirs[0];
}

// Reads the directory of the request's kind into the empty slot, checked
// as tableLocate checks it. CAL_OK; CAL_ERR_FILE with request->malformed
// when the content rules the directory out; CAL_ERR_FILE or
// CAL_ERR_NO_MEMORY when the host fails. Nothing is held on failure.
int16_t cacheFill(FileRef *file, TableDirCache *c, TableRequest *request)
{
    TableDirectory dir;
    if (tableDirectoryRead(file, request->kindTag, &dir) != CAL_OK) {
        request->malformed = dir.malformed;
        return CAL_ERR_FILE;
    }
    if (dir.count > 0) {
        int16_t rc = entriesRead(file, dir.count, &c->entries);
        if (rc != CAL_OK) {
            memRelease(&c->entries);
            return rc;
        }
    }
    c->held = 1;
    c->kindTag = request->kindTag;
    c->fileBytes = dir.fileBytes;
    c->position = dir.position;
    c->count = dir.count;
    return CAL_OK;
}

// tableLocate through the kept directory of the request's kind, read first
// when none is kept; *tablePos is the table's position. Same answers.
int32_t cachedLocate(TableFile *table, TableRequest *request, int32_t *tablePos)
{
    request->notListed = 0;
    request->malformed = 0;
    TableDirCache *c = cacheSlot(table, request->kindTag);
    if (!c->held) {
        int16_t rc = cacheFill(&table->file, c, request);
        if (rc != CAL_OK) {
            return rc;
        }
    }
    if (c->count <= 0 ||
        entriesFind(static_cast<const uint8_t *>(c->entries.data), c->count, request, tablePos) != CAL_OK) {
        request->notListed = 1;
        return CAL_ERR_FILE;
    }
    return tableAt(&table->file, request, c->fileBytes, *tablePos);
}

// True when [a, a + n) and [b, b + m) share a byte.
bool overlap(int64_t a, int64_t n, int64_t b, int64_t m)
{
    return a < b + m && b < a + n;
}

// Drops every kept directory whose header word, count or entries the bytes
// [at, at + n) overlap: they were just written over.
void cacheDropOverlapped(TableFile *table, int64_t at, int64_t n)
{
    for (int i = 0; i < CAL_TABLE_DIR_CACHES; ++i) {
        TableDirCache *c = &table->dirs[i];
        int64_t entries = 4 + static_cast<int64_t>(c->count > 0 ? c->count : 0) * TABLE_DIR_ENTRY_SIZE;
        if (c->held && (overlap(at, n, c->kindTag, 4) || overlap(at, n, c->position, entries))) {
            c->held = 0;
            memRelease(&c->entries);
        }
    }
}

// tableReadBody of the record's file, through the kept directories when
// they are on.
int16_t bodyRead(TableFile *table)
{
    TableRequest *request = &table->request;
    if (!table->cacheOn) {
        return tableReadBody(&table->file, request);
    }
    int32_t tablePos = 0;
    int32_t size = cachedLocate(table, request, &tablePos);
    if (size == CAL_ERR_FILE || size == CAL_ERR_NO_MEMORY) {
        return static_cast<int16_t>(size);
    }
    if (memAllocBlock(static_cast<uint32_t>(size), &request->bodyBlock) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    if (fileRead(&table->file, request->bodyBlock.data, size) != CAL_OK) {
        memRelease(&request->bodyBlock);
        return CAL_ERR_FILE;
    }
    request->body = static_cast<uint8_t *>(request->bodyBlock.data);
    request->bodySize = size;
    return CAL_OK;
}

// tableWriteBody of the record's file, through the kept directories when
// they are on; a kept directory the body overlaps is dropped.
int16_t bodyWrite(TableFile *table, int32_t expectedSize)
{
    TableRequest *request = &table->request;
    if (!table->cacheOn) {
        return tableWriteBody(&table->file, request, expectedSize);
    }
    int32_t tablePos = 0;
    int32_t size = cachedLocate(table, request, &tablePos);
    if (size < 0 || size != expectedSize) {
        return CAL_ERR_FILE;
    }
    if (size > 0 && !request->body) {
        return CAL_ERR_FILE;
    }
    // Dropped before the write: a failed write may have written part.
    cacheDropOverlapped(table, static_cast<int64_t>(tablePos) + 4, size);
    return fileWrite(&table->file, request->body, size) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
}

} // namespace

int16_t tableDirectoryRead(FileRef *file, int32_t kindTag, TableDirectory *dir)
{
    dir->position = 0;
    dir->count = 0;
    dir->countInside = 0;
    dir->malformed = 0;
    const int32_t fileBytes = fileSize(file);
    dir->fileBytes = fileBytes;
    if (fileBytes < 0) {
        return CAL_ERR_FILE;
    }
    // Every position and length read from the file is checked against its
    // size before anything is read there, so that a read or a seek that
    // fails afterwards is the host's failure, never the file's content.
    if (!inside(kindTag, 4, fileBytes)) {
        dir->malformed = 1;
        return CAL_ERR_FILE;
    }
    if (int32ReadAt(file, kindTag, &dir->position) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    if (!inside(dir->position, 4, fileBytes)) {
        dir->malformed = 1;
        return CAL_ERR_FILE;
    }
    if (int32ReadAt(file, dir->position, &dir->count) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    dir->countInside = 1;
    // A count whose entries would run past the end of the file is a damaged
    // directory, never a buffer to allocate or walk.
    if (dir->count > 0 && !inside(static_cast<int64_t>(dir->position) + 4,
                                  static_cast<int64_t>(dir->count) * TABLE_DIR_ENTRY_SIZE, fileBytes)) {
        dir->malformed = 1;
        return CAL_ERR_FILE;
    }
    return CAL_OK;
}

int16_t tableDirectoryEntry(FileRef *file, const TableDirectory *dir, int32_t index, int32_t *kindTag, uint16_t *id,
                            int32_t *tablePos)
{
    if (dir->malformed || index < 0 || index >= dir->count) {
        return CAL_ERR_FILE;
    }
    uint8_t e[TABLE_DIR_ENTRY_SIZE];
    if (fileSeek(file, dir->position + 4 + index * TABLE_DIR_ENTRY_SIZE) != CAL_OK ||
        fileRead(file, e, TABLE_DIR_ENTRY_SIZE) != CAL_OK) {
        return CAL_ERR_FILE;
    }
    std::memcpy(kindTag, e, 4);
    std::memcpy(id, e + 4, 2);
    std::memcpy(tablePos, e + 8, 4);
    return CAL_OK;
}

int32_t tableLocate(FileRef *file, TableRequest *request)
{
    request->notListed = 0;
    request->malformed = 0;
    TableDirectory dir;
    if (tableDirectoryRead(file, request->kindTag, &dir) != CAL_OK) {
        request->malformed = dir.malformed;
        return CAL_ERR_FILE;
    }
    if (dir.count <= 0) {
        request->notListed = 1;
        return CAL_ERR_FILE;
    }
    const int32_t fileBytes = dir.fileBytes;
    const int32_t count = dir.count;
    int32_t tablePos = 0;
    int16_t found = directoryFind(file, count, request, &tablePos);
    if (found == CAL_FAIL) {
        request->notListed = 1;
        return CAL_ERR_FILE;
    }
    if (found != CAL_OK) {
        return found;
    }
    return tableAt(file, request, fileBytes, tablePos);
}

int16_t tableReadBody(FileRef *file, TableRequest *request)
{
    int32_t size = tableLocate(file, request);
    if (size == CAL_ERR_FILE || size == CAL_ERR_NO_MEMORY) {
        return static_cast<int16_t>(size);
    }
    if (memAllocBlock(static_cast<uint32_t>(size), &request->bodyBlock) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    if (fileRead(file, request->bodyBlock.data, size) != CAL_OK) {
        memRelease(&request->bodyBlock);
        return CAL_ERR_FILE;
    }
    request->body = static_cast<uint8_t *>(request->bodyBlock.data);
    request->bodySize = size;
    return CAL_OK;
}

int16_t tableWriteBody(FileRef *file, TableRequest *request, int32_t expectedSize)
{
    int32_t size = tableLocate(file, request);
    if (size < 0 || size != expectedSize) {
        return CAL_ERR_FILE;
    }
    if (size > 0 && !request->body) {
        return CAL_ERR_FILE;
    }
    return fileWrite(file, request->body, size) == CAL_OK ? CAL_OK : CAL_ERR_FILE;
}

int16_t tableLoad(TableFile *table, const char *kindName, uint16_t tableId, int32_t kindTag)
{
    tableRelease(table); // a body still loaded would otherwise be lost
    requestFill(&table->request, kindName, tableId, kindTag);
    table->request.body = nullptr;
    table->request.bodySize = 0;
    int16_t rc = bodyRead(table);
    if (rc != CAL_OK) {
        return rc;
    }
    table->loadedBody = table->request.body;
    table->loadedSize = table->request.bodySize;
    return CAL_OK;
}

int16_t tableStore(TableFile *table, const char *kindName, uint16_t tableId, int32_t kindTag)
{
    requestFill(&table->request, kindName, tableId, kindTag);
    table->request.body = table->loadedBody;
    return bodyWrite(table, table->loadedSize);
}

void tableRelease(TableFile *table)
{
    memRelease(&table->request.bodyBlock); // nothing when no body is held
    table->request.body = nullptr;
    table->loadedBody = nullptr;
    table->loadedSize = 0;
}

void tableCacheBegin(TableFile *table)
{
    tableCacheEnd(table);
    table->cacheOn = 1;
}

void tableCacheEnd(TableFile *table)
{
    table->cacheOn = 0;
    for (int i = 0; i < CAL_TABLE_DIR_CACHES; ++i) {
        table->dirs[i].held = 0;
        memRelease(&table->dirs[i].entries);
    }
}
