// table_update: the table update of a calibrated copy over an arbitrary
// calibration data file.
//
// Input: mode (1 byte), six adjustment ids (2 bytes each: mostly the
// accepted ones, sometimes raw), a byte-order choice (1 byte), then the file.
// The update answers CAL_OK or CAL_ERR_FILE, never changes the file's size,
// and leaves nothing allocated or open.
#include <cstring>

#include "byte_order.h"
#include "cal_context.h"
#include "cal_types.h"
#include "curve_update.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "fuzz_targets.h"
#include "scratch_dir.h"
#include "table_file_update.h"

int FuzzTableUpdate(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    scratchClear();
    CalibRequest request{};
    request.listNumber = 7;
    request.mode = static_cast<int16_t>(in.u8() % 8);
    int16_t ids[6];
    for (int16_t &id : ids) {
        const uint16_t raw = in.u16();
        static const int16_t kAccepted[] = {0, -3, 3, 0};
        id = (raw & 0x8000) ? static_cast<int16_t>(raw) : kAccepted[raw % 4];
    }
    const uint8_t order = in.u8();
    const std::vector<uint8_t> file = in.rest();
    scratchWrite(scratchCalib(), "copy.dat", file);

    CalibNames names{};
    std::memcpy(names.sourceName, "copy.dat", 8);
    std::memcpy(names.listPrefix, "abcde", 5);
    FakePlatform fake;
    CalibContext ctx{};
    contextInit(&ctx, fake.platform(), &request, &names, ids, scratchSource().wide.c_str(),
                scratchCalib().wide.c_str());
    std::memcpy(ctx.list.chosenName, "copy.dat", 9);
    // 1: numbers as stored; 2: swapped (a file of the other byte order).
    ctx.table.byteOrder = (order & 1) ? 2 : byteOrderFlag(byteOrderProbe());

    const int16_t rc = tableFileUpdate(&ctx);
    FUZZ_CHECK(rc == CAL_OK || rc == CAL_ERR_FILE);
    contextReleaseBuffers(&ctx);
    FUZZ_CHECK(fake.outstandingAllocs == 0);
    FUZZ_CHECK(fake.openHandles == 0);
    std::vector<uint8_t> after;
    FUZZ_CHECK(scratchRead(scratchCalib(), "copy.dat", &after));
    FUZZ_CHECK(after.size() == file.size());
    return 0;
}
