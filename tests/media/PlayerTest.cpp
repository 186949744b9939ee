// The player facade over the real live graph (SDL's dummy audio, headless video): modes and states of live
// view, failed starts, volume mapping, the record switch, both kinds of restart, a restart from the
// control dispatcher meeting the user interface's starts and stops while units are pushed, and the screen
// saver held off while a picture plays.
#include "media/Player.h"
#include "media/AvGraph.h"
#include "media/FileGraph.h"
#include "media/GraphHelpers.h"
#include "media/LiveContext.h"
#include "media/PlayerMessages.h"
#include "platform/com/Com.h"
#include "platform/dshow/AudioRenderer.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/VideoRendererHooks.h"
#include "platform/gdi/WindowDc.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"

#include "tests/media/GraphFixtures.h"
#include "tests/media/RecordStream.h"
#include "tests/media/RecorderTestSupport.h"
#include "tests/support/fakes/FakeScreenSaver.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <thread>

namespace {

// Pushes the recorder fixture, looped, into whatever live view the player has, as the parser thread does,
// so that a recording finds its first units; paced, it waits 1 ms after each unit, else it pushes flat out.
class StreamFeeder {
public:
    explicit StreamFeeder(KQ_AV_Player& player, bool paced = true)
        : paced_(paced), thread_([this, &player] { run(player); }) {}
    ~StreamFeeder() {
        stop_ = true;
        thread_.join();
    }

private:
    void run(KQ_AV_Player& player) {
        static const recordstream::Stream stream = recordstream::makeStream(2000, 2500);
        const auto push = [&](const recordstream::Bytes& unit, bool video) {
            if (stop_)
                return;
            if (const auto sink = player.LiveSink()) {
                const DWORD length = static_cast<DWORD>(unit.size());
                video ? sink->PushVideo(unit.data(), length, stop_)
                      : sink->PushAudio(unit.data(), length, stop_);
                sink->GetVideoFill();
            }
            if (paced_)
                Sleep(1);
        };
        while (!stop_)
            recordstream::pushInOrder(
                stream, [&](const recordstream::Bytes& u) { push(u, true); },
                [&](const recordstream::Bytes& u) { push(u, false); });
    }

    const bool paced_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto counting = [](std::map<UINT, int>& counts) {
            return platform::CreateMessageWindow([&counts](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
                ++counts[message];
                return 0;
            });
        };
        main_ = counting(mainMessages_);
        owner_ = counting(ownerMessages_);
        video_ = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        platform::gdi::SetWindowClientSize(video_, 720, 576);
        player_ = std::make_unique<KQ_AV_Player>();
        player_->SetMainWindow(main_);
        player_->SetOwnerWindow(owner_);
        player_->SetVideoWindow(video_);
        player_->SetSizeClass(3);
        player_->SetVideoStandard(0);
    }
    void TearDown() override {
        player_.reset();
        platform::PumpPending();
        for (HWND window : {main_, owner_, video_})
            DestroyWindow(window);
    }

    LONG graphVolume() {
        LONG volume = 1;
        platform::Query<IBasicAudio>(player_->Graph()->GetGraph(), IID_IBasicAudio)->get_Volume(&volume);
        return volume;
    }
    std::wstring osdText(int position) {
        if (!player_->Osd())
            return L"(none)";
        for (const osd_struct& item : player_->Osd()->Items())
            if (item.position == position)
                return item.text;
        return L"(none)";
    }

    std::wstring recordPath() const { return folder_.wfile("rec.mp4"); }

    ScratchFolder folder_;
    HWND main_ = nullptr, owner_ = nullptr, video_ = nullptr;
    std::map<UINT, int> mainMessages_, ownerMessages_;
    std::unique_ptr<KQ_AV_Player> player_;
};

TEST_F(PlayerTest, LiveStartAndStop) {
    EXPECT_EQ(player_->Mode(), PLAYER_MODE_NONE);
    EXPECT_EQ(player_->LiveSink(), nullptr);
    player_->SetConfiguredVolume(700);
    ASSERT_EQ(player_->StartLive(), S_OK);
    EXPECT_EQ(player_->Mode(), PLAYER_MODE_LIVE);
    EXPECT_EQ(player_->State(), PLAYER_STATE_PLAYING);
    EXPECT_NE(player_->LiveSink(), nullptr);
    EXPECT_EQ(player_->Volume(), 700);
    EXPECT_EQ(graphVolume(), -900);
    EXPECT_TRUE(platform::PumpUntil([&] { return mainMessages_[WM_AV_GRAPH_EVENT] > 0; }));
    EXPECT_TRUE(ownerMessages_.empty()) << "the login pane's window gets none of the player's messages";

    ASSERT_EQ(player_->Stop(0), S_OK);
    EXPECT_EQ(player_->Mode(), PLAYER_MODE_STOPPED);
    EXPECT_EQ(player_->State(), PLAYER_STATE_NONE);
    EXPECT_NE(player_->Graph(), nullptr) << "kept for the next start";
    EXPECT_EQ(player_->LiveSink(), nullptr);
    ASSERT_EQ(player_->StartLive(), S_OK) << "on the kept graph";
    ASSERT_EQ(player_->Stop(1), S_OK);
    EXPECT_EQ(player_->Mode(), PLAYER_MODE_NONE);
    EXPECT_EQ(player_->Graph(), nullptr);
}

