// KQ_UI_ErrorInfoDlg: the modal dialog that turns a failure code (a login failure of the box link, or a
// failure result of the player) into a one-line summary and, for the connection-path codes 1001 to 1013,
// a longer explanation behind the "more information" button. Texts come from the language file.
#pragma once

#include "platform/mfc/Dialog.h"

#include <string>

class KQ_UI_ErrorInfoDlg : public CDialog {
public:
    KQ_UI_ErrorInfoDlg(CWnd* parent, int errorCode);
    ~KQ_UI_ErrorInfoDlg() override;

    BOOL OnInitDialog() override;

    // The language keys of a code: the summary, and the detail ("" when the code has none).
    static std::wstring SummaryKey(int code);
    static std::wstring DetailKey(int code);
    // The summary line: the code put in place of "%d" ("%%" gives "%"), at most 255 characters.
    static std::wstring FormatSummary(const std::wstring& text, int code);

    bool IsExpanded() const { return expanded_; }

protected:
    void OnDestroy() override;

private:
    void toggleDetail();
    int collapsedHeight() const;

    int code_;
    RECT full_{};
    bool expanded_ = false;
};
