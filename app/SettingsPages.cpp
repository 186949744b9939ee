#include "app/SettingsPages.h"

#include "app/UiState.h"

#include <algorithm>

HWND g_settingsSheetWnd = nullptr;

std::vector<SettingsPage> SettingsPagesOf(int state) {
    using enum SettingsPage;
    switch (state) {
    case UI_STATE_INIT:
    case UI_STATE_LOGIN:
    case UI_STATE_FILE_PLAY:
    case UI_STATE_FILE_PAUSE:
    case UI_STATE_FILE_STOP:
        return {Save};
    case UI_STATE_TV_PLAY:
        return {Channel, Save, Video, Schedule, User, MyAccount};
    case UI_STATE_CV_PLAY:
    case UI_STATE_SV_PLAY:
        return {Save, Video, Remoter, Schedule, User, MyAccount};
    case UI_STATE_FILE_PLAY_L:
    case UI_STATE_FILE_PAUSE_L:
    case UI_STATE_FILE_STOP_L:
        return {Save, User, MyAccount};
    default:
        return {};
    }
}

int SettingsPageIndex(int state, SettingsPage page) {
    const std::vector<SettingsPage> pages = SettingsPagesOf(state);
    const auto it = std::find(pages.begin(), pages.end(), page);
    return it == pages.end() ? -1 : static_cast<int>(it - pages.begin());
}