// The main window's WM_AV_GRAPH_EVENT: drained only with a mode and a graph; live view runs on (the holder
// does not run the live graph, so it reports stopped, which the window's end handler ignores in live states).
TEST_F(PlayerTest, GraphEventsAreHandledOnlyWithAModeAndAGraph) {
    bool stopped = true;
    EXPECT_EQ(player_->HandleGraphEvents(stopped), E_FAIL);
    EXPECT_FALSE(stopped);
    ASSERT_EQ(player_->StartLive(), S_OK);
    EXPECT_EQ(player_->HandleGraphEvents(stopped), S_OK);
    EXPECT_EQ(player_->Mode(), PLAYER_MODE_LIVE);
    EXPECT_NE(player_->LiveSink(), nullptr);
    ASSERT_EQ(player_->Stop(1), S_OK);
    EXPECT_EQ(player_->HandleGraphEvents(stopped), E_FAIL);
}

HRESULT failingCreator(IUnknown*, REFIID, void** out) {
    *out = nullptr;
    return E_FAIL;
}

// A start that fails leaves no mode and nothing behind; a file whose graph cannot be built neither.
TEST_F(PlayerTest, FailedStartsLeaveNothing) {
    platform::RegisterBuiltinClass(CLSID_DSoundRender, &failingCreator);
    EXPECT_EQ(player_->StartLive(), E_FAIL);
    platform::RegisterBuiltinClass(CLSID_DSoundRender,
                                   &platform::CreateCUnknown<platform::dshow::AudioRenderer>);
    EXPECT_EQ(player_->Mode(), PLAYER_MODE_NONE);
    EXPECT_EQ(player_->Graph(), nullptr);
    EXPECT_EQ(player_->LiveSink(), nullptr);
    EXPECT_EQ(player_->SetRecord(1, L"C:\\rec.mp4"), E_FAIL) << "no live view";
    EXPECT_EQ(player_->Snapshot(L"C:\\snap.jpg"), KQ_AV_E_NO_GRAPH);

    EXPECT_EQ(player_->PlayFile(L"C:\\missing.mp4"), KQ_AV_E_FILE_GRAPH);
    EXPECT_EQ(player_->Mode(), PLAYER_MODE_NONE);
    EXPECT_EQ(player_->Graph(), nullptr);
    EXPECT_EQ(player_->StartLive(), S_OK);
}

