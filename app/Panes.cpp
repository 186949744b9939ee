#include "app/Panes.h"

#include "app/Language.h"
#include "app/Templates.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"
#include "config/LoginFolder.h"
#include "dialogs/records/IrProfileSteps.h"
#include "dialogs/records/IrProfileStore.h"
#include "platform/win32/Profile.h"

#include <cstring>
#include <vector>

namespace {

constexpr COLORREF kShapeKey = RGB(1, 254, 1);
constexpr int kKeyLast = 10;
constexpr int kKeyEnter = 11;
constexpr int kKeyFavourite = 12;
constexpr int kKeyDown = 13;
constexpr int kKeyUp = 14;

std::wstring profileName(const KQ_AppConfig& c) {
    return ReadHistoryProfile(GetLoginHistoryPath(c.m_userRecord.text1, g_userDataRoot));
}

} // namespace

void DrawPaneBackground(CDC& dc, CWnd& pane, const CBitmap& background) {
    RECT client;
    pane.GetClientRect(&client);
    if (background.IsNull()) {
        dc.FillSolidRect(client, RGB(220, 222, 226));
        return;
    }
    CBitmap copy = background;
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    memory.SelectObject(&copy);
    const CSize size = background.GetSize();
    dc.BitBlt(0, 0, size.cx, size.cy, &memory, 0, 0);
}

void ShapePane(CWnd& pane, CRgn& region, const CBitmap& background, const SkinItemLayout& layout) {
    if (layout.cx > 0 && layout.cy > 0) {
        RECT r;
        pane.GetWindowRect(&r);
        pane.SetWindowPos(nullptr, r.left, r.top, layout.cx, layout.cy, SWP_NOZORDER | SWP_NOMOVE);
    }
    if (!background.IsNull() && region.CreateFromBitmap(background, kShapeKey))
        pane.SetWindowRgn(&region, TRUE);
}

KQ_UI_TVPaneDlg::KQ_UI_TVPaneDlg() : CDialog(TvPaneTemplate()) {
    MapCommandRange(kFirstTvKey, kFirstTvKey + kTvKeyCount - 1,
                    [this](UINT id) { onKey(static_cast<int>(id) - kFirstTvKey); });
    MapMessage(WM_BOX_CHANNEL_SET, [this](WPARAM, LPARAM) { return onChannelSet(); });
    MapMessage(WM_BOX_CHANNEL_FAILED, [this](WPARAM, LPARAM) {
        pending_ = -1;
        ShowChannelIndex(app().m_session.curChannelIndex);
        return LRESULT{0};
    });
}

KQ_UI_TVPaneDlg::~KQ_UI_TVPaneDlg() {
    DestroyWindow();
}

KQ_UI_VeloqApp& KQ_UI_TVPaneDlg::app() const {
    return *VeloqApp();
}

BOOL KQ_UI_TVPaneDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ModifyStyle(WS_CAPTION, 0, SWP_FRAMECHANGED);
    for (int k = 0; k < kTvKeyCount; ++k) {
        if (k == kKeyFavourite)
            favourite_.SubclassDlgItem(static_cast<UINT>(kFirstTvKey + k), this);
        else
            keys_[static_cast<std::size_t>(k)].SubclassDlgItem(static_cast<UINT>(kFirstTvKey + k), this);
    }
    display_.SubclassDlgItem(IDC_TV_CHANNEL, this);
    display_.SetFont(L"Arial", 30, true);
    display_.SetTextColor(RGB(120, 230, 140));
    display_.SetAlignment(DT_CENTER);
    display_.SetText(L"--");
    ApplySkinLayout();
    return TRUE;
}

void KQ_UI_TVPaneDlg::ApplySkinLayout() {
    KQ_UI_VeloqApp& a = app();
    const auto& pictures = a.m_skin.windows[kSkinTvPane];
    const SkinItemLayout& pane = a.m_config.m_skinWindows[kSkinTvPane].layout;
    ShapePane(*this, region_, pictures[kPicBackground], pane);
    const int cx = pane.cx > 0 ? pane.cx : 150;
    const int cy = pane.cy > 0 ? pane.cy : 408;
    for (int k = 0; k < kTvKeyCount; ++k) {
        KQ_UI_ImageButton& key = k == kKeyFavourite ? favourite_ : keys_[static_cast<std::size_t>(k)];
        key.SetSkin(pictures, a.m_config.m_tvKeys[static_cast<std::size_t>(k)], cx, cy);
        key.Place();
    }
    favourite_.SetSecondFace(a.m_skin.ext[kExtFavorite]);
    Invalidate();
}

