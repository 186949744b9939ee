#include "dialogs/ChannelPage.h"

#include "app/Language.h"
#include "app/UiMessages.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"
#include "config/LoginFolder.h"
#include "dialogs/SetSheet.h"
#include "dialogs/records/CountryScanRange.h"
#include "platform/mfc/FileDialog.h"
#include "platform/win32/Profile.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr TextKey kTexts[] = {
    {IDC_CHN_COUNTRY_LABEL, L"KQ_S_CHN_COUNTRY"},
    {IDC_CHN_SCAN_LABEL, L"KQ_S_CHN_SCAN_MODE"},
    {IDC_CHN_SCAN, L"KQ_S_CHN_SCAN_START"},
    {IDC_CHN_STOP, L"KQ_S_CHN_SCAN_STOP"},
    {IDC_CHN_LOAD, L"KQ_S_CHN_LOAD"},
    {IDC_CHN_SAVE, L"KQ_S_CHN_SAVE"},
};
constexpr const wchar_t* kColumns[] = {L"KQ_S_CHN_NUMBER", L"KQ_S_CHN_NAME", L"KQ_S_CHN_FREQ"};
constexpr int kColumnWidths[] = {80, 200, 120};
constexpr const wchar_t* kScanModes[] = {L"KQ_S_CHN_SCAN_AIR", L"KQ_S_CHN_SCAN_CABLE",
                                         L"KQ_S_CHN_SCAN_RANGE"};
constexpr const wchar_t* kProperty = L".\\Setup\\property.ini";

std::wstring channelName(int number) {
    return L"CH " + std::to_wstring(number);
}

std::wstring frequencyText(std::uint32_t sixteenths) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.2f MHz", sixteenths / 16.0);
    return text;
}

void addRow(CListCtrl& list, int number, const std::wstring& name, std::uint32_t frequency) {
    const int row = list.InsertItem(list.GetItemCount(), std::to_wstring(number));
    list.SetItemText(row, 1, name);
    list.SetItemText(row, 2, frequencyText(frequency));
}

} // namespace

const DialogTemplate& KQ_UI_Channel_Page::Template() {
    static const DialogTemplate t = [] {
        const DWORD tab = WS_VISIBLE | WS_TABSTOP;
        return PageTemplate(
            3001, L"Channel",
            {
                Control(L"SysListView32", IDC_CHN_LIST, 7, 7, 356, 130, tab | LVS_REPORT | LVS_SINGLESEL),
                Control(L"Static", IDC_CHN_COUNTRY_LABEL, 7, 146, 85, 10, WS_VISIBLE),
                Control(L"ComboBox", IDC_CHN_COUNTRY, 95, 144, 150, 14, tab | CBS_DROPDOWNLIST),
                Control(L"Static", IDC_CHN_SCAN_LABEL, 7, 164, 85, 10, WS_VISIBLE),
                Control(L"ComboBox", IDC_CHN_SCAN_MODE, 95, 162, 150, 14, tab | CBS_DROPDOWNLIST),
                Control(L"Button", IDC_CHN_SCAN, 7, 184, 84, 14, tab),
                Control(L"Button", IDC_CHN_STOP, 97, 184, 84, 14, tab | WS_DISABLED),
                Control(L"Button", IDC_CHN_LOAD, 187, 184, 84, 14, tab),
                Control(L"Button", IDC_CHN_SAVE, 277, 184, 86, 14, tab),
                Control(L"Static", IDC_CHN_STATUS, 7, 208, 356, 20, WS_VISIBLE),
            });
    }();
    return t;
}

