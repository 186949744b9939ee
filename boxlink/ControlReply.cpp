#include "boxlink/BoxMessages.h"
#include "boxlink/ControlChannel.h"
#include "boxlink/WindowPost.h"
#include "media/PlayerControl.h"
#include "platform/win32/Clock.h"

#include <cstring>

namespace {

constexpr DWORD kScanTimeoutMs = 8000;
constexpr DWORD kMaxChannelNumber = 128;
// The pauses before a user, scan or firmware result is reported keep the pace of the box maker's own
// client: the window's next command (the user list read again after a change, the channel list after a
// scan started) reaches the box no sooner after its answer than that client's did. They hold only this
// dispatcher thread; the frames that follow wait in the receive ring.
constexpr DWORD kReportPauseMs = 10;
// After an infrared upload the keep-alives stay held off this much longer while the box takes the table in.
constexpr DWORD kIrStorePauseMs = 500;

// A text field of a reply, up to its first NUL.
std::string textAt(const BoxControlFrame& reply, std::size_t at, std::size_t length) {
    const char* p = reinterpret_cast<const char*>(reply.bytes.data() + at);
    return std::string(p, ::strnlen(p, length));
}

// 2000: 50 Hz rows, 3000: 60 Hz rows; anything else leaves the standard as it was.
void applyStandard(std::atomic<int>& standard, DWORD reported) {
    if (reported == 2000)
        standard = 0;
    else if (reported == 3000)
        standard = 1;
}

} // namespace

std::optional<PendingRequest> KQ_TCP_ControlChannel::claim(DWORD sequence) {
    std::optional<PendingRequest> request = pending_.Claim(sequence);
    if (request)
        KillTimer(request->window, sequence); // outside the table's lock: it may wait for a running expiry
    return request;
}

