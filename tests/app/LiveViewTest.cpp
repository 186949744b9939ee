// The program as it runs: the application with its own box connection manager and player against the test
// box on 127.0.0.1, which streams the fixture live. Logging in by IP starts live view, decoded pictures
// reach and paint the main window's video box, the source button switches the box's source and live view
// goes on on the new stream, the record button records the live stream into an MP4 file that plays, and
// logging out stops the player and the stream; a recording opens from the open-file button and plays.
#include "LiveApp.h"

#include "app/Menus.h"
#include "platform/mfc/FileDialog.h"
#include "tests/support/Ffprobe.h"

#include <filesystem>
#include <regex>

namespace {

using LiveViewTest = LiveAppTest;

TEST_F(LiveViewTest, ALoginByAddressShowsTheLivePictureAndTheLogoutStopsIt) {
    startAndWatch();
    EXPECT_EQ(paintedColours(main->VideoBox()), 1u) << "nothing shown before the login";
    app->m_config.m_volume = 700;
    loginByAddress();
    ASSERT_EQ(state(), UI_STATE_CV_PLAY);
    EXPECT_EQ(programPlayer->Mode(), PLAYER_MODE_LIVE);
    EXPECT_EQ(programPlayer->Player().Volume(), 700) << "the configured volume";
    EXPECT_EQ(main->StatusLine().Text(), L"Device is connected");
    EXPECT_TRUE(picturesArrive(10));
    EXPECT_EQ(testBox.StreamConnections(), 1);

    login().OnLoginButton();
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_EQ(programPlayer->Mode(), PLAYER_MODE_NONE);
    EXPECT_TRUE(platform::mfc::PumpUiUntil([&] { return testBox.FramesOf(kLogout).size() == 3; }, kWait));
}

TEST_F(LiveViewTest, TheSourceButtonSwitchesTheBoxAndLiveViewGoesOnOnTheNewStream) {
    startAndWatch();
    loginByAddress();
    ASSERT_EQ(state(), UI_STATE_CV_PLAY);
    ASSERT_TRUE(picturesArrive(5));
    click(*main, ID_MENU_ASPECT_WS);
    EXPECT_EQ(programPlayer->Player().AspectMode(), 1);

    click(*main, IDC_BTN_SOURCE);
    ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return state() == UI_STATE_SV_PLAY; }, kWait));
    const auto requests = testBox.FramesOf(kSetSource);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].value, static_cast<std::uint32_t>('S'));
    // The box link restarted live view before it told the window; these pictures are of the new stream.
    EXPECT_EQ(programPlayer->Mode(), PLAYER_MODE_LIVE);
    EXPECT_EQ(programPlayer->Player().AspectMode(), 1) << "the layout chosen outlives the restart";
    EXPECT_TRUE(picturesArrive(10));
    EXPECT_EQ(app->m_config.m_lastSource, 1) << "the box's code of SV";

    login().OnLoginButton();
    EXPECT_EQ(state(), UI_STATE_INIT);
    EXPECT_EQ(programPlayer->Mode(), PLAYER_MODE_NONE);
}

TEST_F(LiveViewTest, TheRecordButtonRecordsTheLiveStreamIntoAFileThatPlays) {
    startAndWatch();
    const std::vector<std::filesystem::path> files = recordLive(100); // two seconds of fields
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension(), ".mp4");
    const Probe probe = runFfprobe(files[0].string());
    EXPECT_EQ(probe.status, 0);
    EXPECT_TRUE(std::regex_match(probe.output, std::regex("h264,[0-9]+\naac,[0-9]+\n"))) << probe.output;
    login().OnLoginButton();
    EXPECT_EQ(state(), UI_STATE_INIT);
}

// A recording the record button made opens from the open-file button and plays in the video box through
// the file graph (libTessane.so registered as an installer registers it, here in a temporary registry);
// pause, a seek with the position slider, stop and the end of the file follow the file states.
TEST_F(LiveViewTest, ARecordingOpensFromTheOpenFileButtonAndPlays) {
    registerDecoder();
    startAndWatch();
    const std::vector<std::filesystem::path> files = recordLive(200); // four seconds of fields
    ASSERT_EQ(files.size(), 1u);
    const std::filesystem::path recording = files[0];

    app->m_config.m_volume = 640;
    std::wstring offeredFolder;
    platform::mfc::SetFileDialogHook([&](const std::wstring&, const std::wstring& folder) {
        offeredFolder = folder;
        return recording.wstring();
    });
    click(*main, ID_MENU_OPEN_LOCAL_FILE);
    platform::mfc::SetFileDialogHook(nullptr);
    EXPECT_EQ(offeredFolder, app->m_config.m_recordPath) << "the dialog opens in the record folder";
    ASSERT_EQ(state(), UI_STATE_FILE_PLAY_L) << "opened from live view";
    EXPECT_TRUE(messages.empty()) << "no file-graph error";
    EXPECT_EQ(programPlayer->Mode(), PLAYER_MODE_FILE);
    EXPECT_EQ(programPlayer->Player().Volume(), 640) << "the configured volume";
    EXPECT_EQ(main->StatusLine().Text(), recording.filename().wstring());
    EXPECT_TRUE(picturesArrive(20));

    click(*main, IDC_BTN_PAUSE);
    EXPECT_EQ(state(), UI_STATE_FILE_PAUSE_L);
    EXPECT_EQ(programPlayer->Player().State(), PLAYER_STATE_PAUSED);
    click(*main, IDC_BTN_PLAY);
    EXPECT_EQ(state(), UI_STATE_FILE_PLAY_L);
    main->FileSlider().SetPos(500);
    main->SendMessage(WM_UI_SLIDER_CHANGED, IDC_SLIDER_FILE, 0);
    int position = 0;
    ASSERT_EQ(programPlayer->Player().GetPosition(&position), S_OK);
    EXPECT_GE(position, 450) << "the slider's seek";
    EXPECT_TRUE(picturesArrive(10));

    click(*main, IDC_BTN_STOP);
    EXPECT_EQ(state(), UI_STATE_FILE_STOP_L);
    EXPECT_EQ(main->FileSlider().GetPos(), 0);
    click(*main, IDC_BTN_PLAY);
    ASSERT_EQ(state(), UI_STATE_FILE_PLAY_L);
    EXPECT_TRUE(picturesArrive(10));
    // The end of the file: the graph stops at the start and the window goes to the stopped file state.
    ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return state() == UI_STATE_FILE_STOP_L; }, kWait));
    EXPECT_EQ(programPlayer->Player().State(), PLAYER_STATE_STOPPED);
    ASSERT_EQ(programPlayer->Player().GetPosition(&position), S_OK);
    EXPECT_EQ(position, 0);
}

} // namespace
