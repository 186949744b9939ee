// The windows' own messages, and those of the box link and the player that they handle.
#pragma once

#include "platform/win32/Types.h"

// Main window: wParam = the new UiState. (The same number is the settings sheet's retitle message.)
constexpr UINT WM_UI_SET_STATE = 0x2B10;
// Main window to an open settings sheet: apply and close before a scheduled recording starts.
constexpr UINT WM_UI_SCHEDULE_DUE = 0x2B4D;
// To the login pane (and the other windows with texts): the language changed; relabel.
constexpr UINT WM_UI_LANGUAGE_CHANGED = 0x2B4E;
// To the main window from its slider controls: wParam = the slider's id.
constexpr UINT WM_UI_SLIDER_CHANGED = 0x2B0F;

// The box link (posted to the window that asked, or to the main window where noted).
constexpr UINT WM_BOX_LOGIN_OK = 0x800;     // lParam = the box's country code
constexpr UINT WM_BOX_LOGIN_FAILED = 0x801; // wParam = the failure code
constexpr UINT WM_BOX_VIDEO_QUALITY_OK = 0x802;
constexpr UINT WM_BOX_SOURCE_CHANGED = 0x2B1A;
constexpr UINT WM_BOX_SOURCE_FAILED = 0x2B1B;
constexpr UINT WM_BOX_CHANNEL_SET = 0x2B25;
constexpr UINT WM_BOX_CHANNEL_FAILED = 0x2B26;
constexpr UINT WM_BOX_LINK_LOST = 0x2B27;        // main window
constexpr UINT WM_BOX_CONNECT_PROGRESS = 0x2B3E; // main window; wParam = stage 1 to 5
constexpr UINT WM_BOX_TASK_NOTICE = 0x2B4B;      // main window; wParam = the 79-byte task record (payload)
constexpr UINT WM_BOX_LOGIN_CONFIRM = 0x2B4C;
// A status text for the main window. wParam: const wchar_t* (payload, read while handling); lParam 0 for
// the status-text control, 1 for the status line.
constexpr UINT WM_BOX_STATUS_TEXT = 0x2B50;

// The player (posted to the main window).
constexpr UINT WM_AV_GRAPH_EVENT = 0x822;
constexpr UINT WM_AV_PLAYBACK_STARTED = 0x2B14; // wParam 480, lParam 720
constexpr UINT WM_AV_POSITION_TIMER_OFF = 0x2B15;
constexpr UINT WM_AV_PLAYBACK_END = 0x10802;
constexpr UINT WM_AV_VIDEO_STALLED = 0x10807;
constexpr UINT WM_AV_DISK_FULL = 0x10809;
