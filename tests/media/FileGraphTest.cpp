// Playing a recording through the real file graph: a recording our recorder makes of the stream fixture,
// the real system filters and libTessane.so registered in a temporary COM registry.
// - the graph holds the six filters of the file graph, connected through "KQ Video Decode" and
//   "KQ Audio Decode"; the end of the file reaches the notify window as 0x822 and leaves the graph stopped
//   at its start;
// - the pictures the renderer shows equal ffmpeg's decode of the file, its field pairs joined by our
//   deinterlacer and converted to RGB by the tests' model (the last one never comes out), and the PCM SDL
//   plays equals FAAD2's decode of the file's frames;
// - without the VMR-9 the VMR-7 stands in and the file plays; a seek to the middle goes on from the key
//   frame before it;
// - each missing piece fails its step, leaves an empty graph and makes the player report its file-graph
//   failure.
#include "AacReference.h"
#include "FileRecording.h"
#include "PlaybackCapture.h"

#include "media/AvGraph.h"
#include "media/FileGraph.h"
#include "media/GraphHelpers.h"
#include "media/Player.h"
#include "media/PlayerMessages.h"
#include "platform/com/Com.h"
#include "platform/com/Registry.h"
#include "platform/dshow/AacDecoder.h"
#include "platform/dshow/Mp4Demux.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/VideoRenderer.h"
#include "platform/dshow/VideoRendererHooks.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/WindowDc.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Text.h"
#include "tests/support/FilterGraphSetup.h"
#include "tests/support/PictureReference.h"
#include "tests/support/RgbModel.h"
#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using filerecording::kFieldHeight;
using filerecording::kFrameHeight;
using filerecording::kWidth;

constexpr DWORD kWait = 30000; // generous: each wait ends as soon as what it waits for has happened
const CLSID kVideoDecode = platform::MakeGuid("7CD26C67-3858-46B4-9A46-2426537AB81B");

std::vector<std::wstring> filterNames(IGraphBuilder* graph) {
    std::vector<std::wstring> names;
    platform::ComPtr<IEnumFilters> filters;
    graph->EnumFilters(filters.ReleaseAndGetAddressOf());
    for (IBaseFilter* filter = nullptr; filters->Next(1, &filter, nullptr) == S_OK; filter->Release()) {
        FILTER_INFO info{};
        filter->QueryFilterInfo(&info);
        if (info.pGraph)
            info.pGraph->Release();
        names.emplace_back(info.achName);
    }
    return names;
}

// The name of the filter whose input the pin is connected to.
std::wstring downstreamOf(IPin* pin) {
    platform::ComPtr<IPin> peer;
    if (!pin || FAILED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())))
        return L"(none)";
    PIN_INFO info{};
    peer->QueryPinInfo(&info);
    FILTER_INFO filter{};
    info.pFilter->QueryFilterInfo(&filter);
    info.pFilter->Release();
    if (filter.pGraph)
        filter.pGraph->Release();
    return filter.achName;
}

using capture::Frame;

// Frames presented twice in a row (a repaint) are one picture.
std::vector<Frame> distinct(const std::vector<Frame>& frames) {
    std::vector<Frame> out;
    for (const Frame& f : frames)
        if (out.empty() || out.back() != f)
            out.push_back(f);
    return out;
}

// The reference frame closest to a picture (mean difference of the green of every 16th pixel).
size_t closest(const Frame& frame, const std::vector<Frame>& references) {
    const auto green = [](std::uint32_t pixel) { return static_cast<int>((pixel >> 8) & 0xFF); };
    size_t best = 0;
    long long bestDistance = -1;
    for (size_t r = 0; r < references.size(); ++r) {
        long long distance = 0;
        for (size_t i = 0; i < frame.size() && i < references[r].size(); i += 16)
            distance += std::abs(green(frame[i]) - green(references[r][i]));
        if (bestDistance < 0 || distance < bestDistance)
            bestDistance = distance, best = r;
    }
    return best;
}

class FileGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        recording_ = new std::wstring((*folder_ / "rec.mp4").wstring());
        longRecording_ = new std::wstring((*folder_ / "long.mp4").wstring());
        made_ = filerecording::makeRecording(*recording_) && filerecording::makeRecording(*longRecording_, 3);
    }
    static void TearDownTestSuite() {
        delete recording_;
        delete longRecording_;
        delete folder_;
    }

    void SetUp() override {
        ASSERT_TRUE(made_) << "the recording could not be made";
        if (!picref::run("ffmpeg -version >/dev/null 2>&1"))
            GTEST_SKIP() << "ffmpeg is not installed";
        setenv("VELOQ_COM_REGISTRY", (*folder_ / "classes.ini").c_str(), 1);
        ASSERT_EQ(
            std::system((std::string(VELOQ_TOOLS_DIR) + "/regsvr -s '" + TESSANE_LIBRARY + "'").c_str()), 0);
        main_ = platform::CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            ++messages_[message];
            if (message != WM_AV_GRAPH_EVENT)
                return 0;
            // As the main window does: the events drained, then whether the graph stands stopped.
            bool stopped = false;
            if (player_)
                stopped = SUCCEEDED(player_->HandleGraphEvents(stopped)) && stopped;
            else if (holder_.GetGraph())
                stopped = SUCCEEDED(holder_.HandleEvents()) && holder_.GetState() == KQ_AV_Graph::kStopped;
            ends_ += stopped ? 1 : 0;
            return 0;
        });
        video_ = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        platform::gdi::SetWindowClientSize(video_, kWidth, kFrameHeight);
        platform::dshow::RegisterVideoSurface(video_, &surface_);
        ASSERT_EQ(holder_.CreateGraph(), S_OK);
    }
    void TearDown() override {
        player_.reset();
        holder_.Stop();
        holder_.ReleaseGraph();
        platform::PumpPending();
        platform::dshow::UnregisterVideoSurface(video_);
        for (HWND window : {main_, video_})
            if (window)
                DestroyWindow(window);
        platform::dshow::SetVmr9CreationFails(false);
        unsetenv("VELOQ_COM_REGISTRY");
    }

    IGraphBuilder* graph() const { return holder_.GetGraph(); }
    // The file graph in the holder's graph, running.
    HRESULT play() {
        FileGraphRecord record{holder_.GetGraph()};
        const HRESULT hr = BuildFileGraph(&record, *recording_, video_, main_);
        return FAILED(hr) ? hr : holder_.Run();
    }
    bool playToTheEnd() {
        return platform::PumpUntil([&] { return ends_ > 0; }, kWait);
    }
    KQ_AV_Player& player() {
        if (!player_) {
            player_ = std::make_unique<KQ_AV_Player>();
            player_->SetMainWindow(main_);
            player_->SetNotifyWindow(main_);
            player_->SetVideoWindow(video_);
        }
        return *player_;
    }

    // What the renderer must show of the recording: its field pairs, but for the last field (a picture
    // comes out one input later, and no input follows the last).
    static std::vector<Frame> expectedFrames() {
        std::vector<Bytes> fields = picref::ffmpegPictures(
            platform::ToUtf8(*recording_), (*folder_ / "reference.yuv").string(), kWidth, kFieldHeight);
        if (!fields.empty())
            fields.pop_back();
        std::vector<Frame> frames;
        for (const Bytes& frame : picref::joinFieldPairs(fields, kWidth, kFieldHeight))
            frames.push_back(rgbmodel::fromPlanar(frame, kWidth, kFrameHeight));
        return frames;
    }

    static TempFolder* folder_;
    static std::wstring* recording_;
    static std::wstring* longRecording_; // 4.8 s
    static bool made_;
    HWND main_ = nullptr, video_ = nullptr;
    std::map<UINT, int> messages_;
    int ends_ = 0;
    capture::RecordingSurface surface_;
    KQ_AV_Graph holder_;
    std::unique_ptr<KQ_AV_Player> player_; // for the player's own answers
};

TempFolder* FileGraphTest::folder_;
std::wstring* FileGraphTest::recording_;
std::wstring* FileGraphTest::longRecording_;
bool FileGraphTest::made_;

