// Posting results to windows that may be absent: a message for no window goes nowhere (it must not land in
// the posting thread's own queue).
#pragma once

#include "platform/win32/Messages.h"

#include <utility>

inline void PostToWindow(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                         platform::Payload payload = nullptr) {
    if (window)
        platform::PostMessageWithPayload(window, message, wParam, lParam, std::move(payload));
}
