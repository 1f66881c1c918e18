// Locating, reading and writing back table bodies of a calibration data file.
#include "table_file.h"

#include <cstring>

#include "cal_types.h"

namespace {

int16_t readInt32(FileRef *file, int32_t offset, int32_t *out)
{
    if (fileSeek(file, offset) != 0) {
        return CAL_ERR_FILE;
    }
    return fileRead(file, out, 4) == 0 ? 0 : CAL_ERR_FILE;
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

void fillRequest(TableRequest *request, const char *kindName, uint16_t tableId, int32_t kindTag)
{
    std::memset(request->kindName, 0, sizeof request->kindName);
    if (kindName) {
        std::strncpy(request->kindName, kindName, sizeof request->kindName - 1);
    }
    request->tableId = tableId;
    request->kindTag = kindTag;
}

} // namespace

int32_t tableLocate(FileRef *file, TableRequest *request)
{
    request->notListed = 0;
    request->malformed = 0;
    int32_t fileBytes = fileSize(file);
    if (fileBytes < 0) {
        return CAL_ERR_FILE;
    }

    // Every position and length read from the file is checked against its
    // size before anything is read there, so that a read or a seek that
    // fails afterwards is the host's failure, never the file's content.
    if (!inside(request->kindTag, 4, fileBytes)) {
        return malformedTable(request);
    }
    int32_t dirPos, count;
    if (readInt32(file, request->kindTag, &dirPos) != 0) {
        return CAL_ERR_FILE;
    }
    if (!inside(dirPos, 4, fileBytes)) {
        return malformedTable(request);
    }
    if (readInt32(file, dirPos, &count) != 0) {
        return CAL_ERR_FILE;
    }
    if (count <= 0) {
        request->notListed = 1;
        return CAL_ERR_FILE;
    }
    // A count whose entries would run past the end of the file is a damaged
    // directory, never a buffer to allocate or walk.
    if (!inside(static_cast<int64_t>(dirPos) + 4, static_cast<int64_t>(count) * TABLE_DIR_ENTRY_SIZE, fileBytes)) {
        return malformedTable(request);
    }

    uint32_t entryBytes = static_cast<uint32_t>(count) * TABLE_DIR_ENTRY_SIZE;
    MemBlock entries;
    memInit(&entries, file->platform);
    if (memAllocBlock(entryBytes, &entries) != 0) {
        return CAL_ERR_NO_MEMORY;
    }
    if (fileRead(file, entries.data, static_cast<int32_t>(entryBytes)) != 0) {
        memRelease(&entries);
        return CAL_ERR_FILE;
    }
    // The first entry with the same kind tag and id is the table.
    const uint8_t *e = static_cast<const uint8_t *>(entries.data);
    bool found = false;
    int32_t tablePos = 0;
    for (int32_t i = 0; i < count && !found; ++i, e += TABLE_DIR_ENTRY_SIZE) {
        int32_t tag;
        uint16_t id;
        std::memcpy(&tag, e, 4);
        std::memcpy(&id, e + 4, 2);
        if (tag == request->kindTag && id == request->tableId) {
            std::memcpy(&tablePos, e + 8, 4);
            found = true;
        }
    }
    memRelease(&entries);
    if (!found) {
        request->notListed = 1;
        return CAL_ERR_FILE;
    }

    if (!inside(tablePos, 4, fileBytes)) {
        return malformedTable(request);
    }
    int32_t size;
    if (readInt32(file, tablePos, &size) != 0) {
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
    memReset(&request->bodyBlock);
    if (memAllocBlock(static_cast<uint32_t>(size), &request->bodyBlock) != 0) {
        return CAL_ERR_NO_MEMORY;
    }
    if (fileRead(file, request->bodyBlock.data, size) != 0) {
        memRelease(&request->bodyBlock);
        memReset(&request->bodyBlock);
        return CAL_ERR_FILE;
    }
    request->body = static_cast<uint8_t *>(request->bodyBlock.data);
    request->bodySize = size;
    return 0;
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
    return fileWrite(file, request->body, size) == 0 ? 0 : CAL_ERR_FILE;
}

int16_t tableLoad(TableFile *table, const char *kindName, uint16_t tableId, int32_t kindTag)
{
    tableRelease(table); // a body still loaded would otherwise be lost
    fillRequest(&table->request, kindName, tableId, kindTag);
    table->request.body = nullptr;
    table->request.bodySize = 0;
    int16_t rc = tableReadBody(&table->file, &table->request);
    if (rc != 0) {
        return rc;
    }
    table->loadedBody = table->request.body;
    table->loadedSize = table->request.bodySize;
    return 0;
}

int16_t tableStore(TableFile *table, const char *kindName, uint16_t tableId, int32_t kindTag)
{
    fillRequest(&table->request, kindName, tableId, kindTag);
    table->request.body = table->loadedBody;
    return tableWriteBody(&table->file, &table->request, table->loadedSize);
}

void tableRelease(TableFile *table)
{
    if (!table->loadedBody) {
        return;
    }
    memFree(&table->request.bodyBlock);
    table->request.body = nullptr;
    table->loadedBody = nullptr;
    table->loadedSize = 0;
}