BOOL KQ_UI_TVPaneDlg::OnEraseBkgnd(CDC* dc) {
    DrawPaneBackground(*dc, *this, app().m_skin.windows[kSkinTvPane][kPicBackground]);
    return TRUE;
}

void KQ_UI_TVPaneDlg::onKey(int index) {
    KQ_UI_VeloqApp& a = app();
    if (index >= 0 && index <= 9) {
        const wchar_t digit = index == 9 ? L'0' : static_cast<wchar_t>(L'1' + index);
        if (typed_.size() >= 4)
            typed_.clear();
        typed_ += digit;
        display_.SetText(typed_);
        return;
    }
    switch (index) {
    case kKeyEnter:
        if (!typed_.empty() && !SelectChannelNumber(std::stoi(typed_)))
            ShowChannelIndex(a.m_session.curChannelIndex);
        typed_.clear();
        break;
    case kKeyLast:
        typed_.clear();
        if (previous_ >= 0)
            SelectChannelIndex(previous_);
        break;
    case kKeyFavourite: {
        auto& table = a.m_config.m_channelTable;
        const int i = a.m_session.curChannelIndex;
        if (i >= 0 && static_cast<std::size_t>(i) < table.size()) {
            auto& entry = table[static_cast<std::size_t>(i)];
            entry.isFavourite = entry.isFavourite ? 0 : 1;
            favourite_.SetOn(entry.isFavourite != 0);
        }
        break;
    }
    case kKeyDown:
        StepChannel(-1);
        break;
    case kKeyUp:
        StepChannel(1);
        break;
    default:
        break;
    }
}

bool KQ_UI_TVPaneDlg::SelectChannelIndex(int index) {
    KQ_UI_VeloqApp& a = app();
    const auto& table = a.m_config.m_channelTable;
    if (index < 0 || static_cast<std::size_t>(index) >= table.size() || !a.m_pBoxClient)
        return false;
    if (!a.m_pBoxClient->SendSetChannel(m_hWnd, table[static_cast<std::size_t>(index)].frequency))
        return false;
    pending_ = index;
    return true;
}

bool KQ_UI_TVPaneDlg::SelectChannelNumber(int number) {
    const auto& table = app().m_config.m_channelTable;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].channel == number)
            return SelectChannelIndex(static_cast<int>(i));
    return false;
}

void KQ_UI_TVPaneDlg::StepChannel(int step) {
    const int count = static_cast<int>(app().m_config.m_channelTable.size());
    if (count == 0)
        return;
    const int current = app().m_session.curChannelIndex;
    SelectChannelIndex(((current < 0 ? 0 : current + step) % count + count) % count);
}

void KQ_UI_TVPaneDlg::ShowChannelIndex(int index) {
    const auto& table = app().m_config.m_channelTable;
    if (index < 0 || static_cast<std::size_t>(index) >= table.size()) {
        display_.SetText(L"--");
        favourite_.SetOn(false);
        return;
    }
    app().m_session.curChannelIndex = index;
    display_.SetText(std::to_wstring(table[static_cast<std::size_t>(index)].channel));
    favourite_.SetOn(table[static_cast<std::size_t>(index)].isFavourite != 0);
}

LRESULT KQ_UI_TVPaneDlg::onChannelSet() {
    KQ_UI_VeloqApp& a = app();
    const auto& table = a.m_config.m_channelTable;
    if (pending_ < 0 || static_cast<std::size_t>(pending_) >= table.size())
        return 0;
    if (a.m_session.curChannelIndex != pending_)
        previous_ = a.m_session.curChannelIndex;
    ShowChannelIndex(pending_);
    const KQ_UI_FRQ_TABLE_ITEM& entry = table[static_cast<std::size_t>(pending_)];
    pending_ = -1;
    if (a.m_pPlayer && a.m_pPlayer->Mode() == PLAYER_MODE_LIVE)
        a.m_pPlayer->ShowInfoText(entry.name, false);
    const std::wstring history = GetLoginHistoryPath(a.m_config.m_userRecord.text1, g_userDataRoot);
    if (!history.empty())
        WritePrivateProfileStringW(L"Last Channel", L"channel", std::to_wstring(entry.channel).c_str(),
                                   history.c_str());
    return 0;
}

KQ_UI_RemotePaneDlg::KQ_UI_RemotePaneDlg() : CDialog(RemotePaneTemplate()) {
    MapCommandRange(kFirstRemoteKey, kFirstRemoteKey + kRemoteKeyCount - 1,
                    [this](UINT id) { onKey(static_cast<int>(id)); });
    for (int id = kFirstRemoteKey; id < kFirstRemoteKey + kRemoteKeyCount; ++id)
        MapUpdateUI(static_cast<UINT>(id), [this, id](CCmdUI* ui) {
            const auto& keys = app().m_config.m_remoterMapping.keys;
            const auto it = keys.find(id);
            ui->Enable(learning_ || (it != keys.end() && it->second.learned != 0));
        });
    MapMessage(WM_BOX_IR_LEARN_RESULT, [this](WPARAM w, LPARAM) { return onLearnResult(w); });
}

