// KQ_UI_Video_Page: the picture the box encodes: its size class (or the box's own choice), frame rate
// and bit rate. The box answers a change; when it starts a new stream for it, live view restarts on it.
// The values the box took are saved with the settings.
#pragma once

#include "dialogs/SettingsPage.h"

enum VideoPageControl {
    IDC_VID_SIZE_LABEL = 1600,
    IDC_VID_SIZE = 1601,
    IDC_VID_RATE_LABEL = 1602,
    IDC_VID_RATE = 1603,
    IDC_VID_RATE_SPIN = 1604,
    IDC_VID_RATE_UNIT = 1605,
    IDC_VID_BITS_LABEL = 1606,
    IDC_VID_BITS = 1607,
    IDC_VID_BITS_SPIN = 1608,
    IDC_VID_BITS_UNIT = 1609,
    IDC_VID_BITS_NOTE = 1610,
    IDC_VID_APPLY = 1611,
    IDC_VID_STATUS = 1612,
};

// The size choices: the five size classes, then the box's own choice.
constexpr int kVideoSizeClasses = 5;
constexpr int kVideoQualityAuto = 5;

class KQ_UI_Video_Page : public KQ_UI_SettingsPage {
public:
    KQ_UI_Video_Page();
    ~KQ_UI_Video_Page() override;
    static const DialogTemplate& Template(); // 3003

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

private:
    CSpinButtonCtrl& spin(int id) const;
    CComboBox& sizes() const;
    void setTexts();
    void onApply();
    LRESULT onQualitySet(WPARAM restarted);
    LRESULT onQualityFailed();

    int pending_ = -1; // the size choice asked for, until the box answers
};
