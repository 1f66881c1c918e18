// The image's validation: the shipped image passes it, and it refuses an
// image whose scratch memory it cannot get rather than judging it half.
#include <gtest/gtest.h>

#include <string>

#include "depbase.h"
#include "fake_platform.h"
#include "image.h"
#include "image_validate.h"

namespace {

void Collect(void *ctx, const char *message)
{
    static_cast<std::string *>(ctx)->append(message).append("\n");
}

TEST(ImageValidate, TheShippedImageIsSound)
{
    FakePlatform fake;
    std::string faults;
    EXPECT_EQ(ZMD_ValidateImage(ZMD_ShippedImage(), fake.env(ZMD_ShippedImage()).platform, Collect, &faults), ZMD_OK)
        << faults;
    EXPECT_EQ(ZMD_ValidateQueryRules(ZMD_ShippedImage(), nullptr, nullptr), ZMD_OK);
    EXPECT_EQ(fake.outstanding(), 0u);
}

TEST(ImageValidate, EveryScratchAllocationThatFailsRefusesTheImage)
{
    FakePlatform fake;
    const ZMD_Platform *platform = fake.env(ZMD_ShippedImage()).platform;
    ASSERT_EQ(ZMD_ValidateImage(ZMD_ShippedImage(), platform, nullptr, nullptr), ZMD_OK);
    const int allocations = fake.allocCalls;
    ASSERT_GT(allocations, 0);
    for (int at = 1; at <= allocations; ++at) {
        fake.resetAllocCounters();
        fake.failAllocAt = at;
        std::string faults;
        EXPECT_EQ(ZMD_ValidateImage(ZMD_ShippedImage(), platform, Collect, &faults), ZMD_ERROR) << "allocation " << at;
        EXPECT_NE(faults.find("out of memory"), std::string::npos) << "allocation " << at << ": " << faults;
        EXPECT_EQ(fake.outstanding(), 0u) << "allocation " << at;
    }
}

} // namespace
