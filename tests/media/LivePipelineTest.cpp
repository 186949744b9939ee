// End to end, headless: the test box streams the fixtures on 127.0.0.1, the stream receiver feeds the
// player's live context, the decoder and the deinterlacer run, and
// - the frames that reach the video window's surface equal ffmpeg's decode of the same stream, its field
//   pairs joined by our deinterlacer and packed as UYVY rows at the probed pitch;
// - the PCM that SDL plays (its disk driver, the dummy that keeps what it is given) equals FAAD2's own
//   decode of the fixture's frames, the first frame giving no samples;
// each compared over the prefix that has come out by the time audio has run out, at the pace the
// timestamps give.
#include "AacReference.h"

#include "boxlink/BoxClient.h"
#include "boxlink/StreamReceiver.h"
#include "h264/deinterlace/Deinterlace.h"
#include "media/Player.h"
#include "media/VideoPacking.h"
#include "platform/ddraw/DirectDraw.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/VideoSurface.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/WindowDc.h"
#include "platform/net/NetEnvironment.h"
#include "platform/win32/Messages.h"
#include "tests/support/fakes/StreamFixture.h"
#include "tests/support/fakes/TempFolder.h"
#include "tests/support/testbox/StreamSide.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 720, kFieldHeight = 288, kFrameHeight = 2 * kFieldHeight;
constexpr DWORD kWait = 20000; // generous: ends as soon as what it waits for has happened

// Keeps a copy of every frame presented to its window.
class RecordingSurface final : public platform::dshow::VideoSurface {
public:
    void Present(const platform::dshow::VideoFrame& frame) override {
        std::lock_guard lock(mutex_);
        pitch_ = frame.pitch;
        frames_.emplace_back(frame.data, frame.data + static_cast<size_t>(frame.pitch) * frame.height);
    }
    std::vector<Bytes> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    int pitch() const {
        std::lock_guard lock(mutex_);
        return pitch_;
    }

private:
    mutable std::mutex mutex_;
    int pitch_ = 0;
    std::vector<Bytes> frames_;
};

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// ffmpeg's pictures of the fixture stream, two by two joined by a fresh deinterlacer and packed.
std::vector<Bytes> referenceFrames(const TempFolder& folder, int pitch) {
    const std::string raw = (folder / "reference.yuv").string();
    if (!run("ffmpeg -v error -y -i '" + std::string(VELOQ_FIXTURES_DIR) + "/stream/video.264' -f rawvideo " +
             "-pix_fmt yuv420p '" + raw + "'"))
        return {};
    const Bytes pictures = streamfixture::readFile(raw);
    const size_t fieldBytes = static_cast<size_t>(kWidth) * kFieldHeight * 3 / 2;
    DeinterlaceState* deinterlacer = nullptr;
    VD_InitDeinterlace(&deinterlacer, kWidth, kFieldHeight, kWidth, kWidth / 2, kWidth, kWidth / 2);
    Bytes frame(static_cast<size_t>(kWidth) * kFrameHeight * 3 / 2);
    BYTE* y = frame.data();
    BYTE* u = y + kWidth * kFrameHeight;
    BYTE* v = u + kWidth * kFrameHeight / 4;
    std::vector<Bytes> frames;
    for (size_t at = 0; at + 2 * fieldBytes <= pictures.size(); at += 2 * fieldBytes) {
        for (int kind : {1, 2}) {
            const BYTE* field = pictures.data() + at + (kind - 1) * fieldBytes;
            const BYTE* fu = field + kWidth * kFieldHeight;
            VD_Deinterlace(deinterlacer, y, u, v, field, fu, fu + kWidth * kFieldHeight / 4, kind);
        }
        Bytes packed(static_cast<size_t>(pitch) * kFrameHeight);
        PortablePackKernels().uyvy({y, u, v, kWidth, kWidth / 2}, packed.data(), kWidth, kFrameHeight, pitch);
        frames.push_back(std::move(packed));
    }
    VD_ReleaseDeinterlace(deinterlacer);
    return frames;
}

// Where the expected samples begin in what SDL played (silence comes before them), found by their first
// sound, and how many bytes from there on agree; npos when the sound is not found.
struct Match {
    size_t begin = std::string::npos;
    size_t agreeing = 0;
};

Match findSamples(const Bytes& played, const Bytes& expected) {
    const auto sound = std::find_if(expected.begin(), expected.end(), [](uint8_t b) { return b != 0; });
    const size_t lead = static_cast<size_t>(sound - expected.begin());
    const size_t probe = std::min<size_t>(expected.size() - lead, 1024);
    const auto found = std::search(played.begin(), played.end(), sound, sound + static_cast<long>(probe));
    Match match;
    if (found == played.end() || static_cast<size_t>(found - played.begin()) < lead)
        return match;
    match.begin = static_cast<size_t>(found - played.begin()) - lead;
    const auto mismatch = std::mismatch(played.begin() + static_cast<long>(match.begin), played.end(),
                                        expected.begin(), expected.end());
    match.agreeing = static_cast<size_t>(mismatch.second - expected.begin());
    return match;
}

