// KQ_TCP_ControlChannel: the control connection to the box. It builds and sends every request frame,
// keeps the requests that wait for a reply (each guarded by a window timer on the asking window whose
// identifier is the request's sequence), and runs the two threads of the connection: the receive thread
// copies the socket's bytes into the control ring, the dispatcher thread cuts the box's messages out of it,
// matches replies to their requests and posts the results (boxlink/BoxMessages.h) to the windows.
//
// Ownership and threads:
// - The channel owns its socket from Connect or Adopt until Close; Close stops both threads (shutdown, flag,
//   join) and then closes the socket. The channel lives as long as the connection manager.
// - Builders run on any thread (UI, login worker, dispatcher, stream threads). The socket takes one frame
//   or upload piece at a time, whole, and each is bounded: a frame must be out within kFrameSendMs (its
//   wait for its turn included), an upload piece within kUploadPieceMs, so no sender waits on the box
//   without a bound and an upload holds the socket for one piece at a time. A builder with a reply stores
//   its request and starts its timer before the frame goes out, so a fast reply always finds it; it needs a
//   live window (false otherwise).
// - The link is lost when a send cannot finish in its time or fails, and when the box closes the
//   connection or it breaks: the socket is shut down (every other send and the receive thread end at
//   once), WM_BOX_LINK_LOST goes to the main window once per login, and a request with a reply whose frame
//   could not go out fails at once with its failure message (the login's caller reports its own).
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
#include "platform/win32/Clock.h"

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
    // The longest a frame, and a piece of an upload, may take to go out before the link counts as lost.
    static constexpr DWORD kFrameSendMs = 5000;
    static constexpr DWORD kUploadPieceMs = 10000;

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
    // The program ends the link: every send in progress and the receive thread end at once, and nothing
    // more goes out (no link loss is reported for it). Close follows.
    void Shutdown();
    void Close();

    // Requests. Each returns whether its frame went out (and, with a reply, was stored and timed). Texts are
    // converted to the legacy code page; one that does not fit its field sends nothing and gives false.
    bool SendLogin(HWND window, const std::wstring& user, const std::wstring& password, DWORD source,
                   DWORD frequency, BYTE country, BYTE tvSystem, BYTE confirmation);
    bool SendLogout(DWORD value);
    // A logout that gives up at the deadline (the program's own end of the link).
    bool SendLogout(DWORD value, platform::Duration deadline);
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

    // The box restarted its stream without a reply that says so (the reply of a source or country change
    // came after its request's time-out, or never): the link follows as that reply would have, with the
    // next record types and live view restarted on them. False, and nothing changes, while a request that
    // may restart the stream still waits for its reply. Called by the stream parser.
    bool FollowBoxStream();

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
    enum class Sent {
        Whole,
        NotSent, // no connection, or the program is ending it
        Lost,    // the connection failed or the box did not take the bytes in time: the link is lost
    };
    BoxControlFrame newFrame(DWORD command, DWORD value = 0);
    Sent sendBefore(const void* data, std::size_t length, platform::Duration deadline);
    Sent sendFrame(const BoxControlFrame& frame, platform::Duration deadline);
    Sent sendFrame(const BoxControlFrame& frame);
    // The link is lost on s: shut down, and WM_BOX_LINK_LOST posted unless reported before.
    void endLink(SOCKET s);
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
    static bool changesStream(DWORD command);
    void flush(bool videoFirst);

    BoxLinkState& link_;

    std::mutex lifecycleMutex_; // Connect, Adopt, StartThreads, Shutdown and Close
    std::atomic<SOCKET> socket_{INVALID_SOCKET};
    // The socket's turn: held while a frame or piece goes out, and while the socket is set or closed.
    std::mutex sendMutex_;
    std::condition_variable sendFree_;
    bool sending_ = false;             // under sendMutex_
    std::atomic<bool> closing_{false}; // from Shutdown or Close until the next Adopt
    // A reply that changes the stream and the parser's following of the box take turns.
    std::mutex streamChangeMutex_;

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
