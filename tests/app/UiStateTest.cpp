#include "AppFixture.h"

#include "app/SettingsPages.h"
#include "app/Templates.h"
#include "app/UiState.h"

namespace {

// The button table, one digit per button 1000..1016 (0 shown and disabled, 1 shown and enabled, 2 hidden),
// the switches 1134/1018/1019 (+ enabled, - disabled, = unchanged) and the source button (= e d), and the
// sliders 1020/1021 as digits. The table leaves the source button unchanged in the live states 2, 5 and 8;
// there it is enabled, as the source menu is. The program here has a settings sheet.
struct Row {
    int state;
    const char* buttons;
    const char* switches;
    const char* sliders;
};
constexpr Row kRows[] = {
    {0, "12120111102222222", "+--=", "02"},  {1, "02020010002222222", "---=", "02"},
    {2, "12121111112222222", "+++e", "12"},  {3, "12121010022222222", "+++d", "12"},
    {4, "02020010002222222", "-++=", "02"},  {5, "12121111112222222", "+++e", "12"},
    {6, "12121010022222222", "+++d", "12"},  {7, "02020010002222222", "+++d", "02"},
    {8, "12121111112222222", "+++e", "12"},  {9, "12121010022222222", "+++d", "12"},
    {10, "02020010002222222", "+++=", "02"}, {11, "12121111122221111", "+-+=", "11"},
    {12, "12121111122210102", "+-+=", "11"}, {13, "12120111122210002", "+--=", "11"},
    {14, "12121111122211110", "+-+=", "11"}, {15, "12121111122211110", "+-+=", "11"},
    {16, "12121111122221111", "+-+e", "11"}, {17, "12121111122210102", "+-+e", "11"},
    {18, "12120111122210002", "+--e", "11"}, {19, "12121111122211110", "+-+e", "11"},
    {20, "12121111122211110", "+-+e", "11"}, {21, "12121010102222222", "++=d", "12"},
};

char cellOf(CWnd& w) {
    if (!(w.GetStyle() & WS_VISIBLE))
        return '2';
    return w.IsWindowEnabled() ? '1' : '0';
}

class UiStateTest : public AppFixture {};

TEST_F(UiStateTest, EveryStateShowsItsRowOfButtonsSwitchesAndSliders) {
    openSettings = [](CWnd*, int) {};
    start();
    bool source = main->SourceButton().IsWindowEnabled();
    bool switches[3] = {};
    for (const Row& row : kRows) {
        setState(row.state);
        ASSERT_EQ(state(), row.state);
        std::string buttons;
        for (int id = 1000; id <= 1016; ++id)
            buttons += cellOf(main->Button(id));
        std::string expected = row.buttons;
        if (SettingsPagesOf(row.state).empty() && expected[7] == '1')
            expected[7] = '0'; // a state whose settings sheet has no page greys the settings button
        EXPECT_EQ(buttons, expected) << "state " << row.state;
        KQ_UI_SwitchButton* s[3] = {&main->MaximizeSwitch(), &main->RecordSwitch(), &main->MuteSwitch()};
        for (int i = 0; i < 3; ++i) {
            if (row.switches[i] != '=')
                switches[i] = row.switches[i] == '+';
            EXPECT_EQ(s[i]->IsWindowEnabled() != FALSE, switches[i])
                << "state " << row.state << " switch " << i;
        }
        if (row.switches[3] != '=')
            source = row.switches[3] == 'e';
        EXPECT_EQ(main->SourceButton().IsWindowEnabled() != FALSE, source) << "state " << row.state;
        std::string sliders;
        for (KQ_UI_New_Slider* slider : {&main->VolumeSlider(), &main->FileSlider()})
            sliders += !(slider->GetStyle() & WS_VISIBLE) ? '2' : slider->IsActive() ? '1' : '0';
        EXPECT_EQ(sliders, row.sliders) << "state " << row.state;
    }
}

TEST_F(UiStateTest, PlaceHoldersStayHiddenButPlaceTheSwitchesAndTheSourceButton) {
    start();
    const std::pair<int, CWnd*> shared[] = {{1001, &main->MaximizeSwitch()},
                                            {1003, &main->RecordSwitch()},
                                            {1010, &main->MuteSwitch()},
                                            {1011, &main->SourceButton()}};
    for (int s = 0; s < kUiStateCount; ++s) {
        setState(s);
        for (const auto& [id, control] : shared) {
            RECT holder, placed;
            main->Button(id).GetWindowRect(&holder);
            control->GetWindowRect(&placed);
            EXPECT_FALSE(main->Button(id).GetStyle() & WS_VISIBLE) << id;
            EXPECT_EQ(CRect(holder), CRect(placed)) << id;
            EXPECT_GT(CRect(placed).Width(), 0) << id;
        }
    }
}

TEST_F(UiStateTest, StatesOutsideTheTableAreIgnoredAndTheSettingsLockGreysSettings) {
    openSettings = [](CWnd*, int) {};
    start();
    setState(UI_STATE_TV_PLAY);
    for (WPARAM bad : {WPARAM{22}, WPARAM{1000}, static_cast<WPARAM>(-1)}) {
        main->SendMessage(WM_UI_SET_STATE, bad, 0);
        EXPECT_EQ(state(), UI_STATE_TV_PLAY);
    }
    app->m_uiState = 99;
    EXPECT_EQ(main->ApplyUiState(0x1111), 0); // nothing applied, no crash
    app->m_uiState = UI_STATE_TV_PLAY;
    g_settingsButtonLock = 1;
    setState(UI_STATE_TV_PLAY);
    EXPECT_FALSE(main->Button(IDC_BTN_PROPERTY).IsWindowEnabled());
    g_settingsButtonLock = 0;
    setState(UI_STATE_TV_PLAY);
    EXPECT_TRUE(main->Button(IDC_BTN_PROPERTY).IsWindowEnabled());
}

TEST_F(UiStateTest, LabelsAndVideoAreaFollowTheStateAndTheFrame) {
    start();
    setState(UI_STATE_FILE_PLAY);
    EXPECT_TRUE(main->TimeLabel().IsMarkedShown());
    EXPECT_TRUE(main->StatusLine().IsMarkedShown());
    setState(UI_STATE_FILE_STOP);
    EXPECT_FALSE(main->TimeLabel().IsMarkedShown()); // 13 shows the status line only
    EXPECT_TRUE(main->StatusLine().IsMarkedShown());
    setState(UI_STATE_TV_PLAY);
    EXPECT_FALSE(main->TimeLabel().IsMarkedShown());
    EXPECT_FALSE(main->StatusLine().IsMarkedShown());
    RECT client, video;
    main->GetClientRect(&client);
    main->VideoBox().GetWindowRect(&video);
    main->ScreenToClient(&video);
    EXPECT_EQ(CRect(video), CRect(12, 28, client.right - 13, client.bottom - 94));
}

} // namespace
