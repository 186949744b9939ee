// The templates of the wizard's three pages, with the texts of their controls in the current language:
// each control's text has the key of its name (IDC_...); each page begins with its title (IDS_..._TITLE),
// which is also the template's caption.
#pragma once

#include "platform/mfc/Dialog.h"

enum WizardControl : int {
    IDD_LOGIN_PAGE = 201,
    IDD_NETWORK_PAGE = 202,
    IDD_DDNS_PAGE = 203,

    IDC_PAGE_TITLE = 1000,

    IDC_LOGIN_INTRO = 1001,
    IDC_LOGIN_ID_LABEL = 1002,
    IDC_LOGIN_ID = 1003,
    IDC_LOGIN_PASSWORD_LABEL = 1004,
    IDC_LOGIN_PASSWORD = 1005,

    IDC_NETWORK_INTRO = 1101,
    IDC_NETWORK_DHCP = 1102,
    IDC_NETWORK_STATIC = 1103,
    IDC_NETWORK_IP_LABEL = 1104,
    IDC_NETWORK_IP = 1105,
    IDC_NETWORK_MASK_LABEL = 1106,
    IDC_NETWORK_MASK = 1107,
    IDC_NETWORK_GATEWAY_LABEL = 1108,
    IDC_NETWORK_GATEWAY = 1109,
    IDC_NETWORK_DNS_LABEL = 1110,
    IDC_NETWORK_DNS = 1111,
    IDC_NETWORK_PPPOE = 1112,
    IDC_NETWORK_ACCOUNT_LABEL = 1113,
    IDC_NETWORK_ACCOUNT = 1114,
    IDC_NETWORK_PPPOE_PASSWORD_LABEL = 1115,
    IDC_NETWORK_PPPOE_PASSWORD = 1116,

    IDC_DDNS_INTRO = 1201,
    IDC_DDNS_PROVIDER_LABEL = 1202,
    IDC_DDNS_PROVIDER = 1203,
    IDC_DDNS_DOMAIN_LABEL = 1204,
    IDC_DDNS_DOMAIN = 1205,
    IDC_DDNS_USER_LABEL = 1206,
    IDC_DDNS_USER = 1207,
    IDC_DDNS_PASSWORD_LABEL = 1208,
    IDC_DDNS_PASSWORD = 1209,
};

DialogTemplate LoginPageTemplate();
DialogTemplate NetworkPageTemplate();
DialogTemplate DdnsPageTemplate();
