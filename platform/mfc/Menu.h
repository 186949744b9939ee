// Menus and accelerators. A CMenu is a tree of items (command id, text, check and grey marks, sub-menus)
// kept here and shown by the toolkit only while TrackPopupMenu runs; a chosen item is sent to the owner
// window as WM_COMMAND (id, 0). Accelerator tables turn key presses into WM_COMMAND (id, 1).
#pragma once

#include "platform/mfc/WinUser.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

constexpr UINT MF_BYCOMMAND = 0x0;
constexpr UINT MF_BYPOSITION = 0x400;
constexpr UINT MF_STRING = 0x0;
constexpr UINT MF_ENABLED = 0x0;
constexpr UINT MF_UNCHECKED = 0x0;
constexpr UINT MF_GRAYED = 0x1;
constexpr UINT MF_DISABLED = 0x2;
constexpr UINT MF_CHECKED = 0x8;
constexpr UINT MF_POPUP = 0x10;
constexpr UINT MF_SEPARATOR = 0x800;
constexpr UINT TPM_LEFTALIGN = 0x0;
constexpr UINT TPM_RIGHTBUTTON = 0x2;
constexpr UINT TPM_RETURNCMD = 0x100;
constexpr UINT kMenuNotFound = 0xFFFFFFFF;

class CWnd;

// A menu resource described in code: items with id and text, or a sub-menu (id 0) with its items.
struct MenuTemplateItem {
    UINT id = 0; // 0 with no sub-items: a separator
    std::wstring text;
    std::vector<MenuTemplateItem> popup;
    UINT flags = 0; // MF_CHECKED, MF_GRAYED
};
using MenuTemplate = std::vector<MenuTemplateItem>;

class CMenu {
public:
    CMenu();
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL CreatePopupMenu();
    BOOL LoadMenu(const MenuTemplate& menu);
    bool IsNull() const { return !created_; }

    UINT GetMenuItemCount() const;
    UINT GetMenuItemID(int position) const; // 0xFFFFFFFF for a sub-menu, 0 for a separator
    CMenu* GetSubMenu(int position) const;
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const std::wstring& text = {});
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id, const std::wstring& text);
    BOOL DeleteMenu(UINT item, UINT flags);
    // Sets the text (and, with MF_BYCOMMAND, keeps the id unless newId differs); a sub-menu keeps its items.
    BOOL ModifyMenu(UINT item, UINT flags, UINT_PTR newId, const std::wstring& text);
    UINT CheckMenuItem(UINT item, UINT flags);
    UINT EnableMenuItem(UINT item, UINT flags);
    UINT GetMenuState(UINT item, UINT flags) const; // MF_CHECKED | MF_GRAYED bits, or kMenuNotFound
    int GetMenuString(UINT item, std::wstring& text, UINT flags) const;

    // Shows the menu at the screen point; the chosen item goes to owner as WM_COMMAND (or is returned
    // with TPM_RETURNCMD). Before showing, the owner's update-UI handlers run for the items.
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner);

    struct Item;

private:
    Item* find(UINT item, UINT flags, CMenu** holder);
    const Item* find(UINT item, UINT flags) const;
    friend struct MenuBuilder;
    std::vector<std::unique_ptr<Item>> items_;
    bool created_ = false;
};

struct CMenu::Item {
    UINT id = 0;
    std::wstring text;
    UINT state = 0; // MF_CHECKED | MF_GRAYED | MF_DISABLED
    bool separator = false;
    std::unique_ptr<CMenu> popup;
};

// Keyboard shortcuts of a window.
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;

struct ACCEL {
    BYTE fVirt = FVIRTKEY;
    WORD key = 0;
    WORD cmd = 0;
};
using AcceleratorTable = std::vector<ACCEL>;

// The command of a WM_KEYDOWN in the table is sent to the window as WM_COMMAND (cmd, 1); TRUE then.
BOOL TranslateAccelerator(HWND window, const AcceleratorTable& table, const MSG* msg);

namespace platform::mfc {

void SetKeyModifiers(bool control, bool shift, bool alt);
// Test hook: when set, TrackPopupMenu calls it with the menu instead of showing it and sends the command
// it answers (0: none).
using MenuHook = std::function<UINT(CMenu& menu)>;
void SetMenuHook(MenuHook hook);

} // namespace platform::mfc
