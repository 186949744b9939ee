// The settings sheet of a program logged in to the test box on 127.0.0.1 by address: the program's own box
// connection manager, a fake player, and a box that answers from its records and streams the fixture (so
// the link stays alive).
#pragma once

#include "SheetFixture.h"

#include "app/ProgramBoxClient.h"
#include "app/Templates.h"
#include "tests/support/testbox/LiveFeed.h"
#include "tests/support/testbox/TestBox.h"

class BoxSheetFixture : public SheetFixture {
protected:
    static constexpr DWORD kWait = 20000; // generous: each wait ends as soon as what it waits for happened

    void SetUp() override {
        SheetFixture::SetUp();
        testBox.ScriptStream(
            {testbox::StreamScript{.live = testbox::LiveRecords::Load(VELOQ_FIXTURES_DIR "/stream")}});
        boxFactory = [](KQ_AppConfig& config) { return std::make_unique<ProgramBoxClient>(config); };
    }
    void loginByAddress() {
        pressLoginByAddress(L"guest");
        ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return state() != UI_STATE_LOGIN; }, kWait));
        ASSERT_EQ(state(), UI_STATE_CV_PLAY);
    }
    bool pumpUntil(const std::function<bool()>& done) { return platform::mfc::PumpUiUntil(done, kWait); }
    // The box's own records, read under its lock.
    std::vector<testbox::Bytes> boxTasks() {
        std::vector<testbox::Bytes> tasks;
        testBox.Records([&](testbox::BoxRecordsSide& r) { tasks = r.Tasks(); });
        return tasks;
    }
    static std::string taskFile(const testbox::Bytes& task) {
        const char* name = reinterpret_cast<const char*>(task.data() + 42);
        return std::string(name, strnlen(name, 32));
    }
    std::vector<testbox::ReceivedFrame> framesOf(std::uint32_t command) const {
        return testBox.FramesOf(command);
    }

    testbox::TestBox testBox;
    platform::ScopedNetEnvironment environment{testBox.Environment()};
};
