// KQ_UI_Channel_Page: the tuner's channels and country. A scan (the country's air or cable band, or the
// range of its bands) runs in the box; the page lists each channel the box finds, keeps the user on its
// tab meanwhile (the sheet locks the others and its frame), and at its end takes the box's channel table
// as the login's, saved to the table file its history names. A change of country is sent to the box
// under the same lock. Tables can also be loaded from and saved to a file.
#pragma once

#include "dialogs/SettingsPage.h"

enum ChannelPageControl {
    IDC_CHN_LIST = 1501,
    IDC_CHN_COUNTRY_LABEL = 1502,
    IDC_CHN_COUNTRY = 1503,
    IDC_CHN_SCAN_LABEL = 1504,
    IDC_CHN_SCAN_MODE = 1505,
    IDC_CHN_SCAN = 1506,
    IDC_CHN_STOP = 1507,
    IDC_CHN_LOAD = 1508,
    IDC_CHN_SAVE = 1509,
    IDC_CHN_STATUS = 1510,
};

// The scan selections, in the order of the scan list (the index is what stops a scan).
enum ChannelScanMode { SCAN_AIR = 0, SCAN_CABLE = 1, SCAN_RANGE = 2 };

class KQ_UI_Channel_Page : public KQ_UI_SettingsPage {
public:
    KQ_UI_Channel_Page();
    ~KQ_UI_Channel_Page() override;
    static const DialogTemplate& Template(); // 3001

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // Leaving the sheet while a scan runs stops it.
    void OnOK() override;
    void OnCancel() override;

    // A scan or a country change is under way: the other tabs and the sheet's frame wait.
    bool IsScanning() const { return scanning_ || countryChange_ >= 0; }

private:
    CListCtrl& list() const;
    CComboBox& combo(int id) const;
    void setTexts();
    void fillList();
    void fillCountries();
    int selectedCountry() const;
    void enableControls();
    void lock(bool locked);
    void status(const wchar_t* key);
    std::wstring tablePath() const;
    void tableChanged(const std::wstring& path);

    void onScan();
    void onStop();
    void onCountry();
    void onLoad();
    void onSave();
    void endScan();
    LRESULT onChannelFound(WPARAM frequency, LPARAM channel);
    LRESULT onChannelTable(WPARAM entries, LPARAM count);
    LRESULT onCountrySet(bool done);

    bool scanning_ = false;
    int countryChange_ = -1; // the country asked for, until the box answers
};