KQ_UI_Channel_Page::KQ_UI_Channel_Page() : KQ_UI_SettingsPage(Template(), L"KQ_S_SET_CHN_TITLE") {
    MapCommand(IDC_CHN_SCAN, [this] { onScan(); });
    MapCommand(IDC_CHN_STOP, [this] { onStop(); });
    MapCommand(IDC_CHN_LOAD, [this] { onLoad(); });
    MapCommand(IDC_CHN_SAVE, [this] { onSave(); });
    MapNotify(IDC_CHN_COUNTRY, CBN_SELCHANGE, [this] { onCountry(); });
    MapMessage(WM_BOX_SCAN_STARTED, [this](WPARAM, LPARAM) {
        status(L"KQ_S_CHN_SCANNING");
        return LRESULT{0};
    });
    MapMessage(WM_BOX_SCAN_CHANNEL_FOUND, [this](WPARAM w, LPARAM l) { return onChannelFound(w, l); });
    MapMessage(WM_BOX_SCAN_FINISHED, [this](WPARAM, LPARAM) {
        if (scanning_)
            endScan();
        return LRESULT{0};
    });
    MapMessage(WM_BOX_CHANNEL_TABLE, [this](WPARAM w, LPARAM l) { return onChannelTable(w, l); });
    MapMessage(WM_BOX_CHANNEL_TABLE_FAILED, [this](WPARAM, LPARAM) {
        status(L"KQ_S_CHN_TABLE_FAILED");
        return LRESULT{0};
    });
    MapMessage(WM_BOX_COUNTRY_SET, [this](WPARAM, LPARAM) { return onCountrySet(true); });
    MapMessage(WM_BOX_COUNTRY_FAILED, [this](WPARAM, LPARAM) { return onCountrySet(false); });
}

KQ_UI_Channel_Page::~KQ_UI_Channel_Page() {
    DestroyWindow();
}

CListCtrl& KQ_UI_Channel_Page::list() const {
    return *static_cast<CListCtrl*>(GetDlgItem(IDC_CHN_LIST));
}

CComboBox& KQ_UI_Channel_Page::combo(int id) const {
    return *static_cast<CComboBox*>(GetDlgItem(id));
}

BOOL KQ_UI_Channel_Page::OnInitDialog() {
    KQ_UI_SettingsPage::OnInitDialog();
    list().SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int i = 0; i < 3; ++i)
        list().InsertColumn(i, LoadLanguageString(kColumns[i]), LVCFMT_LEFT, kColumnWidths[i]);
    fillList();
    fillCountries();
    return TRUE;
}

BOOL KQ_UI_Channel_Page::OnSetActive() {
    setTexts();
    return KQ_UI_SettingsPage::OnSetActive();
}

void KQ_UI_Channel_Page::setTexts() {
    ApplyTexts(*this, kTexts);
    for (int i = 0; i < 3; ++i)
        SetHeading(list(), i, LoadLanguageString(kColumns[i]));
    CComboBox& modes = combo(IDC_CHN_SCAN_MODE);
    const int mode = modes.GetCurSel();
    modes.ResetContent();
    for (const wchar_t* key : kScanModes)
        modes.AddString(LoadLanguageString(key));
    modes.SetCurSel(mode < 0 ? SCAN_AIR : mode);
    SetOwnTitle();
}

void KQ_UI_Channel_Page::fillList() {
    list().DeleteAllItems();
    for (const KQ_UI_FRQ_TABLE_ITEM& item : app().m_config.m_channelTable)
        addRow(list(), item.channel, item.name, item.frequency);
}

void KQ_UI_Channel_Page::fillCountries() {
    CComboBox& countries = combo(IDC_CHN_COUNTRY);
    const KQ_UI_VeloqApp& a = app();
    const int current = a.m_session.loggedIn ? a.m_session.countryCode : a.m_config.m_countryId;
    countries.ResetContent();
    for (const CountryRow& row : CountryTable()) {
        const int item = countries.AddString(row.name);
        countries.SetItemData(item, static_cast<DWORD_PTR>(row.country));
        if (row.country == current)
            countries.SetCurSel(item);
    }
}

int KQ_UI_Channel_Page::selectedCountry() const {
    CComboBox& countries = combo(IDC_CHN_COUNTRY);
    const int item = countries.GetCurSel();
    return item < 0 ? -1 : static_cast<int>(countries.GetItemData(item));
}

