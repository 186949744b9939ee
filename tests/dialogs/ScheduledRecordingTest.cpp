// A PC schedule entry as the program runs it, against the test box streaming live: with live view on one
// source and the settings open, the entry falls due; the poll closes the sheet, switches the box to the
// entry's source, records for the entry's length into the record folder, then does what the entry says
// afterwards: close the program, or switch the PC off (through the power service, a fake here).
#include "../app/LiveApp.h"

#include "app/Menus.h"
#include "dialogs/SetSheet.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "tests/support/Ffprobe.h"

#include <ctime>
#include <regex>

namespace {

constexpr double kTimeScale = 20; // a minute of recording in three seconds
constexpr std::uint32_t kSetSource = 0xFDFD2010;

class ScheduledRecordingTest : public LiveAppTest {
protected:
    void SetUp() override {
        LiveAppTest::SetUp();
        useProgramLanguageFile();
    }
    void TearDown() override {
        platform::SetTimeScale(1);
        LiveAppTest::TearDown();
    }
    // Waits bound in real time, whatever the scale.
    bool waitFor(const std::function<bool()>& done) {
        return platform::mfc::PumpUiUntil(done, static_cast<DWORD>(kWait * platform::TimeScale()));
    }
};

TEST_F(ScheduledRecordingTest, ADueEntryClosesTheSheetSwitchesTheSourceRecordsAndThenFollowsItsAction) {
    const struct {
        int afterAction;
        bool closed;   // the program ends
        int shutdowns; // the PC is asked to switch off
    } cases[] = {{1, true, 0}, {2, false, 1}};
    for (const auto& c : cases) {
        startAndWatch();
        INT_PTR sheetResult = -2;
        app->m_services.openSettings = [&](CWnd* parent, int first) {
            sheetResult = OpenSettingsSheet(parent, first);
        };
        for (const char* folder : {"snap", "record"})
            std::filesystem::create_directories(temp / folder);
        app->m_config.m_recordPath = (temp / "record").wstring();
        app->m_config.m_snapPath = (temp / "snap").wstring();
        app->m_config.m_lastSource = 0; // CV, whatever the case before left
        loginByAddress();
        ASSERT_EQ(state(), UI_STATE_CV_PLAY);
        ASSERT_TRUE(picturesArrive(5)) << "live view runs";

        KQ_ScheduleTable& schedule = app->m_config.m_schedule;
        schedule.ClearAll();
        SCHEDULE_ENTRY due;
        due.start = std::time(nullptr);
        due.id = schedule.NewEntryId(due.start);
        due.lengthMinutes = 1;
        due.source = 2; // SV
        due.afterAction = c.afterAction;
        ASSERT_EQ(schedule.TryReserve(due), 1);
        schedule.AddEntry(due);
        ASSERT_EQ(schedule.Save(), 1);

        platform::SetTimeScale(kTimeScale);
        platform::mfc::SetModalHook([&](CDialog&) {
            EXPECT_TRUE(waitFor([] { return g_settingsSheetWnd == nullptr; }))
                << "the poll reaches the sheet";
            return INT_PTR{77};
        });
        main->SendMessage(WM_COMMAND, MAKEWPARAM(ID_MENU_SETTING, 0), 0);
        platform::mfc::SetModalHook(nullptr);
        EXPECT_EQ(sheetResult, IDOK) << "applied and closed";

        ASSERT_TRUE(waitFor([&] { return state() == UI_STATE_SV_RECORD; })) << c.afterAction;
        ASSERT_FALSE(testBox.FramesOf(kSetSource).empty());
        EXPECT_EQ(testBox.FramesOf(kSetSource).back().value, static_cast<std::uint32_t>('S'));
        EXPECT_TRUE(schedule.entries.empty()) << "a once entry is done";
        const DWORD started = GetTickCount();
        ASSERT_TRUE(waitFor([&] { return state() != UI_STATE_SV_RECORD; }));
        EXPECT_GE(GetTickCount() - started, 45000u) << "about its minute";
        EXPECT_EQ(state(), UI_STATE_SV_PLAY);
        platform::SetTimeScale(1);

        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(temp / "record"))
            files.push_back(entry.path());
        ASSERT_EQ(files.size(), 1u);
        const Probe probe = runFfprobe(files[0].string());
        EXPECT_TRUE(std::regex_match(probe.output, std::regex("h264,[0-9]+\naac,[0-9]+\n"))) << probe.output;

        MSG msg;
        EXPECT_EQ(PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, c.closed)
            << c.afterAction;
        EXPECT_EQ(programPlayer->Mode() == PLAYER_MODE_NONE, c.closed) << "stopped when closed";
        EXPECT_EQ(shutdowns, c.shutdowns);
        if (!c.closed)
            login().OnLoginButton();
        stop();
        shutdowns = 0;
        std::filesystem::remove_all(temp / "record");
    }
}

} // namespace
