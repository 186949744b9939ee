// KQ_TCP_ControlChannel: the control connection to the box. It builds and sends every request frame,
// keeps the requests that wait for a reply (each guarded by a window timer on the asking window whose
// identifier is the request's sequence), and runs the two threads of the connection: the receive thread
// copies the socket's bytes into the control ring, the dispatcher thread cuts the box's messages out of it,
// matches replies to their requests and posts the results (boxlink/BoxMessages.h) to the windows.
//
// Ownership and threads:
// - The channel owns its socket from Connect or Adopt until Close; Close stops both threads (shutdown, flag,
//   join) and then closes the socket. The channel lives as long as the connection manager.
// - Builders run on any thread (UI, login worker, dispatcher, stream threads); each frame or chunk goes out
//   whole under the socket's send lock. A builder with a reply stores its request and starts its timer
//   before the frame goes out, so a fast reply always finds it; it needs a live window (false otherwise).
// - Timers run RequestTimerProc on the asking window's thread. Reply and last expiry each claim the pending
//   entry; exactly one of them acts.
// - The dispatcher calls the player (BoxLinkState::player) from its own thread.
#pragma once

#include "boxlink/BoxControlFrame.h"
#include "boxlink/BoxLinkState.h"
#include "boxlink/BoxRecords.h"
#include "boxlink/PendingRequestTable.h"
#include "boxlink/RingBuffer.h"
#include "platform/net/Winsock.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The values of the last accepted login reply that the windows show.
struct LoginReplyValues {
    std::string record;          // reply bytes 16..31, up to the first NUL
    std::string hardwareAddress; // the 12 hexadecimal digits at 49..60
    DWORD value80 = 0;           // the u32 at 80
    std::string addressText;     // the 15 characters at 112..126, up to the first NUL
    BYTE networkMode = 0;        // the u8 at 144: 1 static address, 2 DHCP
};

// The request timers' procedure; reaches the one control channel of the process.
void CALLBACK RequestTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD tickCount);

class KQ_TCP_ControlChannel {
public:
    static constexpr DWORD kRingSize = 0x80000;
    static constexpr DWORD kFirstSequence = 0xF000;

    // What one dispatcher step did: nothing stored, a message not yet complete, or a message handled (or
    // the ring reset).
    enum class DispatchStep { Empty, Incomplete, Handled };

    explicit KQ_TCP_ControlChannel(BoxLinkState& link);
    ~KQ_TCP_ControlChannel();
    KQ_TCP_ControlChannel(const KQ_TCP_ControlChannel&) = delete;
    KQ_TCP_ControlChannel& operator=(const KQ_TCP_ControlChannel&) = delete;

    // The LAN connection: the box's control port (NetEnvironment) at the dotted address, two attempts of up
    // to 5 s each; on success the threads run.
    bool Connect(const std::string& boxAddress);
    // Takes a connected socket (the direct and relay paths); StartThreads then runs the threads on it.
    void Adopt(SOCKET socket);
    void StartThreads();
    void Close();

    // Requests. Each returns whether its frame went out (and, with a reply, was stored and timed). Texts are
    // converted to the legacy code page; one that does not fit its field sends nothing and gives false.
    bool SendLogin(HWND window, const std::wstring& user, const std::wstring& password, DWORD source,
                   DWORD frequency, BYTE country, BYTE tvSystem, BYTE confirmation);
    bool SendLogout(DWORD value);
    bool SendStopScan(DWORD value);
    bool SendSetSource(HWND window, DWORD sourceLetter); // 'T', 'C' or 'S'
    bool SendSetChannel(HWND window, DWORD frequency);   // 1/16 MHz
    // range > 0: scan from low to high (1/16 MHz); otherwise the country's whole air or cable band.
    bool SendStartScan(HWND window, int range, BYTE country, bool air, DWORD low, DWORD high);
    bool SendGetChannelTable(HWND window);
    bool SendSetPicture(HWND window, BYTE first, BYTE second, BYTE third, BYTE fourth);
    bool SendKeepAlive(); // nothing while the keep-alive flag is 0
    bool SendAddUser(HWND window, const std::wstring& name, const std::wstring& password);
    bool SendGetUsers(HWND window);
    bool SendChangePassword(HWND window, const std::wstring& first, const std::wstring& second,
                            const std::wstring& third);
    bool SendDeleteUser(HWND window, const std::wstring& name);
    bool SendBeginIrLearning(HWND window, const std::wstring& profile);
    bool SendEndIrLearning(HWND window, const std::wstring& profile);
    bool SendLearnIrKey(HWND window, DWORD key, const std::wstring& profile);
    bool SendIrKey(HWND window, DWORD key, const std::wstring& profile);
    bool SendGetIrData(HWND window);
    // Copies the block; it goes out raw once the box accepts.
    bool SendPutIrData(DWORD length, const BYTE* data, HWND window);
    // quality 5 asks for mode 1, others for quality + 2; sizeChange 1 when the size class changes.
    bool SendSetVideoQuality(int quality, DWORD second, HWND window, DWORD rate, int sizeChange);
    // Copies the image; it goes out in chunks once the box accepts.
    bool SendFirmwareUpdate(HWND window, const FirmwareImage& image);
    bool SendSetTransportPort(HWND window, DWORD port);
    bool SendSetCountry(HWND window, DWORD country);
    bool SendSetBoxTime(const std::wstring& text, HWND window); // "%04d:%02d:%02d:%02d:%02d"
    bool SendSetTimeZone(const std::wstring& zone, HWND window, DWORD zoneIndex);
    bool SendGetBoxInfo(HWND window);
    bool SendAddBoxTask(const BoxTaskRecord& task, HWND window);
    bool SendUpdateBoxTask(const BoxTaskRecord& task, HWND window);
    bool SendDeleteBoxTask(DWORD index, HWND window); // 200: every task
    bool SendGetFileList(HWND window);
    bool SendRequestFile(HWND window, const BoxFileItem& item);
    bool SendStartFileTransfer(HWND window, const BoxFileItem& item);
    bool SendAbortFileTransfer(HWND window, DWORD first, DWORD second);
    bool SendDeleteBoxFile(HWND window, const BoxFileItem& item);

