#include "AppFixture.h"

#include "app/Menus.h"
#include "app/Templates.h"
#include "platform/mfc/FileDialog.h"

#include <ctime>

namespace {

class MainWindowTest : public AppFixture {
protected:
    void live() {
        app->m_session.loggedIn = 1;
        app->m_session.sourceIndex = 0;
        setState(UI_STATE_TV_PLAY);
        player->calls.clear();
    }
};

TEST_F(MainWindowTest, TheEndOfPlaybackChangesFileStatesOnly) {
    start();
    const std::pair<int, int> cases[] = {{11, 13}, {14, 13}, {15, 13}, {16, 18}, {19, 18}, {20, 18},
                                         {12, 12}, {13, 13}, {2, 2},   {3, 3},   {21, 21}, {0, 0}};
    for (const auto& [before, after] : cases) {
        setState(before);
        player->calls.clear();
        main->SendMessage(WM_AV_PLAYBACK_END, 0, 0);
        EXPECT_EQ(state(), after) << before;
        EXPECT_EQ(playerCalled(L"StopPlayback"), before != after) << before;
    }
}

TEST_F(MainWindowTest, TheGraphsEndArrivesAsPlaybackEnd) {
    start();
    player->mode = PLAYER_MODE_FILE;
    setState(UI_STATE_FILE_PLAY);
    player->graphStopped = true;
    main->PostMessage(WM_AV_GRAPH_EVENT, 0, 0);
    EXPECT_TRUE(platform::mfc::PumpUiUntil([&] { return state() == UI_STATE_FILE_STOP; }, 3000));
    player->mode = PLAYER_MODE_NONE;
    EXPECT_EQ(main->SendMessage(WM_AV_GRAPH_EVENT, 0, 0), E_FAIL);
}

TEST_F(MainWindowTest, AFullDiskStopsARecordingOnlyWhileOneRuns) {
    start();
    for (int recording : {1, 0}) {
        live();
        if (recording)
            click(*main, IDC_BTN_RECORD);
        ASSERT_EQ(state(), recording ? UI_STATE_TV_RECORD : UI_STATE_TV_PLAY);
        player->calls.clear();
        messages.clear();
        main->SendMessage(WM_AV_DISK_FULL, 0, 0);
        EXPECT_EQ(playerCalled(L"SetRecord 0"), recording == 1);
        EXPECT_FALSE(playerCalled(L"SetRecord 1"));
        EXPECT_EQ(state(), UI_STATE_TV_PLAY);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, L"No enough space!");
        EXPECT_EQ(messages[0].caption, L"Solvane Play");
        EXPECT_EQ(messages[0].type, MB_ICONINFORMATION);
    }
}

TEST_F(MainWindowTest, RecordSwitchesBetweenTheLiveAndTheRecordState) {
    start();
    live();
    click(*main, IDC_BTN_RECORD);
    EXPECT_TRUE(playerCalled(L"SetRecord 1"));
    EXPECT_EQ(state(), UI_STATE_TV_RECORD);
    EXPECT_TRUE(main->RecordSwitch().IsOn());
    click(*main, IDC_BTN_RECORD);
    EXPECT_TRUE(playerCalled(L"SetRecord 0"));
    EXPECT_EQ(state(), UI_STATE_TV_PLAY);
    EXPECT_FALSE(main->RecordSwitch().IsOn());
}

TEST_F(MainWindowTest, AFileOpenedFromLiveViewGoesBackToLiveViewByTheSourceButton) {
    start();
    live();
    platform::mfc::SetFileDialogHook(
        [](const std::wstring&, const std::wstring&) { return L"\\films\\a.mp4"; });
    click(*main, ID_MENU_OPEN_LOCAL_FILE);
    platform::mfc::SetFileDialogHook(nullptr);
    EXPECT_TRUE(playerCalled(L"PlayFile \\films\\a.mp4"));
    EXPECT_EQ(state(), UI_STATE_FILE_PLAY_L);
    click(*main, IDC_BTN_PAUSE);
    EXPECT_EQ(state(), UI_STATE_FILE_PAUSE_L);
    click(*main, IDC_BTN_STOP);
    EXPECT_EQ(state(), UI_STATE_FILE_STOP_L);
    ASSERT_TRUE(main->SourceButton().IsWindowEnabled());
    player->calls.clear();
    click(*main, IDC_BTN_SOURCE);
    EXPECT_TRUE(playerCalled(L"StartLive"));
    EXPECT_EQ(state(), UI_STATE_TV_PLAY);
}

// The record switch stays enabled while a scheduled recording runs: pressed, it ends the recording as its
// time would, but without the after-recording action (here: switching the PC off).
TEST_F(MainWindowTest, TheRecordSwitchEndsAScheduledRecordingWithoutItsAfterAction) {
    start();
    live();
    SCHEDULE_ENTRY e;
    e.mode = 0;
    e.start = static_cast<std::int64_t>(std::time(nullptr));
    e.lengthMinutes = 30;
    e.source = 0;
    e.afterAction = 2;
    app->m_config.m_schedule.entries = {e};
    main->SendMessage(WM_TIMER, kSchedulePollTimer, 0);
    ASSERT_EQ(state(), UI_STATE_TV_SCHEDULE_RECORD);
    ASSERT_TRUE(main->RecordSwitch().IsWindowEnabled());
    player->calls.clear();
    click(*main, IDC_BTN_RECORD);
    EXPECT_TRUE(playerCalled(L"SetRecord 0"));
    EXPECT_EQ(state(), UI_STATE_TV_PLAY);
    EXPECT_FALSE(main->RecordSwitch().IsOn());
    main->SendMessage(WM_TIMER, kSchedulePollTimer, 0);
    EXPECT_EQ(shutdowns, 0);
    EXPECT_EQ(state(), UI_STATE_TV_PLAY) << "the entry ran once";
}

