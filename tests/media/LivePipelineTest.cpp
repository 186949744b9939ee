// End to end, headless: the test box streams the fixtures on 127.0.0.1, the stream receiver feeds the
// player's live context, the decoder and the deinterlacer run, and
// - the frames that reach the video window's surface equal ffmpeg's decode of the same stream, its field
//   pairs joined by our deinterlacer, as the tests' model converts them to RGB (the live path packs them as
//   UYVY rows at the probed pitch on the way);
// - the PCM that SDL plays (its disk driver, the dummy that keeps what it is given) equals FAAD2's own
//   decode of the fixture's frames, the first frame giving no samples;
// each compared over the prefix that has come out by the time audio has run out, at the pace the
// timestamps give.
#include "AacReference.h"
#include "PlaybackCapture.h"

#include "boxlink/BoxClient.h"
#include "boxlink/StreamReceiver.h"
#include "media/Player.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/WindowDc.h"
#include "platform/net/NetEnvironment.h"
#include "platform/win32/Messages.h"
#include "tests/support/PictureReference.h"
#include "tests/support/RgbModel.h"
#include "tests/support/fakes/StreamFixture.h"
#include "tests/support/fakes/TempFolder.h"
#include "tests/support/testbox/StreamSide.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 720, kFieldHeight = 288, kFrameHeight = 2 * kFieldHeight;
constexpr DWORD kWait = 20000; // generous: ends as soon as what it waits for has happened

// ffmpeg's pictures of the fixture stream, two by two joined by a fresh deinterlacer and converted.
std::vector<capture::Frame> referenceFrames(const TempFolder& folder) {
    const std::vector<Bytes> fields =
        picref::ffmpegPictures(std::string(VELOQ_FIXTURES_DIR) + "/stream/video.264",
                               (folder / "reference.yuv").string(), kWidth, kFieldHeight);
    std::vector<capture::Frame> frames;
    for (const Bytes& frame : picref::joinFieldPairs(fields, kWidth, kFieldHeight))
        frames.push_back(rgbmodel::fromPlanar(frame, kWidth, kFrameHeight));
    return frames;
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

    const std::vector<capture::Frame> expected = referenceFrames(folder);
    if (expected.empty())
        GTEST_SKIP() << "ffmpeg is not installed";

    HWND window = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    platform::gdi::SetWindowClientSize(window, kWidth, kFrameHeight);
    capture::RecordingSurface surface;
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
    const std::vector<capture::Frame> frames = surface.frames();

    ASSERT_EQ(frames.size(), expected.size() - 1);
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_TRUE(frames[i] == expected[i]) << "frame " << i << " of " << frames.size();

    const std::vector<Bytes> decoded = aacref::decode(
        aacref::adtsFrames(streamfixture::readFile(std::string(VELOQ_FIXTURES_DIR) + "/stream/audio.aac")));
    Bytes pcm;
    for (const Bytes& samples : decoded)
        pcm.insert(pcm.end(), samples.begin(), samples.end());
    const Bytes played = streamfixture::readFile(pcmFile);
    const capture::Match match = capture::findSamples(played, pcm);
    ASSERT_NE(match.begin, std::string::npos) << "the sound was not played";
    // All that came out agrees, but for the device's last buffer, which the stop may have cut short.
    constexpr size_t kDeviceBuffer = 4096;
    EXPECT_GE(match.agreeing + kDeviceBuffer, std::min(pcm.size(), played.size() - match.begin));
    EXPECT_GE(match.agreeing, pcm.size() / 2) << "of " << pcm.size() << " bytes";
    // What the sound that follows the fixture's sounds like is not compared: its first frame decodes on
    // the state the fixture left.
}

} // namespace
