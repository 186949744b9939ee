#include "platform/mfc/Menu.h"

#include "platform/mfc/Wnd.h"
#include "platform/mfc/detail/WindowPart.h"

#include <QAction>
#include <QMenu>

namespace {

platform::mfc::MenuHook& menuHook() {
    static platform::mfc::MenuHook hook;
    return hook;
}

struct Modifiers {
    bool control = false;
    bool shift = false;
    bool alt = false;
};
Modifiers g_modifiers;

class MenuCmdUI : public CCmdUI {
public:
    void Enable(BOOL on) override {
        m_pMenu->EnableMenuItem(m_nID, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    }
    void SetCheck(int check) override {
        m_pMenu->CheckMenuItem(m_nID, MF_BYCOMMAND | (check ? MF_CHECKED : MF_UNCHECKED));
    }
    void SetText(const std::wstring& text) override { m_pMenu->ModifyMenu(m_nID, MF_BYCOMMAND, m_nID, text); }
};

} // namespace

struct MenuBuilder {
    static void fill(CMenu& menu, const MenuTemplate& items) {
        for (const MenuTemplateItem& t : items) {
            auto item = std::make_unique<CMenu::Item>();
            item->id = t.id;
            item->text = t.text;
            item->state = t.flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED);
            if (!t.popup.empty()) {
                item->popup = std::make_unique<CMenu>();
                item->popup->created_ = true;
                fill(*item->popup, t.popup);
            } else if (t.id == 0) {
                item->separator = true;
            }
            menu.items_.push_back(std::move(item));
        }
    }

    static void updateUI(CMenu& menu, CWnd* owner) {
        for (auto& item : menu.items_) {
            if (item->popup) {
                updateUI(*item->popup, owner);
            } else if (!item->separator) {
                MenuCmdUI ui;
                ui.m_nID = item->id;
                ui.m_pMenu = &menu;
                owner->UpdateCommandUI(&ui);
            }
        }
    }

    static void show(const CMenu& menu, QMenu& target) {
        for (const auto& item : menu.items_) {
            if (item->separator) {
                target.addSeparator();
                continue;
            }
            const QString text =
                QString::fromStdWString(item->text).replace(QLatin1Char('&'), QStringLiteral("&&"));
            if (item->popup) {
                QMenu* sub = target.addMenu(text);
                sub->setEnabled(!(item->state & (MF_GRAYED | MF_DISABLED)));
                show(*item->popup, *sub);
                continue;
            }
            QAction* action = target.addAction(text);
            action->setData(item->id);
            action->setCheckable(item->state & MF_CHECKED);
            action->setChecked(item->state & MF_CHECKED);
            action->setEnabled(!(item->state & (MF_GRAYED | MF_DISABLED)));
        }
    }
};

CMenu::CMenu() = default;
CMenu::~CMenu() = default;

BOOL CMenu::CreatePopupMenu() {
    items_.clear();
    created_ = true;
    return TRUE;
}

BOOL CMenu::LoadMenu(const MenuTemplate& menu) {
    CreatePopupMenu();
    MenuBuilder::fill(*this, menu);
    return TRUE;
}

UINT CMenu::GetMenuItemCount() const {
    return static_cast<UINT>(items_.size());
}

UINT CMenu::GetMenuItemID(int position) const {
    if (position < 0 || static_cast<std::size_t>(position) >= items_.size())
        return kMenuNotFound;
    const Item& item = *items_[static_cast<std::size_t>(position)];
    return item.popup ? kMenuNotFound : item.id;
}

CMenu* CMenu::GetSubMenu(int position) const {
    if (position < 0 || static_cast<std::size_t>(position) >= items_.size())
        return nullptr;
    return items_[static_cast<std::size_t>(position)]->popup.get();
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, const std::wstring& text) {
    return InsertMenu(static_cast<UINT>(items_.size()), flags | MF_BYPOSITION, id, text);
}

BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR id, const std::wstring& text) {
    if (!created_)
        return FALSE;
    auto item = std::make_unique<Item>();
    item->separator = (flags & MF_SEPARATOR) != 0;
    item->id = item->separator ? 0 : static_cast<UINT>(id);
    item->text = text;
    item->state = flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED);
    if (flags & MF_POPUP) {
        item->popup = std::make_unique<CMenu>();
        item->popup->created_ = true;
        item->id = 0;
    }
    const std::size_t at = std::min<std::size_t>(position, items_.size());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    return TRUE;
}

