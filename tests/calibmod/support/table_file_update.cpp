// The table update of a copy already in place.
#include "table_file_update.h"

#include "cal_types.h"
#include "curve_update.h"
#include "file_layer.h"
#include "table_file.h"

int16_t tableFileUpdate(CalibContext *ctx)
{
    TableFile *tf = &ctx->table.tableFile;
    int16_t rc = fileOpenForUpdate(&tf->file, ctx->calibDir, ctx->list.chosenName);
    if (rc == CAL_OK) {
        rc = tablesUpdateAll(&ctx->table);
    }
    // The one cleanup: nothing stays loaded or open, whatever path was taken.
    tableRelease(tf);
    fileClose(&tf->file);
    return rc != CAL_OK ? CAL_ERR_FILE : CAL_OK;
}
