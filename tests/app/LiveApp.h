// The program as it runs against the test box on 127.0.0.1, which streams the fixture live: the
// application with its own box connection manager and player, a surface that counts the pictures the
// renderer presents in the main window's video box, and the user's login by IP.
#pragma once

#include "AppFixture.h"

#include "app/ProgramBoxClient.h"
#include "app/ProgramPlayer.h"
#include "app/Templates.h"
#include "app/VideoBox.h"
#include "platform/dshow/VideoSurface.h"
#include "platform/mfc/detail/WindowPart.h"
#include "tests/support/testbox/LiveBox.h"
#include "tests/support/testbox/TestBox.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <set>

inline constexpr std::uint32_t kLogout = 0xFDFD2002;
inline constexpr std::uint32_t kSetSource = 0xFDFD2010;

// Stands in front of the video box for the renderer: counts the pictures and hands each on to the box.
class CountingSurface final : public platform::dshow::VideoSurface {
public:
    explicit CountingSurface(KQ_UI_VideoBox& box) : box_(box) {}
    void Present(const platform::dshow::VideoFrame& frame) override {
        box_.Present(frame);
        ++presented;
    }
    std::atomic<int> presented{0};

private:
    KQ_UI_VideoBox& box_;
};

// The distinct colours of what the video box paints; a blank (or black) box has one.
inline std::size_t paintedColours(KQ_UI_VideoBox& box) {
    const QImage image = box.part()->face->grab().toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y));
    return colours.size();
}

class LiveAppTest : public AppFixture {
protected:
    static constexpr DWORD kWait = 20000; // generous: each wait ends as soon as what it waits for happened

    explicit LiveAppTest(testbox::Options options = {}) : testBox(std::move(options)) {}
    void SetUp() override {
        AppFixture::SetUp();
        testbox::ScriptLiveBox(testBox, "ABC234", testbox::LiveRecords::Load(VELOQ_FIXTURES_DIR "/stream"));
        boxFactory = [](KQ_AppConfig& config) { return std::make_unique<ProgramBoxClient>(config); };
        playerFactory = [this](KQ_AppConfig& config) {
            auto made = std::make_unique<ProgramPlayer>(config);
            programPlayer = made.get();
            return made;
        };
    }
    void TearDown() override {
        AppFixture::TearDown();
        surface.reset();
        unsetenv("VELOQ_COM_REGISTRY");
    }

#ifdef TESSANE_LIBRARY // the targets that play recordings
    // libTessane.so registered as an installer registers it, in a temporary registry.
    void registerDecoder() {
        setenv("VELOQ_COM_REGISTRY", (temp / "classes.ini").c_str(), 1);
        ASSERT_EQ(
            std::system((std::string(VELOQ_TOOLS_DIR) + "/regsvr -s '" + TESSANE_LIBRARY + "'").c_str()), 0);
    }
#endif

    void startAndWatch() {
        start();
        surface = std::make_unique<CountingSurface>(main->VideoBox());
        platform::dshow::RegisterVideoSurface(main->VideoBox().m_hWnd, surface.get());
    }
    void loginByAddress() {
        pressLoginByAddress(L"guest", L"any");
        ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return state() != UI_STATE_LOGIN; }, kWait));
    }
    // Pictures keep coming: count more than now, then the box paints a picture.
    bool picturesArrive(int count) {
        const int from = surface->presented;
        return platform::mfc::PumpUiUntil([&] { return surface->presented >= from + count; }, kWait) &&
               platform::mfc::PumpUiUntil([&] { return paintedColours(main->VideoBox()) > 16; }, kWait);
    }

    // Logs in, records while `pictures` pictures arrive with the record button, and answers the files of the
    // record folder; back in live view.
    std::vector<std::filesystem::path> recordLive(int pictures) {
        app->m_config.m_recordPath = (temp / "record").wstring();
        loginByAddress();
        EXPECT_EQ(state(), UI_STATE_CV_PLAY);
        EXPECT_TRUE(picturesArrive(5));
        click(*main, IDC_BTN_RECORD);
        EXPECT_EQ(state(), UI_STATE_CV_RECORD);
        EXPECT_TRUE(picturesArrive(pictures));
        click(*main, IDC_BTN_RECORD);
        EXPECT_EQ(state(), UI_STATE_CV_PLAY);
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(temp / "record"))
            files.push_back(entry.path());
        return files;
    }

    testbox::TestBox testBox;
    platform::ScopedNetEnvironment environment{testBox.Environment()};
    ProgramPlayer* programPlayer = nullptr; // owned by the application
    std::unique_ptr<CountingSurface> surface;
};
