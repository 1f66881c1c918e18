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

// Reads the count directory entries at the file's position into a block of
// its own, which it releases before returning, and finds the first entry
// with the request's kind tag and id. CAL_OK with *tablePos, CAL_FAIL when
// no entry matches, CAL_ERR_FILE or CAL_ERR_NO_MEMORY.
int16_t directoryFind(FileRef *file, int32_t count, const TableRequest *request, int32_t *tablePos)
{
    uint32_t entryBytes = static_cast<uint32_t>(count) * TABLE_DIR_ENTRY_SIZE;
    MemBlock entries;
    memInit(&entries, file->platform);
    if (memAllocBlock(entryBytes, &entries) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    int16_t rc = CAL_ERR_FILE;
    if (fileRead(file, entries.data, static_cast<int32_t>(entryBytes)) == CAL_OK) {
        rc = CAL_FAIL;
        const uint8_t *e = static_cast<const uint8_t *>(entries.data);
        for (int32_t i = 0; i < count && rc == CAL_FAIL; ++i, e += TABLE_DIR_ENTRY_SIZE) {
            int32_t tag;
            uint16_t id;
            std::memcpy(&tag, e, 4);
            std::memcpy(&id, e + 4, 2);
            if (tag == request->kindTag && id == request->tableId) {
                std::memcpy(tablePos, e + 8, 4);
                rc = CAL_OK;
            }
        }
    }
    memRelease(&entries);
    return rc;
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
    int16_t rc = tableReadBody(&table->file, &table->request);
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
    return tableWriteBody(&table->file, &table->request, table->loadedSize);
}

void tableRelease(TableFile *table)
{
    memRelease(&table->request.bodyBlock); // nothing when no body is held
    table->request.body = nullptr;
    table->loadedBody = nullptr;
    table->loadedSize = 0;
}
