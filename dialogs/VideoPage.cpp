#include "dialogs/VideoPage.h"

#include "app/Language.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"

#include <algorithm>

namespace {

constexpr TextKey kTexts[] = {
    {IDC_VID_SIZE_LABEL, L"KQ_S_VIDEO_SIZE"}, {IDC_VID_RATE_LABEL, L"KQ_S_VIDEO_FRAME_RATE"},
    {IDC_VID_RATE_UNIT, L"KQ_S_VIDEO_FPS"},   {IDC_VID_BITS_LABEL, L"KQ_S_VIDEO_BIT_RATE"},
    {IDC_VID_BITS_UNIT, L"KQ_S_VIDEO_KBPS"},  {IDC_VID_BITS_NOTE, L"KQ_S_VIDEO_BIT_RATE_NOTE"},
    {IDC_VID_APPLY, L"KQ_S_VIDEO_APPLY"},
};
// The size classes as the mode label names them.
constexpr const wchar_t* kSizeNames[kVideoSizeClasses] = {L"QCIF", L"CIF", L"DCIF", L"H-D1", L"D1"};
constexpr int kMaxFrameRate = 30;
constexpr int kMaxBitRate = 8000;

} // namespace

const DialogTemplate& KQ_UI_Video_Page::Template() {
    static const DialogTemplate t = [] {
        const DWORD tab = WS_VISIBLE | WS_TABSTOP;
        const DWORD spin = WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS;
        return PageTemplate(3003, L"Video",
                            {
                                Control(L"Static", IDC_VID_SIZE_LABEL, 7, 11, 110, 10, WS_VISIBLE),
                                Control(L"ComboBox", IDC_VID_SIZE, 120, 9, 120, 14, tab | CBS_DROPDOWNLIST),
                                Control(L"Static", IDC_VID_RATE_LABEL, 7, 31, 110, 10, WS_VISIBLE),
                                Control(L"Edit", IDC_VID_RATE, 120, 29, 45, 13, tab | ES_AUTOHSCROLL),
                                Control(L"msctls_updown32", IDC_VID_RATE_SPIN, 165, 29, 10, 13, spin),
                                Control(L"Static", IDC_VID_RATE_UNIT, 170, 31, 80, 10, WS_VISIBLE),
                                Control(L"Static", IDC_VID_BITS_LABEL, 7, 51, 110, 10, WS_VISIBLE),
                                Control(L"Edit", IDC_VID_BITS, 120, 49, 45, 13, tab | ES_AUTOHSCROLL),
                                Control(L"msctls_updown32", IDC_VID_BITS_SPIN, 165, 49, 10, 13, spin),
                                Control(L"Static", IDC_VID_BITS_UNIT, 170, 51, 80, 10, WS_VISIBLE),
                                Control(L"Static", IDC_VID_BITS_NOTE, 120, 67, 243, 20, WS_VISIBLE),
                                Control(L"Button", IDC_VID_APPLY, 120, 92, 120, 14, tab),
                                Control(L"Static", IDC_VID_STATUS, 7, 116, 356, 20, WS_VISIBLE),
                            });
    }();
    return t;
}

KQ_UI_Video_Page::KQ_UI_Video_Page() : KQ_UI_SettingsPage(Template(), L"KQ_S_SET_VIDEO_TITLE") {
    MapCommand(IDC_VID_APPLY, [this] { onApply(); });
    MapMessage(WM_BOX_VIDEO_QUALITY_OK, [this](WPARAM w, LPARAM) { return onQualitySet(w); });
    MapMessage(WM_BOX_VIDEO_QUALITY_FAILED, [this](WPARAM, LPARAM) { return onQualityFailed(); });
}

KQ_UI_Video_Page::~KQ_UI_Video_Page() {
    DestroyWindow();
}

CSpinButtonCtrl& KQ_UI_Video_Page::spin(int id) const {
    return *static_cast<CSpinButtonCtrl*>(GetDlgItem(id));
}

CComboBox& KQ_UI_Video_Page::sizes() const {
    return *static_cast<CComboBox*>(GetDlgItem(IDC_VID_SIZE));
}

