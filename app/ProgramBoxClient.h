// The program's box connection manager behind the windows' interface: KQ_TCP_BoxClient with its stream
// receiver and the relay-server path installed.
#pragma once

#include "app/BoxClientPort.h"
#include "boxlink/BoxClient.h"

class KQ_AppConfig;
class KQ_TCP_StreamReceiver;

class ProgramBoxClient : public BoxClientPort {
public:
    // The configuration is borrowed (the relay path stores the box's address in it) and outlives this.
    explicit ProgramBoxClient(KQ_AppConfig& config);
    ~ProgramBoxClient() override;

    void SetMainWindow(HWND window) override;
    void SetPlayer(PlayerControl* player) override;
    bool Login(HWND window, const std::wstring& address, const std::wstring& user,
               const std::wstring& password, const LoginParams& params) override;
    bool RequestLogin(HWND window, const std::wstring& user, const std::wstring& password,
                      const LoginParams& params) override;
    bool StartStream() override;
    bool Disconnect(DWORD value) override;
    bool CloseControlSocket() override;
    bool SendSetSource(HWND window, DWORD sourceLetter) override;
    bool SendSetChannel(HWND window, DWORD frequency) override;
    bool SendSetPicture(HWND window, BYTE brightness, BYTE contrast, BYTE hue, BYTE saturation) override;
    bool SendIrKey(HWND window, DWORD key, const std::wstring& profile) override;
    bool SendGetBoxInfo(HWND window) override;
    bool SendAddBoxTask(const BoxTaskRecord& task, HWND window) override;
    bool SendUpdateBoxTask(const BoxTaskRecord& task, HWND window) override;
    bool SendDeleteBoxTask(DWORD id, HWND window) override;
    bool SendSetBoxTime(const std::wstring& text, HWND window) override;
    bool SendSetTimeZone(const std::wstring& token, HWND window, DWORD zoneIndex) override;
    bool SendGetIrData(HWND window) override;
    bool SendPutIrData(DWORD length, const BYTE* data, HWND window) override;
    bool BeginIrLearning(HWND window, const std::wstring& profile) override;
    bool EndIrLearning(HWND window, const std::wstring& profile) override;
    bool LearnIrKey(HWND window, DWORD key, const std::wstring& profile) override;
    bool SendSetVideoQuality(int quality, DWORD second, HWND window, DWORD rate, int sizeChange) override;
    bool SendStartScan(HWND window, int range, BYTE country, bool air, DWORD low, DWORD high) override;
    bool SendStopScan(DWORD value) override;
    bool SendGetChannelTable(HWND window) override;
    bool SendSetCountry(HWND window, DWORD country) override;
    bool ChangePassword(HWND window, const std::wstring& user, const std::wstring& oldPassword,
                        const std::wstring& newPassword) override;
    int VideoStandard() const override;
    int CurrentSizeClass() const override;
    int BitRateKbps() const override;
    void SetCurrentSizeClass(int sizeClass) override;
    void RaiseRestartedGeneration() override;

private:
    KQ_TCP_BoxClient client_;
    KQ_TCP_StreamReceiver* receiver_ = nullptr; // owned by client_
};