void KQ_TCP_ControlChannel::HandleReply(const BoxControlFrame& reply) {
    const DWORD command = reply.command();
    if (command == BOX_CMD_STOP_SCAN) {
        // Ends the scan that is running, found by its own sequence.
        DWORD scan = scanSequence_;
        if (claim(scan))
            scanSequence_.compare_exchange_strong(scan, 0);
        return;
    }
    if (command == BOX_CMD_START_SCAN) {
        handleScan(reply);
        return;
    }
    // A reply that may change the stream and the stream parser's following of the box take turns, so the
    // box's one change of stream is taken once.
    std::unique_lock streamChange(streamChangeMutex_, std::defer_lock);
    if (changesStream(command))
        streamChange.lock();
    const std::optional<PendingRequest> request = claim(reply.sequence());
    if (!request) {
        if (command == BOX_CMD_PUT_IR_DATA)
            link_.keepAlive = 1;
        return;
    }
    const HWND window = request->window;
    const DWORD value = reply.value();
    // Success (1) with its wParam, anything else the failure with none.
    const auto result = [&](UINT ok, UINT failed, WPARAM okWParam = 0) {
        if (value == 1)
            PostToWindow(window, ok, okWParam);
        else
            PostToWindow(window, failed);
    };
    switch (command) {
    case BOX_CMD_LOGIN:
        handleLogin(reply, window);
        return;
    case BOX_CMD_SET_SOURCE:
        handleStreamChange(reply, window, WM_BOX_SOURCE_CHANGED, WM_BOX_SOURCE_FAILED);
        return;
    case BOX_CMD_SET_COUNTRY:
        handleStreamChange(reply, window, WM_BOX_COUNTRY_SET, WM_BOX_COUNTRY_FAILED);
        return;
    case BOX_CMD_SET_CHANNEL:
        result(WM_BOX_CHANNEL_SET, WM_BOX_CHANNEL_FAILED);
        if (value == 1)
            flush(true);
        return;
    case BOX_CMD_GET_CHANNEL_TABLE:
        if (value == 0)
            PostToWindow(window, WM_BOX_CHANNEL_TABLE_FAILED);
        return;
    case BOX_CMD_SET_PICTURE:
        if (value == 1)
            flush(true);
        return;
    case BOX_CMD_ADD_USER:
        Sleep(kReportPauseMs);
        result(WM_BOX_USER_ADDED, WM_BOX_USER_ADD_FAILED);
        return;
    case BOX_CMD_GET_USERS:
        Sleep(kReportPauseMs);
        if (value == 1) {
            std::lock_guard lock(valuesMutex_);
            std::memcpy(userBlock_.data(), reply.bytes.data() + BoxControlFrame::kPayloadAt,
                        userBlock_.size());
        }
        result(WM_BOX_USERS_RECEIVED, WM_BOX_USERS_FAILED, reply.bytes[175]);
        return;
    case BOX_CMD_CHANGE_PASSWORD:
        if (value == 1 || value == 0) {
            Sleep(kReportPauseMs);
            result(WM_BOX_PASSWORD_CHANGED, WM_BOX_PASSWORD_CHANGE_FAILED);
        }
        return;
    case BOX_CMD_DELETE_USER:
        Sleep(kReportPauseMs);
        result(WM_BOX_USER_DELETED, WM_BOX_USER_DELETE_FAILED);
        return;
    case BOX_CMD_LEARN_IR_KEY:
        PostToWindow(window, WM_BOX_IR_LEARN_RESULT, value == 1 ? 1 : 0);
        return;
    case BOX_CMD_SEND_IR_KEY:
        if (value != 1)
            PostToWindow(window, WM_BOX_IR_SEND_FAILED);
        return;
    case BOX_CMD_GET_IR_DATA:
        if (value == 0)
            PostToWindow(window, WM_BOX_IR_DATA_FAILED);
        else
            irLength_ = value; // the block follows as its own message
        return;
    case BOX_CMD_PUT_IR_DATA:
        if (value == 1) {
            link_.keepAlive = 0;
            const bool sent = UploadIrData();
            Sleep(kIrStorePauseMs);
            PostToWindow(window, sent ? WM_BOX_IR_UPLOAD_OK : WM_BOX_IR_UPLOAD_FAILED);
        } else if (value == 0) {
            PostToWindow(window, WM_BOX_IR_UPLOAD_FAILED);
        }
        link_.keepAlive = 1;
        return;
    case BOX_CMD_SET_VIDEO_QUALITY:
        // With a new size the stream changes; the window that handles the message restarts live view.
        if (value == 1 && reply.bytes[16] == 200) {
            link_.StartNewGeneration();
            PostToWindow(window, WM_BOX_VIDEO_QUALITY_OK, 200);
        } else {
            result(WM_BOX_VIDEO_QUALITY_OK, WM_BOX_VIDEO_QUALITY_FAILED);
        }
        return;
    case BOX_CMD_FIRMWARE_UPDATE:
        if (value == 1) {
            link_.keepAlive = 0;
            PostToWindow(window, UploadFirmwareImage() ? WM_BOX_FIRMWARE_SENT : WM_BOX_FIRMWARE_FAILED);
            Sleep(kReportPauseMs);
        } else {
            PostToWindow(window, WM_BOX_FIRMWARE_FAILED);
        }
        link_.keepAlive = 1;
        return;
    case BOX_CMD_SET_BOX_TIME:
    case BOX_CMD_SET_TIME_ZONE: {
        const WPARAM which = command == BOX_CMD_SET_TIME_ZONE ? 1 : 0;
        if (value != 1) {
            PostToWindow(window, WM_BOX_TIME_FAILED, which);
            return;
        }
        auto text = std::make_shared<std::array<char, 33>>();
        std::memcpy(text->data(), reply.bytes.data() + 48, 32);
        const LPARAM data = reinterpret_cast<LPARAM>(text->data());
        PostToWindow(window, WM_BOX_TIME, which, data, std::move(text));
        return;
    }
    case BOX_CMD_ADD_BOX_TASK:
        result(WM_BOX_TASK_ADDED, WM_BOX_TASK_ADD_FAILED, reply.value2());
        return;
    case BOX_CMD_DELETE_BOX_TASK:
        if (value == 1 && reply.value2() == 200)
            PostToWindow(window, WM_BOX_ALL_TASKS_DELETED);
        else
            result(WM_BOX_TASK_DELETED, WM_BOX_TASK_DELETE_FAILED, reply.value2());
        return;
    case BOX_CMD_UPDATE_BOX_TASK:
        result(WM_BOX_TASK_UPDATED, WM_BOX_TASK_UPDATE_FAILED, reply.value2());
        return;
    case BOX_CMD_GET_FILE_LIST:
        // A list longer than the box may send is refused before a byte of it is read.
        if (value == 0 || value > kBoxFileListMax) {
            fileListLength_ = 0;
            PostToWindow(window, WM_BOX_FILE_LIST_FAILED);
        } else {
            fileListLength_ = value;
        }
        return;
    case BOX_CMD_REQUEST_FILE:
        if (value != 0)
            PostToWindow(window, WM_BOX_FILE_ACCEPTED, value);
        else
            PostToWindow(window, WM_BOX_FILE_REFUSED);
        return;
    case BOX_CMD_ABORT_FILE_TRANSFER:
        result(WM_BOX_TRANSFER_ABORTED, WM_BOX_TRANSFER_ABORT_FAILED);
        return;
    case BOX_CMD_DELETE_BOX_FILE:
        result(WM_BOX_FILE_DELETED, WM_BOX_FILE_DELETE_FAILED);
        return;
    case BOX_CMD_GET_BOX_INFO:
        // A refusal is the answer: no record follows, and the page that waits for one is told.
        if (value == 0)
            PostToWindow(window, WM_BOX_INFO_FAILED);
        return;
    default:
        return; // answered, nothing more to do
    }
}

