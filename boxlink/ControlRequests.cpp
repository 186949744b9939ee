#include "boxlink/ControlChannel.h"

#include "boxlink/Rc4.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Text.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// Time-outs in milliseconds and maximum sends of the requests with a reply.
struct Awaited {
    DWORD timeoutMs;
    BYTE maxSends;
};
constexpr Awaited kLogin{15000, 1};
constexpr Awaited kStreamChange{10000, 1}; // source, country, video quality
constexpr Awaited kOnce{8000, 1};          // start scan, firmware update
constexpr Awaited kTwice{8000, 2};         // everything else
constexpr Awaited kLearn{20000, 0};

constexpr std::size_t kPayloadEnd = BoxControlFrame::kPayloadEnd;
constexpr std::size_t kLoginUserAt = 16; // length byte; the text follows
constexpr std::size_t kLoginUserRoom = 16;
constexpr std::size_t kLoginPasswordAt = 33;
constexpr std::size_t kLoginPasswordRoom = 46;
constexpr std::size_t kSecondTextAt = 33;
constexpr std::size_t kThirdTextAt = 50;
constexpr std::size_t kShortTextRoom = 16;
constexpr std::size_t kIrPiece = 1440;
constexpr std::size_t kFirmwareChunk = 1436;
constexpr WORD kFirmwareChunkType = 9;

// The legacy code page bytes of a text when they fit in room bytes.
std::optional<std::string> fitting(const std::wstring& text, std::size_t room) {
    std::string bytes = platform::ToLegacy(text);
    if (bytes.size() > room)
        return std::nullopt;
    return bytes;
}

// Room for a counted text whose length byte is at lengthAt and that may run to the end of the payload.
constexpr std::size_t roomAfter(std::size_t lengthAt) {
    return kPayloadEnd - lengthAt - 1;
}

void putBytes(BoxControlFrame& frame, std::size_t at, const void* data, std::size_t n) {
    if (n)
        std::memcpy(frame.bytes.data() + at, data, n);
}

void putCounted(BoxControlFrame& frame, std::size_t lengthAt, const std::string& text) {
    frame.bytes[lengthAt] = static_cast<BYTE>(text.size());
    putBytes(frame, lengthAt + 1, text.data(), text.size());
}

} // namespace

bool KQ_TCP_ControlChannel::SendLogin(HWND window, const std::wstring& user, const std::wstring& password,
                                      DWORD source, DWORD frequency, BYTE country, BYTE tvSystem,
                                      BYTE confirmation) {
    const auto name = fitting(user, kLoginUserRoom);
    const auto secret = fitting(password, kLoginPasswordRoom);
    if (!name || !secret)
        return false;
    BoxControlFrame frame = newFrame(BOX_CMD_LOGIN);
    // Each field is enciphered from the start of the key stream; zero bytes of the result are sent too.
    for (const auto& [at, text] : {std::pair{kLoginUserAt, *name}, std::pair{kLoginPasswordAt, *secret}}) {
        const std::vector<BYTE> ciphered =
            Rc4Crypt(kLoginKey, reinterpret_cast<const BYTE*>(text.data()), text.size());
        frame.bytes[at] = static_cast<BYTE>(ciphered.size());
        putBytes(frame, at + 1, ciphered.data(), ciphered.size());
    }
    frame.bytes[80] = country;
    frame.bytes[81] = tvSystem;
    frame.bytes[112] = confirmation;
    frame.SetU32(BoxControlFrame::kValue2At, source);
    frame.SetU32(BoxControlFrame::kValue3At, frequency);
    return sendAwaited(window, frame, kLogin.timeoutMs, kLogin.maxSends);
}

bool KQ_TCP_ControlChannel::SendLogout(DWORD value) {
    return SendLogout(value, platform::DeadlineAfter(kFrameSendMs));
}

bool KQ_TCP_ControlChannel::SendLogout(DWORD value, platform::Duration deadline) {
    BoxControlFrame frame = newFrame(BOX_CMD_LOGOUT, value);
    frame.Seal();
    return sendFrame(frame, deadline) == Sent::Whole;
}

