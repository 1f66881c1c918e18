// The curves a copy corrects, compared with its source's: the KZDB scan and
// the KZHT tables as the table update reads them.
#include <cstring>

#include "byte_order.h"
#include "cal_types.h"
#include "curve_update.h"
#include "inspect_copy.h"
#include "table_db.h"
#include "table_file.h"

namespace {

#define CORRECTED_SLOTS 4 // mode 1 fills slots 0 to 3
#define CURVES_MAX      8 // a body has at most seven planes

// The corrected curves of one table, in the order the update meets them.
struct Corrected {
    int16_t count;
    int32_t slots[CURVES_MAX];
    uint8_t curves[CURVES_MAX][CURVE_BYTES];
};

void curveKeep(void *arg, int32_t slot, const uint8_t *curve)
{
    Corrected *c = static_cast<Corrected *>(arg);
    if (slot < 0 || slot >= CORRECTED_SLOTS || c->count >= CURVES_MAX) {
        return;
    }
    c->slots[c->count] = slot;
    memcpy(c->curves[c->count], curve, CURVE_BYTES);
    ++c->count;
}

// A table work that reads one data file's tables.
struct Reader {
    MemBlock block;
    TableWork *work;
};

int16_t readerOpen(Reader *r, const CalPlatform *platform, const KZ_WCHAR *dir, const char *name, int16_t mode)
{
    memInit(&r->block, platform);
    r->work = nullptr;
    if (memAllocBlock(sizeof(TableWork), &r->block) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    r->work = static_cast<TableWork *>(r->block.data);
    tableWorkInit(r->work, platform, nullptr, nullptr);
    r->work->byteOrder = byteOrderFlag(byteOrderProbe());
    return fileOpenNamed(&r->work->tableFile.file, dir, name, mode);
}

void readerClose(Reader *r)
{
    if (r->work != nullptr) {
        tableWorkRelease(r->work);
    }
    memRelease(&r->block);
    r->work = nullptr;
}

// The corrected curves of table id; count 0 when the table cannot be read.
void tableCorrected(Reader *r, int32_t id, Corrected *out)
{
    out->count = 0;
    uint8_t *body = nullptr;
    int32_t size = 0;
    if (curveTableLoad(r->work, id, &body, &size) != CAL_OK) {
        return;
    }
    Corrected walked;
    walked.count = 0;
    if (curveBodyWalk(r->work->byteOrder, id, body, size, curveKeep, &walked) == CAL_OK) {
        memcpy(out, &walked, sizeof walked);
    }
    tableRelease(&r->work->tableFile);
}

bool sameCurves(const Corrected &a, const Corrected &b)
{
    if (a.count != b.count) {
        return false;
    }
    for (int16_t i = 0; i < a.count; ++i) {
        if (a.slots[i] != b.slots[i] || memcmp(a.curves[i], b.curves[i], CURVE_BYTES) != 0) {
            return false;
        }
    }
    return true;
}

int16_t curvesCompare(Reader *source, Reader *copy, bool copyOpen, bool *differs, bool *any)
{
    int16_t rc = tableIdsCollect(source->work);
    if (rc != CAL_OK && rc != CAL_FAIL) {
        return rc;
    }
    const TableIdList &ids = source->work->tableIds;
    MemBlock scratch;
    memInit(&scratch, source->block.platform);
    if (memAllocBlock(2 * sizeof(Corrected), &scratch) != CAL_OK) {
        return CAL_ERR_NO_MEMORY;
    }
    Corrected *was = static_cast<Corrected *>(scratch.data);
    Corrected *now = was + 1;
    for (int16_t i = 0; i < ids.count && !*differs; ++i) {
        if (!curveTableHasBuiltIn(ids.ids[i])) {
            continue;
        }
        tableCorrected(source, ids.ids[i], was);
        if (was->count == 0) {
            continue;
        }
        *any = true;
        now->count = 0;
        if (copyOpen) {
            tableCorrected(copy, ids.ids[i], now);
        }
        *differs = !sameCurves(*was, *now);
    }
    memRelease(&scratch);
    return CAL_OK;
}

} // namespace

int16_t inspectCurvesDiffer(const CalPlatform *platform, const KZ_WCHAR *sourceDir, const char *sourceName,
                            const KZ_WCHAR *calibDir, const char *copyName, bool *differs, bool *any)
{
    *differs = false;
    *any = false;
    Reader source;
    Reader copy;
    int16_t rc = readerOpen(&source, platform, sourceDir, sourceName, CAL_MODE_READ_SOURCE);
    int16_t copyRc = readerOpen(&copy, platform, calibDir, copyName, CAL_MODE_READ);
    if (rc == CAL_OK && copyRc == CAL_ERR_NO_MEMORY) {
        rc = CAL_ERR_NO_MEMORY;
    }
    if (rc == CAL_OK) {
        rc = curvesCompare(&source, &copy, copyRc == CAL_OK, differs, any);
    } else if (rc != CAL_ERR_NO_MEMORY) {
        rc = CAL_ERR_FILE;
    }
    readerClose(&copy);
    readerClose(&source);
    return rc;
}
