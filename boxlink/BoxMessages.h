// The window messages the box link posts (never sends). Each goes to the window given with the request
// unless its comment names the main window. wParam and lParam are 0 unless the comment says otherwise.
//
// Data handed by pointer travels as the message's payload (platform/win32/Messages.h): it is valid while
// the window handles the message and is freed after the dispatch, unless the window keeps it with
// platform::TakeDispatchedPayload, which hands it over to the window. Each message is given its own buffer,
// so a later message never overwrites what an earlier one pointed at.
#pragma once

#include "platform/win32/Types.h"

// Login result. wParam: const char* to the 17-byte login record (16 bytes of the reply and a NUL; payload);
// lParam: the box's country code.
constexpr UINT WM_BOX_LOGIN_OK = 0x800;
// Login failed. wParam: the login state (KQ_TCP_BoxClient::LoginState).
constexpr UINT WM_BOX_LOGIN_FAILED = 0x801;
// Video quality set. wParam: 200 when a new stream generation started (the window then sets the player's
// size class and standard, restarts live view and calls KQ_TCP_BoxClient::RaiseRestartedGeneration), else 0.
constexpr UINT WM_BOX_VIDEO_QUALITY_OK = 0x802;
constexpr UINT WM_BOX_VIDEO_QUALITY_FAILED = 0x803;

// Channel scan: running (reply 200); one channel found (wParam: frequency in 1/16 MHz, lParam: channel
// number); ended (201, 202) or timed out.
constexpr UINT WM_BOX_SCAN_STARTED = 0x2B11;
constexpr UINT WM_BOX_SCAN_CHANNEL_FOUND = 0x2B12;
constexpr UINT WM_BOX_SCAN_FINISHED = 0x2B13;

