// The wizard's sheet driven offscreen against a wizard box on loopback: the login, each network mode, the
// network page's Finish, dynamic DNS, every failure message and every refused text (refused texts never
// reach the box); and the program's application object running it.
#include "WizardRig.h"

#include "tests/support/fakes/TempFolder.h"
#include "wizard/QuorraApp.h"
#include "wizard/QuorraText.h"
#include "wizard/WizardFrame.h"
#include "wizard/WizardTemplates.h"

#include "platform/mfc/App.h"
#include "platform/mfc/MessageBox.h"
#include "platform/win32/Text.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using testbox::WizardBox;
using testbox::WizardReply;

std::string dataFile(const char* name) {
    std::ifstream in(std::filesystem::path(VELOQ_DATA_DIR) / name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string padded(const testbox::Frame& f, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(f.data() + at));
}

std::string counted(const testbox::Frame& f, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(f.data() + at + 1), f[at]);
}

// The program's folder with the wizard's files in the language of the test, and the box. Every message
// box is recorded and answered with OK.
class WizardFolderTest : public WizardTest {
protected:
    explicit WizardFolderTest(const char* language = "English") {
        folder.write("Quorra.ini", dataFile("Quorra.ini"));
        folder.write("configure.ini", std::string("[Wizard]\r\nLanguage=") + language +
                                          "\r\n[ISP]\r\nCount=3\r\nISP_001=one.example\r\n"
                                          "ISP_002=two.example\r\nISP_003=three.example\r\n");
        platform::mfc::EnsureToolkit();
        platform::mfc::SetMessageBoxHook(
            [this](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
                messages.push_back(text);
                captions.push_back(caption);
                return IDOK;
            });
    }
    ~WizardFolderTest() override { platform::mfc::SetMessageBoxHook(nullptr); }

    static void type(CWnd& page, int id, const std::wstring& text) {
        page.GetDlgItem(id)->SetWindowText(text);
    }
    // The last message was the text of the key (which the file has).
    void expectMessage(const wchar_t* key) {
        const std::wstring text = LoadQuorraString(key);
        ASSERT_FALSE(text.empty()) << platform::ToUtf8(key);
        ASSERT_FALSE(messages.empty()) << platform::ToUtf8(key);
        EXPECT_EQ(messages.back(), text);
        EXPECT_EQ(captions.back(), LoadQuorraString(L"IDS_WIZARD_TITLE"));
    }

    TempFolder folder;
    std::shared_ptr<fakes::FakeAddressService> addresses = MakeAddressService();
    WizardBox box;
    platform::ScopedNetEnvironment scoped{WizardEnvironment(box, addresses)};
    std::vector<std::wstring> messages, captions;
};

// With the link and the wizard's sheet made as the program makes them (modeless here, so that the test
// drives the sheet).
class WizardPagesTest : public WizardFolderTest {
protected:
    explicit WizardPagesTest(const char* language = "English") : WizardFolderTest(language) {
        link = std::make_unique<CBoxLink>();
        wizard = std::make_unique<CWizardFrame>(*link);
        wizard->Create();
    }
    ~WizardPagesTest() override { wizard->DestroyWindow(); }

    void choose(int modeId) {
        CNetworkPage& page = wizard->NetworkPage();
        for (const int id : {IDC_NETWORK_DHCP, IDC_NETWORK_STATIC, IDC_NETWORK_PPPOE})
            static_cast<CButton*>(page.GetDlgItem(id))->SetCheck(id == modeId ? BST_CHECKED : BST_UNCHECKED);
        page.SendMessage(WM_COMMAND, MAKEWPARAM(modeId, BN_CLICKED), 0);
    }
    void address(int id, DWORD value) {
        static_cast<CIPAddressCtrl*>(wizard->NetworkPage().GetDlgItem(id))->SetAddress(value);
    }
    // Types the ID and password and presses Next.
    void logIn(const std::wstring& id = L"QRR100", const std::wstring& password = L"secret12") {
        type(wizard->LoginPage(), IDC_LOGIN_ID, id);
        type(wizard->LoginPage(), IDC_LOGIN_PASSWORD, password);
        wizard->PressButton(PSBTN_NEXT);
    }
    bool finished() { return !wizard->IsWindowVisible(); }

    std::unique_ptr<CBoxLink> link;
    std::unique_ptr<CWizardFrame> wizard;
};

