// The dialog templates of the program's windows, by template id.
#pragma once

#include "platform/mfc/Dialog.h"

// Control ids of the main window.
enum MainWindowControl {
    IDC_BTN_MINIMIZE = 1000,
    IDC_BTN_MAX_PLACE = 1001,
    IDC_BTN_CLOSE = 1002,
    IDC_BTN_RECORD_PLACE = 1003,
    IDC_BTN_SNAP = 1004,
    IDC_BTN_OPEN = 1005,
    IDC_BTN_MTS = 1006,
    IDC_BTN_PROPERTY = 1007,
    IDC_BTN_POPUP_RIGHT = 1008,
    IDC_BTN_POPUP_LEFT = 1009,
    IDC_BTN_MUTE_PLACE = 1010,
    IDC_BTN_SOURCE_PLACE = 1011,
    IDC_BTN_PLAY = 1012,
    IDC_BTN_BACKWARD = 1013,
    IDC_BTN_STOP = 1014,
    IDC_BTN_FORWARD = 1015,
    IDC_BTN_PAUSE = 1016,
    IDC_BTN_SOURCE = 1017,
    IDC_BTN_RECORD = 1018,
    IDC_BTN_MUTE = 1019,
    IDC_SLIDER_VOLUME = 1020,
    IDC_SLIDER_FILE = 1021,
    IDC_STATIC_TIME = 1022,
    IDC_STATIC_STATUS = 1023,
    IDC_VIDEO_BOX = 1024,
    IDC_STATIC_MODE = 1025,
    IDC_BTN_MAXIMIZE = 1134,
};

// Control ids of the login pane.
enum LoginPaneControl {
    IDC_LOGIN_BUTTON = 1018,
    IDC_LOGIN_REMEMBER = 1019,
    IDC_LOGIN_USER = 1021,
    IDC_LOGIN_HOST = 1022,
    IDC_LOGIN_PASSWORD = 1023,
    IDC_LOGIN_ID = 1024,
    IDC_LOGIN_USER_LABEL = 1026,
    IDC_LOGIN_PASSWORD_LABEL = 1027,
    IDC_LOGIN_RADIO_ID = 1145,
    IDC_LOGIN_RADIO_IP = 1146,
    IDC_LOGIN_RADIO_DDNS = 1147,
    IDC_LOGIN_IP = 1148,
    IDC_LOGIN_REMEMBER_LABEL = 1232,
};

// The TV pane's keys (1 to 9, 0, last, enter, favourite, channel down, channel up) and channel display.
constexpr int kFirstTvKey = 1100;
constexpr int kTvKeyCount = 15;
constexpr int IDC_TV_CHANNEL = 1120;
// The remote pane's keys, 1043 to 1078 (key number id - 1042).
constexpr int kFirstRemoteKey = 1043;
constexpr int kRemoteKeyCount = 36;
// The snapshot list.
constexpr int IDC_SNAP_LIST = 1200;
constexpr int IDC_SNAP_OPEN = 1201;
constexpr int IDC_SNAP_FOLDER = 1202;

// The error dialog.
constexpr int IDC_ERR_MORE = 101;
constexpr int IDC_ERR_SUMMARY = 1188;
constexpr int IDC_ERR_DETAIL = 1151;
constexpr int IDC_ERR_SEPARATOR = -1;

const DialogTemplate& MainWindowTemplate();  // 102
const DialogTemplate& LoginPaneTemplate();   // 164
const DialogTemplate& TvPaneTemplate();      // 163
const DialogTemplate& RemotePaneTemplate();  // 165
const DialogTemplate& SnapDialogTemplate();  // 168
const DialogTemplate& FullScreenTemplate();  // 178
const DialogTemplate& ErrorDialogTemplate(); // 190
