// The settings sheet as the main window sees it: which pages the UI state gives it, in tab order, and the
// handle of the open sheet, which the schedule poll posts to. The sheet itself lives in dialogs/ and is
// reached through AppServices::openSettings.
#pragma once

#include "platform/win32/Types.h"

#include <vector>

enum class SettingsPage { Channel, Save, Video, Schedule, Remoter, User, MyAccount };

// The pages of a sheet opened in the state, in tab order; none for the states without pages (recording,
// fast forward and rewind, the setup rows, and any value outside the table).
std::vector<SettingsPage> SettingsPagesOf(int state);
// The tab of the page in a sheet opened in the state, or -1 when the state does not give it.
int SettingsPageIndex(int state, SettingsPage page);

// The window of the open settings sheet, null while none is open (set by the sheet, cleared by it when a
// schedule falls due and by the main window before it opens one). UI thread.
extern HWND g_settingsSheetWnd;
