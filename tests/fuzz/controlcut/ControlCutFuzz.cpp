// Arbitrary bytes from the box through the dispatcher's cutting of the control ring. A fresh channel per
// input has the same requests waiting (their sequences run from 0xF001 in this order), so the input's
// frames can answer them and announce the lengths of the messages that follow.
#include "boxlink/ControlChannel.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Messages.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

void nonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void drain(int fd) {
    char sink[65536];
    while (::recv(fd, sink, sizeof sink, 0) > 0) {
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    platform::SetTimeScale(100000.0); // the reply handler's pauses pass at once
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const HWND window =
        platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    // A full socket fails the channel's sends instead of blocking them.
    nonBlocking(pair[0]);
    nonBlocking(pair[1]);
    BoxLinkState link;
    link.mainWindow = window;
    {
        KQ_TCP_ControlChannel channel(link);
        channel.Adopt(pair[0]);
        const BYTE block[8] = {10, 1, 2, 3, 4, 5, 6, 7};
        FirmwareImage image;
        image.bytes.assign(1500, 0x42);
        channel.SendGetIrData(window);                          // 0xF001
        channel.SendGetFileList(window);                        // 0xF002
        channel.SendGetBoxInfo(window);                         // 0xF003
        channel.SendGetChannelTable(window);                    // 0xF004
        channel.SendStartScan(window, 0, 1, true, 0, 0);        // 0xF005
        channel.SendLogin(window, L"u", L"p", 'T', 0, 0, 0, 0); // 0xF006
        channel.SendPutIrData(sizeof block, block, window);     // 0xF007
        channel.SendFirmwareUpdate(window, image);              // 0xF008
        channel.SendSetSource(window, 'T');                     // 0xF009
        channel.SendSetVideoQuality(0, 0, window, 0, 1);        // 0xF00A
        drain(pair[1]);
        for (std::size_t at = 0; at < size;) {
            const DWORD n = static_cast<DWORD>(std::min<std::size_t>(size - at, 4096));
            if (!channel.ControlRing().Write(data + at, n))
                break;
            at += n;
            // Past the give-up count of an incomplete message.
            for (int look = 0; look < 64; ++look)
                if (channel.DispatchOnce() == KQ_TCP_ControlChannel::DispatchStep::Empty)
                    break;
            drain(pair[1]);
        }
    }
    ::close(pair[1]);
    platform::PumpPending(); // what was posted, and with it the payloads
    return 0;
}