    // The bulk uploads that follow an accepted firmware or IR request; true when every byte went out.
    bool UploadFirmwareImage();
    bool UploadIrData();

    // One step of the dispatcher thread over the control ring; also driven directly when no thread runs.
    DispatchStep DispatchOnce();
    void HandleReply(const BoxControlFrame& reply);
    // The ring the receive thread fills; written directly only while no receive thread runs.
    KQ_TCP_RingBuffer& ControlRing() { return ring_; }

    // For the windows and the stream receiver.
    LoginReplyValues LoginReply() const;
    std::array<BYTE, 160> UserBlock() const;
    DWORD FirmwareBytesSent() const { return firmwareSent_; }
    HWND FileRequestWindow() const { return fileRequestWindow_; }
    DWORD PendingCount() const { return pending_.Count(); }

private:
    friend void CALLBACK RequestTimerProc(HWND, UINT, UINT_PTR, DWORD);
    // The one channel the timer procedure reaches: set by the constructor, cleared by the destructor (which
    // waits for a procedure that runs at that moment).
    static void bindRequestTimers(KQ_TCP_ControlChannel* channel);
    static void unbindRequestTimers(KQ_TCP_ControlChannel* channel);

    enum FailedRead {
        kFrameReads,
        kIrReads,
        kFileListReads,
        kInfoReads,
        kTableReads,
        kNoticeReads,
        kReadKinds
    };

    // Send path.
    BoxControlFrame newFrame(DWORD command, DWORD value = 0);
    bool sendWhole(const void* data, std::size_t length);
    bool sendAwaited(HWND window, BoxControlFrame& frame, DWORD timeoutMs, BYTE maxSends);
    bool sendFileRequest(HWND window, DWORD command, const BoxFileItem& item);
    bool sendNamed(HWND window, DWORD command, DWORD value, const std::wstring& name);
    bool sendTask(DWORD command, const BoxTaskRecord& task, HWND window);

    // Timers.
    void onRequestTimer(HWND window, DWORD sequence);
    void failRequest(const PendingRequest& request);

    // Threads.
    void receiveLoop(SOCKET socket);
    void dispatchLoop();
    // Waits on the scaled clock; ends early when the channel stops or, given the arrival count seen before,
    // when the receive thread has written since.
    void pause(DWORD milliseconds, const std::uint64_t* seenArrivals);
    std::uint64_t arrivals();
    void wakeAll();

    // Dispatch.
    DispatchStep incomplete(FailedRead kind, UINT failure, HWND window);
    DispatchStep dispatchIrData();
    DispatchStep dispatchFileList();
    DispatchStep dispatchBoxInfo();
    DispatchStep dispatchChannelTable();
    DispatchStep dispatchTaskNotice();
    DispatchStep dispatchFrame();
    DispatchStep resetRing();

    // Replies.
    std::optional<PendingRequest> claim(DWORD sequence);
    void handleLogin(const BoxControlFrame& reply, HWND window);
    void handleStreamChange(const BoxControlFrame& reply, HWND window, UINT changed, UINT failed);
    void handleScan(const BoxControlFrame& reply);
    void restartLive();
    void flush(bool videoFirst);

    BoxLinkState& link_;

    std::mutex lifecycleMutex_; // Connect, Adopt, StartThreads and Close
    std::mutex sendMutex_;      // the socket while a frame or chunk goes out, and its closing
    std::atomic<SOCKET> socket_{INVALID_SOCKET};

    PendingRequestTable pending_;
    std::atomic<DWORD> sequence_{kFirstSequence};
    std::atomic<DWORD> scanSequence_{kFirstSequence};

    KQ_TCP_RingBuffer ring_{kRingSize};
    std::thread receiveThread_;
    std::thread dispatchThread_;
    std::atomic<bool> receiveRun_{false};
    std::atomic<int> dispatchRun_{0}; // 0 idle, 1 running, -1 ended
    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    bool stopping_ = false;      // under wakeMutex_
    std::uint64_t arrivals_ = 0; // under wakeMutex_: counts the receive thread's writes

    // Remembered by the builders for the box's messages that follow their replies.
    std::atomic<HWND> channelTableWindow_{nullptr};
    std::atomic<HWND> irDataWindow_{nullptr};
    std::atomic<HWND> boxInfoWindow_{nullptr};
    std::atomic<HWND> fileListWindow_{nullptr};
    std::atomic<HWND> fileRequestWindow_{nullptr};
    std::atomic<DWORD> boxInfoSequence_{0};

    // Dispatcher thread only.
    DWORD irLength_ = 0;
    DWORD fileListLength_ = 0;
    std::array<int, kReadKinds> failedReads_{};

    // The blocks of the bulk uploads, copied by their requests and replaced by the next one.
    std::mutex uploadMutex_;
    std::shared_ptr<const std::vector<BYTE>> irUpload_;
    std::shared_ptr<const std::vector<BYTE>> firmwareImage_;
    std::atomic<DWORD> firmwareSent_{0};

    mutable std::mutex valuesMutex_;
    LoginReplyValues loginReply_;
    std::array<BYTE, 160> userBlock_{};
};
