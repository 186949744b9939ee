// The program's window against a test box made hostile on purpose, one move after another, and what the
// user sees: the picture goes on after a bad record header in the stream's second generation, garbage and
// more than the stream ring holds in its third, and a source change whose reply comes after its time-out;
// a box that closes its control connection, and one that stops reading it, bring back the login pane with
// the language file's message; and the window then closes at once.
#include "LiveApp.h"

#include "tests/support/testbox/HostileStream.h"

namespace {

constexpr const wchar_t* kLost = L"Connection to the box was lost.";

class HostileBoxTest : public LiveAppTest {
protected:
    // A box that soon holds up the program's sends once it stops reading.
    HostileBoxTest() : LiveAppTest(testbox::Options{.controlReceiveBuffer = 4096}) {}
    void SetUp() override {
        LiveAppTest::SetUp();
        useProgramLanguageFile();
    }
    void switchSourceTo(int liveState) {
        click(*main, IDC_BTN_SOURCE);
        ASSERT_TRUE(platform::mfc::PumpUiUntil([&] { return state() == liveState; }, kWait));
        ASSERT_TRUE(picturesArrive(5));
    }
    // The user is told, and is back at the login pane with nothing to switch.
    void expectToldThatTheLinkWasLost() {
        ASSERT_TRUE(platform::mfc::PumpUiUntil([this] { return !messages.empty(); }, kWait));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, kLost);
        EXPECT_EQ(state(), UI_STATE_INIT);
        EXPECT_TRUE(login().IsWindowVisible());
        EXPECT_FALSE(main->SourceButton().IsWindowEnabled());
        EXPECT_EQ(programPlayer->Mode(), PLAYER_MODE_NONE);
        messages.clear();
    }
};

TEST_F(HostileBoxTest, ThePictureGoesOnOrTheUserIsToldWhy) {
    startAndWatch();
    loginByAddress();
    ASSERT_EQ(state(), UI_STATE_CV_PLAY);
    ASSERT_TRUE(picturesArrive(10));

    switchSourceTo(UI_STATE_SV_PLAY); // the stream's second generation
    testBox.SendStream(testbox::BadRecordHeader(31));
    EXPECT_TRUE(picturesArrive(50)) << "frozen after a bad record header";

    switchSourceTo(UI_STATE_TV_PLAY); // the third
    messages.clear();                 // the tuner's empty channel table
    testBox.SendStream(testbox::Garbage(5000, 7));
    EXPECT_TRUE(picturesArrive(50)) << "frozen after garbage";
    testBox.SendStream(testbox::UselessRecords(4 << 20));
    EXPECT_TRUE(testBox.WaitStreamSent(kWait));
    EXPECT_TRUE(picturesArrive(50)) << "frozen after the stream ring overflowed";

    // The box takes the new source after the request has timed out, and says so later still.
    testBox.Script(kSetSource, testbox::Reply{.value2 = 1, .value3 = 2000, .delayMs = 12000});
    click(*main, IDC_BTN_SOURCE);
    EXPECT_FALSE(main->SourceButton().IsWindowEnabled());
    ASSERT_TRUE(
        platform::mfc::PumpUiUntil([&] { return main->SourceButton().IsWindowEnabled() != FALSE; }, kWait));
    EXPECT_EQ(state(), UI_STATE_TV_PLAY); // the change failed as far as the window knows
    const int writes = testBox.WritesDone();
    ASSERT_TRUE(platform::mfc::PumpUiUntil([&] { return testBox.WritesDone() > writes; }, kWait));
    platform::mfc::PumpUiUntil([] { return false; }, 2000); // what was queued of the old source is shown
    EXPECT_TRUE(picturesArrive(50)) << "frozen after the late reply";
    EXPECT_TRUE(messages.empty());

    // The box closes its control connection: the user is told at once.
    const DWORD closed = GetTickCount();
    testBox.CloseControl();
    expectToldThatTheLinkWasLost();
    EXPECT_LT(GetTickCount() - closed, 5000u) << "not after the stream's 20 s of silence";

    // Logged in again, the box stops reading: the windows' requests fill its buffers, and the one that can
    // no longer go out ends the link within its bound.
    loginByAddress();
    ASSERT_TRUE(IsLiveState(state()));
    messages.clear();
    testBox.SetControlReading(false);
    for (int i = 0; i < 100000 && app->m_pBoxClient->SendSetPicture(main->m_hWnd, 1, 2, 3, 4); ++i) {
    }
    expectToldThatTheLinkWasLost();

    const DWORD closing = GetTickCount();
    click(*main, IDC_BTN_CLOSE);
    EXPECT_FALSE(main->IsWindowVisible());
    EXPECT_LT(GetTickCount() - closing, 3000u);
}

} // namespace
