// calibration: a whole KZCalibration over an arbitrary list file and data
// file in a scratch directory.
//
// Input: request (listNumber, mode, three params: 1 byte each), six ids
// (1 byte each: -8, -3, 0, 3 or raw), source-name and prefix choices (1 byte
// each), list length (2 bytes), the list text, then the data file. The call
// answers one of the four export codes, leaves a terminated name in
// resultName (the source's own name or a safe copy name), leaves nothing
// allocated or open, and a call that succeeded answers the same name when
// it is made again.
#include <cstring>

#include "cal_types.h"
#include "calib_flow.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "fuzz_targets.h"
#include "list_file.h"
#include "scratch_dir.h"

namespace {

const char *const kSourceNames[] = {"Table0.dat", "Map.dat", "a.b", "LONGNAME15.DAT", ".dat", "noext", "A.B.C"};
const char *const kPrefixes[] = {"abcde", "KZCAL", "ab/de", "ab\\de"};

std::string resultOf(const CalibNames &names)
{
    return std::string(names.resultName, strnlen(names.resultName, sizeof names.resultName));
}

} // namespace

int FuzzCalibration(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    scratchClear();
    CalibRequest request{};
    request.listNumber = static_cast<int16_t>(in.u8() % 3);
    const uint8_t mode = in.u8();
    request.mode = mode < 0xE0 ? 1 : static_cast<int16_t>(mode & 7);
    request.param1 = static_cast<int8_t>(in.u8() % 3);
    request.param2 = static_cast<int8_t>(in.u8());
    request.param3 = static_cast<int8_t>(in.u8());
    int16_t ids[6];
    for (int16_t &id : ids) {
        const uint8_t raw = in.u8();
        static const int16_t kIds[] = {0, -3, 3, 0, -3, 3, -8};
        id = raw < 0xF0 ? kIds[raw % 7] : static_cast<int16_t>(static_cast<int8_t>(raw));
    }
    CalibNames names{};
    const char *source = kSourceNames[in.u8() % (sizeof kSourceNames / sizeof kSourceNames[0])];
    std::memcpy(names.sourceName, source, std::strlen(source));
    std::memcpy(names.listPrefix, kPrefixes[in.u8() % 4], 5);
    const size_t listLength = in.u16() % 2048;
    const std::vector<uint8_t> list = in.bytes(listLength);
    const std::vector<uint8_t> file = in.rest();

    CalibContext probe{};
    contextInit(&probe, nullptr, &request, &names, ids, nullptr, nullptr);
    const bool listNamed = listBuildName(&probe.list);
    if (listNamed && !list.empty()) {
        scratchWrite(scratchCalib(), probe.list.listFileName, list);
    }
    if (!file.empty()) {
        scratchWrite(scratchSource(), source, file);
    }

    FakePlatform fake;
    const int16_t rc = flowCalibrate(fake.platform(), &request, &names, ids, scratchSource().wide.c_str(),
                                     scratchCalib().wide.c_str());
    FUZZ_CHECK(rc == CAL_OK || rc == CAL_ERR_REQUEST || rc == CAL_ERR_NO_MEMORY || rc == CAL_ERR_FILE);
    FUZZ_CHECK(fake.outstandingAllocs == 0);
    FUZZ_CHECK(fake.openHandles == 0);
    const std::string first = resultOf(names);
    FUZZ_CHECK(first.size() < sizeof names.resultName);
    FUZZ_CHECK(first == source || (rc == CAL_OK && listNameIsSafe(names.resultName)));

    if (rc == CAL_OK && first != source) {
        FakePlatform again;
        std::memset(names.resultName, 'x', sizeof names.resultName);
        const int16_t rc2 = flowCalibrate(again.platform(), &request, &names, ids, scratchSource().wide.c_str(),
                                          scratchCalib().wide.c_str());
        FUZZ_CHECK(rc2 == CAL_OK);
        FUZZ_CHECK(resultOf(names) == first);
        FUZZ_CHECK(again.outstandingAllocs == 0);
        FUZZ_CHECK(again.openHandles == 0);
    }
    return 0;
}