TEST_F(FileGraphTest, ARecordingPlaysToItsEndWithItsPicturesAndSound) {
    // SDL's audio is not yet open in this process: its disk driver keeps the sound it plays.
    const std::string pcmFile = (*folder_ / "played.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", pcmFile.c_str(), 1);

    ASSERT_EQ(play(), S_OK);
    EXPECT_EQ(
        filterNames(graph()),
        (std::vector<std::wstring>{L"KQ MP4 DeMux", L"Video Mixing Renderer 9", L"Default DirectSound Device",
                                   L"File Source Filter", L"KQ Video Decode", L"KQ Audio Decode"}));
    IPin* pin = nullptr;
    ASSERT_EQ(FindFilterPin(graph(), L"KQ MP4 DeMux", L"Video 1", 0, &pin), S_OK);
    EXPECT_EQ(downstreamOf(pin), L"KQ Video Decode");
    ASSERT_EQ(FindFilterPin(graph(), L"KQ Video Decode", nullptr, 0, &pin), S_OK);
    EXPECT_EQ(downstreamOf(pin), L"Video Mixing Renderer 9");
    ASSERT_EQ(FindFilterPin(graph(), L"KQ MP4 DeMux", L"Audio 2", 0, &pin), S_OK);
    EXPECT_EQ(downstreamOf(pin), L"KQ Audio Decode");
    ASSERT_EQ(FindFilterPin(graph(), L"KQ Audio Decode", nullptr, 0, &pin), S_OK);
    EXPECT_EQ(downstreamOf(pin), L"Default DirectSound Device");

    ASSERT_TRUE(playToTheEnd());
    EXPECT_GE(messages_[WM_AV_GRAPH_EVENT], 1);
    EXPECT_EQ(holder_.GetState(), KQ_AV_Graph::kStopped);
    double position = -1;
    EXPECT_EQ(holder_.GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 0.0) << "stopped at the start";

    const std::vector<Frame> expected = expectedFrames();
    ASSERT_EQ(expected.size(), 39u);
    const std::vector<Frame> shown = distinct(surface_.frames());
    ASSERT_EQ(shown.size(), expected.size());
    for (size_t i = 0; i < shown.size(); ++i)
        ASSERT_TRUE(shown[i] == expected[i]) << "picture " << i << " differs";

    holder_.ReleaseGraph(); // the graph goes; SDL has been given all it plays
    Bytes pcm;
    for (const Bytes& samples : aacref::decode(filerecording::recordedAudio()))
        pcm.insert(pcm.end(), samples.begin(), samples.end());
    const Bytes played = picref::readFile(pcmFile);
    const capture::Match match = capture::findSamples(played, pcm);
    ASSERT_NE(match.begin, std::string::npos) << "the sound was not played";
    EXPECT_EQ(match.agreeing, pcm.size()) << "of " << pcm.size() << " bytes";
}

// Without the VMR-9 the default video renderer stands in as "Video Mixing Renderer 7", set up through the
// VMR-7 interfaces with four mixer streams, and the file plays.
TEST_F(FileGraphTest, WithoutTheVmr9TheVmr7StandsIn) {
    platform::dshow::SetVmr9CreationFails(true);
    ASSERT_EQ(play(), S_OK);
    IBaseFilter* renderer = nullptr;
    EXPECT_EQ(FindFilterByName(graph(), L"Video Mixing Renderer 9", &renderer), E_FAIL);
    ASSERT_EQ(FindFilterByName(graph(), L"Video Mixing Renderer 7", &renderer), S_OK);
    CLSID clsid{};
    renderer->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_VideoRendererDefault);
    const auto config = platform::Query<IVMRFilterConfig>(renderer, IID_IVMRFilterConfig);
    ASSERT_TRUE(config);
    DWORD streams = 0;
    EXPECT_EQ(config->GetNumberOfStreams(&streams), S_OK);
    EXPECT_EQ(streams, 4u);
    IPin* pin = nullptr;
    ASSERT_EQ(FindFilterPin(graph(), L"KQ Video Decode", nullptr, 0, &pin), S_OK);
    EXPECT_EQ(downstreamOf(pin), L"Video Mixing Renderer 7");
    ASSERT_TRUE(playToTheEnd());
    EXPECT_TRUE(distinct(surface_.frames()) == expectedFrames());
}

// A seek to the middle (0.8 s) goes on from the key frame at or before it: the pair of fields 32 and 33.
TEST_F(FileGraphTest, ASeekToTheMiddleGoesOnFromTheKeyFrameBeforeIt) {
    const std::vector<Frame> expected = expectedFrames();
    ASSERT_EQ(play(), S_OK);
    ASSERT_TRUE(platform::PumpUntil([&] { return surface_.count() >= 3; }, kWait));
    double duration = 0;
    ASSERT_EQ(holder_.GetDuration(&duration), S_OK);
    ASSERT_EQ(holder_.SetPosition(duration / 2), S_OK);
    const size_t before = surface_.count();
    ASSERT_TRUE(playToTheEnd());
    const std::vector<Frame> frames = surface_.frames();
    std::vector<size_t> after;
    for (size_t i = before; i < frames.size(); ++i)
        if (after.empty() || frames[i] != frames[i - 1])
            after.push_back(closest(frames[i], expected));
    ASSERT_FALSE(after.empty());
    // The picture the decoder still held when the seek came may show first.
    if (after.front() < 16)
        after.erase(after.begin());
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), 16u);
    for (size_t i = 1; i < after.size(); ++i)
        EXPECT_EQ(after[i], after[0] + i);
}