void KQ_UI_Channel_Page::status(const wchar_t* key) {
    GetDlgItem(IDC_CHN_STATUS)->SetWindowText(LoadLanguageString(key));
}

void KQ_UI_Channel_Page::enableControls() {
    const BOOL idle = !IsScanning();
    for (int id : {IDC_CHN_COUNTRY, IDC_CHN_SCAN_MODE, IDC_CHN_SCAN, IDC_CHN_LOAD, IDC_CHN_SAVE})
        GetDlgItem(id)->EnableWindow(idle);
    GetDlgItem(IDC_CHN_STOP)->EnableWindow(scanning_);
}

void KQ_UI_Channel_Page::lock(bool locked) {
    if (KQ_UI_Set_Sheet* s = sheet())
        s->SendMessage(locked ? WM_UI_SHEET_LOCK_PAGES : WM_UI_SHEET_UNLOCK_PAGES,
                       locked ? reinterpret_cast<WPARAM>(static_cast<CPropertyPage*>(this)) : 0, 0);
    enableControls();
}

void KQ_UI_Channel_Page::onScan() {
    BoxClientPort* box = app().m_pBoxClient;
    const int country = selectedCountry();
    const CountryRow* row = FindCountry(country);
    const int mode = combo(IDC_CHN_SCAN_MODE).GetCurSel();
    if (!box || !row) {
        status(L"KQ_S_CHN_SCAN_FAILED");
        return;
    }
    if (!box->SendStartScan(m_hWnd, mode == SCAN_RANGE ? 1 : 0, static_cast<BYTE>(country), mode == SCAN_AIR,
                            static_cast<DWORD>(row->low), static_cast<DWORD>(row->high))) {
        status(L"KQ_S_CHN_SCAN_FAILED");
        return;
    }
    scanning_ = true;
    list().DeleteAllItems();
    status(L"KQ_S_CHN_SCANNING");
    lock(true);
}

void KQ_UI_Channel_Page::onStop() {
    if (!scanning_)
        return;
    if (BoxClientPort* box = app().m_pBoxClient)
        box->SendStopScan(static_cast<DWORD>(std::max(0, combo(IDC_CHN_SCAN_MODE).GetCurSel())));
    endScan();
}

// The box keeps what it found: its table becomes the login's.
void KQ_UI_Channel_Page::endScan() {
    scanning_ = false;
    lock(false);
    status(L"KQ_S_CHN_SCAN_DONE");
    if (BoxClientPort* box = app().m_pBoxClient)
        box->SendGetChannelTable(m_hWnd);
}

void KQ_UI_Channel_Page::OnOK() {
    if (scanning_)
        onStop();
}

void KQ_UI_Channel_Page::OnCancel() {
    if (scanning_)
        onStop();
}

LRESULT KQ_UI_Channel_Page::onChannelFound(WPARAM frequency, LPARAM channel) {
    if (scanning_)
        addRow(list(), static_cast<int>(channel), channelName(static_cast<int>(channel)),
               static_cast<std::uint32_t>(frequency));
    return 0;
}

LRESULT KQ_UI_Channel_Page::onChannelTable(WPARAM entries, LPARAM count) {
    auto& table = app().m_config.m_channelTable;
    // Names and favourites the user gave stay with their channel numbers.
    std::map<int, KQ_UI_FRQ_TABLE_ITEM> known;
    for (const KQ_UI_FRQ_TABLE_ITEM& item : table)
        known.emplace(item.channel, item);
    const auto* bytes = reinterpret_cast<const BYTE*>(entries);
    std::vector<KQ_UI_FRQ_TABLE_ITEM> fresh;
    for (LPARAM i = 0; bytes && i < std::min<LPARAM>(count, 128); ++i) {
        std::uint32_t number = 0, frequency = 0;
        std::memcpy(&number, bytes + 8 * i, 4);
        std::memcpy(&frequency, bytes + 8 * i + 4, 4);
        KQ_UI_FRQ_TABLE_ITEM item;
        item.channel = static_cast<std::int32_t>(number);
        item.frequency = frequency;
        const auto it = known.find(item.channel);
        item.name = it == known.end() ? channelName(item.channel) : it->second.name;
        item.isFavourite = it == known.end() ? 0 : it->second.isFavourite;
        fresh.push_back(std::move(item));
    }
    table = std::move(fresh);
    const std::wstring path = tablePath();
    if (app().m_config.SaveChannelTable(path) == kConfigOk)
        tableChanged(path);
    // A table asked for before this scan began must not mix with the channels it finds; the scan's
    // end asks for the table again.
    if (!scanning_)
        fillList();
    return 0;
}

