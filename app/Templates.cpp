#include "app/Templates.h"

namespace {

constexpr DWORD kOwnerButton = WS_VISIBLE | BS_OWNERDRAW;
constexpr DWORD kOwnerStatic = WS_VISIBLE | SS_OWNERDRAW;
constexpr DWORD kPane = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;

DialogItem item(const wchar_t* className, int id, short x, short y, short cx, short cy, DWORD style,
                const wchar_t* text = L"") {
    return DialogItem{className, id, x, y, cx, cy, style, text};
}

} // namespace

const DialogTemplate& MainWindowTemplate() {
    static const DialogTemplate t = [] {
        DialogTemplate d;
        d.id = 102;
        d.caption = L"Veloq";
        d.pixels = true;
        d.cx = 408;
        d.cy = 408;
        d.style = WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX | WS_SYSMENU;
        // The video box first, so that the controls over its edges stay above it.
        d.items.push_back(item(L"Static", IDC_VIDEO_BOX, 12, 28, 383, 286, kOwnerStatic));
        for (int id = IDC_BTN_MINIMIZE; id <= IDC_BTN_PAUSE; ++id)
            d.items.push_back(item(L"Button", id, 0, 0, 0, 0, kOwnerButton));
        for (int id : {IDC_BTN_SOURCE, IDC_BTN_RECORD, IDC_BTN_MUTE, IDC_BTN_MAXIMIZE})
            d.items.push_back(item(L"Button", id, 0, 0, 0, 0, kOwnerButton));
        d.items.push_back(item(L"KQ_UI_New_Slider", IDC_SLIDER_VOLUME, 0, 0, 0, 0, WS_VISIBLE));
        d.items.push_back(item(L"KQ_UI_New_Slider", IDC_SLIDER_FILE, 0, 0, 0, 0, WS_VISIBLE));
        d.items.push_back(item(L"Static", IDC_STATIC_TIME, 0, 0, 0, 0, kOwnerStatic));
        d.items.push_back(item(L"Static", IDC_STATIC_STATUS, 0, 0, 0, 0, kOwnerStatic));
        d.items.push_back(item(L"Static", IDC_STATIC_MODE, 222, 382, 170, 20, WS_VISIBLE | SS_RIGHT));
        return d;
    }();
    return t;
}

const DialogTemplate& LoginPaneTemplate() {
    static const DialogTemplate t = [] {
        DialogTemplate d;
        d.id = 164;
        d.caption = L"Login";
        d.pixels = true;
        d.cx = 180;
        d.cy = 408;
        d.style = kPane;
        d.exStyle = WS_EX_TOOLWINDOW;
        d.items = {
            item(L"Button", IDC_LOGIN_RADIO_ID, 16, 72, 46, 16, kOwnerButton),
            item(L"Button", IDC_LOGIN_RADIO_IP, 64, 72, 44, 16, kOwnerButton),
            item(L"Button", IDC_LOGIN_RADIO_DDNS, 108, 72, 62, 16, kOwnerButton),
            item(L"ComboBox", IDC_LOGIN_ID, 16, 96, 148, 24, WS_VISIBLE | CBS_DROPDOWN | WS_TABSTOP),
            item(L"SysIPAddress32", IDC_LOGIN_IP, 16, 96, 148, 24, WS_TABSTOP),
            item(L"Edit", IDC_LOGIN_HOST, 16, 96, 148, 24, ES_AUTOHSCROLL | WS_TABSTOP),
            item(L"Static", IDC_LOGIN_USER_LABEL, 16, 132, 148, 16, kOwnerStatic),
            item(L"Edit", IDC_LOGIN_USER, 16, 150, 148, 24, WS_VISIBLE | ES_AUTOHSCROLL | WS_TABSTOP),
            item(L"Static", IDC_LOGIN_PASSWORD_LABEL, 16, 186, 148, 16, kOwnerStatic),
            item(L"Edit", IDC_LOGIN_PASSWORD, 16, 204, 148, 24,
                 WS_VISIBLE | ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP),
            item(L"Button", IDC_LOGIN_REMEMBER, 16, 244, 16, 16, kOwnerButton),
            item(L"Static", IDC_LOGIN_REMEMBER_LABEL, 36, 244, 128, 16, kOwnerStatic),
            item(L"Button", IDC_LOGIN_BUTTON, 40, 330, 100, 32, kOwnerButton),
        };
        return d;
    }();
    return t;
}