// The player's file operations on the real graph: pause holds the picture and the position, play goes on,
// a seek goes to its thousandth, fast forward past the end and rewind past the start tell the end, a stop
// goes back to the start, and the end of the file stops the graph at its start.
TEST_F(FileGraphTest, ThePlayerPausesSeeksStepsAndStopsAFile) {
    KQ_AV_Player& p = player();
    const auto position = [&] {
        int thousandths = -1;
        EXPECT_EQ(p.GetPosition(&thousandths), S_OK);
        return thousandths;
    };
    const auto framesGoOn = [&] {
        const size_t from = surface_.count();
        return platform::PumpUntil([&] { return surface_.count() >= from + 3; }, kWait);
    };
    ASSERT_EQ(p.PlayFile(*longRecording_), S_OK);
    EXPECT_EQ(p.Mode(), PLAYER_MODE_FILE);
    EXPECT_EQ(p.State(), PLAYER_STATE_PLAYING);
    ASSERT_TRUE(platform::PumpUntil([&] { return messages_[WM_AV_PLAYBACK_STARTED] == 1; }, kWait));
    ASSERT_TRUE(framesGoOn());

    ASSERT_EQ(p.Pause(), S_OK);
    EXPECT_EQ(p.State(), PLAYER_STATE_PAUSED);
    const int paused = position();
    const size_t shown = surface_.count();
    platform::PumpFor(400);
    // The display may show the paused picture again (with the volume bar gone), never another picture.
    const std::vector<Frame> frames = surface_.frames();
    const auto upperRows = [](const Frame& f) { return Frame(f.begin(), f.begin() + 400 * kWidth); };
    for (size_t i = shown; i < frames.size(); ++i)
        EXPECT_TRUE(upperRows(frames[i]) == upperRows(frames[shown - 1])) << "a new picture while paused";
    EXPECT_EQ(position(), paused);
    ASSERT_EQ(p.Play(), S_OK);
    EXPECT_EQ(p.State(), PLAYER_STATE_PLAYING);
    ASSERT_TRUE(framesGoOn());

    ASSERT_EQ(p.Seek(500), S_OK);
    EXPECT_NEAR(position(), 500, 60);
    ASSERT_TRUE(framesGoOn());

    ASSERT_EQ(p.FastForward(), S_OK);
    EXPECT_EQ(p.State(), PLAYER_STATE_FAST_FORWARD);
    ASSERT_EQ(p.Seek(position()), S_OK); // the window's position timer: 4 s on, past the end
    EXPECT_TRUE(platform::PumpUntil([&] { return messages_[WM_AV_PLAYBACK_END] == 1; }, kWait));
    ASSERT_EQ(p.Play(), S_OK);
    ASSERT_EQ(p.Seek(200), S_OK);
    ASSERT_EQ(p.Rewind(), S_OK);
    EXPECT_EQ(p.State(), PLAYER_STATE_REWIND);
    ASSERT_EQ(p.Seek(position()), S_OK); // 4 s back, before the start
    EXPECT_TRUE(platform::PumpUntil([&] { return messages_[WM_AV_PLAYBACK_END] == 2; }, kWait));

    ASSERT_EQ(p.StopPlayback(), S_OK);
    EXPECT_EQ(p.State(), PLAYER_STATE_STOPPED);
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(p.StopPlayback(), E_FAIL) << "already stopped";
    ASSERT_EQ(p.Play(), S_OK);
    ASSERT_TRUE(framesGoOn());
    ASSERT_EQ(p.Seek(900), S_OK);
    ASSERT_TRUE(playToTheEnd());
    EXPECT_EQ(p.Graph()->GetState(), KQ_AV_Graph::kStopped);
    EXPECT_EQ(position(), 0) << "the end stands at the start";
    EXPECT_EQ(p.Mode(), PLAYER_MODE_FILE);
}

