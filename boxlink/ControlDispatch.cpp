#include "boxlink/BoxMessages.h"
#include "boxlink/ControlChannel.h"
#include "boxlink/WindowPost.h"

#include <cstring>

namespace {

// First bytes of the box's messages on the control connection.
constexpr BYTE BOX_MSG_IR_DATA = 10;
constexpr BYTE BOX_MSG_FILE_LIST = 11;
constexpr BYTE BOX_MSG_FRAME = 12;
constexpr BYTE BOX_MSG_BOX_INFO = 13;
constexpr BYTE BOX_MSG_CHANNEL_TABLE = 0xAA;
constexpr BYTE BOX_MSG_TASK_NOTICE = 0xEB;

constexpr DWORD kTaskNoticeSize = 128;
constexpr DWORD kMaxChannels = 128;
constexpr DWORD kChannelEntrySize = 8;
constexpr std::size_t kChannelTableBuffer = 1024;
// A message still incomplete after this many looks (about 5 s at 100 ms) is given up with the ring.
constexpr int kMaxFailedReads = 50;

} // namespace

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::DispatchOnce() {
    BYTE first = 0;
    if (!ring_.Peek(1, &first))
        return DispatchStep::Empty;
    switch (first) {
    case BOX_MSG_IR_DATA:
        return dispatchIrData();
    case BOX_MSG_FILE_LIST:
        return dispatchFileList();
    case BOX_MSG_FRAME:
        return dispatchFrame();
    case BOX_MSG_BOX_INFO:
        return dispatchBoxInfo();
    case BOX_MSG_CHANNEL_TABLE:
        return dispatchChannelTable();
    case BOX_MSG_TASK_NOTICE:
        return dispatchTaskNotice();
    default:
        return resetRing(); // unknown: everything stored goes, and the stream starts again with what comes
    }
}

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::resetRing() {
    ring_.Reset();
    return DispatchStep::Handled;
}

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::incomplete(FailedRead kind, UINT failure,
                                                                      HWND window) {
    if (++failedReads_[kind] <= kMaxFailedReads)
        return DispatchStep::Incomplete;
    failedReads_[kind] = 0;
    ring_.Reset();
    if (failure)
        PostToWindow(window, failure);
    return DispatchStep::Handled;
}

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::dispatchIrData() {
    const DWORD length = irLength_;
    const HWND window = irDataWindow_;
    // A length the ring can never hold would wait forever: the request fails at once.
    if (length == 0 || length >= ring_.Size()) {
        failedReads_[kIrReads] = 0;
        ring_.Reset();
        PostToWindow(window, WM_BOX_IR_DATA_FAILED);
        return DispatchStep::Handled;
    }
    if (ring_.Stored() < length)
        return incomplete(kIrReads, WM_BOX_IR_DATA_FAILED, window);
    auto block = std::make_shared<std::vector<BYTE>>(length);
    ring_.Read(length, block->data());
    failedReads_[kIrReads] = 0;
    const WPARAM data = reinterpret_cast<WPARAM>(block->data());
    PostToWindow(window, WM_BOX_IR_DATA, data, static_cast<LPARAM>(length), std::move(block));
    return DispatchStep::Handled;
}

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::dispatchFileList() {
    const DWORD length = fileListLength_;
    if (length == 0)
        return resetRing(); // no list was announced (or the announced one was refused)
    if (ring_.Stored() < length)
        return incomplete(kFileListReads, 0, nullptr);
    std::vector<BYTE> message(length);
    ring_.Read(length, message.data());
    failedReads_[kFileListReads] = 0;
    const HWND window = fileListWindow_;
    std::optional<BoxFileList> parsed = ParseBoxFileList(message.data(), message.size());
    if (!parsed) {
        PostToWindow(window, WM_BOX_FILE_LIST_FAILED);
        return DispatchStep::Handled;
    }
    auto list = std::make_shared<BoxFileList>(std::move(*parsed));
    const WPARAM data = reinterpret_cast<WPARAM>(list.get());
    PostToWindow(window, WM_BOX_FILE_LIST, data, 0, std::move(list));
    return DispatchStep::Handled;
}

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::dispatchBoxInfo() {
    const HWND window = boxInfoWindow_;
    auto info = std::make_shared<BoxInfoRecord>();
    if (!ring_.Read(static_cast<DWORD>(info->size()), info->data()))
        return incomplete(kInfoReads, WM_BOX_INFO_FAILED, window);
    failedReads_[kInfoReads] = 0;
    // The information is the answer: its request no longer waits, whether or not its frame reply came.
    if (const DWORD sequence = boxInfoSequence_.exchange(0))
        claim(sequence);
    const WPARAM data = reinterpret_cast<WPARAM>(info->data());
    PostToWindow(window, WM_BOX_INFO, data, static_cast<LPARAM>(info->size()), std::move(info));
    return DispatchStep::Handled;
}

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::dispatchChannelTable() {
    const HWND window = channelTableWindow_;
    BYTE head[2];
    if (!ring_.Peek(sizeof head, head))
        return incomplete(kTableReads, WM_BOX_CHANNEL_TABLE_FAILED, window);
    const DWORD count = head[1];
    if (count > kMaxChannels)
        return resetRing();
    BYTE message[2 + kMaxChannels * kChannelEntrySize];
    if (!ring_.Read(2 + count * kChannelEntrySize, message))
        return incomplete(kTableReads, WM_BOX_CHANNEL_TABLE_FAILED, window);
    failedReads_[kTableReads] = 0;
    auto table = std::make_shared<std::array<BYTE, kChannelTableBuffer>>();
    std::memcpy(table->data(), message + 2, count * kChannelEntrySize);
    const WPARAM data = reinterpret_cast<WPARAM>(table->data());
    PostToWindow(window, WM_BOX_CHANNEL_TABLE, data, static_cast<LPARAM>(count), std::move(table));
    return DispatchStep::Handled;
}

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::dispatchTaskNotice() {
    BYTE message[kTaskNoticeSize];
    if (!ring_.Read(kTaskNoticeSize, message))
        return incomplete(kNoticeReads, 0, nullptr);
    failedReads_[kNoticeReads] = 0;
    auto task = std::make_shared<BoxTaskRecord>();
    std::memcpy(task->data(), message + 1, task->size());
    const WPARAM data = reinterpret_cast<WPARAM>(task->data());
    PostToWindow(link_.mainWindow, WM_BOX_TASK_NOTICE, data, 0, std::move(task));
    return DispatchStep::Handled;
}

KQ_TCP_ControlChannel::DispatchStep KQ_TCP_ControlChannel::dispatchFrame() {
    BYTE head[4];
    if (!ring_.Peek(sizeof head, head))
        return incomplete(kFrameReads, 0, nullptr);
    if (LoadU32(head) != BoxControlFrame::kType)
        return resetRing();
    BoxControlFrame frame;
    if (!ring_.Read(BoxControlFrame::kSize, frame.bytes.data()))
        return incomplete(kFrameReads, 0, nullptr);
    failedReads_[kFrameReads] = 0;
    HandleReply(frame);
    return DispatchStep::Handled;
}
