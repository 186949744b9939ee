// The state of one login that the connection manager, the control channel and the stream receiver share:
// connection mode, login state, flags, the stream generation and the values the windows read. Owned by
// KQ_TCP_BoxClient; every field is atomic, written by the threads named in its comment.
#pragma once

#include "platform/win32/Types.h"

#include <atomic>

class PlayerControl;

enum BoxMode : DWORD {
    BOX_MODE_LAN = 0x1010,   // own connections to the box on the LAN
    BOX_MODE_RELAY = 0x1020, // both sockets from the direct or the relay path
    BOX_MODE_NONE = 0x1030,  // not connected
};

struct BoxLinkState {
    std::atomic<DWORD> mode{BOX_MODE_NONE};
    // The wParam of WM_BOX_LOGIN_FAILED: written by the login worker, the request timer (7) and the
    // dispatcher (6).
    std::atomic<DWORD> loginState{0};
    std::atomic<BYTE> preBuffer{1}; // 1: the stream parser waits before it hands units on
    std::atomic<BYTE> keepAlive{1}; // 0 while a bulk upload runs: no keep-alive frames then
    // Set by the first report of a lost link (control or stream connection), so that the main window hears
    // of it once per login; cleared at the login and at the stream's start.
    std::atomic<bool> linkLost{false};

    // Stream generation, written by the dispatcher (record types first, then the wait flag and the counter)
    // and by the windows (restarted generation), read by the stream parser: records of an old generation no
    // longer match the record types, and all records wait while the restarted generation lags behind.
    std::atomic<BYTE> videoRecordType{15};
    std::atomic<BYTE> audioRecordType{10};
    std::atomic<BYTE> waitForNewStream{0};
    std::atomic<DWORD> generation{0};
    std::atomic<DWORD> restartedGeneration{0};

    // Reply values the windows read.
    std::atomic<int> loginResult{0};      // 1 after login reply 1, 0 after 200
    std::atomic<int> videoStandard{0};    // 0 = 50 Hz rows (box reports 2000), 1 = 60 Hz rows (3000)
    std::atomic<int> qualityIndex{0};     // the login reply's value3 - 2
    std::atomic<int> currentSizeClass{0}; // the quality index at login, then what the windows apply

    // Where results go besides the asking window: the main window (null while none exists) and the player
    // (null while none exists). Set by the application.
    std::atomic<HWND> mainWindow{nullptr};
    std::atomic<PlayerControl*> player{nullptr};

    // The fields a login starts from.
    void ResetForLogin() {
        mode = BOX_MODE_NONE;
        loginState = 0;
        preBuffer = 1;
        keepAlive = 1;
        linkLost = false;
        videoRecordType = 15;
        audioRecordType = 10;
        waitForNewStream = 0;
        generation = 0;
        restartedGeneration = 0;
    }

    // True for the first report of a lost link since it was cleared: that one posts WM_BOX_LINK_LOST.
    bool ClaimLinkLoss() { return !linkLost.exchange(true); }

    // A change of stream on the box: new record types, then the parser waits for the restart.
    void StartNewGeneration() {
        videoRecordType = static_cast<BYTE>(videoRecordType + 16);
        audioRecordType = static_cast<BYTE>(audioRecordType + 16);
        waitForNewStream = 1;
        ++generation;
    }
};
