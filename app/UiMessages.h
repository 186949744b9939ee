// The windows' own messages, and those of the box link and the player that they handle.
#pragma once

#include "boxlink/BoxMessages.h"
#include "platform/win32/Types.h"

// Main window: wParam = the new UiState. (The same number is the settings sheet's retitle message.)
constexpr UINT WM_UI_SET_STATE = 0x2B10;
// Main window to an open settings sheet: apply and close before a scheduled recording starts.
constexpr UINT WM_UI_SCHEDULE_DUE = 0x2B4D;
// To the login pane (and the other windows with texts): the language changed; relabel.
constexpr UINT WM_UI_LANGUAGE_CHANGED = 0x2B4E;
// To the main window from its slider controls: wParam = the slider's id.
constexpr UINT WM_UI_SLIDER_CHANGED = 0x2B0F;

// The box link's messages (WM_BOX_...) are its own: boxlink/BoxMessages.h.

// The player (posted to the main window).
constexpr UINT WM_AV_GRAPH_EVENT = 0x822;
constexpr UINT WM_AV_PLAYBACK_STARTED = 0x2B14; // wParam 480, lParam 720
constexpr UINT WM_AV_POSITION_TIMER_OFF = 0x2B15;
constexpr UINT WM_AV_PLAYBACK_END = 0x10802;
constexpr UINT WM_AV_VIDEO_STALLED = 0x10807;
constexpr UINT WM_AV_DISK_FULL = 0x10809;
