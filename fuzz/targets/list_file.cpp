// list_file: the list-file reader and decision over arbitrary list text.
//
// Input: request key (4 bytes), source-name choice (1 byte, or 16 raw bytes),
// then the list text. After the decision a new entry is written as the flow
// would; reading the list back must then find the request key under the
// chosen name. Nothing may stay allocated or open.
#include <cstring>

#include "cal_context.h"
#include "cal_types.h"
#include "calib_flow.h"
#include "list_file.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "fuzz_targets.h"
#include "list_file.h"
#include "scratch_dir.h"

namespace {

const char *const kSourceNames[] = {"Table0.dat", "Map.dat", "a.b", "LONGNAME15.DAT", "x.y.z", "1234567.890"};

void fillNames(FuzzInput &in, CalibNames *names)
{
    const uint8_t choice = in.u8();
    if (choice < 0xF0) {
        const char *s = kSourceNames[choice % (sizeof kSourceNames / sizeof kSourceNames[0])];
        std::memcpy(names->sourceName, s, std::strlen(s));
    } else {
        const std::vector<uint8_t> raw = in.bytes(16);
        if (!raw.empty()) {
            std::memcpy(names->sourceName, raw.data(), raw.size());
        }
    }
    std::memcpy(names->listPrefix, "abcde", 5);
}

// Decides for the request over the list as it is now.
int16_t decide(FakePlatform &fake, const CalibRequest *request, CalibNames *names, CalibContext *ctx)
{
    static const int16_t ids[6] = {0, 0, 0, 0, 0, 0};
    contextInit(ctx, fake.platform(), request, names, ids, scratchSource().wide.c_str(), scratchCalib().wide.c_str());
    return listDecide(&ctx->list);
}

} // namespace

int FuzzListFile(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    scratchClear();
    CalibRequest request{};
    request.listNumber = static_cast<int16_t>(in.u8() % 4);
    request.mode = 1;
    request.param1 = static_cast<int8_t>(in.u8());
    request.param2 = static_cast<int8_t>(in.u8());
    request.param3 = static_cast<int8_t>(in.u8());
    CalibNames names{};
    fillNames(in, &names);

    FakePlatform fake;
    CalibContext ctx{};
    contextInit(&ctx, fake.platform(), &request, &names, nullptr, nullptr, scratchCalib().wide.c_str());
    FUZZ_CHECK(listBuildName(&ctx.list));
    const std::string listName = ctx.list.listFileName;
    scratchWrite(scratchCalib(), listName, in.rest());

    int16_t rc = decide(fake, &request, &names, &ctx);
    FUZZ_CHECK(rc == CAL_OK || rc == CAL_ERR_NO_MEMORY || rc == CAL_ERR_REQUEST);
    if (rc == CAL_OK) {
        FUZZ_CHECK(ctx.list.state == CAL_STATE_FOUND || ctx.list.state == CAL_STATE_NEW_LIST ||
                   ctx.list.state == CAL_STATE_NEW_ENTRY);
        FUZZ_CHECK(listNameIsSafe(ctx.list.chosenName));
    }
    if (rc == CAL_OK && ctx.list.state != CAL_STATE_FOUND) {
        const std::string chosen = ctx.list.chosenName;
        FUZZ_CHECK(listUpdate(&ctx.list) == CAL_OK);
        contextReleaseBuffers(&ctx);
        // The list as written must now answer the request with the new name.
        CalibContext again{};
        FUZZ_CHECK(decide(fake, &request, &names, &again) == CAL_OK);
        FUZZ_CHECK(again.list.state == CAL_STATE_FOUND);
        FUZZ_CHECK(chosen == again.list.chosenName);
        contextReleaseBuffers(&again);
    }
    contextReleaseBuffers(&ctx);
    FUZZ_CHECK(fake.outstandingAllocs == 0);
    FUZZ_CHECK(fake.openHandles == 0);
    return 0;
}
