#include "dialogs/RemoterPage.h"

#include "app/Language.h"
#include "app/Panes.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "config/LoginFolder.h"
#include "dialogs/NewProfileDialog.h"
#include "dialogs/records/IrProfileBlob.h"
#include "dialogs/records/IrProfileSteps.h"
#include "platform/win32/Profile.h"

namespace {

constexpr TextKey kTexts[] = {
    {IDC_IR_LIST_LABEL, L"KQ_S_IR_PROFILES"}, {IDC_IR_NEW, L"KQ_S_IR_NEW"},
    {IDC_IR_LEARN, L"KQ_S_IR_LEARN_START"},   {IDC_IR_STOP, L"KQ_S_IR_LEARN_STOP"},
    {IDC_IR_FETCH, L"KQ_S_IR_FETCH"},         {IDC_IR_UPLOAD, L"KQ_S_IR_UPLOAD"},
};

const wchar_t* blobMessage(IrBlobResult result) {
    switch (result) {
    case IrBlobResult::TooManyProfiles:
        return L"KQ_S_IR_TOO_MANY_PROFILES";
    case IrBlobResult::NameTooLong:
        return L"KQ_S_IR_NAME_TOO_LONG";
    default:
        return L"KQ_S_IR_DATA_TOO_LARGE";
    }
}

// The store's profiles that have a name, in its order.
std::vector<std::wstring> namedProfiles() {
    std::vector<std::wstring> names;
    for (const std::wstring& name : g_irProfileStore.ListProfileNames())
        if (!name.empty())
            names.push_back(name);
    return names;
}

} // namespace

const DialogTemplate& KQ_UI_Remoter_Page::Template() {
    static const DialogTemplate t = [] {
        const DWORD tab = WS_VISIBLE | WS_TABSTOP;
        return PageTemplate(3005, L"Remoter",
                            {
                                Control(L"Static", IDC_IR_LIST_LABEL, 7, 7, 230, 10, WS_VISIBLE),
                                Control(L"SysListView32", IDC_IR_LIST, 7, 20, 230, 160,
                                        tab | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS),
                                Control(L"Button", IDC_IR_NEW, 245, 20, 118, 14, tab),
                                Control(L"Button", IDC_IR_LEARN, 245, 44, 118, 14, tab),
                                Control(L"Button", IDC_IR_STOP, 245, 62, 118, 14, tab),
                                Control(L"Button", IDC_IR_FETCH, 245, 86, 118, 14, tab),
                                Control(L"Button", IDC_IR_UPLOAD, 245, 104, 118, 14, tab),
                                Control(L"Static", IDC_IR_STATUS, 7, 186, 356, 42, WS_VISIBLE),
                            });
    }();
    return t;
}

KQ_UI_Remoter_Page::KQ_UI_Remoter_Page() : KQ_UI_SettingsPage(Template(), L"KQ_S_SET_REMOTER_TITLE") {
    MapCommand(IDC_IR_NEW, [this] { onNew(); });
    MapCommand(IDC_IR_LEARN, [this] { onLearn(); });
    MapCommand(IDC_IR_STOP, [this] { onStop(); });
    MapCommand(IDC_IR_FETCH, [this] { onFetch(); });
    MapCommand(IDC_IR_UPLOAD, [this] { onUpload(); });
    MapWmNotify(IDC_IR_LIST, LVN_ITEMCHANGED, [this](NMHDR* header, LRESULT*) {
        const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if (!filling_ && (change->uNewState & LVIS_SELECTED))
            onSelect();
    });
    MapMessage(WM_BOX_IR_DATA, [this](WPARAM w, LPARAM l) { return onIrData(w, l); });
    MapMessage(WM_BOX_IR_DATA_FAILED, [this](WPARAM, LPARAM) {
        KeyMessage(*this, L"KQ_S_IR_FETCH_FAILED", L"Solvane Player", MB_ICONINFORMATION);
        return LRESULT{0};
    });
    MapMessage(WM_BOX_IR_UPLOAD_OK, [this](WPARAM, LPARAM) {
        status(L"KQ_S_IR_UPLOADED");
        return LRESULT{0};
    });
    MapMessage(WM_BOX_IR_UPLOAD_FAILED, [this](WPARAM, LPARAM) {
        KeyMessage(*this, L"KQ_S_IR_UPLOAD_FAILED", L"Solvane Player", MB_ICONINFORMATION);
        return LRESULT{0};
    });
}

KQ_UI_Remoter_Page::~KQ_UI_Remoter_Page() {
    DestroyWindow();
}

CListCtrl& KQ_UI_Remoter_Page::list() const {
    return *static_cast<CListCtrl*>(GetDlgItem(IDC_IR_LIST));
}

std::wstring KQ_UI_Remoter_Page::historyPath() const {
    return GetLoginHistoryPath(app().m_config.m_userRecord.text1, g_userDataRoot);
}

std::wstring KQ_UI_Remoter_Page::selectedName() const {
    const int row = list().GetNextItem(-1, LVNI_SELECTED);
    return row < 0 ? std::wstring() : list().GetItemText(row, 0);
}

BOOL KQ_UI_Remoter_Page::OnInitDialog() {
    KQ_UI_SettingsPage::OnInitDialog();
    list().SetExtendedStyle(LVS_EX_FULLROWSELECT);
    list().InsertColumn(0, LoadLanguageString(L"KQ_S_IR_PROFILE_NAME"), LVCFMT_LEFT, 320);
    fillList(namedProfiles(), ReadHistoryProfile(historyPath()));
    return TRUE;
}

