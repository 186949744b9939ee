#include "AppFixture.h"

#include "app/ErrorInfoDlg.h"
#include "app/Templates.h"

namespace {

TEST(ErrorKeysTest, EveryCodeHasItsSummaryAndDetailKeys) {
    struct Case {
        int code;
        const wchar_t* summary;
        const wchar_t* detail;
    };
    const Case cases[] = {
        {1, L"KQ_S_LOGIN_ERR_1", L""},
        {9, L"KQ_S_LOGIN_ERR_9", L""},
        {0, L"KQ_S_AV_INSIDE_ERROR", L""},
        {10, L"KQ_S_AV_INSIDE_ERROR", L""},
        {1000, L"KQ_S_AV_INSIDE_ERROR", L""},
        {1001, L"KQ_S_LOGIN_ERR_SERVER_FAIL", L"KQ_S_LOGIN_ERR_1001"},
        {1006, L"KQ_S_LOGIN_ERR_BOX_NOT_FOUND", L"KQ_S_LOGIN_ERR_1006"},
        {1011, L"KQ_S_LOGIN_ERR_SN_ERROR", L"KQ_S_LOGIN_ERR_1011"},
        {1004, L"KQ_S_LOGIN_ERR_UPNP_FAIL", L"KQ_S_LOGIN_ERR_1004"},
        {1013, L"KQ_S_LOGIN_ERR_LINK_FAIL", L"KQ_S_LOGIN_ERR_1013"},
        {1014, L"KQ_S_AV_INSIDE_ERROR", L""},
        {static_cast<int>(0x8004022Bu), L"KQ_SAV_E_CREATEFILE", L""},
        {static_cast<int>(0x80040238u), L"KQ_S_AV_AV_FILTER_CONNECT_FAILED", L""},
        {static_cast<int>(0x80040239u), L"KQ_S_AV_INSIDE_ERROR", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KQ_UI_ErrorInfoDlg::SummaryKey(c.code), c.summary) << c.code;
        EXPECT_EQ(KQ_UI_ErrorInfoDlg::DetailKey(c.code), c.detail) << c.code;
    }
    // The code goes in place of %d; the text is never a format string of its own.
    EXPECT_EQ(KQ_UI_ErrorInfoDlg::FormatSummary(L"failed (%d)", 1009), L"failed (1009)");
    EXPECT_EQ(KQ_UI_ErrorInfoDlg::FormatSummary(L"%s %x %n 100%%", 1009), L"%s %x %n 100%");
    EXPECT_EQ(KQ_UI_ErrorInfoDlg::FormatSummary(L"no code", 1009), L"no code");
    EXPECT_EQ(KQ_UI_ErrorInfoDlg::FormatSummary(std::wstring(300, L'a'), 1).size(), 255u);
}

class ErrorDialogTest : public AppFixture {
protected:
    struct Seen {
        std::wstring summary;
        std::wstring detail;
        bool more;
        std::wstring okText;
    };
    Seen open(int code, const std::function<void(KQ_UI_ErrorInfoDlg&)>& also = {}) {
        Seen seen;
        platform::mfc::SetModalHook([&](CDialog& d) {
            auto& dialog = static_cast<KQ_UI_ErrorInfoDlg&>(d);
            seen = {
                d.GetDlgItem(IDC_ERR_SUMMARY)->GetWindowText(), d.GetDlgItem(IDC_ERR_DETAIL)->GetWindowText(),
                d.GetDlgItem(IDC_ERR_MORE)->IsWindowEnabled() != FALSE, d.GetDlgItem(IDOK)->GetWindowText()};
            if (also)
                also(dialog);
            return INT_PTR{IDOK};
        });
        KQ_UI_ErrorInfoDlg(nullptr, code).DoModal();
        return seen;
    }
};

TEST_F(ErrorDialogTest, TextsPerCode) {
    temp.write("Setup/Language.ini", std::string(kLanguage) + "[KQ_S_SET_OK]\r\nEnglish=OK\r\n");
    const Seen link = open(1009);
    EXPECT_EQ(link.summary, L"Link failed (1009)");
    EXPECT_EQ(link.detail, L"No link\r\nsecond server");
    EXPECT_TRUE(link.more);
    EXPECT_EQ(link.okText, L"OK");
    const Seen server = open(1001); // a text without %d shows unchanged
    EXPECT_EQ(server.summary, L"Server failed");
    const Seen five = open(5);
    EXPECT_EQ(five.summary, L"Five");
    EXPECT_FALSE(five.more);
    const Seen other = open(0);
    EXPECT_EQ(other.summary, L"Inside");
    EXPECT_FALSE(other.more);
    g_languageIndex = 1; // "Kein Link %d%%": the percent sign of the language's text survives
    EXPECT_EQ(open(1005).summary, L"Kein Link 1005%");
    g_languageIndex = 0;
}

TEST_F(ErrorDialogTest, TheDetailButtonTogglesBetweenTheSeparatorAndTheFullHeight) {
    int collapsed = 0, expanded = 0, again = 0, separator = 0, full = 0;
    open(1009, [&](KQ_UI_ErrorInfoDlg& d) {
        RECT r, client, line;
        d.GetWindowRect(&r);
        d.GetClientRect(&client);
        collapsed = client.bottom;
        d.GetDlgItem(IDC_ERR_SEPARATOR)->GetWindowRect(&line);
        d.ScreenToClient(&line);
        separator = line.top;
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ERR_MORE, BN_CLICKED), 0);
        EXPECT_TRUE(d.IsExpanded());
        d.GetClientRect(&client);
        expanded = client.bottom;
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ERR_MORE, BN_CLICKED), 0);
        d.GetClientRect(&client);
        again = client.bottom;
        full = 131 * 13 / 8; // the template's height: its summary has room for two lines
    });
    EXPECT_EQ(collapsed, separator);
    EXPECT_EQ(again, collapsed);
    EXPECT_NEAR(expanded, full, 1);
    EXPECT_GT(expanded, collapsed);
}

} // namespace