// The file position in thousandths of the duration when the file has no length, or none can be read:
// no division by zero, an answer in 0..1000, and the failure of the duration query passed on.
TEST_F(PlayerTest, PositionOfAFileWithoutADuration) {
    struct Row {
        const char* name;
        LONGLONG duration;
        bool durationFails;
        HRESULT result;
    };
    const Row rows[] = {
        {"an empty file", 0, false, S_OK},
        {"a duration below zero", -400000, false, S_OK},
        {"an unreadable duration", 0, true, E_FAIL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        player_->SetFileGraphBuilder([&row](FileGraphRecord* record, const std::wstring&, HWND, HWND) {
            mediatest::SeekRecorder* seeker = mediatest::SeekRecorder::make();
            seeker->duration = row.duration;
            seeker->failDuration = row.durationFails;
            const HRESULT hr = record->graph->AddFilter(seeker, L"seeker");
            seeker->Release(); // the graph holds it
            return hr;
        });
        ASSERT_EQ(player_->PlayFile(L"C:\\clip.mp4"), S_OK);
        ASSERT_EQ(player_->Mode(), PLAYER_MODE_FILE);
        int position = -1;
        EXPECT_EQ(player_->GetPosition(&position), row.result);
        EXPECT_GE(position, 0);
        EXPECT_LE(position, 1000);
        if (row.result == S_OK) {
            EXPECT_EQ(position, 0);
        }
        ASSERT_EQ(player_->Stop(1), S_OK);
    }
}

// The screen saver and the display's power saving stay off while live view or a file plays (recording,
// fast forward and rewind included) and come back when it is paused, stopped or gone.
TEST_F(PlayerTest, TheScreenSaverIsHeldOffWhileThePicturePlays) {
    ScopedFakeScreenSaver screenSaver;
    auto player = std::make_unique<KQ_AV_Player>();
    EXPECT_EQ(screenSaver.program, "Veloq");
    player->SetMainWindow(main_);
    player->SetVideoWindow(video_);
    player->SetSizeClass(3);
    player->SetVideoStandard(0);
    player->SetFileGraphBuilder([](FileGraphRecord* record, const std::wstring&, HWND, HWND) {
        mediatest::SeekRecorder* seeker = mediatest::SeekRecorder::make();
        const HRESULT hr = record->graph->AddFilter(seeker, L"seeker");
        seeker->Release(); // the graph holds it
        return hr;
    });
    const auto held = [&] { return screenSaver.holding.load() == 1; };
    EXPECT_FALSE(held()) << "nothing plays yet";

    const struct {
        const char* step;
        std::function<HRESULT()> call;
        bool held;
    } steps[] = {
        {"live view", [&] { return player->StartLive(); }, true},
        {"live view stopped", [&] { return player->Stop(0); }, false},
        {"live view again", [&] { return player->StartLive(); }, true},
        {"a file instead", [&] { return player->PlayFile(L"C:\\clip.mp4"); }, true},
        {"paused", [&] { return player->Pause(); }, false},
        {"playing", [&] { return player->Play(); }, true},
        {"fast forward", [&] { return player->FastForward(); }, true},
        {"stopped at the start", [&] { return player->StopPlayback(); }, false},
        {"playing again", [&] { return player->Play(); }, true},
        {"stopped for good", [&] { return player->Stop(1); }, false},
        {"live view last", [&] { return player->StartLive(); }, true},
    };
    for (const auto& s : steps) {
        ASSERT_EQ(s.call(), S_OK) << s.step;
        EXPECT_EQ(held(), s.held) << s.step;
        EXPECT_GE(screenSaver.holding.load(), 0) << s.step;
    }
    player.reset();
    EXPECT_EQ(screenSaver.holding.load(), 0) << "released when the player goes";
    EXPECT_EQ(screenSaver.taken.load(), 6);
    EXPECT_EQ(screenSaver.released.load(), 6); // the live views' stops, the file's pause and stops, the end
}

// Without the VMR-9 the live graph takes the VMR-7, through whose interfaces the display draws too.
TEST_F(PlayerTest, LiveViewFallsBackToTheVmr7) {
    platform::dshow::SetVmr9CreationFails(true);
    const HRESULT started = player_->StartLive();
    platform::dshow::SetVmr9CreationFails(false);
    ASSERT_EQ(started, S_OK);
    IGraphBuilder* graph = player_->Graph()->GetGraph();
    IBaseFilter* renderer = nullptr;
    EXPECT_EQ(FindFilterByName(graph, L"Video Mixing Renderer 9", &renderer), E_FAIL);
    ASSERT_EQ(FindFilterByName(graph, L"Video Mixing Renderer 7", &renderer), S_OK);
    IPin* in = nullptr;
    EXPECT_EQ(FindPin(renderer, 1, nullptr, &in), S_OK);
    IPin* connected = nullptr;
    ASSERT_EQ(in->ConnectedTo(&connected), S_OK);
    connected->Release();
    EXPECT_EQ(player_->Osd()->DrawVmr(video_), S_OK) << "the volume bar as the VMR-7's mixer bitmap";
}

TEST_F(PlayerTest, VolumeMapping) {
    EXPECT_EQ(player_->SetVolume(0, 500), E_FAIL) << "no mode";
    ASSERT_EQ(player_->StartLive(), S_OK);
    struct Row {
        int mute, volume;
        HRESULT result;
        int stored;
        LONG level;
        std::wstring lowerLeft;
    };
    const Row rows[] = {
        {0, 500, S_OK, 500, -1500, VolumeBarText(10)},
        {0, -1, E_FAIL, 500, -1500, VolumeBarText(10)},
        {0, 1001, E_FAIL, 500, -1500, VolumeBarText(10)},
        {0, 1, S_OK, 1, -10000, VolumeBarText(0)},
        {0, 2, S_OK, 2, -2994, VolumeBarText(0)},
        {0, 1000, S_OK, 1000, 0, VolumeBarText(20)},
        {1, 800, S_OK, 800, -10000, L"Mute"},
        {0, 0, S_OK, 0, -10000, VolumeBarText(0)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.mute << "/" << row.volume);
        EXPECT_EQ(player_->SetVolume(row.mute, row.volume), row.result);
        EXPECT_EQ(player_->Volume(), row.stored);
        EXPECT_EQ(graphVolume(), row.level);
        EXPECT_EQ(osdText(OSD_LOWER_LEFT), row.lowerLeft);
    }
    player_->SetVolume(0, 600);
    player_->Graph()->Run();
    ASSERT_EQ(player_->Pause(), S_OK);
    EXPECT_EQ(player_->SetVolume(0, 300), S_OK);
    EXPECT_EQ(player_->Volume(), 300);
    EXPECT_EQ(graphVolume(), -1200) << "while paused only the bar changes";
    EXPECT_EQ(osdText(OSD_LOWER_LEFT), VolumeBarText(6));
}

TEST_F(PlayerTest, RecordSwitch) {
    ASSERT_EQ(player_->StartLive(), S_OK);
    StreamFeeder feeder(*player_);
    EXPECT_EQ(player_->SetRecord(0, L""), E_FAIL) << "not recording";
    ASSERT_EQ(player_->SetRecord(1, recordPath()), S_OK);
    EXPECT_EQ(player_->State(), PLAYER_STATE_RECORDING);
    EXPECT_EQ(osdText(OSD_TOP_LEFT), L"Record");
    EXPECT_EQ(player_->SetRecord(1, recordPath()), E_FAIL) << "already recording";
    ASSERT_EQ(player_->SetRecord(0, L""), S_OK);
    EXPECT_EQ(player_->State(), PLAYER_STATE_PLAYING);

    // A recording can be stopped while the picture is paused, which stays paused.
    ASSERT_EQ(player_->SetRecord(1, recordPath()), S_OK);
    player_->Graph()->Run();
    ASSERT_EQ(player_->Pause(), S_OK);
    ASSERT_EQ(player_->SetRecord(0, L""), S_OK);
    EXPECT_EQ(player_->State(), PLAYER_STATE_PAUSED);
    EXPECT_EQ(player_->SetRecord(0, L""), E_FAIL);
}

TEST_F(PlayerTest, RestartLiveAnew_OrInPlaceWhileRecording) {
    EXPECT_EQ(player_->RestartLive(), E_FAIL) << "no live view";
    ASSERT_EQ(player_->StartLive(), S_OK);
    const std::shared_ptr<LiveUnitSink> first = player_->LiveSink();
    ASSERT_EQ(player_->RestartLive(), S_OK);
    EXPECT_EQ(player_->State(), PLAYER_STATE_PLAYING);
    const std::shared_ptr<LiveUnitSink> second = player_->LiveSink();
    EXPECT_NE(second, first) << "stopped and started anew";

    StreamFeeder feeder(*player_);
    ASSERT_EQ(player_->SetRecord(1, recordPath()), S_OK);
    player_->SetSizeClass(1);
    ASSERT_EQ(player_->RestartLive(), S_OK);
    EXPECT_EQ(player_->LiveSink(), second) << "restarted in place";
    const auto* live = static_cast<KQ_AV_LiveContext*>(second.get());
    EXPECT_TRUE(live->Recording()) << "the recording goes on";
    EXPECT_EQ(live->Width(), 352u);
    EXPECT_EQ(player_->State(), PLAYER_STATE_RECORDING);
    EXPECT_EQ(player_->Graph()->GetState(), KQ_AV_Graph::kRunning);
    EXPECT_EQ(osdText(OSD_TOP_LEFT), L"Record");
}

// The control dispatcher restarts and flushes while the user interface starts and stops live view and the
// parser pushes units: nothing may touch a freed context, and nothing may wait for ever.
TEST_F(PlayerTest, DispatcherCallsMeetStartsAndStops) {
    std::atomic<bool> done{false};
    std::thread dispatcher([&] {
        while (!done) {
            player_->RestartLive();
            player_->FlushVideo();
            player_->FlushAudio();
            Sleep(1);
        }
    });
    std::optional<StreamFeeder> parser(std::in_place, *player_, false);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(player_->StartLive(), S_OK);
        Sleep(20);
        player_->SetRecord(1, recordPath());
        Sleep(20);
        EXPECT_EQ(player_->Stop(i % 2), S_OK);
    }
    done = true;
    dispatcher.join();
    parser.reset();
    EXPECT_NE(player_->Mode(), PLAYER_MODE_LIVE);
}

} // namespace