// The file the login's history names, else the login folder's "default.tlb".
std::wstring KQ_UI_Channel_Page::tablePath() const {
    const KQ_AppConfig& c = app().m_config;
    const std::wstring history = GetLoginHistoryPath(c.m_userRecord.text1, g_userDataRoot);
    wchar_t named[1024] = {};
    if (!history.empty())
        GetPrivateProfileStringW(L"Channel Table", L"Table", L"", named, 1024, history.c_str());
    if (named[0])
        return named;
    const std::wstring folder = GetLoginFolder(c.m_userRecord.text1, g_userDataRoot);
    return folder.empty() ? std::wstring() : folder + L"default.tlb";
}

void KQ_UI_Channel_Page::tableChanged(const std::wstring& path) {
    KQ_AppConfig& c = app().m_config;
    c.m_channelTablePath = path;
    const std::wstring history = GetLoginHistoryPath(c.m_userRecord.text1, g_userDataRoot);
    if (!history.empty())
        WritePrivateProfileStringW(L"Channel Table", L"Table", path.c_str(), history.c_str());
    if (KQ_UI_VeloqDlg* main = app().m_pMainDlg)
        main->RebuildChannelMenu();
}

void KQ_UI_Channel_Page::onLoad() {
    const std::wstring folder = GetLoginFolder(app().m_config.m_userRecord.text1, g_userDataRoot);
    const std::wstring path =
        GetOpenFilePath(this, LoadLanguageString(L"KQ_S_CHN_LOAD"), folder, L"Channel table (*.tlb);;*");
    if (path.empty())
        return;
    if (app().m_config.LoadChannelTable(path) != kConfigOk) {
        KeyMessage(*this, L"KQ_S_CHN_LOAD_FAILED", L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    tableChanged(path);
    fillList();
}

void KQ_UI_Channel_Page::onSave() {
    const std::wstring path = tablePath();
    if (app().m_config.SaveChannelTable(path) != kConfigOk) {
        KeyMessage(*this, L"KQ_S_CHN_SAVE_FAILED", L"Solvane Player", MB_ICONINFORMATION);
        return;
    }
    tableChanged(path);
    status(L"KQ_S_CHN_SAVED");
}

void KQ_UI_Channel_Page::onCountry() {
    const int country = selectedCountry();
    BoxClientPort* box = app().m_pBoxClient;
    if (country < 0 || !box || !box->SendSetCountry(m_hWnd, static_cast<DWORD>(country))) {
        fillCountries(); // back to the country the box has
        return;
    }
    countryChange_ = country;
    status(L"KQ_S_CHN_COUNTRY_SETTING");
    lock(true);
}

LRESULT KQ_UI_Channel_Page::onCountrySet(bool done) {
    if (countryChange_ < 0)
        return 0;
    const int country = countryChange_;
    countryChange_ = -1;
    lock(false);
    if (!done) {
        status(L"KQ_S_CHN_COUNTRY_FAILED");
        fillCountries();
        return 0;
    }
    KQ_UI_VeloqApp& a = app();
    a.m_session.countryCode = country;
    a.m_config.m_countryId = country;
    LookupCountryScanRange(country, &a.m_config.m_scanLow, &a.m_config.m_scanHigh);
    WritePrivateProfileStringW(L"Country", L"value", std::to_wstring(country).c_str(), kProperty);
    status(L"KQ_S_CHN_COUNTRY_SET");
    return 0;
}
