#include "wizard/WizardTemplates.h"

#include "wizard/QuorraText.h"

namespace {

constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT;
constexpr DWORD kEdit = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kAddress = WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kRadio = WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON;
// All pages have the size of the largest, as the sheet shows them in one place.
constexpr short kPageWidth = 280;
constexpr short kPageHeight = 172;
// Labels stand left of their fields; a field's row is a little taller than its label.
constexpr short kLabelX = 10, kFieldX = 100, kIndentedLabelX = 24, kIndentedFieldX = 110;

// A control whose text is the one of its key.
DialogItem item(const wchar_t* className, int id, const wchar_t* key, short x, short y, short cx, short cy,
                DWORD style) {
    return DialogItem{className, id, x, y, cx, cy, style, key ? LoadQuorraString(key) : std::wstring()};
}

// A label and its field on one row.
void row(std::vector<DialogItem>& items, int labelId, short x, short fieldX, short y,
         const wchar_t* className, int fieldId, short fieldWidth, DWORD fieldStyle, const wchar_t* labelKey) {
    items.push_back(
        item(L"Static", labelId, labelKey, x, static_cast<short>(y + 2), fieldX - x - 4, 10, kLabel));
    items.push_back(item(className, fieldId, nullptr, fieldX, y, fieldWidth, 13, fieldStyle));
}

DialogTemplate page(int id, const wchar_t* titleKey, std::vector<DialogItem> items) {
    DialogTemplate d;
    d.id = id;
    d.caption = LoadQuorraString(titleKey);
    d.cx = kPageWidth;
    d.cy = kPageHeight;
    d.style = WS_CHILD;
    d.items.push_back(item(L"Static", IDC_PAGE_TITLE, titleKey, 10, 6, 260, 12, kLabel));
    d.items.insert(d.items.end(), items.begin(), items.end());
    return d;
}

} // namespace

DialogTemplate LoginPageTemplate() {
    std::vector<DialogItem> items{
        item(L"Static", IDC_LOGIN_INTRO, L"IDC_LOGIN_INTRO", 10, 24, 260, 34, kLabel)};
    row(items, IDC_LOGIN_ID_LABEL, kLabelX, kFieldX, 66, L"Edit", IDC_LOGIN_ID, 130, kEdit,
        L"IDC_LOGIN_ID_LABEL");
    row(items, IDC_LOGIN_PASSWORD_LABEL, kLabelX, kFieldX, 86, L"Edit", IDC_LOGIN_PASSWORD, 130,
        kEdit | ES_PASSWORD, L"IDC_LOGIN_PASSWORD_LABEL");
    return page(IDD_LOGIN_PAGE, L"IDS_LOGIN_TITLE", std::move(items));
}

DialogTemplate NetworkPageTemplate() {
    std::vector<DialogItem> items{
        item(L"Static", IDC_NETWORK_INTRO, L"IDC_NETWORK_INTRO", 10, 22, 260, 10, kLabel),
        item(L"Button", IDC_NETWORK_DHCP, L"IDC_NETWORK_DHCP", 10, 35, 260, 11, kRadio | WS_GROUP),
        item(L"Button", IDC_NETWORK_STATIC, L"IDC_NETWORK_STATIC", 10, 49, 260, 11, kRadio),
    };
    const struct {
        int label, field;
        const wchar_t* key;
    } addresses[] = {{IDC_NETWORK_IP_LABEL, IDC_NETWORK_IP, L"IDC_NETWORK_IP_LABEL"},
                     {IDC_NETWORK_MASK_LABEL, IDC_NETWORK_MASK, L"IDC_NETWORK_MASK_LABEL"},
                     {IDC_NETWORK_GATEWAY_LABEL, IDC_NETWORK_GATEWAY, L"IDC_NETWORK_GATEWAY_LABEL"},
                     {IDC_NETWORK_DNS_LABEL, IDC_NETWORK_DNS, L"IDC_NETWORK_DNS_LABEL"}};
    short y = 62;
    for (const auto& a : addresses) {
        row(items, a.label, kIndentedLabelX, kIndentedFieldX, y, L"SysIPAddress32", a.field, 100, kAddress,
            a.key);
        y += 15;
    }
    items.push_back(item(L"Button", IDC_NETWORK_PPPOE, L"IDC_NETWORK_PPPOE", 10, 125, 260, 11, kRadio));
    row(items, IDC_NETWORK_ACCOUNT_LABEL, kIndentedLabelX, kIndentedFieldX, 138, L"Edit", IDC_NETWORK_ACCOUNT,
        130, kEdit, L"IDC_NETWORK_ACCOUNT_LABEL");
    row(items, IDC_NETWORK_PPPOE_PASSWORD_LABEL, kIndentedLabelX, kIndentedFieldX, 153, L"Edit",
        IDC_NETWORK_PPPOE_PASSWORD, 130, kEdit | ES_PASSWORD, L"IDC_NETWORK_PPPOE_PASSWORD_LABEL");
    return page(IDD_NETWORK_PAGE, L"IDS_NETWORK_TITLE", std::move(items));
}

DialogTemplate DdnsPageTemplate() {
    std::vector<DialogItem> items{
        item(L"Static", IDC_DDNS_INTRO, L"IDC_DDNS_INTRO", 10, 24, 260, 34, kLabel)};
    row(items, IDC_DDNS_PROVIDER_LABEL, kLabelX, kFieldX, 66, L"ComboBox", IDC_DDNS_PROVIDER, 130,
        WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, L"IDC_DDNS_PROVIDER_LABEL");
    row(items, IDC_DDNS_DOMAIN_LABEL, kLabelX, kFieldX, 86, L"Edit", IDC_DDNS_DOMAIN, 160, kEdit,
        L"IDC_DDNS_DOMAIN_LABEL");
    row(items, IDC_DDNS_USER_LABEL, kLabelX, kFieldX, 106, L"Edit", IDC_DDNS_USER, 130, kEdit,
        L"IDC_DDNS_USER_LABEL");
    row(items, IDC_DDNS_PASSWORD_LABEL, kLabelX, kFieldX, 126, L"Edit", IDC_DDNS_PASSWORD, 130,
        kEdit | ES_PASSWORD, L"IDC_DDNS_PASSWORD_LABEL");
    return page(IDD_DDNS_PAGE, L"IDS_DDNS_TITLE", std::move(items));
}
