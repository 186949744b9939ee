#include "app/ErrorInfoDlg.h"

#include "app/Language.h"
#include "app/Templates.h"

namespace {

struct PlayerCode {
    std::uint32_t code;
    const wchar_t* key;
};

constexpr PlayerCode kPlayerCodes[] = {
    {0x8004021E, L"KQ_S_AV_E_INTERFACE"},
    {0x80040228, L"KQ_S_AV_E_CREATEFILTERGRAPH"},
    {0x80040229, L"KQ_S_AV_E_CREATENETGRAPH"},
    {0x8004022A, L"KQ_S_AV_E_NETGRAPH"},
    {0x8004022B, L"KQ_SAV_E_CREATEFILE"},
    {0x8004022C, L"KQ_S_AV_E_FILE"},
    {0x80040232, L"KQ_S_AV_E_RUN"},
    {0x80040233, L"KQ_S_AV_E_PAUSE"},
    {0x80040234, L"KQ_S_AV_E_STOP"},
    {0x80040235, L"KQ_S_AV_E_MUTE"},
    {0x80040236, L"KQ_S_AV_ERR_AV_INIT_RECORD_FAILED"},
    {0x80040237, L"KQ_S_AV_AV_RECORD_FILE_NAME_EORRE"},
    {0x80040238, L"KQ_S_AV_AV_FILTER_CONNECT_FAILED"},
};

bool isPathCode(int code) {
    return code >= 1001 && code <= 1013;
}

} // namespace

KQ_UI_ErrorInfoDlg::KQ_UI_ErrorInfoDlg(CWnd* parent, int errorCode)
    : CDialog(ErrorDialogTemplate(), parent), code_(errorCode) {
    MapCommand(IDC_ERR_MORE, [this] { toggleDetail(); });
}

KQ_UI_ErrorInfoDlg::~KQ_UI_ErrorInfoDlg() {
    DestroyWindow();
}

std::wstring KQ_UI_ErrorInfoDlg::SummaryKey(int code) {
    if (code >= 1 && code <= 9)
        return L"KQ_S_LOGIN_ERR_" + std::to_wstring(code);
    if (isPathCode(code)) {
        if (code == 1001)
            return L"KQ_S_LOGIN_ERR_SERVER_FAIL";
        static const wchar_t* const kCycle[4] = {L"KQ_S_LOGIN_ERR_BOX_NOT_FOUND", L"KQ_S_LOGIN_ERR_SN_ERROR",
                                                 L"KQ_S_LOGIN_ERR_UPNP_FAIL", L"KQ_S_LOGIN_ERR_LINK_FAIL"};
        return kCycle[(code - 1002) % 4];
    }
    for (const PlayerCode& p : kPlayerCodes)
        if (static_cast<std::uint32_t>(code) == p.code)
            return p.key;
    return L"KQ_S_AV_INSIDE_ERROR";
}

std::wstring KQ_UI_ErrorInfoDlg::DetailKey(int code) {
    return isPathCode(code) ? L"KQ_S_LOGIN_ERR_" + std::to_wstring(code) : std::wstring();
}

std::wstring KQ_UI_ErrorInfoDlg::FormatSummary(const std::wstring& text, int code) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size() && (text[i + 1] == L'd' || text[i + 1] == L'%')) {
            out += text[i + 1] == L'd' ? std::to_wstring(code) : L"%";
            ++i;
        } else {
            out += text[i];
        }
    }
    if (out.size() > 255)
        out.resize(255);
    return out;
}

BOOL KQ_UI_ErrorInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(IDI_INFORMATION, TRUE);
    GetDlgItem(IDC_ERR_MORE)->SetWindowText(LoadLanguageString(L"KQ_S_LOGIN_ERR_MORE_INFO"));
    GetDlgItem(IDOK)->SetWindowText(LoadLanguageString(L"KQ_S_SET_OK"));
    const std::wstring summary = LoadLanguageString(SummaryKey(code_));
    if (isPathCode(code_)) {
        GetDlgItem(IDC_ERR_SUMMARY)->SetWindowText(FormatSummary(summary, code_));
        GetDlgItem(IDC_ERR_DETAIL)->SetWindowText(LoadLanguageString(DetailKey(code_)));
        GetDlgItem(IDC_ERR_MORE)->EnableWindow(TRUE);
    } else {
        GetDlgItem(IDC_ERR_SUMMARY)->SetWindowText(summary);
        GetDlgItem(IDC_ERR_MORE)->EnableWindow(FALSE);
    }
    GetWindowRect(&full_);
    expanded_ = false;
    SetWindowPos(nullptr, 0, 0, full_.right - full_.left, collapsedHeight(), SWP_NOMOVE | SWP_NOZORDER);
    GetDlgItem(IDOK)->SetFocus(); // Enter presses OK, not the detail button
    return FALSE;
}

// Only the summary and the two buttons show: the client area ends at the separator.
int KQ_UI_ErrorInfoDlg::collapsedHeight() const {
    RECT client, window, separator{0, 0, 0, 0};
    GetClientRect(&client);
    GetWindowRect(&window);
    if (CWnd* line = GetDlgItem(IDC_ERR_SEPARATOR)) {
        line->GetWindowRect(&separator);
        ScreenToClient(&separator);
    }
    const int frame = (window.bottom - window.top) - client.bottom;
    return frame + separator.top;
}

void KQ_UI_ErrorInfoDlg::toggleDetail() {
    expanded_ = !expanded_;
    const int height = expanded_ ? full_.bottom - full_.top : collapsedHeight();
    SetWindowPos(nullptr, 0, 0, full_.right - full_.left, height, SWP_NOMOVE | SWP_NOZORDER);
}

void KQ_UI_ErrorInfoDlg::OnDestroy() {
    CDialog::OnDestroy();
    EndDialog(IDOK);
}
