// The messages the player and its threads post to the main window the application handed to the player
// (KQ_AV_Player::SetMainWindow). None carries a payload.
#pragma once

#include "platform/win32/Types.h"

// A graph event is waiting (posted by the graph for every event, and by a live start); both parameters 0.
constexpr UINT WM_AV_GRAPH_EVENT = 0x822;
// A file started playing: wParam 480, lParam 720.
constexpr UINT WM_AV_PLAYBACK_STARTED = 0x2B14;
// Fast forward passed the end of the file, or rewind its start.
constexpr UINT WM_AV_PLAYBACK_END = 0x10802;
// The video renderer has not taken a frame for a long time; the handler restarts live view.
constexpr UINT WM_AV_VIDEO_STALLED = 0x10807;
// The recording's disk is nearly full; the handler switches recording off.
constexpr UINT WM_AV_DISK_FULL = 0x10809;
