#include "platform/ddraw/DirectDraw.h"

#include <gtest/gtest.h>

namespace {

TEST(PitchProbeTest, AnswersTwiceTheWidthRoundedUpTo64) {
    const struct {
        int width;
        DWORD pitch;
    } cases[] = {{176, 384}, {352, 704}, {528, 1088}, {720, 1472}, {640, 1280}, {1, 64}};
    for (const auto& c : cases) {
        CVD_DIRECTX_Draw probe;
        int kind = -1;
        ASSERT_EQ(probe.Create(nullptr, c.width, 288, &kind), 0) << c.width;
        EXPECT_EQ(kind, 0);
        EXPECT_EQ(probe.GetPitch(), c.pitch) << c.width;
    }
    CVD_DIRECTX_Draw uncreated;
    EXPECT_EQ(uncreated.GetPitch(), static_cast<DWORD>(-9));
    EXPECT_EQ(uncreated.Create(nullptr, 0, 480, nullptr), -4);
    EXPECT_EQ(uncreated.GetPitch(), static_cast<DWORD>(-9));
}

TEST(PitchProbeTest, HookMakesItFailOrAnswerAGivenPitch) {
    for (int code : {-1, -2, -3, -4, -20, -21}) {
        platform::ddraw::SetProbeHook({code, std::nullopt});
        CVD_DIRECTX_Draw probe;
        EXPECT_EQ(probe.Create(nullptr, 720, 576, nullptr), code);
        EXPECT_EQ(probe.GetPitch(), static_cast<DWORD>(-9));
    }
    platform::ddraw::SetProbeHook({0, 10241u});
    CVD_DIRECTX_Draw probe;
    ASSERT_EQ(probe.Create(nullptr, 720, 576, nullptr), 0);
    EXPECT_EQ(probe.GetPitch(), 10241u);
    platform::ddraw::SetProbeHook({});
    EXPECT_EQ(probe.GetPitch(), 1472u);
}

} // namespace
