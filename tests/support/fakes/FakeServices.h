// Fakes of the services the windows use: the box connection manager, the player and the PC's power-off.
// Each records its calls; the box client answers a login as the test scripts it (by default it accepts).
// Login runs on the login pane's worker thread, so the record is guarded.
#pragma once

#include "app/BoxClientPort.h"
#include "app/PcPower.h"
#include "app/PlayerPort.h"
#include "app/UiMessages.h"

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class FakeBoxClient : public BoxClientPort {
public:
    ~FakeBoxClient() override {
        if (onDestroy)
            onDestroy();
    }
    std::function<void()> onDestroy;
    struct LoginCall {
        HWND window;
        std::wstring address;
        std::wstring user;
        std::wstring password;
        LoginParams params;
        bool again; // RequestLogin
    };
    // What the box does when asked to log in: by default, posts WM_BOX_LOGIN_OK with country code 7.
    std::function<void(HWND window, const LoginCall& call)> answer = [](HWND window, const LoginCall&) {
        PostMessage(window, WM_BOX_LOGIN_OK, 0, 7);
    };

    void SetMainWindow(HWND window) override { main = window; }
    void SetPlayer(PlayerControl* control) override { player = control; }
    bool Login(HWND window, const std::wstring& address, const std::wstring& user,
               const std::wstring& password, const LoginParams& params) override {
        return record(LoginCall{window, address, user, password, params, false});
    }
    bool RequestLogin(HWND window, const std::wstring& user, const std::wstring& password,
                      const LoginParams& params) override {
        return record(LoginCall{window, L"", user, password, params, true}) && requestLoginSent;
    }
    bool requestLoginSent = true; // what RequestLogin returns
    bool StartStream() override { return log(L"StartStream"); }
    bool Disconnect(DWORD value) override { return log(L"Disconnect " + std::to_wstring(value)); }
    bool CloseControlSocket() override { return log(L"CloseControlSocket"); }
    bool SendSetSource(HWND, DWORD letter) override {
        return log(L"SetSource " + std::wstring(1, static_cast<wchar_t>(letter)));
    }
    bool SendSetChannel(HWND, DWORD frequency) override {
        return log(L"SetChannel " + std::to_wstring(frequency));
    }
    bool SendSetPicture(HWND, BYTE b, BYTE c, BYTE h, BYTE s) override {
        return log(L"SetPicture " + std::to_wstring(b) + L"," + std::to_wstring(c) + L"," +
                   std::to_wstring(h) + L"," + std::to_wstring(s));
    }
    bool SendIrKey(HWND, DWORD key, const std::wstring& profile) override {
        return log(L"IrKey " + std::to_wstring(key) + L" " + profile);
    }
    bool SendGetBoxInfo(HWND) override { return log(L"GetBoxInfo"); }
    bool SendAddBoxTask(const BoxTaskRecord& task, HWND) override { return logTask(L"AddBoxTask", task); }
    bool SendUpdateBoxTask(const BoxTaskRecord& task, HWND) override {
        return logTask(L"UpdateBoxTask", task);
    }
    bool SendDeleteBoxTask(DWORD id, HWND) override { return log(L"DeleteBoxTask " + std::to_wstring(id)); }
    bool SendSetBoxTime(const std::wstring& text, HWND) override { return log(L"SetBoxTime " + text); }
    bool SendSetTimeZone(const std::wstring& token, HWND, DWORD index) override {
        return log(L"SetTimeZone " + std::to_wstring(index) + L" " + token);
    }
    bool SendGetIrData(HWND) override { return log(L"GetIrData"); }
    bool SendPutIrData(DWORD length, const BYTE* data, HWND) override {
        {
            std::lock_guard lock(mutex_);
            irUpload.assign(data, data + length);
        }
        return log(L"PutIrData " + std::to_wstring(length));
    }
    bool BeginIrLearning(HWND, const std::wstring& profile) override {
        return log(L"BeginIrLearning " + profile);
    }
    bool EndIrLearning(HWND, const std::wstring& profile) override {
        return log(L"EndIrLearning " + profile);
    }
    bool LearnIrKey(HWND, DWORD key, const std::wstring& profile) override {
        return log(L"LearnIrKey " + std::to_wstring(key) + L" " + profile);
    }
    bool SendSetVideoQuality(int quality, DWORD second, HWND, DWORD rate, int sizeChange) override {
        return log(L"SetVideoQuality " + std::to_wstring(quality) + L"," + std::to_wstring(second) + L"," +
                   std::to_wstring(rate) + L"," + std::to_wstring(sizeChange));
    }
    bool SendStartScan(HWND, int range, BYTE country, bool air, DWORD low, DWORD high) override {
        return log(L"StartScan " + std::to_wstring(range) + L"," + std::to_wstring(country) + L"," +
                   std::to_wstring(air) + L"," + std::to_wstring(low) + L"," + std::to_wstring(high));
    }
    bool SendStopScan(DWORD value) override { return log(L"StopScan " + std::to_wstring(value)); }
    bool SendGetChannelTable(HWND) override { return log(L"GetChannelTable"); }
    bool SendSetCountry(HWND, DWORD country) override {
        return log(L"SetCountry " + std::to_wstring(country));
    }
    bool ChangePassword(HWND, const std::wstring& user, const std::wstring& oldPassword,
                        const std::wstring& newPassword) override {
        return log(L"ChangePassword " + user + L"," + oldPassword + L"," + newPassword);
    }
    void SetCurrentSizeClass(int sizeClass) override { log(L"SizeClass " + std::to_wstring(sizeClass)); }
    int VideoStandard() const override { return 1; }
    int CurrentSizeClass() const override { return 1; }
    int BitRateKbps() const override { return 1200; }
    void RaiseRestartedGeneration() override { log(L"RaiseRestartedGeneration"); }

    std::vector<LoginCall> logins() const {
        std::lock_guard lock(mutex_);
        return logins_;
    }
    std::vector<std::wstring> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    HWND main = nullptr;
    PlayerControl* player = nullptr;
    std::vector<BYTE> irUpload; // the last IR block, under the record's lock while it is written

private:
    bool logTask(const wchar_t* what, const BoxTaskRecord& task) {
        return log(std::wstring(what) + L" " + std::to_wstring(task.id) + L" " +
                   std::wstring(task.fileName, task.fileName + strnlen(task.fileName, sizeof task.fileName)));
    }
    bool record(LoginCall call) {
        {
            std::lock_guard lock(mutex_);
            logins_.push_back(call);
        }
        answer(call.window, call);
        return true;
    }
    bool log(std::wstring what) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(what));
        return true;
    }
    mutable std::mutex mutex_;
    std::vector<LoginCall> logins_;
    std::vector<std::wstring> calls_;
};

