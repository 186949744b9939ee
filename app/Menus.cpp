#include "app/Menus.h"

#include "app/Language.h"

const MenuTemplate& PopupMenuTemplate() {
    static const MenuTemplate t = {{0,
                                    L"Popup",
                                    {
                                        {ID_MENU_STOP, L"Stop", {}, 0},
                                        {ID_MENU_PLAY, L"Play", {}, 0},
                                        {ID_MENU_RECORD, L"Record", {}, 0},
                                        {ID_MENU_SNAP, L"Snapshot", {}, 0},
                                        {ID_MENU_SCHEDULE, L"Schedule", {}, 0},
                                        {0,
                                         L"Source",
                                         {{ID_MENU_SRC_TV, L"TV", {}, 0},
                                          {ID_MENU_SRC_CV, L"CV", {}, 0},
                                          {ID_MENU_SRC_SV, L"SV", {}, 0}},
                                         0},
                                        {0, L"Channels", {{ID_MENU_CHANNEL_NONE, L"-", {}, MF_GRAYED}}, 0},
                                        {0, L"Language", {{kLanguageMenuPlaceholder, L"-", {}, 0}}, 0},
                                        {0,
                                         L"Aspect",
                                         {{ID_MENU_ASPECT_FREE, L"Free", {}, 0},
                                          {ID_MENU_ASPECT_43, L"4:3", {}, 0},
                                          {ID_MENU_ASPECT_WS, L"16:9", {}, 0}},
                                         0},
                                        {0, L"", {}, 0},
                                        {ID_MENU_TOPMOST, L"Topmost", {}, 0},
                                        {ID_MENU_MUTE, L"Mute", {}, 0},
                                        {ID_MENU_SETTING, L"Setting", {}, 0},
                                        {ID_MENU_OSD, L"OSD", {}, 0},
                                        {ID_MENU_UPDATE, L"Update", {}, 0},
                                        {ID_MENU_TRANFILE, L"Files on the box", {}, 0},
                                    },
                                    0}};
    return t;
}

const MenuTemplate& SkinMenuTemplate() {
    static const MenuTemplate t = [] {
        MenuTemplateItem colours{0, L"Skin", {}, 0};
        for (UINT id = ID_MENU_SKIN_FIRST; id <= ID_MENU_SKIN_LAST; ++id)
            colours.popup.push_back({id, L"Skin " + std::to_wstring(id - ID_MENU_SKIN_FIRST), {}, 0});
        return MenuTemplate{colours};
    }();
    return t;
}

const MenuTemplate& FileMenuTemplate() {
    static const MenuTemplate t = {
        {0,
         L"File",
         {{ID_MENU_OPEN_BOX_FILE, L"Box file", {}, 0}, {ID_MENU_OPEN_LOCAL_FILE, L"Local file", {}, 0}},
         0}};
    return t;
}

const AcceleratorTable& MainAccelerators() {
    static const AcceleratorTable t = {
        {FVIRTKEY, VK_SPACE, ID_KEY_PLAY_PAUSE},    {FVIRTKEY, VK_F1 + 10, ID_KEY_FULL_SCREEN}, // F11
        {FVIRTKEY, VK_PRIOR, ID_KEY_CHANNEL_UP},    {FVIRTKEY, VK_NEXT, ID_KEY_CHANNEL_DOWN},
        {FVIRTKEY, VK_ADD, ID_KEY_VOLUME_UP},       {FVIRTKEY, VK_SUBTRACT, ID_KEY_VOLUME_DOWN},
        {FVIRTKEY | FCONTROL, 'R', ID_MENU_RECORD}, {FVIRTKEY | FCONTROL, 'S', ID_MENU_SNAP},
        {FVIRTKEY | FCONTROL, 'M', ID_MENU_MUTE},   {FVIRTKEY | FCONTROL, 'O', ID_MENU_OPEN_LOCAL_FILE},
    };
    return t;
}
