// wizardshots: the setup wizard's three pages in each language of its text file, rendered offscreen with
// sample entries and saved as PNG files. Usage: wizardshots <runnable folder> <output folder>. Nothing is
// sent: the pages are shown without logging in.
#include "platform/mfc/App.h"
#include "platform/mfc/Controls.h"
#include "platform/net/NetEnvironment.h"
#include "platform/win32/Paths.h"
#include "platform/win32/PathsHooks.h"
#include "tools/screenshots/Shots.h"
#include "wizard/WizardFrame.h"
#include "wizard/WizardTemplates.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void type(CWnd& page, int id, const wchar_t* text) {
    page.GetDlgItem(id)->SetWindowText(text);
}

// The pages as a user has filled them in: a device ID, a static address, a dynamic-DNS account.
void fillIn(CWizardFrame& wizard) {
    CLoginPage& login = wizard.LoginPage();
    type(login, IDC_LOGIN_ID, L"ABC234");
    type(login, IDC_LOGIN_PASSWORD, L"secret");
    wizard.SetActivePage(1);
    CNetworkPage& network = wizard.NetworkPage();
    static_cast<CButton*>(network.GetDlgItem(IDC_NETWORK_DHCP))->SetCheck(BST_UNCHECKED);
    static_cast<CButton*>(network.GetDlgItem(IDC_NETWORK_STATIC))->SetCheck(BST_CHECKED);
    network.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_NETWORK_STATIC, BN_CLICKED), 0);
    const struct {
        int id;
        DWORD address;
    } addresses[] = {{IDC_NETWORK_IP, 0xC0A80132},
                     {IDC_NETWORK_MASK, 0xFFFFFF00},
                     {IDC_NETWORK_GATEWAY, 0xC0A80101},
                     {IDC_NETWORK_DNS, 0xC0A80101}};
    for (const auto& a : addresses)
        static_cast<CIPAddressCtrl*>(network.GetDlgItem(a.id))->SetAddress(a.address);
    wizard.SetActivePage(2);
    CDynamicDNSPage& ddns = wizard.DynamicDnsPage();
    type(ddns, IDC_DDNS_DOMAIN, L"mybox.dyndns.org");
    type(ddns, IDC_DDNS_USER, L"jane");
    type(ddns, IDC_DDNS_PASSWORD, L"secret");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: wizardshots <runnable folder> <output folder>\n");
        return 2;
    }
    const fs::path dist = fs::absolute(argv[1]);
    const fs::path out = fs::absolute(argv[2]);
    fs::create_directories(out);
    // A program folder of its own: the wizard's texts, and the language chosen for each round.
    const fs::path home = out / "wizard-program";
    fs::remove_all(home);
    fs::create_directories(home);
    fs::copy_file(dist / "Quorra.ini", home / "Quorra.ini");
    fs::copy_file(dist / "configure.ini", home / "configure.ini");
    platform::SetExecutablePath(home / "Quorra");
    platform::SetNetEnvironment(platform::LoopbackNetEnvironment());

    platform::mfc::EnsureToolkit();
    bool ok = true;
    {
        CBoxLink link;
        for (const auto& [language, suffix] : {std::pair{"English", "en"}, std::pair{"Deutsch", "de"}}) {
            std::ofstream(home / "configure.ini")
                << "[Wizard]\r\nLanguage=" << language << "\r\n[ISP]\r\nCount=3\r\nISP_001=dyndns.org\r\n"
                << "ISP_002=no-ip.com\r\nISP_003=changeip.com\r\n";
            CWizardFrame wizard(link);
            wizard.Create();
            fillIn(wizard);
            const char* names[] = {"login", "network", "ddns"};
            for (int page = 0; page < 3; ++page) {
                wizard.SetActivePage(page);
                platform::mfc::PumpUiFor(100);
                ok &= save(framed(wizard),
                           out / (std::string("wizard_") + names[page] + "_" + suffix + ".png"));
            }
            wizard.DestroyWindow();
        }
    }
    fs::remove_all(home);
    return ok ? 0 : 1;
}
