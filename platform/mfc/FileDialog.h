// The file-open dialog: a path chosen by the user, or empty when cancelled.
#pragma once

#include <functional>
#include <string>

class CWnd;

// filter: "Name (*.mp4)" style patterns separated by ";;"; folder: where the dialog starts (code path).
std::wstring GetOpenFilePath(CWnd* owner, const std::wstring& title, const std::wstring& folder,
                             const std::wstring& filter);

namespace platform::mfc {

// Test hook: when set, GetOpenFilePath answers with it instead of showing a dialog.
using FileDialogHook = std::function<std::wstring(const std::wstring& title, const std::wstring& folder)>;
void SetFileDialogHook(FileDialogHook hook);

} // namespace platform::mfc
