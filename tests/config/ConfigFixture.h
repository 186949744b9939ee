// A program folder of its own with an empty "Setup" folder, for the configuration tests.
#pragma once

#include "config/AppConfig.h"
#include "config/LoginFolder.h"

#include "platform/win32/Text.h"
#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>

class ConfigFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(temp / "Setup");
        InitUserDataRoot(); // the root of this program folder
    }
    void writeProperty(std::string_view text) { temp.write("Setup/property.ini", text); }
    std::string property() { return temp.read("Setup/property.ini"); }
    std::wstring fixture(const char* name) {
        return platform::BackslashPath(std::filesystem::path(VELOQ_FIXTURES_DIR) / "config" / name);
    }
    // A copy of a fixture inside the program folder, as the code names it.
    std::wstring copyFixture(const char* name) {
        std::filesystem::copy_file(std::filesystem::path(VELOQ_FIXTURES_DIR) / "config" / name, temp / name);
        return std::wstring(L".\\") + std::wstring(name, name + std::strlen(name));
    }
    TempFolder temp;
};