BOOL KQ_UI_Video_Page::OnInitDialog() {
    KQ_UI_SettingsPage::OnInitDialog();
    const KQ_UI_VeloqApp& a = app();
    spin(IDC_VID_RATE_SPIN).SetBuddy(GetDlgItem(IDC_VID_RATE));
    spin(IDC_VID_RATE_SPIN).SetRange(1, kMaxFrameRate);
    spin(IDC_VID_RATE_SPIN).SetPos(std::clamp(a.m_config.m_frameRate, 1, kMaxFrameRate));
    spin(IDC_VID_BITS_SPIN).SetBuddy(GetDlgItem(IDC_VID_BITS));
    spin(IDC_VID_BITS_SPIN).SetRange(0, kMaxBitRate);
    spin(IDC_VID_BITS_SPIN).SetPos(std::clamp(a.m_config.m_bitsRate, 0, kMaxBitRate));
    setTexts();
    const int current = a.m_pBoxClient ? a.m_pBoxClient->CurrentSizeClass() : 0;
    sizes().SetCurSel(a.m_config.m_resolv == kVideoQualityAuto
                          ? kVideoQualityAuto
                          : std::clamp(current, 0, kVideoSizeClasses - 1));
    return TRUE;
}

BOOL KQ_UI_Video_Page::OnSetActive() {
    setTexts();
    return KQ_UI_SettingsPage::OnSetActive();
}

void KQ_UI_Video_Page::setTexts() {
    ApplyTexts(*this, kTexts);
    CComboBox& list = sizes();
    const int chosen = list.GetCurSel();
    list.ResetContent();
    for (const wchar_t* name : kSizeNames)
        list.AddString(name);
    list.AddString(LoadLanguageString(L"KQ_S_VIDEO_AUTO"));
    list.SetCurSel(chosen);
    SetOwnTitle();
}

void KQ_UI_Video_Page::onApply() {
    BoxClientPort* box = app().m_pBoxClient;
    const int quality = sizes().GetCurSel();
    if (!box || quality < 0)
        return;
    const int frameRate = spin(IDC_VID_RATE_SPIN).GetPos();
    const int bitRate = spin(IDC_VID_BITS_SPIN).GetPos();
    const int sizeChange = quality < kVideoSizeClasses && quality != box->CurrentSizeClass() ? 1 : 0;
    if (!box->SendSetVideoQuality(quality, static_cast<DWORD>(frameRate), m_hWnd, static_cast<DWORD>(bitRate),
                                  sizeChange)) {
        onQualityFailed();
        return;
    }
    pending_ = quality;
    GetDlgItem(IDC_VID_APPLY)->EnableWindow(FALSE);
    GetDlgItem(IDC_VID_STATUS)->SetWindowText(LoadLanguageString(L"KQ_S_VIDEO_SETTING"));
}

LRESULT KQ_UI_Video_Page::onQualitySet(WPARAM restarted) {
    if (pending_ < 0)
        return 0;
    KQ_UI_VeloqApp& a = app();
    if (restarted == 200) {
        if (pending_ < kVideoSizeClasses && a.m_pBoxClient)
            a.m_pBoxClient->SetCurrentSizeClass(pending_);
        a.RestartLiveOnNewStream();
    }
    KQ_AppConfig& c = a.m_config;
    c.m_resolv = pending_;
    c.m_frameRate = spin(IDC_VID_RATE_SPIN).GetPos();
    c.m_bitsRate = spin(IDC_VID_BITS_SPIN).GetPos();
    c.Save();
    pending_ = -1;
    GetDlgItem(IDC_VID_APPLY)->EnableWindow(TRUE);
    GetDlgItem(IDC_VID_STATUS)->SetWindowText(LoadLanguageString(L"KQ_S_VIDEO_SET"));
    return 0;
}

LRESULT KQ_UI_Video_Page::onQualityFailed() {
    pending_ = -1;
    GetDlgItem(IDC_VID_APPLY)->EnableWindow(TRUE);
    GetDlgItem(IDC_VID_STATUS)->SetWindowText(LoadLanguageString(L"KQ_S_VIDEO_SET_FAILED"));
    return 0;
}
