#include "boxlink/BoxMessages.h"
#include "boxlink/ControlChannel.h"
#include "boxlink/WindowPost.h"

#include <mutex>

namespace {

// Held by the timer procedure while it runs, so the channel is not destroyed under it.
std::mutex g_timerMutex;
KQ_TCP_ControlChannel* g_timerChannel = nullptr;

struct Failure {
    DWORD command;
    UINT message; // 0: none
    WPARAM wParam;
};

// What the last expiry of a request posts; login, scan and IR upload do more (onRequestTimer).
constexpr Failure kFailures[] = {
    {BOX_CMD_SET_SOURCE, WM_BOX_SOURCE_FAILED, 0},
    {BOX_CMD_SET_CHANNEL, WM_BOX_CHANNEL_FAILED, 0},
    {BOX_CMD_GET_CHANNEL_TABLE, WM_BOX_CHANNEL_TABLE_FAILED, 0},
    {BOX_CMD_ADD_USER, WM_BOX_USER_ADD_FAILED, 0},
    {BOX_CMD_GET_USERS, WM_BOX_USERS_FAILED, 0},
    {BOX_CMD_CHANGE_PASSWORD, WM_BOX_PASSWORD_CHANGE_FAILED, 0},
    {BOX_CMD_DELETE_USER, WM_BOX_USER_DELETE_FAILED, 0},
    {BOX_CMD_LEARN_IR_KEY, WM_BOX_IR_LEARN_RESULT, 0},
    {BOX_CMD_SEND_IR_KEY, WM_BOX_IR_SEND_FAILED, 0},
    {BOX_CMD_GET_IR_DATA, WM_BOX_IR_DATA_FAILED, 0},
    {BOX_CMD_SET_VIDEO_QUALITY, WM_BOX_VIDEO_QUALITY_FAILED, 0},
    {BOX_CMD_FIRMWARE_UPDATE, WM_BOX_FIRMWARE_FAILED, 0},
    {BOX_CMD_SET_COUNTRY, WM_BOX_COUNTRY_FAILED, 0},
    {BOX_CMD_SET_BOX_TIME, WM_BOX_TIME_FAILED, 0},
    {BOX_CMD_SET_TIME_ZONE, WM_BOX_TIME_FAILED, 1},
    {BOX_CMD_GET_BOX_INFO, WM_BOX_INFO_FAILED, 0},
    {BOX_CMD_ADD_BOX_TASK, WM_BOX_TASK_ADD_FAILED, 0},
    {BOX_CMD_DELETE_BOX_TASK, WM_BOX_TASK_DELETE_FAILED, 0},
    {BOX_CMD_UPDATE_BOX_TASK, WM_BOX_TASK_UPDATE_FAILED, 0},
    {BOX_CMD_GET_FILE_LIST, WM_BOX_FILE_LIST_FAILED, 0},
    {BOX_CMD_REQUEST_FILE, WM_BOX_FILE_REFUSED, 0},
    {BOX_CMD_START_FILE_TRANSFER, WM_BOX_FILE_TRANSFER_TIMEOUT, 0},
    {BOX_CMD_ABORT_FILE_TRANSFER, WM_BOX_TRANSFER_ABORT_FAILED, 0},
    {BOX_CMD_DELETE_BOX_FILE, WM_BOX_FILE_DELETE_FAILED, 0},
};

} // namespace

void CALLBACK RequestTimerProc(HWND window, UINT, UINT_PTR timerId, DWORD) {
    std::lock_guard lock(g_timerMutex);
    if (!g_timerChannel) {
        KillTimer(window, timerId); // its channel is gone: nothing can answer it any more
        return;
    }
    g_timerChannel->onRequestTimer(window, static_cast<DWORD>(timerId));
}

void KQ_TCP_ControlChannel::bindRequestTimers(KQ_TCP_ControlChannel* channel) {
    std::lock_guard lock(g_timerMutex);
    g_timerChannel = channel;
}

void KQ_TCP_ControlChannel::unbindRequestTimers(KQ_TCP_ControlChannel* channel) {
    std::lock_guard lock(g_timerMutex);
    if (g_timerChannel == channel)
        g_timerChannel = nullptr;
}

void KQ_TCP_ControlChannel::onRequestTimer(HWND window, DWORD sequence) {
    PendingRequest expired;
    Sent resent = Sent::Whole;
    const auto resend = [&](const BoxControlFrame& frame) { resent = sendFrame(frame); };
    switch (pending_.Expire(sequence, resend, &expired)) {
    case PendingRequestTable::Expiry::Resent:
        // A re-send that had no connection shows at the next expiry; one that lost the link fails the
        // request at once.
        if (resent == Sent::Lost)
            if (const std::optional<PendingRequest> request = claim(sequence))
                failRequest(*request);
        return;
    case PendingRequestTable::Expiry::Missing:
        KillTimer(window, sequence);
        return;
    case PendingRequestTable::Expiry::Expired:
        KillTimer(window, sequence);
        failRequest(expired);
        return;
    }
}

void KQ_TCP_ControlChannel::failRequest(const PendingRequest& request) {
    const DWORD command = request.frame.command();
    switch (command) {
    case BOX_CMD_LOGIN:
        link_.loginState = 7;
        PostToWindow(request.window, WM_BOX_LOGIN_FAILED, 7);
        SendLogout(0);
        return;
    case BOX_CMD_START_SCAN:
        PostToWindow(request.window, WM_BOX_SCAN_FINISHED);
        SendStopScan(0);
        return;
    case BOX_CMD_PUT_IR_DATA:
        link_.keepAlive = 1;
        PostToWindow(request.window, WM_BOX_IR_UPLOAD_FAILED);
        return;
    default:
        for (const Failure& failure : kFailures)
            if (failure.command == command)
                PostToWindow(request.window, failure.message, failure.wParam);
        return;
    }
}
