// The table update of a calibrated copy: every KZHT table that the KZDB
// tables name is loaded, updated and written back in place.
#include "cal_types.h"
#include "curve_update.h"
#include "file_layer.h"
#include "table_db.h"
#include "table_file.h"

int16_t curveTableLoad(TableWork *work, int32_t tableId, uint8_t **body, int32_t *bodySize)
{
    TableFile *tf = &work->tableFile;
    int16_t rc = tableLoad(tf, "KZHT", static_cast<uint16_t>(tableId & 0xFFFF), TABLE_KIND_KZHT);
    if (rc != CAL_OK) {
        return rc;
    }
    *body = tf->loadedBody;
    *bodySize = tf->loadedSize;
    return CAL_OK;
}

int16_t curveTableStore(TableWork *work, int32_t tableId)
{
    return tableStore(&work->tableFile, "KZHT", static_cast<uint16_t>(tableId & 0xFFFF), TABLE_KIND_KZHT);
}

namespace {

// tablesUpdateAll with the directories kept by the caller.
int16_t tablesUpdateKept(TableWork *work)
{
    int16_t rc = tableIdsCollect(work);
    if (rc != CAL_OK) {
        return rc;
    }
    TableFile *tf = &work->tableFile;
    const TableIdList *list = &work->tableIds;
    for (int16_t i = 0; i < list->count; ++i) {
        int32_t id = list->ids[i];
        uint8_t *body = nullptr;
        int32_t size = 0;
        // A named table that is missing or malformed ends the update.
        rc = curveTableLoad(work, id, &body, &size);
        if (rc == CAL_OK) {
            rc = curveTableUpdate(work, id, body, size);
        }
        if (rc == CAL_OK) {
            rc = curveTableStore(work, id);
        }
        tableRelease(tf); // the one release of this table's body, whatever step failed
        if (rc != CAL_OK) {
            return CAL_FAIL;
        }
    }
    return CAL_OK;
}

} // namespace

int16_t tablesUpdateAll(TableWork *work)
{
    // Every table is found through directories read once: nothing but
    // this update writes the file meanwhile.
    tableCacheBegin(&work->tableFile);
    int16_t rc = tablesUpdateKept(work);
    tableCacheEnd(&work->tableFile);
    return rc;
}