// IR key learnt: wParam 1, or 0 when it failed or timed out.
constexpr UINT WM_BOX_IR_LEARN_RESULT = 0x2B18;
// Source switched: wParam 1 when live view was restarted on a new stream.
constexpr UINT WM_BOX_SOURCE_CHANGED = 0x2B1A;
constexpr UINT WM_BOX_SOURCE_FAILED = 0x2B1B;
constexpr UINT WM_BOX_IR_SEND_FAILED = 0x2B1C;
constexpr UINT WM_BOX_USER_ADDED = 0x2B1D;
constexpr UINT WM_BOX_USER_ADD_FAILED = 0x2B1E;
constexpr UINT WM_BOX_USER_DELETED = 0x2B1F;
constexpr UINT WM_BOX_USER_DELETE_FAILED = 0x2B20;
// User block received. wParam: the u8 at reply offset 175; the 160-byte block is read with
// KQ_TCP_ControlChannel::UserBlock.
constexpr UINT WM_BOX_USERS_RECEIVED = 0x2B21;
constexpr UINT WM_BOX_USERS_FAILED = 0x2B22;
constexpr UINT WM_BOX_PASSWORD_CHANGED = 0x2B23;
constexpr UINT WM_BOX_PASSWORD_CHANGE_FAILED = 0x2B24;
constexpr UINT WM_BOX_CHANNEL_SET = 0x2B25;
constexpr UINT WM_BOX_CHANNEL_FAILED = 0x2B26;
// The audio/video connection failed or stayed silent for 20 s. To the main window.
constexpr UINT WM_BOX_LINK_LOST = 0x2B27;
// IR data block. wParam: const BYTE* to the block, starting with its type byte (payload); lParam: length.
constexpr UINT WM_BOX_IR_DATA = 0x2B28;
constexpr UINT WM_BOX_IR_DATA_FAILED = 0x2B29;
// Channel table. wParam: const BYTE* to 1024 bytes holding lParam entries of {u32 channel number, u32
// frequency in 1/16 MHz}, little-endian, the rest zero (payload); lParam: entry count (0 to 128).
constexpr UINT WM_BOX_CHANNEL_TABLE = 0x2B2A;
constexpr UINT WM_BOX_CHANNEL_TABLE_FAILED = 0x2B2B;
constexpr UINT WM_BOX_FIRMWARE_SENT = 0x2B2C;
constexpr UINT WM_BOX_FIRMWARE_FAILED = 0x2B2D;
// Country set: wParam 1 when live view was restarted on a new stream.
constexpr UINT WM_BOX_COUNTRY_SET = 0x2B2E;
constexpr UINT WM_BOX_COUNTRY_FAILED = 0x2B2F;
constexpr UINT WM_BOX_IR_UPLOAD_OK = 0x2B30;
constexpr UINT WM_BOX_IR_UPLOAD_FAILED = 0x2B31;
// Box time set. wParam: 0 clock, 1 time zone; lParam: const char* to the box's 32-byte time text and a NUL
// (payload).
constexpr UINT WM_BOX_TIME = 0x2B32;
// wParam: 0 clock, 1 time zone.
constexpr UINT WM_BOX_TIME_FAILED = 0x2B33;
// Box information. wParam: const BYTE* to the 1002-byte BoxInfoRecord (payload); lParam: 1002.
constexpr UINT WM_BOX_INFO = 0x2B34;
constexpr UINT WM_BOX_INFO_FAILED = 0x2B35;
// Task results. wParam: the reply's value2 (the task id or index).
constexpr UINT WM_BOX_TASK_ADDED = 0x2B36;
constexpr UINT WM_BOX_TASK_ADD_FAILED = 0x2B37;
constexpr UINT WM_BOX_TASK_DELETED = 0x2B38;
constexpr UINT WM_BOX_TASK_DELETE_FAILED = 0x2B39;
constexpr UINT WM_BOX_TASK_UPDATED = 0x2B3A;
constexpr UINT WM_BOX_TASK_UPDATE_FAILED = 0x2B3B;
constexpr UINT WM_BOX_ALL_TASKS_DELETED = 0x2B3C;
// Connection stage, in wParam and lParam: 1 LAN search started, 2 to 4 the relay path's stages, 5 connected.
// To the main window.
constexpr UINT WM_BOX_CONNECT_PROGRESS = 0x2B3E;
// File list. wParam: const BoxFileList* (boxlink/BoxRecords.h; payload). The transfer dialog keeps the list
// while it shows it (TakeDispatchedPayload) and passes its items back to the file requests.
constexpr UINT WM_BOX_FILE_LIST = 0x2B3F;
constexpr UINT WM_BOX_FILE_LIST_FAILED = 0x2B40;
// Download accepted. wParam: the file size in bytes.
constexpr UINT WM_BOX_FILE_ACCEPTED = 0x2B41;
constexpr UINT WM_BOX_FILE_REFUSED = 0x2B42;
constexpr UINT WM_BOX_FILE_TRANSFER_TIMEOUT = 0x2B44;
constexpr UINT WM_BOX_TRANSFER_ABORTED = 0x2B45;
constexpr UINT WM_BOX_TRANSFER_ABORT_FAILED = 0x2B46;
constexpr UINT WM_BOX_FILE_DELETED = 0x2B47;
constexpr UINT WM_BOX_FILE_DELETE_FAILED = 0x2B48;
// Downloaded file complete and closed. To the window of the last file request.
constexpr UINT WM_BOX_FILE_RECEIVED = 0x2B49;
// Box recording-task notice. wParam: const BYTE* to the 79-byte BoxTaskRecord (payload). To the main window.
constexpr UINT WM_BOX_TASK_NOTICE = 0x2B4B;
// The box answered 400 to the login: another user is logged in; the login dialog asks and may log in again
// with BOX_LOGIN_CONFIRMED.
constexpr UINT WM_BOX_LOGIN_CONFIRM = 0x2B4C;

// A status text for the main window, from whichever thread runs the connection. wParam: const wchar_t* to
// the NUL-terminated text (payload); lParam: where it goes (BoxStatusTarget).
constexpr UINT WM_BOX_STATUS_TEXT = 0x2B50;
enum BoxStatusTarget : LPARAM {
    BOX_STATUS_TEXT_CONTROL = 0, // the main window's skinned status-text control
    BOX_STATUS_LINE = 1,         // the main window's status line
};