TEST_F(MainWindowTest, SlidersSetTheVolumeAndUnmuteAndSeekTheFile) {
    start();
    live();
    click(*main, IDC_BTN_MUTE);
    EXPECT_TRUE(main->MuteSwitch().IsOn());
    main->VolumeSlider().SetPos(700);
    main->SendMessage(WM_UI_SLIDER_CHANGED, IDC_SLIDER_VOLUME, 0);
    EXPECT_EQ(app->m_config.m_volume, 700);
    EXPECT_TRUE(playerCalled(L"SetVolume 0,700"));
    EXPECT_FALSE(main->MuteSwitch().IsOn());
    main->FileSlider().SetPos(400);
    main->SendMessage(WM_UI_SLIDER_CHANGED, IDC_SLIDER_FILE, 0);
    EXPECT_TRUE(playerCalled(L"Seek 400"));
}

TEST_F(MainWindowTest, ANewStreamGenerationRestartsLiveViewFirst) {
    start();
    live();
    main->SendMessage(WM_BOX_VIDEO_QUALITY_OK, 0, 0);
    EXPECT_FALSE(playerCalled(L"RestartLive"));
    main->SendMessage(WM_BOX_VIDEO_QUALITY_OK, 200, 0);
    EXPECT_EQ(player->calls, (std::vector<std::wstring>{L"SizeClass 1", L"Standard 1", L"RestartLive"}));
    EXPECT_TRUE(boxCalled(L"RaiseRestartedGeneration"));
}

TEST_F(MainWindowTest, TheSurfaceDragsTheWindowAndTheCornerSizesIt) {
    start();
    RECT r;
    main->GetWindowRect(&r);
    EXPECT_EQ(main->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(r.right - 5, r.bottom - 5)), HTBOTTOMRIGHT);
    EXPECT_EQ(main->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(r.left + 200, r.top + 100)), HTCAPTION);
    EXPECT_EQ(main->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(r.right - 25, r.bottom - 5)), HTCAPTION);
}

TEST_F(MainWindowTest, TheCloseButtonStopsEverythingAndEndsTheLoop) {
    start();
    live();
    click(*main, IDC_BTN_CLOSE);
    EXPECT_TRUE(playerCalled(L"Stop 1"));
    EXPECT_TRUE(boxCalled(L"Disconnect 0"));
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(MainWindowTest, TheScheduleRecordsADueEntryAndAOnceOneIsThenGoneFromTableAndFile) {
    for (const std::uint16_t mode : {0, 1}) {
        start();
        live();
        KQ_ScheduleTable& schedule = app->m_config.m_schedule;
        schedule.ClearAll();
        const std::int64_t now = std::time(nullptr);
        SCHEDULE_ENTRY later; // a once entry of the next day: never due here, always kept
        later.id = 5;
        later.start = now + 86400;
        later.lengthMinutes = 30;
        ASSERT_EQ(schedule.TryReserve(later), 1);
        schedule.AddEntry(later);
        SCHEDULE_ENTRY due;
        due.mode = mode;
        due.lengthMinutes = 20;
        due.channel = 3;
        // The poll reads the clock again: should the minute turn over between, the entry is set again.
        for (int attempt = 0; attempt < 3 && state() != UI_STATE_TV_SCHEDULE_RECORD; ++attempt) {
            schedule.RemoveEntry(due.id);
            due.start = std::time(nullptr);
            due.id = schedule.NewEntryId(due.start);
            std::tm local{};
            const std::time_t t = static_cast<std::time_t>(due.start);
            localtime_r(&t, &local);
            due.dayMask = mode == 1 ? kScheduleDayBits[local.tm_wday] : 0;
            ASSERT_EQ(schedule.TryReserve(due), 1);
            schedule.AddEntry(due);
            ASSERT_EQ(schedule.Save(), 1);
            main->SendMessage(WM_TIMER, kSchedulePollTimer, 0);
        }
        EXPECT_EQ(state(), UI_STATE_TV_SCHEDULE_RECORD) << mode;
        EXPECT_TRUE(playerCalled(L"SetRecord 1")) << mode;
        EXPECT_EQ(g_currentScheduledEntry, due) << mode;
        KQ_ScheduleTable file;
        ASSERT_EQ(file.Load(), 1);
        for (const KQ_ScheduleTable* table : {&schedule, &file}) {
            const std::size_t kept = mode == 1 ? 2 : 1; // a weekly entry stays
            EXPECT_EQ(table->entries.size(), kept) << mode;
            EXPECT_EQ(table->entries[0], later) << mode;
            EXPECT_EQ(table->ranges.size(), kept) << mode;
            EXPECT_EQ(table->ranges[0].owner, 5) << mode;
        }
        stop();
    }
}

} // namespace
