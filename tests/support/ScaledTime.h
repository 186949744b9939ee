// Runs a test at a faster time scale and restores real time afterwards.
#pragma once

#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"

#include <gtest/gtest.h>

class ScaledTime : public ::testing::Test {
protected:
    explicit ScaledTime(double scale = 50.0) : scale_(scale) {}
    void SetUp() override { platform::SetTimeScale(scale_); }
    void TearDown() override { platform::SetTimeScale(1.0); }

private:
    double scale_;
};