const DialogTemplate& TvPaneTemplate() {
    static const DialogTemplate t = [] {
        DialogTemplate d;
        d.id = 163;
        d.caption = L"TV";
        d.pixels = true;
        d.cx = 150;
        d.cy = 408;
        d.style = kPane;
        d.exStyle = WS_EX_TOOLWINDOW;
        static const wchar_t* const kCaptions[kTvKeyCount] = {
            L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"0", L"<-", L"OK", L"*", L"-", L"+"};
        d.items.push_back(item(L"Static", IDC_TV_CHANNEL, 15, 60, 122, 44, kOwnerStatic));
        for (int k = 0; k < kTvKeyCount; ++k)
            d.items.push_back(item(L"Button", kFirstTvKey + k, 0, 0, 0, 0, kOwnerButton, kCaptions[k]));
        return d;
    }();
    return t;
}

const DialogTemplate& RemotePaneTemplate() {
    static const DialogTemplate t = [] {
        DialogTemplate d;
        d.id = 165;
        d.caption = L"Remote";
        d.pixels = true;
        d.cx = 150;
        d.cy = 408;
        d.style = kPane;
        d.exStyle = WS_EX_TOOLWINDOW;
        static const wchar_t* const kCaptions[kRemoteKeyCount] = {
            L"~",  L"E",    L"up",   L"OK",    L"down", L"<",    L">",   L"up", L"M",
            L"up", L"down", L"down", L"play",  L"pau",  L"stop", L"rec", L"b1", L"b2",
            L"f1", L"f2",   L"menu", L"power", L"A",    L"B",    L"C",   L"D",  L"1",
            L"2",  L"3",    L"4",    L"5",     L"6",    L"7",    L"8",   L"9",  L"0"};
        for (int k = 0; k < kRemoteKeyCount; ++k)
            d.items.push_back(item(L"Button", kFirstRemoteKey + k, 0, 0, 0, 0, kOwnerButton, kCaptions[k]));
        return d;
    }();
    return t;
}

const DialogTemplate& SnapDialogTemplate() {
    static const DialogTemplate t = [] {
        DialogTemplate d;
        d.id = 168;
        d.caption = L"Snapshots";
        d.cx = 200;
        d.cy = 160;
        d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        d.exStyle = WS_EX_TOOLWINDOW;
        d.items = {
            item(L"ComboBox", IDC_SNAP_LIST, 7, 7, 186, 14, WS_VISIBLE | CBS_DROPDOWNLIST),
            item(L"Static", IDC_STATIC_STATUS, 7, 26, 186, 106, kOwnerStatic),
            item(L"Button", IDC_SNAP_OPEN, 7, 139, 60, 14, WS_VISIBLE, L"Open"),
            item(L"Button", IDC_SNAP_FOLDER, 73, 139, 60, 14, WS_VISIBLE, L"Folder"),
            item(L"Button", IDCANCEL, 139, 139, 54, 14, WS_VISIBLE, L"Close"),
        };
        return d;
    }();
    return t;
}

const DialogTemplate& FullScreenTemplate() {
    static const DialogTemplate t = [] {
        DialogTemplate d;
        d.id = 178;
        d.caption = L"Veloq";
        d.pixels = true;
        d.cx = 640;
        d.cy = 480;
        d.style = WS_POPUP | WS_CLIPCHILDREN;
        d.items = {item(L"Static", IDC_VIDEO_BOX, 0, 0, 640, 480, kOwnerStatic)};
        return d;
    }();
    return t;
}

const DialogTemplate& ErrorDialogTemplate() {
    static const DialogTemplate t = [] {
        DialogTemplate d;
        d.id = 190;
        d.caption = L"Error Information";
        d.font = L"MS Shell Dlg";
        d.cx = 215;
        d.cy = 131;
        d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
        // The summary has room for two lines: a long one wraps rather than being cut.
        d.items = {
            item(L"Static", IDC_ERR_SUMMARY, 7, 7, 201, 20, WS_VISIBLE),
            item(L"Button", IDC_ERR_MORE, 7, 31, 61, 12, WS_VISIBLE | WS_TABSTOP),
            item(L"Button", IDOK, 158, 31, 50, 12, WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP),
            item(L"Static", IDC_ERR_SEPARATOR, 7, 49, 201, 2, WS_VISIBLE | SS_ETCHEDHORZ),
            item(L"Edit", IDC_ERR_DETAIL, 7, 55, 201, 70,
                 WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL),
        };
        return d;
    }();
    return t;
}
