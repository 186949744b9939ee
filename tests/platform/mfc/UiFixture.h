// Tests of the window layer: the toolkit runs on the offscreen platform; every hook is reset afterwards.
#pragma once

#include "platform/mfc/App.h"
#include "platform/mfc/Dc.h"
#include "platform/mfc/Dialog.h"
#include "platform/mfc/Menu.h"
#include "platform/mfc/MessageBox.h"
#include "platform/mfc/detail/WindowPart.h"

#include <gtest/gtest.h>

class UiTest : public ::testing::Test {
protected:
    void SetUp() override { platform::mfc::EnsureToolkit(); }
    void TearDown() override {
        platform::mfc::SetModalHook(nullptr);
        platform::mfc::SetMessageBoxHook(nullptr);
        platform::mfc::SetMenuHook(nullptr);
        platform::mfc::PumpUiFor(1);
    }
};