BOOL KQ_UI_Remoter_Page::OnSetActive() {
    setTexts();
    enableControls();
    return KQ_UI_SettingsPage::OnSetActive();
}

void KQ_UI_Remoter_Page::setTexts() {
    ApplyTexts(*this, kTexts);
    SetHeading(list(), 0, LoadLanguageString(L"KQ_S_IR_PROFILE_NAME"));
    SetOwnTitle();
}

void KQ_UI_Remoter_Page::fillList(const std::vector<std::wstring>& names, const std::wstring& select) {
    filling_ = true;
    list().DeleteAllItems();
    for (const std::wstring& name : names) {
        const int row = list().InsertItem(list().GetItemCount(), name);
        if (name == select)
            list().SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
    }
    filling_ = false;
}

void KQ_UI_Remoter_Page::enableControls() {
    const KQ_UI_RemotePaneDlg* pane = app().m_pRemotePane;
    const BOOL learning = pane && pane->IsLearning();
    for (int id : {IDC_IR_LIST, IDC_IR_NEW, IDC_IR_LEARN, IDC_IR_FETCH, IDC_IR_UPLOAD})
        GetDlgItem(id)->EnableWindow(!learning);
    GetDlgItem(IDC_IR_STOP)->EnableWindow(learning);
}

void KQ_UI_Remoter_Page::status(const std::wstring& key) {
    GetDlgItem(IDC_IR_STATUS)->SetWindowText(LoadLanguageString(key));
}

// The profile the user picks is the current one: the history remembers it, the key map takes it.
void KQ_UI_Remoter_Page::onSelect() {
    const std::wstring name = selectedName();
    const std::wstring history = historyPath();
    if (name.empty() || history.empty())
        return;
    WritePrivateProfileStringW(L"Profile Setting", L"Profile", name.c_str(), history.c_str());
    app().m_config.m_remoterMapping.LoadProfileToKeyMap(g_irProfileStore, name);
}

void KQ_UI_Remoter_Page::onNew() {
    KQ_UI_NewProfileDialog dialog(this);
    if (dialog.DoModal() != IDOK)
        return;
    g_irProfileStore.AddProfile(dialog.Name());
    g_irProfileStore.WriteProfileArchive(g_irProfileStore.path);
    fillList(namedProfiles(), dialog.Name());
    onSelect();
}

void KQ_UI_Remoter_Page::onLearn() {
    const std::wstring name = selectedName();
    KQ_UI_VeloqApp& a = app();
    if (name.empty()) {
        KeyMessage(*this, L"KQ_S_IR_SELECT_PROFILE", L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    if (!a.m_pBoxClient || !a.m_pRemotePane || !a.m_pBoxClient->BeginIrLearning(m_hWnd, name)) {
        status(L"KQ_S_IR_LEARN_FAILED");
        return;
    }
    a.m_pRemotePane->BeginLearning(name);
    if (KQ_UI_VeloqDlg* main = a.m_pMainDlg; main && !main->IsSidePaneShown())
        main->ToggleSidePane();
    status(L"KQ_S_IR_LEARNING");
    enableControls();
}

void KQ_UI_Remoter_Page::onStop() {
    KQ_UI_VeloqApp& a = app();
    if (!a.m_pRemotePane || !a.m_pRemotePane->IsLearning())
        return;
    if (a.m_pBoxClient)
        a.m_pBoxClient->EndIrLearning(m_hWnd, a.m_pRemotePane->LearningProfile());
    a.m_pRemotePane->EndLearning();
    status(L"KQ_S_IR_LEARNED");
    enableControls();
}

void KQ_UI_Remoter_Page::onFetch() {
    BoxClientPort* box = app().m_pBoxClient;
    if (!box || !box->SendGetIrData(m_hWnd))
        KeyMessage(*this, L"KQ_S_IR_FETCH_FAILED", L"Solvane Player", MB_ICONINFORMATION);
}

LRESULT KQ_UI_Remoter_Page::onIrData(WPARAM block, LPARAM length) {
    const IrDataReceived received = ReceiveBoxIrData(g_irProfileStore, app().m_config.m_remoterMapping,
                                                     reinterpret_cast<const std::uint8_t*>(block),
                                                     static_cast<std::size_t>(length), historyPath());
    if (received.refill)
        fillList(received.names, received.selected);
    status(L"KQ_S_IR_FETCHED");
    return 0;
}

void KQ_UI_Remoter_Page::onUpload() {
    IrProfileBlob blob;
    const IrBlobResult built = BuildProfileUploadBlob(g_irProfileStore, blob);
    if (built != IrBlobResult::Built) {
        KeyMessage(*this, blobMessage(built), L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    BoxClientPort* box = app().m_pBoxClient;
    if (!box || !box->SendPutIrData(static_cast<DWORD>(blob.written), blob.start.get(), m_hWnd))
        KeyMessage(*this, L"KQ_S_IR_UPLOAD_FAILED", L"Solvane Player", MB_ICONINFORMATION);
    else
        status(L"KQ_S_IR_UPLOADING");
}

void KQ_UI_Remoter_Page::OnOK() {
    app().m_config.Save();
}