// Audio records that go on after the fixture's for `milliseconds`: its frames again, 32 ms apart.
Bytes moreSound(const streamfixture::Fixture& fixture, DWORD milliseconds) {
    std::vector<const streamfixture::Record*> frames;
    DWORD last = 0;
    for (const streamfixture::Record& r : fixture.records())
        if (!r.video) {
            frames.push_back(&r);
            last = r.timestamp;
        }
    Bytes wire;
    for (DWORD t = 32; t <= milliseconds; t += 32)
        streamfixture::appendMediaRecord(wire, 10, last + t, frames[(t / 32) % frames.size()]->payload);
    return wire;
}

TEST(LivePipelineTest, FixturesPlayAsTheReferenceDecodesThem) {
    TempFolder folder;
    const std::string pcmFile = (folder / "played.raw").string();
    // SDL's audio is not yet open in this process: its disk driver keeps the sound it plays.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", pcmFile.c_str(), 1);

    CVD_DIRECTX_Draw probe;
    ASSERT_EQ(probe.Create(nullptr, kWidth, kFrameHeight, nullptr), 0);
    const int pitch = static_cast<int>(probe.GetPitch());
    const std::vector<Bytes> expected = referenceFrames(folder, pitch);
    if (expected.empty())
        GTEST_SKIP() << "ffmpeg is not installed";

    HWND window = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    platform::gdi::SetWindowClientSize(window, kWidth, kFrameHeight);
    RecordingSurface surface;
    platform::dshow::RegisterVideoSurface(window, &surface);

    testbox::StreamSide box;
    platform::NetEnvironment environment = platform::LoopbackNetEnvironment();
    environment.lanStreamPort = box.Port();
    platform::ScopedNetEnvironment scoped(environment);

    auto player = std::make_unique<KQ_AV_Player>();
    player->SetMainWindow(window);
    player->SetVideoWindow(window);
    player->SetSizeClass(4);
    player->SetVideoStandard(0);       // 720 x 576
    player->SetConfiguredVolume(1000); // 0 dB: the samples pass unchanged
    ASSERT_EQ(player->StartLive(), S_OK);
    // The volume bar the start shows must be gone, with the mixer bitmap, before the first frame.
    ASSERT_TRUE(player->Osd());
    player->Osd()->HideOverlay();
    ASSERT_TRUE(platform::PumpUntil([&] { return !player->Osd()->Looping(); }, kWait));
    player->Osd()->DisableMixer(); // a draw that was under way at the hide has set the bitmap again

    KQ_TCP_BoxClient client;
    client.SetPlayer(player.get());
    client.SetMainWindow(window);
    KQ_TCP_StreamReceiver receiver{client};
    receiver.StartLan("127.0.0.1");
    ASSERT_TRUE(box.WaitConnected(kWait));
    const streamfixture::Fixture& fixture = streamfixture::fixture();
    box.Send(fixture.wire());
    // The video is decoded only while audio plays: more sound after the fixture's keeps it going however
    // slowly this machine decodes. The last picture stays in the decoder, waiting for a next unit.
    box.Send(moreSound(fixture, 60000));
    ASSERT_TRUE(platform::PumpUntil([&] { return surface.frames().size() >= expected.size() - 1; }, 60000));
    receiver.Stop();
    client.SetPlayer(nullptr);
    player.reset(); // stops the graph; SDL has been given all it plays
    platform::dshow::UnregisterVideoSurface(window);
    DestroyWindow(window);
    const std::vector<Bytes> frames = surface.frames();

    EXPECT_EQ(surface.pitch(), pitch);
    ASSERT_EQ(frames.size(), expected.size() - 1);
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_TRUE(frames[i] == expected[i]) << "frame " << i << " of " << frames.size();

    const std::vector<Bytes> decoded = aacref::decode(
        aacref::adtsFrames(streamfixture::readFile(std::string(VELOQ_FIXTURES_DIR) + "/stream/audio.aac")));
    Bytes pcm;
    for (const Bytes& samples : decoded)
        pcm.insert(pcm.end(), samples.begin(), samples.end());
    const Bytes played = streamfixture::readFile(pcmFile);
    const Match match = findSamples(played, pcm);
    ASSERT_NE(match.begin, std::string::npos) << "the sound was not played";
    // All that came out agrees, but for the device's last buffer, which the stop may have cut short.
    constexpr size_t kDeviceBuffer = 4096;
    EXPECT_GE(match.agreeing + kDeviceBuffer, std::min(pcm.size(), played.size() - match.begin));
    EXPECT_GE(match.agreeing, pcm.size() / 2) << "of " << pcm.size() << " bytes";
    // What the sound that follows the fixture's sounds like is not compared: its first frame decodes on
    // the state the fixture left.
}

} // namespace