bool KQ_TCP_ControlChannel::SendStopScan(DWORD value) {
    BoxControlFrame frame = newFrame(BOX_CMD_STOP_SCAN, value);
    frame.Seal();
    return sendFrame(frame) == Sent::Whole;
}

bool KQ_TCP_ControlChannel::SendKeepAlive() {
    if (link_.keepAlive == 0)
        return false;
    BoxControlFrame frame = newFrame(BOX_CMD_KEEP_ALIVE, 48);
    frame.Seal();
    return sendFrame(frame) == Sent::Whole;
}

bool KQ_TCP_ControlChannel::SendSetSource(HWND window, DWORD sourceLetter) {
    BoxControlFrame frame = newFrame(BOX_CMD_SET_SOURCE, sourceLetter);
    return sendAwaited(window, frame, kStreamChange.timeoutMs, kStreamChange.maxSends);
}

bool KQ_TCP_ControlChannel::SendSetChannel(HWND window, DWORD frequency) {
    BoxControlFrame frame = newFrame(BOX_CMD_SET_CHANNEL, frequency);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendStartScan(HWND window, int range, BYTE country, bool air, DWORD low,
                                          DWORD high) {
    BoxControlFrame frame = newFrame(BOX_CMD_START_SCAN, range > 0 ? 'F' : 'C');
    frame.bytes[16] = country;
    if (range > 0) {
        frame.SetU32(BoxControlFrame::kValue2At, low);
        frame.SetU32(BoxControlFrame::kValue3At, high);
    } else {
        frame.SetU32(BoxControlFrame::kValue2At, air ? 'A' : 'C');
    }
    // Known before the frame goes out: the stop-scan reply finds the scan by it.
    scanSequence_ = frame.sequence();
    return sendAwaited(window, frame, kOnce.timeoutMs, kOnce.maxSends);
}

bool KQ_TCP_ControlChannel::SendGetChannelTable(HWND window) {
    BoxControlFrame frame = newFrame(BOX_CMD_GET_CHANNEL_TABLE, 1);
    channelTableWindow_ = window;
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendSetPicture(HWND window, BYTE first, BYTE second, BYTE third, BYTE fourth) {
    BoxControlFrame frame = newFrame(BOX_CMD_SET_PICTURE, 4);
    const BYTE values[] = {first, second, third, fourth};
    putBytes(frame, 16, values, sizeof values);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendAddUser(HWND window, const std::wstring& name, const std::wstring& password) {
    const auto user = fitting(name, kShortTextRoom);
    const auto secret = fitting(password, roomAfter(kSecondTextAt));
    if (!user || !secret)
        return false;
    BoxControlFrame frame = newFrame(BOX_CMD_ADD_USER);
    putCounted(frame, 16, *user);
    putCounted(frame, kSecondTextAt, *secret);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendGetUsers(HWND window) {
    BoxControlFrame frame = newFrame(BOX_CMD_GET_USERS);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendChangePassword(HWND window, const std::wstring& first,
                                               const std::wstring& second, const std::wstring& third) {
    const auto a = fitting(first, kShortTextRoom);
    const auto b = fitting(second, kShortTextRoom);
    const auto c = fitting(third, roomAfter(kThirdTextAt));
    if (!a || !b || !c)
        return false;
    BoxControlFrame frame = newFrame(BOX_CMD_CHANGE_PASSWORD);
    putCounted(frame, 16, *a);
    putCounted(frame, kSecondTextAt, *b);
    putCounted(frame, kThirdTextAt, *c);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::sendNamed(HWND window, DWORD command, DWORD value, const std::wstring& name) {
    const auto text = fitting(name, roomAfter(16));
    if (!text)
        return false;
    BoxControlFrame frame = newFrame(command, value);
    putCounted(frame, 16, *text);
    const Awaited awaited = command == BOX_CMD_LEARN_IR_KEY ? kLearn : kTwice;
    return sendAwaited(window, frame, awaited.timeoutMs, awaited.maxSends);
}

bool KQ_TCP_ControlChannel::SendDeleteUser(HWND window, const std::wstring& name) {
    return sendNamed(window, BOX_CMD_DELETE_USER, 0, name);
}

bool KQ_TCP_ControlChannel::SendBeginIrLearning(HWND window, const std::wstring& profile) {
    return sendNamed(window, BOX_CMD_BEGIN_IR_LEARNING, 0, profile);
}

bool KQ_TCP_ControlChannel::SendEndIrLearning(HWND window, const std::wstring& profile) {
    return sendNamed(window, BOX_CMD_END_IR_LEARNING, 0, profile);
}

bool KQ_TCP_ControlChannel::SendLearnIrKey(HWND window, DWORD key, const std::wstring& profile) {
    return sendNamed(window, BOX_CMD_LEARN_IR_KEY, key, profile);
}

bool KQ_TCP_ControlChannel::SendIrKey(HWND window, DWORD key, const std::wstring& profile) {
    return sendNamed(window, BOX_CMD_SEND_IR_KEY, key, profile);
}

bool KQ_TCP_ControlChannel::SendGetIrData(HWND window) {
    BoxControlFrame frame = newFrame(BOX_CMD_GET_IR_DATA);
    irDataWindow_ = window;
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendPutIrData(DWORD length, const BYTE* data, HWND window) {
    if (length > 0 && !data)
        return false;
    {
        std::lock_guard lock(uploadMutex_);
        irUpload_ = std::make_shared<const std::vector<BYTE>>(data, data + length);
    }
    BoxControlFrame frame = newFrame(BOX_CMD_PUT_IR_DATA, length);
    // Down before the frame goes out: the reply may come, and bring the flag up again, before the send
    // returns.
    const BYTE keepAlive = link_.keepAlive.exchange(0);
    if (sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends))
        return true;
    link_.keepAlive = keepAlive;
    return false;
}

bool KQ_TCP_ControlChannel::SendSetVideoQuality(int quality, DWORD second, HWND window, DWORD rate,
                                                int sizeChange) {
    BoxControlFrame frame =
        newFrame(BOX_CMD_SET_VIDEO_QUALITY, quality == 5 ? 1 : static_cast<DWORD>(quality + 2));
    frame.bytes[16] = sizeChange == 1 ? 200 : 0;
    frame.bytes[17] = rate != 0 ? 200 : 0;
    frame.SetU32(BoxControlFrame::kValue2At, rate);
    frame.SetU32(BoxControlFrame::kValue3At, second != 0 ? second : 1);
    return sendAwaited(window, frame, kStreamChange.timeoutMs, kStreamChange.maxSends);
}

bool KQ_TCP_ControlChannel::SendFirmwareUpdate(HWND window, const FirmwareImage& image) {
    if (image.bytes.size() > 0xFFFFFFFFu)
        return false;
    {
        std::lock_guard lock(uploadMutex_);
        firmwareImage_ = std::make_shared<const std::vector<BYTE>>(image.bytes);
    }
    BoxControlFrame frame = newFrame(BOX_CMD_FIRMWARE_UPDATE, static_cast<DWORD>(image.bytes.size()));
    putBytes(frame, 16, image.header.data(), image.header.size());
    return sendAwaited(window, frame, kOnce.timeoutMs, kOnce.maxSends);
}

bool KQ_TCP_ControlChannel::SendSetTransportPort(HWND window, DWORD port) {
    BoxControlFrame frame = newFrame(BOX_CMD_SET_TRANSPORT_PORT, port);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendSetCountry(HWND window, DWORD country) {
    BoxControlFrame frame = newFrame(BOX_CMD_SET_COUNTRY, country);
    return sendAwaited(window, frame, kStreamChange.timeoutMs, kStreamChange.maxSends);
}

bool KQ_TCP_ControlChannel::SendSetBoxTime(const std::wstring& text, HWND window) {
    const auto time = fitting(text, kPayloadEnd - 16 - 1); // and its terminator
    if (!time)
        return false;
    BoxControlFrame frame = newFrame(BOX_CMD_SET_BOX_TIME, static_cast<DWORD>(time->size()));
    putBytes(frame, 16, time->data(), time->size());
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendSetTimeZone(const std::wstring& zone, HWND window, DWORD zoneIndex) {
    const auto text = fitting(zone, kPayloadEnd - 16 - 1); // and its terminator
    if (!text)
        return false;
    BoxControlFrame frame = newFrame(BOX_CMD_SET_TIME_ZONE, zoneIndex);
    putBytes(frame, 16, text->data(), text->size());
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendGetBoxInfo(HWND window) {
    BoxControlFrame frame = newFrame(BOX_CMD_GET_BOX_INFO);
    boxInfoWindow_ = window;
    boxInfoSequence_ = frame.sequence();
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::sendTask(DWORD command, const BoxTaskRecord& task, HWND window) {
    BoxControlFrame frame = newFrame(command, static_cast<DWORD>(task.size()));
    putBytes(frame, 16, task.data(), task.size()); // byte 95 stays 0
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendAddBoxTask(const BoxTaskRecord& task, HWND window) {
    return sendTask(BOX_CMD_ADD_BOX_TASK, task, window);
}

bool KQ_TCP_ControlChannel::SendUpdateBoxTask(const BoxTaskRecord& task, HWND window) {
    return sendTask(BOX_CMD_UPDATE_BOX_TASK, task, window);
}

bool KQ_TCP_ControlChannel::SendDeleteBoxTask(DWORD index, HWND window) {
    BoxControlFrame frame = newFrame(BOX_CMD_DELETE_BOX_TASK, index);
    frame.SetU32(BoxControlFrame::kValue2At, index);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendGetFileList(HWND window) {
    BoxControlFrame frame = newFrame(BOX_CMD_GET_FILE_LIST);
    fileListWindow_ = window;
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::sendFileRequest(HWND window, DWORD command, const BoxFileItem& item) {
    BoxControlFrame frame = newFrame(command);
    StoreBoxFileRecord(item, frame.bytes.data() + 16);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::SendRequestFile(HWND window, const BoxFileItem& item) {
    fileRequestWindow_ = window;
    return sendFileRequest(window, BOX_CMD_REQUEST_FILE, item);
}

bool KQ_TCP_ControlChannel::SendStartFileTransfer(HWND window, const BoxFileItem& item) {
    return sendFileRequest(window, BOX_CMD_START_FILE_TRANSFER, item);
}

bool KQ_TCP_ControlChannel::SendDeleteBoxFile(HWND window, const BoxFileItem& item) {
    return sendFileRequest(window, BOX_CMD_DELETE_BOX_FILE, item);
}

bool KQ_TCP_ControlChannel::SendAbortFileTransfer(HWND window, DWORD first, DWORD second) {
    BoxControlFrame frame = newFrame(BOX_CMD_ABORT_FILE_TRANSFER);
    frame.SetU32(BoxControlFrame::kValue2At, first);
    frame.SetU32(BoxControlFrame::kValue3At, second);
    return sendAwaited(window, frame, kTwice.timeoutMs, kTwice.maxSends);
}

bool KQ_TCP_ControlChannel::UploadFirmwareImage() {
    std::shared_ptr<const std::vector<BYTE>> image;
    {
        std::lock_guard lock(uploadMutex_);
        image = firmwareImage_;
    }
    firmwareSent_ = 0;
    if (!image)
        return true;
    BYTE chunk[4 + kFirmwareChunk];
    for (std::size_t at = 0; at < image->size();) {
        const std::size_t n = std::min(image->size() - at, kFirmwareChunk);
        StoreU16(chunk, kFirmwareChunkType);
        StoreU16(chunk + 2, static_cast<WORD>(n));
        std::memcpy(chunk + 4, image->data() + at, n);
        if (sendBefore(chunk, n + 4, platform::DeadlineAfter(kUploadPieceMs)) != Sent::Whole)
            return false;
        at += n;
        firmwareSent_ = static_cast<DWORD>(at);
        Sleep(1);
    }
    return true;
}

bool KQ_TCP_ControlChannel::UploadIrData() {
    std::shared_ptr<const std::vector<BYTE>> block;
    {
        std::lock_guard lock(uploadMutex_);
        block = irUpload_;
    }
    if (!block)
        return true;
    for (std::size_t at = 0; at < block->size();) {
        const std::size_t n = std::min(block->size() - at, kIrPiece);
        if (sendBefore(block->data() + at, n, platform::DeadlineAfter(kUploadPieceMs)) != Sent::Whole)
            return false;
        at += n;
        Sleep(1);
    }
    return true;
}
