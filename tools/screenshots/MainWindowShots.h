// The main window and the windows beside it for the screenshot tool, in each language of the language
// file: the login pane, the status line while connecting and the error dialog with its summary (logged
// out), then the remote pane docked beside the window at its start position, the window maximised, and
// live view after a file that failed to open with its message (logged in, live). Windows are shown on the
// whole screen, so that one beyond its edge shows cut.
#pragma once

#include <filesystem>

class FakePlayerPort;
class KQ_UI_VeloqApp;
class KQ_UI_VeloqDlg;

// Write the PNG files into out; false when one could not be written.
bool SaveLoggedOutShots(KQ_UI_VeloqApp& app, KQ_UI_VeloqDlg& main, const std::filesystem::path& out);
bool SaveLiveShots(KQ_UI_VeloqApp& app, KQ_UI_VeloqDlg& main, FakePlayerPort& player,
                   const std::filesystem::path& out);