void KQ_TCP_ControlChannel::handleLogin(const BoxControlFrame& reply, HWND window) {
    const DWORD value = reply.value();
    if (value == 400) {
        PostToWindow(window, WM_BOX_LOGIN_CONFIRM);
        return;
    }
    if (value != 1 && value != 200) {
        Sleep(1);
        link_.loginState = 6;
        PostToWindow(window, WM_BOX_LOGIN_FAILED, 6);
        SendLogout(0);
        return;
    }
    link_.loginResult = value == 1 ? 1 : 0;
    applyStandard(link_.videoStandard, reply.value2());
    DWORD quality = reply.value3();
    if (quality < 2 || quality > 6)
        quality = link_.mode == BOX_MODE_RELAY ? 3 : 6;
    link_.qualityIndex = static_cast<int>(quality) - 2;
    link_.currentSizeClass = static_cast<int>(quality) - 2;
    {
        std::lock_guard lock(valuesMutex_);
        loginReply_.record = textAt(reply, 16, 16);
        loginReply_.hardwareAddress = textAt(reply, 49, 12);
        loginReply_.value80 = reply.U32(80);
        loginReply_.addressText = textAt(reply, 112, 15);
        loginReply_.networkMode = reply.bytes[144];
    }
    auto record = std::make_shared<std::array<char, 17>>();
    std::memcpy(record->data(), reply.bytes.data() + 16, 16);
    const WPARAM data = reinterpret_cast<WPARAM>(record->data());
    PostToWindow(window, WM_BOX_LOGIN_OK, data, reply.bytes[48], std::move(record));
}

void KQ_TCP_ControlChannel::handleStreamChange(const BoxControlFrame& reply, HWND window, UINT changed,
                                               UINT failed) {
    if (reply.value() != 1) {
        PostToWindow(window, failed);
        return;
    }
    if (reply.value2() != 1) {
        PostToWindow(window, changed);
        flush(false);
        return;
    }
    // The box restarted its stream: new record types, live view restarted on them, then the parser may go on.
    applyStandard(link_.videoStandard, reply.value3());
    link_.StartNewGeneration();
    restartLive();
    PostToWindow(window, changed, 1);
    ++link_.restartedGeneration;
}

void KQ_TCP_ControlChannel::handleScan(const BoxControlFrame& reply) {
    const DWORD sequence = reply.sequence();
    const DWORD value = reply.value();
    if (value == 201 || value == 202) {
        if (const std::optional<PendingRequest> scan = claim(sequence))
            PostToWindow(scan->window, WM_BOX_SCAN_FINISHED);
        return;
    }
    if (value == 200)
        Sleep(kReportPauseMs);
    // The scan stays pending across its replies; each known one gives it another full period.
    const bool known = value == 200 || value == 250 || value <= kMaxChannelNumber;
    HWND window = nullptr;
    const bool pending = pending_.Touch(sequence, [&](PendingRequest& scan) {
        window = scan.window;
        if (known)
            SetTimer(scan.window, sequence, kScanTimeoutMs, RequestTimerProc);
    });
    if (!pending)
        return;
    if (value == 200)
        PostToWindow(window, WM_BOX_SCAN_STARTED);
    else if (value <= kMaxChannelNumber)
        PostToWindow(window, WM_BOX_SCAN_CHANNEL_FOUND, reply.value2(), static_cast<LPARAM>(value));
}

bool KQ_TCP_ControlChannel::changesStream(DWORD command) {
    return command == BOX_CMD_SET_SOURCE || command == BOX_CMD_SET_COUNTRY ||
           command == BOX_CMD_SET_VIDEO_QUALITY;
}

bool KQ_TCP_ControlChannel::FollowBoxStream() {
    std::lock_guard lock(streamChangeMutex_);
    if (pending_.Any([](const PendingRequest& r) { return changesStream(r.frame.command()); }))
        return false;
    link_.StartNewGeneration();
    restartLive();
    ++link_.restartedGeneration;
    return true;
}

void KQ_TCP_ControlChannel::restartLive() {
    PlayerControl* player = link_.player;
    if (!player)
        return;
    player->SetSizeClass(link_.currentSizeClass);
    player->SetVideoStandard(link_.videoStandard);
    player->RestartLive();
}

void KQ_TCP_ControlChannel::flush(bool videoFirst) {
    PlayerControl* player = link_.player;
    if (!player)
        return;
    if (videoFirst) {
        player->FlushVideo();
        player->FlushAudio();
    } else {
        player->FlushAudio();
        player->FlushVideo();
    }
}
