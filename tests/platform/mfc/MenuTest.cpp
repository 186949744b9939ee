#include "UiFixture.h"

#include "platform/mfc/Controls.h"

namespace {

MenuTemplate sampleMenu() {
    return {
        {100, L"Stop", {}, 0},
        {0, L"Source", {{201, L"TV", {}, MF_CHECKED}, {202, L"CV", {}, 0}}, 0},
        {0, L"", {}, 0},
        {101, L"Mute", {}, MF_GRAYED},
    };
}

class Owner : public CDialog {
public:
    Owner() : CDialog(DialogTemplate{}) {
        MapCommandRange(200, 210, [this](UINT id) { commands.push_back(id); });
        MapCommand(100, [this] { commands.push_back(100); });
        MapUpdateUI(101, [](CCmdUI* ui) { ui->Enable(TRUE); });
        MapUpdateUI(202, [](CCmdUI* ui) { ui->SetCheck(1); });
    }
    std::vector<UINT> commands;
};

class MenuTest : public UiTest {};

TEST_F(MenuTest, ItemsAreFoundByCommandThroughSubMenusAndByPosition) {
    CMenu menu;
    menu.LoadMenu(sampleMenu());
    EXPECT_EQ(menu.GetMenuItemCount(), 4u);
    EXPECT_EQ(menu.GetMenuItemID(0), 100u);
    EXPECT_EQ(menu.GetMenuItemID(1), kMenuNotFound);
    EXPECT_EQ(menu.GetMenuItemID(2), 0u);
    ASSERT_NE(menu.GetSubMenu(1), nullptr);
    EXPECT_EQ(menu.GetMenuState(201, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_TRUE(menu.ModifyMenu(202, MF_BYCOMMAND, 202, L"Composite"));
    EXPECT_TRUE(menu.ModifyMenu(1, MF_BYPOSITION, 0, L"Eingang"));
    std::wstring text;
    menu.GetMenuString(202, text, MF_BYCOMMAND);
    EXPECT_EQ(text, L"Composite");
    menu.GetMenuString(1, text, MF_BYPOSITION);
    EXPECT_EQ(text, L"Eingang");
    EXPECT_EQ(menu.GetSubMenu(1)->GetMenuItemCount(), 2u); // the sub-menu keeps its items
    EXPECT_EQ(menu.CheckMenuItem(201, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
    EXPECT_TRUE(menu.GetSubMenu(1)->DeleteMenu(0, MF_BYPOSITION));
    EXPECT_EQ(menu.GetMenuState(201, MF_BYCOMMAND), kMenuNotFound);
    EXPECT_FALSE(menu.DeleteMenu(999, MF_BYCOMMAND));
}

TEST_F(MenuTest, TrackPopupRunsUpdateUiThenSendsTheChosenCommand) {
    Owner owner;
    owner.Create();
    CMenu menu;
    menu.LoadMenu(sampleMenu());
    UINT stateOfMute = 0, stateOfCv = 0;
    platform::mfc::SetMenuHook([&](CMenu& shown) {
        stateOfMute = shown.GetMenuState(101, MF_BYCOMMAND);
        stateOfCv = shown.GetMenuState(202, MF_BYCOMMAND);
        return UINT{202};
    });
    EXPECT_TRUE(menu.TrackPopupMenu(TPM_LEFTALIGN, 0, 0, &owner));
    EXPECT_EQ(stateOfMute & MF_GRAYED, 0u);
    EXPECT_EQ(stateOfCv & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(owner.commands, std::vector<UINT>{202});
    platform::mfc::SetMenuHook([](CMenu&) { return UINT{100}; });
    EXPECT_EQ(menu.TrackPopupMenu(TPM_RETURNCMD, 0, 0, &owner), 100);
    EXPECT_EQ(owner.commands.size(), 1u);
}

TEST_F(MenuTest, AcceleratorsMatchKeyAndModifiers) {
    Owner owner;
    owner.Create();
    const AcceleratorTable table = {{FVIRTKEY | FCONTROL, 'R', 203}, {FVIRTKEY, VK_SPACE, 204}};
    MSG msg{owner.m_hWnd, WM_KEYDOWN, 'R', 0, 0, {}, {}};
    platform::mfc::SetKeyModifiers(false, false, false);
    EXPECT_FALSE(TranslateAccelerator(owner.m_hWnd, table, &msg));
    platform::mfc::SetKeyModifiers(true, false, false);
    EXPECT_TRUE(TranslateAccelerator(owner.m_hWnd, table, &msg));
    platform::mfc::SetKeyModifiers(false, false, false);
    msg.wParam = VK_SPACE;
    EXPECT_TRUE(TranslateAccelerator(owner.m_hWnd, table, &msg));
    EXPECT_EQ(owner.commands, (std::vector<UINT>{203, 204}));
}

} // namespace
