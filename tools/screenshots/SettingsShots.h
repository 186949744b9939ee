// The settings windows for the screenshot tool: the sheet with the tuner shown, on its Schedule page in box
// mode and on its Channel page, the box task dialog, and the sheet with another source on its Remoter page,
// in each language of the language file. The box's answers are made up here; nothing is sent.
#pragma once

#include <filesystem>

class KQ_UI_VeloqApp;
class KQ_UI_VeloqDlg;

// Writes the PNG files into out; false when one could not be written.
bool SaveSettingsShots(KQ_UI_VeloqApp& app, KQ_UI_VeloqDlg& main, const std::filesystem::path& out);
