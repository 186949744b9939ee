#include "tests/support/recordsync/DemoRecording.h"

#include "boxlink/BoxClient.h"
#include "boxlink/StreamReceiver.h"
#include "media/Player.h"
#include "platform/gdi/WindowDc.h"
#include "platform/net/NetEnvironment.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Text.h"
#include "tests/support/testbox/StreamSide.h"

#include <cstdio>
#include <cstdlib>

namespace recordsync {

bool RecordFromDemoBox(const std::string& fixtureFolder, double seconds, double timeScale,
                       const std::string& path) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    platform::SetTimeScale(timeScale);
    testbox::StreamSide box;
    box.OnConnect([records = testbox::LiveRecords::Load(fixtureFolder)] {
        return testbox::StreamScript{.live = records};
    });
    platform::NetEnvironment environment = platform::LoopbackNetEnvironment();
    environment.lanStreamPort = box.Port();
    platform::ScopedNetEnvironment scoped(environment);

    HWND window = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    platform::gdi::SetWindowClientSize(window, 720, 576);
    bool recorded = false;
    {
        KQ_AV_Player player;
        player.SetMainWindow(window);
        player.SetVideoWindow(window);
        player.SetSizeClass(4);
        player.SetVideoStandard(0); // 720 x 576, as the box answers
        KQ_TCP_BoxClient client;
        client.SetPlayer(&player);
        client.SetMainWindow(window);
        KQ_TCP_StreamReceiver receiver{client};
        if (player.StartLive() == S_OK) {
            receiver.StartLan("127.0.0.1");
            // A second of live view before the record button.
            if (box.WaitConnected(20000) && platform::PumpFor(1000) &&
                player.SetRecord(1, platform::FromUtf8(path)) == S_OK) {
                std::printf("record-sync: recording %.0f s of the stream into %s\n", seconds, path.c_str());
                platform::PumpFor(static_cast<DWORD>(seconds * 1000));
                recorded = player.SetRecord(0, L"") == S_OK;
            }
        }
        receiver.Stop();
        client.SetPlayer(nullptr);
    }
    DestroyWindow(window);
    return recorded;
}

} // namespace recordsync
