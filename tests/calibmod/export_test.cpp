// The export answers with the caller's own file until the flow is in place.
#include <gtest/gtest.h>

#include <cstring>

#include "calibmod.h"

namespace {

TEST(Export, AnswersWithTheSourceName) {
    CalibRequest request{7, 1, 1, 2, 3};
    CalibNames names;
    memset(&names, 'x', sizeof names);
    memcpy(names.sourceName, "abcdefghijklmn.d", 16); // 16 characters, no terminator
    const int16_t ids[6] = {0, 3, -3, 0, 0, 0};
    const KZ_WCHAR dir[] = {'/', 0};
    EXPECT_EQ(KZCalibration(&request, &names, ids, dir, dir), CAL_ERR_REQUEST);
    EXPECT_EQ(memcmp(names.resultName, "abcdefghijklmn.d", 16), 0);

    memcpy(names.sourceName, "Table0.dat", 11);
    EXPECT_EQ(KZCalibration(&request, &names, ids, dir, dir), CAL_ERR_REQUEST);
    EXPECT_EQ(memcmp(names.resultName, "Table0.dat\0\0\0\0\0\0", 16), 0) << "the rest is zero";

    EXPECT_EQ(KZCalibration(&request, nullptr, ids, dir, dir), CAL_ERR_REQUEST);
}

} // namespace
