// The menus and the accelerator table of the main window, and their command ids.
#pragma once

#include "platform/mfc/Menu.h"

enum MenuCommand : UINT {
    ID_MENU_STOP = 32772,
    ID_MENU_PLAY = 32776,
    ID_MENU_RECORD = 32778,
    ID_MENU_SNAP = 32780,
    ID_MENU_SCHEDULE = 32782,
    ID_MENU_SRC_TV = 32785,
    ID_MENU_SRC_CV = 32786,
    ID_MENU_SRC_SV = 32787,
    ID_MENU_CHANNEL_NONE = 32790,
    ID_MENU_ASPECT_FREE = 32797,
    ID_MENU_ASPECT_43 = 32798,
    ID_MENU_ASPECT_WS = 32799,
    ID_MENU_MUTE = 32805,
    ID_MENU_SETTING = 32807,
    ID_MENU_OSD = 32809,
    ID_MENU_UPDATE = 32863,
    ID_MENU_TOPMOST = 32866,
    ID_MENU_SKIN_FIRST = 32868, // 8 skins, in skin number order
    ID_MENU_SKIN_LAST = 32875,
    ID_MENU_TRANFILE = 32881,
    ID_MENU_OPEN_BOX_FILE = 32883,
    ID_MENU_OPEN_LOCAL_FILE = 32884,
    // Keyboard commands of the accelerator table.
    ID_KEY_PLAY_PAUSE = 40001,
    ID_KEY_FULL_SCREEN = 40002,
    ID_KEY_CHANNEL_UP = 40003,
    ID_KEY_CHANNEL_DOWN = 40004,
    ID_KEY_VOLUME_UP = 40005,
    ID_KEY_VOLUME_DOWN = 40006,
    // The channel menu: one item per channel of the table.
    ID_MENU_CHANNEL_FIRST = 41000,
    ID_MENU_CHANNEL_LAST = 41499,
};

constexpr int kPopupSourcePosition = 5;
constexpr int kPopupChannelsPosition = 6;
constexpr int kPopupLanguagePosition = 7;
constexpr int kPopupAspectPosition = 8;

const MenuTemplate& PopupMenuTemplate();    // 166
const MenuTemplate& SkinMenuTemplate();     // 192
const MenuTemplate& FileMenuTemplate();     // 205
const AcceleratorTable& MainAccelerators(); // 171