// The application's player: notes the calls and keeps the mode they would leave the player in.
class FakePlayerPort : public PlayerPort {
public:
    ~FakePlayerPort() override {
        if (onDestroy)
            onDestroy();
    }
    std::function<void()> onDestroy;
    HRESULT startLiveResult = S_OK;
    HRESULT playFileResult = S_OK;
    int mode = PLAYER_MODE_NONE;
    HWND mainWindow = nullptr;
    HWND videoWindow = nullptr;
    HWND notifyWindow = nullptr;
    std::vector<std::wstring> calls;
    bool graphStopped = false;

    void SetMainWindow(HWND window) override { mainWindow = window; }
    void SetVideoWindow(HWND window) override { videoWindow = window; }
    void SetNotifyWindow(HWND window) override { notifyWindow = window; }
    void SetSizeClass(int v) override { calls.push_back(L"SizeClass " + std::to_wstring(v)); }
    void SetStandard(int v) override { calls.push_back(L"Standard " + std::to_wstring(v)); }
    int Mode() const override { return mode; }
    HRESULT StartLive() override {
        calls.push_back(L"StartLive");
        if (SUCCEEDED(startLiveResult))
            mode = PLAYER_MODE_LIVE;
        return startLiveResult;
    }
    HRESULT RestartLive() override { return note(L"RestartLive"); }
    HRESULT Stop(int release) override {
        mode = release ? PLAYER_MODE_NONE : PLAYER_MODE_STOPPED;
        return note(L"Stop " + std::to_wstring(release));
    }
    HRESULT PlayFile(const std::wstring& path) override {
        calls.push_back(L"PlayFile " + path);
        if (SUCCEEDED(playFileResult))
            mode = PLAYER_MODE_FILE;
        return playFileResult;
    }
    HRESULT Play() override { return note(L"Play"); }
    HRESULT Pause() override { return note(L"Pause"); }
    HRESULT StopPlayback() override { return note(L"StopPlayback"); }
    HRESULT Seek(int t) override { return note(L"Seek " + std::to_wstring(t)); }
    HRESULT GetPosition(int& t) override {
        t = 250;
        return S_OK;
    }
    HRESULT FastForward() override { return note(L"FastForward"); }
    HRESULT Rewind() override { return note(L"Rewind"); }
    HRESULT SetVolume(int mute, int volume) override {
        return note(L"SetVolume " + std::to_wstring(mute) + L"," + std::to_wstring(volume));
    }
    HRESULT SetAspect(int m) override { return note(L"SetAspect " + std::to_wstring(m)); }
    HRESULT RefreshVideo() override { return note(L"RefreshVideo"); }
    HRESULT SetRecord(int on, const std::wstring&) override {
        return note(L"SetRecord " + std::to_wstring(on));
    }
    HRESULT Snapshot(const std::wstring& path) override { return note(L"Snapshot " + path); }
    HRESULT ShowInfoText(const std::wstring& text, bool) override { return note(L"ShowInfoText " + text); }
    HRESULT ReplaceInfoText(const std::wstring& text) override { return note(L"ReplaceInfoText " + text); }
    bool HandleGraphEvents() override {
        calls.push_back(L"HandleGraphEvents");
        return graphStopped;
    }

private:
    HRESULT note(std::wstring what) {
        calls.push_back(std::move(what));
        return S_OK;
    }
};

class FakePower : public PcPower {
public:
    int result = 0;
    int* shutdowns = nullptr; // counted where the test looks
    std::function<void()> onShutDown;
    int ShutDown() override {
        if (shutdowns)
            ++*shutdowns;
        if (onShutDown)
            onShutDown();
        return result;
    }
};