HRESULT failingCreator(IUnknown*, REFIID, void** out) {
    *out = nullptr;
    return E_FAIL;
}

// Each missing piece fails the build at its step, leaves the graph empty, and the player reports its
// file-graph failure with no mode and no graph left.
TEST_F(FileGraphTest, EachMissingPieceFailsItsStep) {
    const std::string mp4 = platform::ToUtf8(*recording_);
    const std::wstring noAudio = (*folder_ / "video-only.mp4").wstring();
    const std::wstring noVideo = (*folder_ / "audio-only.mp4").wstring();
    ASSERT_TRUE(
        picref::run("ffmpeg -v error -y -i '" + mp4 + "' -an -c copy '" + platform::ToUtf8(noAudio) + "'"));
    ASSERT_TRUE(
        picref::run("ffmpeg -v error -y -i '" + mp4 + "' -vn -c copy '" + platform::ToUtf8(noVideo) + "'"));
    const std::string registry = (*folder_ / "classes.ini").string();
    const std::string empty = (*folder_ / "empty.ini").string();
    const std::string broken = (*folder_ / "broken.ini").string();
    setenv("VELOQ_COM_REGISTRY", broken.c_str(), 1);
    platform::com::WriteClassValue(kVideoDecode, L"InprocServer32", L"/nonexistent/libTessane.so");

    struct Row {
        const char* name;
        std::function<void()> breakIt;
        std::function<void()> mendIt;
        std::wstring path;
    };
    const auto registryFile = [](const std::string& file) {
        return [file] { setenv("VELOQ_COM_REGISTRY", file.c_str(), 1); };
    };
    const auto noClass = [](REFCLSID clsid) {
        return [&clsid] { platform::RegisterBuiltinClass(clsid, nullptr); };
    };
    const Row rows[] = {
        {"the demultiplexer not registered", noClass(CLSID_KqMp4Demux),
         [] {
             platform::RegisterBuiltinClass(CLSID_KqMp4Demux,
                                            &platform::CreateCUnknown<platform::dshow::Mp4Demux>);
         },
         *recording_},
        {"neither video renderer creatable",
         [] {
             platform::dshow::SetVmr9CreationFails(true);
             platform::RegisterBuiltinClass(CLSID_VideoRendererDefault, &failingCreator);
         },
         [] {
             platform::dshow::SetVmr9CreationFails(false);
             platform::RegisterBuiltinClass(
                 CLSID_VideoRendererDefault,
                 &platform::CreateWith<&platform::dshow::VideoRenderer::CreateDefault>);
         },
         *recording_},
        {"\"KQ Video Decode\" not registered", registryFile(empty), registryFile(registry), *recording_},
        {"\"KQ Video Decode\" not creatable", registryFile(broken), registryFile(registry), *recording_},
        {"the audio decoder missing", noClass(CLSID_KqAudioDecode),
         [] {
             platform::RegisterBuiltinClass(CLSID_KqAudioDecode,
                                            &platform::CreateCUnknown<platform::dshow::AacDecoder>);
         },
         *recording_},
        {"a missing file", [] {}, [] {}, (*folder_ / "absent.mp4").wstring()},
        {"a file without audio", [] {}, [] {}, noAudio},
        {"a file without video", [] {}, [] {}, noVideo},
    };
    setenv("VELOQ_COM_REGISTRY", registry.c_str(), 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.breakIt();
        const platform::ComPtr<IGraphBuilder> graph = MakeFilterGraph();
        ASSERT_TRUE(graph);
        FileGraphRecord record{graph.Get()};
        EXPECT_EQ(BuildFileGraph(&record, row.path, video_, main_), E_FAIL);
        EXPECT_TRUE(filterNames(graph.Get()).empty());
        EXPECT_EQ(player().PlayFile(row.path), KQ_AV_E_FILE_GRAPH);
        EXPECT_EQ(player().Mode(), PLAYER_MODE_NONE);
        EXPECT_EQ(player().Graph(), nullptr);
        row.mendIt();
    }
    FileGraphRecord none{nullptr};
    EXPECT_EQ(BuildFileGraph(&none, *recording_, video_, main_), E_FAIL) << "no graph manager";
    EXPECT_EQ(player().PlayFile(*recording_), S_OK) << "everything back in place";
}

} // namespace