TEST_F(WizardPagesTest, LoginAsAdminMovesOnToTheNetwork) {
    logIn();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(wizard->GetActiveIndex(), 1);
    const std::vector<testbox::WizardFrame> logins = box.FramesOf(testbox::kSetupLogin);
    ASSERT_EQ(logins.size(), 1u);
    // "admin", enciphered, whatever the user typed: the page has no user name.
    EXPECT_EQ(logins[0].bytes[16], 5);
    EXPECT_EQ(testbox::Bytes(logins[0].bytes.begin() + 17, logins[0].bytes.begin() + 22),
              (testbox::Bytes{0xC0, 0xAA, 0x37, 0x7A, 0x78}));
    EXPECT_EQ(logins[0].bytes[33], 8);
}

struct Refusal {
    const char* name;
    std::wstring id, password;
    const wchar_t* message; // nullptr: accepted
};

void PrintTo(const Refusal& r, std::ostream* os) {
    *os << r.name;
}

class LoginRefusalTest : public WizardPagesTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(LoginRefusalTest, TextsBeyondTheirSlotsAreRefusedOnThePage) {
    const Refusal& r = GetParam();
    logIn(r.id, r.password);
    if (!r.message) {
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(wizard->GetActiveIndex(), 1);
        ASSERT_EQ(box.FramesOf(testbox::kSetupLogin).size(), 1u);
        EXPECT_EQ(box.FramesOf(testbox::kSetupLogin)[0].bytes[33], r.password.size());
        return;
    }
    expectMessage(r.message);
    EXPECT_EQ(wizard->GetActiveIndex(), 0);
    EXPECT_TRUE(box.Probes().empty());
    EXPECT_TRUE(box.Frames().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LoginRefusalTest,
    ::testing::Values(Refusal{"EmptyId", L"", L"secret12", L"IDS_ERR_ID_EMPTY"},
                      Refusal{"Id26", std::wstring(26, L'Q'), L"secret12", L"IDS_ERR_ID_LONG"},
                      Refusal{"Password18", L"QRR100", std::wstring(18, L'p'), L"IDS_ERR_PASSWORD_LONG"},
                      // 17 bytes in the ANSI code page (18 in UTF-8) fill the slot exactly.
                      Refusal{"Password17WithUmlaut", L"QRR100", L"geheimwörter12345", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WizardPagesTest, LoginFailuresKeepThePageWithTheirMessage) {
    box.Script(testbox::kSetupLogin, {{.result = 0}});
    logIn();
    expectMessage(L"IDS_MSG_LOGIN_REFUSED");
    EXPECT_EQ(wizard->GetActiveIndex(), 0);

    box.SetSearchAnswer(testbox::SearchAnswer::Silent);
    logIn();
    expectMessage(L"IDS_MSG_BOX_NOT_FOUND");
    EXPECT_EQ(wizard->GetActiveIndex(), 0);
    EXPECT_EQ(messages.size(), 2u);
}

struct ModeCase {
    const char* name;
    int radio;
    std::function<void(WizardPagesTest&)> fill;
    std::function<void(const testbox::Frame&)> check;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.name;
}

class NetworkModeTest : public WizardPagesTest, public ::testing::WithParamInterface<ModeCase> {
public:
    using WizardFolderTest::type;
    using WizardPagesTest::address;
    CWizardFrame& sheet() { return *wizard; }
};

TEST_P(NetworkModeTest, NextSendsTheModeAndGoesOnToDynamicDns) {
    logIn();
    ASSERT_EQ(wizard->GetActiveIndex(), 1);
    choose(GetParam().radio);
    GetParam().fill(*this);
    wizard->PressButton(PSBTN_NEXT);
    expectMessage(L"IDS_MSG_NETWORK_DONE");
    EXPECT_EQ(wizard->GetActiveIndex(), 2);
    const std::vector<testbox::WizardFrame> network = box.FramesOf(testbox::kSetNetwork);
    ASSERT_EQ(network.size(), 1u);
    EXPECT_EQ(padded(network[0].bytes, 16), "QRR100");
    EXPECT_EQ(padded(network[0].bytes, 16 + 25), "admin");
    EXPECT_EQ(padded(network[0].bytes, 16 + 42), "secret12");
    GetParam().check(network[0].bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, NetworkModeTest,
    ::testing::Values(
        ModeCase{"Dhcp", IDC_NETWORK_DHCP, [](WizardPagesTest&) {},
                 [](const testbox::Frame& f) { EXPECT_EQ(testbox::Get32(f.data() + 16 + 76), 2u); }},
        ModeCase{"Static", IDC_NETWORK_STATIC,
                 [](WizardPagesTest& t) {
                     auto& n = static_cast<NetworkModeTest&>(t);
                     n.address(IDC_NETWORK_IP, 0xC0A80132);
                     n.address(IDC_NETWORK_MASK, 0xFFFFFF00);
                     n.address(IDC_NETWORK_GATEWAY, 0xC0A80101);
                     n.address(IDC_NETWORK_DNS, 0x08080404);
                 },
                 [](const testbox::Frame& f) {
                     EXPECT_EQ(testbox::Get32(f.data() + 16 + 76), 1u);
                     EXPECT_EQ(
                         testbox::Bytes(f.begin() + 16 + 144, f.begin() + 16 + 160),
                         (testbox::Bytes{192, 168, 1, 50, 255, 255, 255, 0, 192, 168, 1, 1, 8, 8, 4, 4}));
                 }},
        ModeCase{"Pppoe", IDC_NETWORK_PPPOE,
                 [](WizardPagesTest& t) {
                     auto& n = static_cast<NetworkModeTest&>(t);
                     n.type(n.sheet().NetworkPage(), IDC_NETWORK_ACCOUNT, L"user@isp.example");
                     n.type(n.sheet().NetworkPage(), IDC_NETWORK_PPPOE_PASSWORD, std::wstring(30, L'p'));
                 },
                 [](const testbox::Frame& f) {
                     EXPECT_EQ(testbox::Get32(f.data() + 16 + 76), 0u);
                     EXPECT_EQ(padded(f, 16 + 80), "user@isp.example");
                     EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data() + 16 + 110), 30),
                               std::string(30, 'p'));
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WizardPagesTest, OnlyTheFieldsOfTheChosenModeAreEnabled) {
    logIn();
    CNetworkPage& page = wizard->NetworkPage();
    const auto enabled = [&](int id) { return page.GetDlgItem(id)->IsWindowEnabled() != FALSE; };
    EXPECT_FALSE(enabled(IDC_NETWORK_IP));
    EXPECT_FALSE(enabled(IDC_NETWORK_ACCOUNT));
    choose(IDC_NETWORK_STATIC);
    EXPECT_TRUE(enabled(IDC_NETWORK_DNS));
    EXPECT_FALSE(enabled(IDC_NETWORK_PPPOE_PASSWORD));
    choose(IDC_NETWORK_PPPOE);
    EXPECT_FALSE(enabled(IDC_NETWORK_GATEWAY));
    EXPECT_TRUE(enabled(IDC_NETWORK_ACCOUNT));
}

TEST_F(WizardPagesTest, NetworkTextsThatCannotBeSentAreRefused) {
    logIn();
    choose(IDC_NETWORK_STATIC);
    const int fields[] = {IDC_NETWORK_IP, IDC_NETWORK_MASK, IDC_NETWORK_GATEWAY, IDC_NETWORK_DNS};
    const wchar_t* keys[] = {L"IDS_ERR_IP_ADDRESS", L"IDS_ERR_SUBNET_MASK", L"IDS_ERR_GATEWAY",
                             L"IDS_ERR_DNS"};
    for (int blank = 0; blank < 4; ++blank) {
        for (int i = 0; i < 4; ++i)
            address(fields[i], 0x0A000001);
        static_cast<CIPAddressCtrl*>(wizard->NetworkPage().GetDlgItem(fields[blank]))->ClearAddress();
        wizard->PressButton(PSBTN_NEXT);
        expectMessage(keys[blank]);
    }
    choose(IDC_NETWORK_PPPOE);
    type(wizard->NetworkPage(), IDC_NETWORK_ACCOUNT, std::wstring(31, L'a'));
    wizard->PressButton(PSBTN_FINISH);
    expectMessage(L"IDS_ERR_PPPOE_ACCOUNT_LONG");
    type(wizard->NetworkPage(), IDC_NETWORK_ACCOUNT, L"user");
    type(wizard->NetworkPage(), IDC_NETWORK_PPPOE_PASSWORD, std::wstring(31, L'p'));
    wizard->PressButton(PSBTN_NEXT);
    expectMessage(L"IDS_ERR_PPPOE_PASSWORD_LONG");
    EXPECT_EQ(messages.size(), 6u);
    EXPECT_EQ(wizard->GetActiveIndex(), 1);
    EXPECT_FALSE(finished());
    EXPECT_TRUE(box.FramesOf(testbox::kSetNetwork).empty());
}

TEST_F(WizardPagesTest, NetworkSettingsTheBoxDidNotTakeKeepThePage) {
    box.Script(testbox::kSetNetwork, {{.result = 0}});
    logIn();
    wizard->PressButton(PSBTN_NEXT);
    expectMessage(L"IDS_MSG_NETWORK_FAILED");
    EXPECT_EQ(wizard->GetActiveIndex(), 1);
    wizard->PressButton(PSBTN_FINISH);
    expectMessage(L"IDS_MSG_NETWORK_FAILED");
    EXPECT_FALSE(finished());
    EXPECT_TRUE(box.FramesOf(testbox::kSetDdns).empty());
}

TEST_F(WizardPagesTest, NetworkFinishSwitchesDynamicDnsOffAndEnds) {
    for (const bool taken : {true, false}) {
        SCOPED_TRACE(taken ? "taken" : "not taken");
        box.Script(testbox::kSetDdns, {{.result = taken ? 1u : 0u}});
        wizard->SetActivePage(0);
        wizard->ShowWindow(SW_SHOW);
        logIn();
        ASSERT_EQ(wizard->GetActiveIndex(), 1);
        wizard->PressButton(PSBTN_FINISH);
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(),
                  LoadQuorraString(L"IDS_MSG_NETWORK_DONE") + L"\r\n" +
                      LoadQuorraString(taken ? L"IDS_MSG_DDNS_OFF" : L"IDS_MSG_DDNS_OFF_FAILED"));
        EXPECT_TRUE(finished());
        const testbox::Frame ddns = box.FramesOf(testbox::kSetDdns).back().bytes;
        EXPECT_EQ(testbox::Get32(ddns.data() + 176), 0u);
        EXPECT_EQ(testbox::Get32(ddns.data() + 12), 1u);
    }
    // Network settings, then dynamic DNS off, each time.
    std::vector<std::uint32_t> commands;
    for (const testbox::WizardFrame& f : box.Frames())
        if (f.command != testbox::kSetupLogin)
            commands.push_back(f.command);
    EXPECT_EQ(commands,
              (std::vector<std::uint32_t>{testbox::kSetNetwork, testbox::kSetDdns, testbox::kSetNetwork,
                                          testbox::kSetDdns, testbox::kSetDdns}));
}

TEST_F(WizardPagesTest, DynamicDnsFinishSendsTheProvidersNumberAndEnds) {
    logIn();
    wizard->PressButton(PSBTN_NEXT);
    ASSERT_EQ(wizard->GetActiveIndex(), 2);
    CDynamicDNSPage& page = wizard->DynamicDnsPage();
    auto* providers = static_cast<CComboBox*>(page.GetDlgItem(IDC_DDNS_PROVIDER));
    ASSERT_EQ(providers->GetCount(), 3);
    EXPECT_EQ(providers->GetCurSel(), 0);
    providers->SetCurSel(1);
    type(page, IDC_DDNS_DOMAIN, L"mybox.two.example");
    type(page, IDC_DDNS_USER, std::wstring(32, L'u'));
    type(page, IDC_DDNS_PASSWORD, L"ddns-pass");
    wizard->PressButton(PSBTN_FINISH);
    expectMessage(L"IDS_MSG_DDNS_DONE");
    EXPECT_TRUE(finished());
    const std::vector<testbox::WizardFrame> ddns = box.FramesOf(testbox::kSetDdns);
    ASSERT_EQ(ddns.size(), 1u);
    const testbox::Frame& f = ddns[0].bytes;
    EXPECT_EQ(testbox::Get32(f.data() + 12), 2u); // the second provider of the list
    EXPECT_EQ(counted(f, 16), "mybox.two.example");
    EXPECT_EQ(counted(f, 81), std::string(32, 'u'));
    EXPECT_EQ(counted(f, 114), "ddns-pass");
    EXPECT_EQ(testbox::Get32(f.data() + 176), 1u);
}

TEST_F(WizardPagesTest, DynamicDnsRefusalsAndFailureKeepThePage) {
    logIn();
    wizard->PressButton(PSBTN_NEXT);
    CDynamicDNSPage& page = wizard->DynamicDnsPage();
    const struct {
        int id;
        std::size_t slot;
        const wchar_t* key;
    } fields[] = {{IDC_DDNS_DOMAIN, 64, L"IDS_ERR_DOMAIN_LONG"},
                  {IDC_DDNS_USER, 32, L"IDS_ERR_DDNS_USER_LONG"},
                  {IDC_DDNS_PASSWORD, 32, L"IDS_ERR_DDNS_PASSWORD_LONG"}};
    for (const auto& field : fields) {
        type(page, field.id, std::wstring(field.slot + 1, L'x'));
        wizard->PressButton(PSBTN_FINISH);
        expectMessage(field.key);
        type(page, field.id, std::wstring(field.slot, L'x'));
    }
    EXPECT_TRUE(box.FramesOf(testbox::kSetDdns).empty());

    box.Script(testbox::kSetDdns, {{.result = 0}});
    wizard->PressButton(PSBTN_FINISH);
    expectMessage(L"IDS_MSG_DDNS_FAILED");
    EXPECT_FALSE(finished());
    EXPECT_EQ(wizard->GetActiveIndex(), 2);
}

class GermanWizardTest : public WizardPagesTest {
protected:
    GermanWizardTest() : WizardPagesTest("Deutsch") {}
};

TEST_F(GermanWizardTest, PagesAndMessagesInTheChosenLanguage) {
    EXPECT_EQ(wizard->GetWindowText(), L"Quorra - Netzwerkeinrichtung der Box");
    EXPECT_EQ(wizard->LoginPage().GetDlgItem(IDC_PAGE_TITLE)->GetWindowText(), L"Anmeldung an der Box");
    EXPECT_EQ(wizard->GetDlgItem(ID_WIZNEXT)->GetWindowText(), L"&Weiter >");
    logIn(L"");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], L"Geben Sie die Geräte-ID der Box ein.");
}

// The program's application object: the link made at start, the wizard run modally until it finishes,
// the link deleted at the end, which says goodbye to the box.
TEST_F(WizardFolderTest, TheProgramSetsTheBoxFromItsPages) {
    bool ran = false;
    platform::mfc::SetModalHook([&](CDialog& dialog) {
        auto& wizard = dynamic_cast<CWizardFrame&>(dialog);
        type(wizard.LoginPage(), IDC_LOGIN_ID, L"QRR100");
        type(wizard.LoginPage(), IDC_LOGIN_PASSWORD, L"secret12");
        wizard.PressButton(PSBTN_NEXT);
        wizard.PressButton(PSBTN_NEXT); // DHCP
        type(wizard.DynamicDnsPage(), IDC_DDNS_DOMAIN, L"mybox.one.example");
        type(wizard.DynamicDnsPage(), IDC_DDNS_USER, L"jane");
        type(wizard.DynamicDnsPage(), IDC_DDNS_PASSWORD, L"ddns-pass");
        ran = wizard.PressButton(PSBTN_FINISH) != FALSE;
        return INT_PTR{IDCANCEL}; // the sheet ended itself with Finish
    });
    {
        CQuorraApp app;
        EXPECT_FALSE(app.InitInstance()); // the wizard is the whole program
        platform::mfc::SetModalHook(nullptr);
        EXPECT_TRUE(ran);
        EXPECT_TRUE(box.FramesOf(testbox::kSetupClose).empty());
        app.ExitInstance();
    }
    std::vector<std::uint32_t> commands;
    for (const testbox::WizardFrame& f : box.Frames())
        commands.push_back(f.command);
    EXPECT_EQ(commands,
              (std::vector<std::uint32_t>{testbox::kSetupLogin, testbox::kSetNetwork, testbox::kSetDdns,
                                          testbox::kSetupClose, testbox::kSetupClose}));
    EXPECT_EQ(counted(box.FramesOf(testbox::kSetDdns)[0].bytes, 16), "mybox.one.example");
    EXPECT_EQ(messages, (std::vector<std::wstring>{LoadQuorraString(L"IDS_MSG_NETWORK_DONE"),
                                                   LoadQuorraString(L"IDS_MSG_DDNS_DONE")}));
}

} // namespace
