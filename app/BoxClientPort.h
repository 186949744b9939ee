// What the windows use of the box connection manager. The application gives the windows the program's
// connection manager behind this interface; tests give them a fake. Results come back as the box link's
// posted messages (boxlink/BoxMessages.h) to the window passed in.
//
// Threads: Login runs on the login pane's worker thread, everything else on the UI thread.
#pragma once

#include "dialogs/records/BoxTaskRecords.h"
#include "platform/win32/Types.h"

#include <string>

class PlayerControl;

// The six values a login hands on by value.
struct LoginParams {
    int sourceCode = 0; // the box's numbering: 0 CV, 1 SV, 2 TV
    int frequency = 0;  // the last channel's frequency in 1/16 MHz, 0 when none
    int countryCode = 0;
    int tvSystem = 0;  // the country's TV-system flag
    int loginType = 0; // 0 box ID, 1 IP address, 2 host name
    int confirm = 0;   // 0, or kLoginConfirmed after the box asked to take over
};
constexpr int kLoginConfirmed = 251;

class BoxClientPort {
public:
    virtual ~BoxClientPort() = default;

    // Where the box link sends its main-window messages (null while there is no main window).
    virtual void SetMainWindow(HWND window) = 0;
    // The player the box link empties, restarts and feeds (borrowed; null while there is none).
    virtual void SetPlayer(PlayerControl* player) = 0;

    virtual bool Login(HWND window, const std::wstring& address, const std::wstring& user,
                       const std::wstring& password, const LoginParams& params) = 0;
    virtual bool RequestLogin(HWND window, const std::wstring& user, const std::wstring& password,
                              const LoginParams& params) = 0;
    virtual bool StartStream() = 0;
    virtual bool Disconnect(DWORD value) = 0;
    virtual bool CloseControlSocket() = 0;

    virtual bool SendSetSource(HWND window, DWORD sourceLetter) = 0; // 'T', 'C' or 'S'
    virtual bool SendSetChannel(HWND window, DWORD frequency) = 0;
    virtual bool SendSetPicture(HWND window, BYTE brightness, BYTE contrast, BYTE hue, BYTE saturation) = 0;
    virtual bool SendIrKey(HWND window, DWORD key, const std::wstring& profile) = 0;

    // The settings pages' requests, with the box link's arguments and result messages.
    virtual bool SendGetBoxInfo(HWND window) = 0;
    virtual bool SendAddBoxTask(const BoxTaskRecord& task, HWND window) = 0;
    virtual bool SendUpdateBoxTask(const BoxTaskRecord& task, HWND window) = 0;
    virtual bool SendDeleteBoxTask(DWORD id, HWND window) = 0; // 200: every task
    virtual bool SendSetBoxTime(const std::wstring& text, HWND window) = 0;
    virtual bool SendSetTimeZone(const std::wstring& token, HWND window, DWORD zoneIndex) = 0;
    virtual bool SendGetIrData(HWND window) = 0;
    virtual bool SendPutIrData(DWORD length, const BYTE* data, HWND window) = 0; // the block is copied
    virtual bool BeginIrLearning(HWND window, const std::wstring& profile) = 0;
    virtual bool EndIrLearning(HWND window, const std::wstring& profile) = 0;
    virtual bool LearnIrKey(HWND window, DWORD key, const std::wstring& profile) = 0;
    virtual bool SendSetVideoQuality(int quality, DWORD second, HWND window, DWORD rate, int sizeChange) = 0;
    // range > 0: from low to high (1/16 MHz); otherwise the country's air (or cable) band.
    virtual bool SendStartScan(HWND window, int range, BYTE country, bool air, DWORD low, DWORD high) = 0;
    virtual bool SendStopScan(DWORD value) = 0;
    virtual bool SendGetChannelTable(HWND window) = 0;
    virtual bool SendSetCountry(HWND window, DWORD country) = 0;
    // The user name, the old password and the new one.
    virtual bool ChangePassword(HWND window, const std::wstring& user, const std::wstring& oldPassword,
                                const std::wstring& newPassword) = 0;

    // The stream the box sends: video standard (0 = 50 Hz rows, 1 = 60 Hz rows), size class, bit rate.
    virtual int VideoStandard() const = 0;
    virtual int CurrentSizeClass() const = 0;
    virtual int BitRateKbps() const = 0;
    // The size class the windows apply after a video quality change.
    virtual void SetCurrentSizeClass(int sizeClass) = 0;
    // After WM_BOX_VIDEO_QUALITY_OK with 200, once live view has restarted.
    virtual void RaiseRestartedGeneration() = 0;
};