KQ_UI_RemotePaneDlg::~KQ_UI_RemotePaneDlg() {
    DestroyWindow();
}

KQ_UI_VeloqApp& KQ_UI_RemotePaneDlg::app() const {
    return *VeloqApp();
}

BOOL KQ_UI_RemotePaneDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ModifyStyle(WS_CAPTION, 0, SWP_FRAMECHANGED);
    for (int k = 0; k < kRemoteKeyCount; ++k)
        keys_[static_cast<std::size_t>(k)].SubclassDlgItem(static_cast<UINT>(kFirstRemoteKey + k), this);
    ApplySkinLayout();
    UpdateDialogControls();
    return TRUE;
}

void KQ_UI_RemotePaneDlg::ApplySkinLayout() {
    KQ_UI_VeloqApp& a = app();
    const auto& pictures = a.m_skin.windows[kSkinRemotePane];
    const SkinItemLayout& pane = a.m_config.m_skinWindows[kSkinRemotePane].layout;
    ShapePane(*this, region_, pictures[kPicBackground], pane);
    for (int k = 0; k < kRemoteKeyCount; ++k) {
        KQ_UI_ImageButton& key = keys_[static_cast<std::size_t>(k)];
        key.SetSkin(pictures, a.m_config.m_remoteKeys[static_cast<std::size_t>(k)],
                    pane.cx > 0 ? pane.cx : 150, pane.cy > 0 ? pane.cy : 408);
        key.Place();
    }
    Invalidate();
}

BOOL KQ_UI_RemotePaneDlg::PreTranslateMessage(MSG* msg) {
    UpdateDialogControls();
    return CDialog::PreTranslateMessage(msg);
}

BOOL KQ_UI_RemotePaneDlg::OnEraseBkgnd(CDC* dc) {
    DrawPaneBackground(*dc, *this, app().m_skin.windows[kSkinRemotePane][kPicBackground]);
    return TRUE;
}

void KQ_UI_RemotePaneDlg::BeginLearning(const std::wstring& profile) {
    learning_ = true;
    profile_ = profile;
    learningKey_ = 0;
    if (m_hWnd)
        UpdateDialogControls();
}

int KQ_UI_RemotePaneDlg::EndLearning() {
    learning_ = false;
    learningKey_ = 0;
    if (m_hWnd)
        UpdateDialogControls();
    const KQ_AppConfig& c = app().m_config;
    const std::wstring& loginId = c.m_userRecord.text1;
    return c.m_remoterMapping.SaveKeyMapAsProfile(g_irProfileStore, profileName(c),
                                                  GetProfileArchivePath(loginId, g_userDataRoot));
}

// The box answers one learning at a time: the code it learned stays in the box, the PC knows the key by
// its number, which the code of a learned key starts with.
LRESULT KQ_UI_RemotePaneDlg::onLearnResult(WPARAM learned) {
    const int id = learningKey_;
    learningKey_ = 0;
    auto& keys = app().m_config.m_remoterMapping.keys;
    const auto it = keys.find(id);
    if (!learning_ || it == keys.end())
        return 0;
    if (learned != 1) {
        MessageBox(LoadLanguageString(L"KQ_S_IR_LEARN_FAILED"), L"Solvane Player", MB_ICONINFORMATION);
        return 0;
    }
    RemoterMapEntry& entry = it->second;
    const std::uint32_t number = static_cast<std::uint32_t>(id - (kFirstRemoteKey - 1));
    entry.learned = 1;
    std::memset(entry.code, 0, sizeof entry.code);
    std::memcpy(entry.code, &number, sizeof number);
    return 0;
}

void KQ_UI_RemotePaneDlg::onKey(int id) {
    KQ_UI_VeloqApp& a = app();
    if (learning_) {
        if (a.m_pBoxClient &&
            a.m_pBoxClient->LearnIrKey(m_hWnd, static_cast<DWORD>(id - (kFirstRemoteKey - 1)), profile_))
            learningKey_ = id;
        return;
    }
    const auto& keys = a.m_config.m_remoterMapping.keys;
    const auto it = keys.find(id);
    if (!a.m_pBoxClient || it == keys.end() || !it->second.learned)
        return;
    a.m_pBoxClient->SendIrKey(m_hWnd, static_cast<DWORD>(id - (kFirstRemoteKey - 1)),
                              profileName(a.m_config));
}
