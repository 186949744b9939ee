// Message boxes: a modal box with the text, the caption and the buttons and icon of the type flags;
// returns IDOK, IDCANCEL, IDYES or IDNO.
#pragma once

#include "platform/mfc/WinUser.h"

#include <functional>
#include <string>

int MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

namespace platform::mfc {

// Test hook: when set, every message box calls it instead of showing a window, and answers its result.
using MessageBoxHook =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);

} // namespace platform::mfc
