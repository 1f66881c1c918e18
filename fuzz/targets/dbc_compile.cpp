// dbc_compile: the database compiler's front end over arbitrary source text.
//
// The compiler either reports errors or produces an image that passes every
// check of the image format; such an image is then printed back, written as
// C++, and every one of its keys is evaluated by the engine with an all-zero
// record of its database's shape, which must answer a known code.
#include <string>
#include <vector>

#include "dbc.h"
#include "access.h"
#include "engine.h"
#include "computed.h"
#include "extract.h"
#include "fuzz_input.h"
#include "fuzz_targets.h"

namespace {

void *heapAlloc(void *, size_t size)
{
    return calloc(1, size ? size : 1);
}
void heapFree(void *, void *p)
{
    free(p);
}
bool noPrinter(void *, const ZMD_WCHAR *, void **)
{
    return false;
}
void noClose(void *, void *) {}
bool noData(void *, void *, const ZMD_WCHAR *, void *, uint32_t, uint32_t *)
{
    return false;
}
void fixedTime(void *, ZMD_LocalTime *t)
{
    *t = ZMD_LocalTime{2024, 1, 2, 3, 4, 5};
}
int country(void *, char *buf, int cb)
{
    if (cb == 0) {
        return 2;
    }
    if (cb < 2) {
        return 0;
    }
    buf[0] = '1';
    buf[1] = 0;
    return 2;
}

} // namespace

int FuzzDbcCompile(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    DbcImage image;
    std::string diagnostics;
    if (!DbcCompileText("fuzz.zdb", text, &image, &diagnostics)) {
        FUZZ_CHECK(!diagnostics.empty());
        return 0;
    }
    ZMD_ImageView view{};
    DbcMakeView(image, &view);
    std::string faults;
    const bool valid = DbcValidateView(view, &faults);
    if (!valid) {
        std::fprintf(stderr, "%s", faults.c_str());
    }
    FUZZ_CHECK(valid);
    (void)DbcPrintView(view);
    (void)DbcWriteCpp(image, "fuzz.zdb");

    const ZMD_Platform platform{nullptr, noPrinter, noClose, noData, fixedTime, country, heapAlloc, heapFree};
    const ZMD_Env env{&view, &platform};
    for (uint32_t k = 0; k < view.counts.keys && k < 512; ++k) {
        const uint16_t key = view.keys[k];
        int db = DbcDatabaseOfKey(key);
        if (db < 0) {
            continue;
        }
        if (db == 6) {
            db = ZMD_DB_DRV;
        }
        ZMD_SettingsRecord *rec = ZMD_CreateSettingsRecord(&env, static_cast<uint32_t>(db), nullptr);
        FUZZ_CHECK(rec != nullptr);
        uint8_t buf[256];
        uint32_t got = 0;
        const int32_t r = ZMD_LookupAndExtract(&env, key, rec, sizeof buf, buf, &got);
        FUZZ_CHECK(r >= ZMD_BAD_RECORD && r <= ZMD_NO_KEY);
        ZMD_FreeSettingsRecord(&env, rec);
    }
    return 0;
}
