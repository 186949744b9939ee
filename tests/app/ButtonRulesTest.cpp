// The buttons follow the state table against the test box, and a button and the menu item that stands
// for it always agree: both enabled and acting, or both disabled. SRC is enabled in every live state in
// which the menu's source items are, after a recording too.
#include "LiveApp.h"

#include "app/Menus.h"

#include <map>

namespace {

// The menu items that stand for a button, with the button (the switch, for record and mute).
constexpr std::pair<UINT, int> kTwins[] = {
    {ID_MENU_PLAY, IDC_BTN_PLAY},         {ID_MENU_STOP, IDC_BTN_STOP}, {ID_MENU_SNAP, IDC_BTN_SNAP},
    {ID_MENU_RECORD, IDC_BTN_RECORD},     {ID_MENU_MUTE, IDC_BTN_MUTE}, {ID_MENU_SETTING, IDC_BTN_PROPERTY},
    {ID_MENU_SCHEDULE, IDC_BTN_PROPERTY},
};

class ButtonRulesTest : public LiveAppTest {
protected:
    bool pressable(int id) {
        CWnd* control = main->GetDlgItem(id);
        return control && (control->GetStyle() & WS_VISIBLE) && control->IsWindowEnabled();
    }
    // A press with the mouse: a button that is not enabled does nothing.
    void press(int id) {
        CWnd* button = main->GetDlgItem(id);
        ASSERT_NE(button, nullptr);
        button->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        button->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    // The popup menu as the menu button opens it: the items' states, and `choose` picked when it is not
    // greyed (a user cannot pick a grey item).
    std::map<UINT, bool> openMenu(UINT choose = 0) {
        std::map<UINT, bool> enabled;
        platform::mfc::SetMenuHook([&](CMenu& menu) {
            for (UINT id :
                 {ID_MENU_PLAY, ID_MENU_STOP, ID_MENU_SNAP, ID_MENU_RECORD, ID_MENU_MUTE, ID_MENU_SETTING,
                  ID_MENU_SCHEDULE, ID_MENU_SRC_TV, ID_MENU_SRC_CV, ID_MENU_SRC_SV})
                enabled[id] = !(menu.GetMenuState(id, MF_BYCOMMAND) & MF_GRAYED);
            return choose != 0 && enabled[choose] ? choose : 0u;
        });
        click(*main, IDC_BTN_MTS);
        platform::mfc::SetMenuHook(nullptr);
        return enabled;
    }
    // Every twin agrees with its button, and SRC with the source items in the live states.
    void expectAgreement(const char* where) {
        SCOPED_TRACE(where);
        const std::map<UINT, bool> items = openMenu();
        for (const auto& [command, button] : kTwins)
            EXPECT_EQ(items.at(command), pressable(button)) << "menu " << command << ", button " << button;
        if (IsLiveState(state()))
            EXPECT_EQ(items.at(ID_MENU_SRC_TV), pressable(IDC_BTN_SOURCE));
    }
};

TEST_F(ButtonRulesTest, ButtonsAndTheirMenuItemsAgreeAndSourceStaysChoosableAfterARecording) {
    struct Case {
        bool withSheet; // the program has a settings sheet
        int settingsOpensInLive;
    };
    for (const Case c : {Case{false, 0}, Case{true, 2}}) {
        SCOPED_TRACE(c.withSheet ? "with a settings sheet" : "without one");
        int opened = 0;
        const std::size_t sourceRequests = testBox.FramesOf(kSetSource).size();
        openSettings = c.withSheet ? std::function<void(CWnd*, int)>([&](CWnd*, int) { ++opened; }) : nullptr;
        startAndWatch();
        app->m_config.m_recordPath = (temp / "record").wstring();
        expectAgreement("logged out");
        loginByAddress();
        ASSERT_EQ(state(), UI_STATE_CV_PLAY);
        expectAgreement("live");
        EXPECT_TRUE(pressable(IDC_BTN_SOURCE));
        EXPECT_EQ(pressable(IDC_BTN_PROPERTY), c.withSheet);
        press(IDC_BTN_PROPERTY);
        openMenu(ID_MENU_SETTING);
        EXPECT_EQ(opened, c.settingsOpensInLive) << "the button and the menu item open the sheet, or neither";

        press(IDC_BTN_RECORD);
        ASSERT_EQ(state(), UI_STATE_CV_RECORD);
        expectAgreement("recording");
        EXPECT_FALSE(pressable(IDC_BTN_SOURCE));
        EXPECT_FALSE(pressable(IDC_BTN_PROPERTY));
        press(IDC_BTN_PROPERTY);
        openMenu(ID_MENU_SCHEDULE);
        EXPECT_EQ(opened, c.settingsOpensInLive) << "no sheet while recording";
        EXPECT_TRUE(picturesArrive(5));
        openMenu(ID_MENU_RECORD); // the menu item stops the recording as the switch would
        ASSERT_EQ(state(), UI_STATE_CV_PLAY);
        expectAgreement("after the recording");
        ASSERT_TRUE(pressable(IDC_BTN_SOURCE)) << "SRC after a recording";
        press(IDC_BTN_SOURCE);
        EXPECT_FALSE(pressable(IDC_BTN_SOURCE)) << "while the box switches";
        EXPECT_TRUE(platform::mfc::PumpUiUntil([this] { return state() == UI_STATE_SV_PLAY; }, kWait));
        EXPECT_TRUE(picturesArrive(5));
        expectAgreement("the next source");
        EXPECT_TRUE(pressable(IDC_BTN_SOURCE));
        openMenu(ID_MENU_SRC_CV); // and the source menu, as the button
        EXPECT_TRUE(platform::mfc::PumpUiUntil([this] { return state() == UI_STATE_CV_PLAY; }, kWait));
        EXPECT_EQ(testBox.FramesOf(kSetSource).size(), sourceRequests + 2);
        login().OnLoginButton();
        stop();
    }
}

} // namespace