CMenu::Item* CMenu::find(UINT item, UINT flags, CMenu** holder) {
    if (flags & MF_BYPOSITION) {
        if (item >= items_.size())
            return nullptr;
        if (holder)
            *holder = this;
        return items_[item].get();
    }
    for (auto& it : items_) {
        if (it->popup) {
            if (Item* found = it->popup->find(item, flags, holder))
                return found;
        } else if (!it->separator && it->id == item) {
            if (holder)
                *holder = this;
            return it.get();
        }
    }
    return nullptr;
}

const CMenu::Item* CMenu::find(UINT item, UINT flags) const {
    return const_cast<CMenu*>(this)->find(item, flags, nullptr);
}

BOOL CMenu::DeleteMenu(UINT item, UINT flags) {
    CMenu* holder = nullptr;
    Item* found = find(item, flags, &holder);
    if (!found)
        return FALSE;
    auto& list = holder->items_;
    list.erase(std::find_if(list.begin(), list.end(), [found](const auto& p) { return p.get() == found; }));
    return TRUE;
}

BOOL CMenu::ModifyMenu(UINT item, UINT flags, UINT_PTR newId, const std::wstring& text) {
    Item* found = find(item, flags, nullptr);
    if (!found)
        return FALSE;
    found->text = text;
    if (!found->popup && !(flags & MF_POPUP))
        found->id = static_cast<UINT>(newId);
    return TRUE;
}

UINT CMenu::CheckMenuItem(UINT item, UINT flags) {
    Item* found = find(item, flags, nullptr);
    if (!found)
        return kMenuNotFound;
    const UINT before = found->state & MF_CHECKED;
    found->state = (found->state & ~MF_CHECKED) | (flags & MF_CHECKED);
    return before;
}

UINT CMenu::EnableMenuItem(UINT item, UINT flags) {
    Item* found = find(item, flags, nullptr);
    if (!found)
        return kMenuNotFound;
    const UINT before = found->state & (MF_GRAYED | MF_DISABLED);
    found->state = (found->state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return before;
}

UINT CMenu::GetMenuState(UINT item, UINT flags) const {
    const Item* found = find(item, flags);
    if (!found)
        return kMenuNotFound;
    return found->state | (found->popup ? MF_POPUP : 0) | (found->separator ? MF_SEPARATOR : 0);
}

int CMenu::GetMenuString(UINT item, std::wstring& text, UINT flags) const {
    const Item* found = find(item, flags);
    text = found ? found->text : std::wstring();
    return static_cast<int>(text.size());
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) {
    if (!created_ || !owner)
        return FALSE;
    MenuBuilder::updateUI(*this, owner);
    UINT chosen = 0;
    if (menuHook()) {
        chosen = menuHook()(*this);
    } else {
        QMenu menu(owner->part() ? owner->part()->face.data() : nullptr);
        MenuBuilder::show(*this, menu);
        if (QAction* action = menu.exec(QPoint(x, y)))
            chosen = action->data().toUInt();
    }
    if (flags & TPM_RETURNCMD)
        return static_cast<BOOL>(chosen);
    if (chosen != 0)
        owner->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0), 0);
    return TRUE;
}

BOOL TranslateAccelerator(HWND window, const AcceleratorTable& table, const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN)
        return FALSE;
    for (const ACCEL& a : table) {
        if (a.key != msg->wParam)
            continue;
        if (((a.fVirt & FCONTROL) != 0) != g_modifiers.control ||
            ((a.fVirt & FSHIFT) != 0) != g_modifiers.shift || ((a.fVirt & FALT) != 0) != g_modifiers.alt)
            continue;
        ::SendMessage(window, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
        return TRUE;
    }
    return FALSE;
}

namespace platform::mfc {

void SetKeyModifiers(bool control, bool shift, bool alt) {
    g_modifiers = Modifiers{control, shift, alt};
}

void SetMenuHook(MenuHook hook) {
    menuHook() = std::move(hook);
}

} // namespace platform::mfc
