// The live video thread: durations against the audio clock, packing at a pitch, field pairs joined into
// frames in either packing, a change of picture size, and the stall message when no frame is taken.
#include "tests/support/CaptureSink.h"

#include "h264/deinterlace/Deinterlace.h"
#include "media/LiveContext.h"
#include "media/PlayerMessages.h"
#include "media/VideoDecode.h"
#include "media/VideoPacer.h"
#include "media/VideoPacking.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Messages.h"
#include "tests/support/fakes/StreamFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(VideoPacerTest, DurationAndCorrection) {
    struct Step {
        const char* name;
        bool ringRanEmpty;
        DWORD timestamp, audioClock;
        int duration;
    };
    const Step steps[] = {
        {"first unit: base 40", false, 1000, 1000, 40},
        {"back to back: the gap", false, 1020, 1020, 20},
        {"same timestamp keeps the base", false, 1020, 1020, 20},
        {"gap above 2000: base 40", false, 3100, 3100, 40},
        {"ring ran empty: base 40", true, 3120, 3120, 40},
        {"40 behind: in step", false, 3160, 3200, 40},
        {"41 behind: -15", false, 3200, 3241, 25},
        {"501 behind: -20", false, 3240, 3741, 20},
        {"1001 behind: -25", false, 3280, 4281, 15},
        {"40 ahead: in step", false, 3320, 3280, 40},
        {"41 ahead: +5", false, 3360, 3319, 45},
        {"1000 ahead keeps the last (+5)", false, 3400, 2400, 45},
        {"1501 ahead: +100", false, 3440, 1939, 140},
        {"3001 ahead: +200", false, 3480, 479, 240},
        {"5001 ahead: +300", false, 8482, 3481, 340},
        {"clock below 1000, signed: in step", true, 500, 500, 40},
        {"base 10, 1001 behind: floor of 1 ms", false, 510, 1511, 1},
        {"wrap of the clock: signed difference", false, 0xFFFFFFF0, 0x10, 40},
    };
    VideoPacer pacer;
    for (const Step& step : steps) {
        if (step.ringRanEmpty)
            pacer.Forget();
        EXPECT_EQ(pacer.Next(step.timestamp, step.audioClock), step.duration) << step.name;
    }
}

// The packed rows as the pin's types describe them, written plainly.
Bytes referencePack(const PlanarPicture& p, int width, int height, int pitch, bool uyvy) {
    Bytes out(static_cast<size_t>(pitch) * height, 0xEE);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const BYTE luma = p.y[row * p.lumaStride + x];
            const BYTE chroma = (x % 2 == 0 ? p.u : p.v)[(row / 2) * p.chromaStride + x / 2];
            BYTE* pair = &out[static_cast<size_t>(row) * pitch + 2 * static_cast<size_t>(x)];
            pair[uyvy ? 1 : 0] = luma;
            pair[uyvy ? 0 : 1] = chroma;
        }
    return out;
}

TEST(VideoPackingTest, KernelSetsMatchTheLayout) {
    struct Size {
        int width, height, lumaStride, pitch;
    };
    const Size sizes[] = {{16, 2, 16, 32}, {720, 4, 720, 1536}, {34, 6, 48, 68}, {176, 2, 176, 2048}};
    std::mt19937 random(7);
    for (const Size& size : sizes) {
        Bytes y(static_cast<size_t>(size.lumaStride) * size.height), u(y.size() / 2), v(y.size() / 2);
        for (Bytes* plane : {&y, &u, &v})
            for (BYTE& b : *plane)
                b = static_cast<BYTE>(random());
        const PlanarPicture picture{y.data(), u.data(), v.data(), size.lumaStride, size.lumaStride / 2};
        for (const bool uyvy : {true, false}) {
            const Bytes expected = referencePack(picture, size.width, size.height, size.pitch, uyvy);
            for (const PackKernels* kernels : {&PortablePackKernels(), &Sse2PackKernels()}) {
                const PackKernel kernel = uyvy ? kernels->uyvy : kernels->yuy2;
                if (!kernel)
                    continue;
                Bytes out(expected.size(), 0xEE);
                kernel(picture, out.data(), size.width, size.height, size.pitch);
                EXPECT_EQ(out, expected) << size.width << "x" << size.height << (uyvy ? " UYVY" : " YUY2")
                                         << (kernels == &PortablePackKernels() ? " portable" : " SSE2");
            }
        }
    }
    const BYTE y[] = {1, 2, 3, 4}, u[] = {5}, v[] = {6};
    Bytes out(4);
    PortablePackKernels().uyvy({y, u, v, 2, 1}, out.data(), 2, 1, 4);
    EXPECT_EQ(out, (Bytes{5, 1, 6, 2}));
}

constexpr DWORD kFrameWidth = 720, kFrameHeight = 576, kPitch = 1536;

struct Delivered {
    std::vector<capture::Sample> frames;
    size_t pictures = 0; // units that brought a frame out
};

// Decodes the stream fixture's units one by one with the pin connected by the given subtype.
Delivered decodeFixture(const GUID& subtype) {
    capture::SourceBench bench(kFrameWidth, kFrameHeight, kPitch);
    capture::Sink* sink = bench.addSink({subtype});
    EXPECT_EQ(bench.connect(0, sink), S_OK);
    EXPECT_EQ(bench.run(), S_OK);
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    KQ_AV_VideoDecode decode(nullptr, bench.source_, &live);
    Delivered delivered;
    for (const streamfixture::Unit& unit : streamfixture::fixture().units())
        delivered.pictures +=
            decode.Decode(unit.media.data(), static_cast<DWORD>(unit.media.size()), 20) ? 1 : 0;
    delivered.frames = sink->samples();
    return delivered;
}

// Field pairs come out as frames of twice the field height: UYVY rows at the pitch, YUY2 rows of twice the
// width, the same pixels in both.
TEST(VideoDecodeTest, FieldPairsBecomeFramesInEitherPacking) {
    const Delivered uyvy = decodeFixture(MEDIASUBTYPE_UYVY);
    const Delivered yuy2 = decodeFixture(MEDIASUBTYPE_YUY2);
    const size_t units = streamfixture::fixture().units().size();
    // The first unit holds the parameter sets; a picture comes out two units after it went in, and only
    // every second field makes a frame.
    const size_t fields = units - 1 - 2;
    ASSERT_EQ(uyvy.frames.size(), fields / 2);
    ASSERT_EQ(yuy2.frames.size(), uyvy.frames.size());
    EXPECT_EQ(uyvy.pictures, uyvy.frames.size());
    for (size_t i = 0; i < uyvy.frames.size(); ++i) {
        SCOPED_TRACE(i);
        const capture::Sample& a = uyvy.frames[i];
        const capture::Sample& b = yuy2.frames[i];
        ASSERT_EQ(a.length, static_cast<LONG>(kFrameHeight * kPitch));
        ASSERT_EQ(b.length, static_cast<LONG>(kFrameHeight * kFrameWidth * 2));
        EXPECT_EQ(a.stop - a.start, 400000) << "a frame lasts as long as the units of both its fields";
        bool same = true;
        for (size_t row = 0; row < kFrameHeight && same; ++row)
            for (size_t pair = 0; pair < kFrameWidth * 2 && same; pair += 2)
                same = a.bytes[row * kPitch + pair] == b.bytes[row * kFrameWidth * 2 + pair + 1] &&
                       a.bytes[row * kPitch + pair + 1] == b.bytes[row * kFrameWidth * 2 + pair];
        EXPECT_TRUE(same);
    }
}

// What the live view shows, rebuilt step by step: every picture the decoder gives (its own output copy, in
// decoding order), field pairs joined by a deinterlacer of their own, each frame packed as UYVY rows at the
// pitch. The thread's frames are these, byte for byte and in this order.
TEST(VideoDecodeTest, FramesAreTheDecodedFieldPairsJoined) {
    const Delivered delivered = decodeFixture(MEDIASUBTYPE_UYVY);
    const H264DecoderConfig config{0, 0, 45, 36, 16, 0, 0};
    H264DecoderContext* decoder = H264DecoderCreate(&config);
    ASSERT_NE(decoder, nullptr);
    DeinterlaceState* deinterlacer = nullptr;
    Bytes frame(kFrameWidth * kFrameHeight * 3 / 2);
    BYTE* const y = frame.data();
    BYTE* const u = y + kFrameWidth * kFrameHeight;
    BYTE* const v = u + kFrameWidth * kFrameHeight / 4;
    std::vector<Bytes> expected;
    DecodedPicture p;
    for (const streamfixture::Unit& unit : streamfixture::fixture().units()) {
        const Bytes& media = unit.media;
        for (int32_t r = H264DecoderDecode(decoder, media.data() + 4, static_cast<uint32_t>(media.size() - 4),
                                           0, 0, &p, DECODE_FLAG_END_OF_UNIT);
             r == DECODE_OK; r = H264DecoderDecode(decoder, nullptr, 0, 0, 0, &p, 0)) {
            ASSERT_NE(p.kind, PICTURE_KIND_FRAME);
            if (!deinterlacer)
                ASSERT_EQ(VD_InitDeinterlace(&deinterlacer, p.width, p.height, p.lumaStride, p.chromaStride,
                                             p.width, p.width / 2),
                          DEINTERLACE_OK);
            ASSERT_EQ(VD_Deinterlace(deinterlacer, y, u, v, p.lumaPlane, p.cbPlane, p.crPlane, p.kind),
                      DEINTERLACE_OK);
            if (p.kind == PICTURE_KIND_FIELD_2)
                expected.push_back(
                    referencePack({y, u, v, static_cast<int>(kFrameWidth), static_cast<int>(kFrameWidth / 2)},
                                  kFrameWidth, kFrameHeight, kPitch, true));
        }
    }
    VD_ReleaseDeinterlace(deinterlacer);
    H264DecoderDestroy(decoder);
    ASSERT_EQ(delivered.frames.size(), expected.size());
    ASSERT_GT(expected.size(), 2u);
    for (size_t i = 0; i < expected.size(); ++i) {
        const capture::Sample& shown = delivered.frames[i];
        ASSERT_EQ(shown.length, static_cast<LONG>(kFrameHeight * kPitch)) << i;
        // The pitch's padding is not the picture's.
        bool same = true;
        for (size_t row = 0; row < kFrameHeight && same; ++row)
            same = std::equal(shown.bytes.begin() + row * kPitch,
                              shown.bytes.begin() + row * kPitch + 2 * kFrameWidth,
                              expected[i].begin() + row * kPitch);
        EXPECT_TRUE(same) << "frame " << i;
    }
}

// A stream that changes from progressive pictures to field pairs of another size gets buffers (and a
// deinterlacer) for the new form instead of being written into those of the first.
TEST(VideoDecodeTest, NewPictureFormGetsNewBuffers) {
    capture::SourceBench bench(kFrameWidth, kFrameHeight, kPitch);
    capture::Sink* sink = bench.addSink({MEDIASUBTYPE_UYVY});
    ASSERT_EQ(bench.connect(0, sink), S_OK);
    ASSERT_EQ(bench.run(), S_OK);
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    KQ_AV_VideoDecode decode(nullptr, bench.source_, &live);

    Bytes stream(4, 0); // one MediaUnit holding a whole 96 x 64 stream
    const Bytes coded =
        streamfixture::readFile(std::string(VELOQ_FIXTURES_DIR) + "/h264/p_partitions_refs.264");
    stream.insert(stream.end(), coded.begin(), coded.end());
    EXPECT_TRUE(decode.Decode(stream.data(), static_cast<DWORD>(stream.size()), 40));
    const std::vector<capture::Sample> progressive = sink->samples();
    ASSERT_FALSE(progressive.empty());
    EXPECT_EQ(progressive.back().length, static_cast<LONG>(64 * kPitch));

    for (const streamfixture::Unit& unit : streamfixture::fixture().units())
        decode.Decode(unit.media.data(), static_cast<DWORD>(unit.media.size()), 40);
    const std::vector<capture::Sample> frames = sink->samples();
    ASSERT_GT(frames.size(), progressive.size() + 1);
    EXPECT_EQ(frames.back().length, static_cast<LONG>(kFrameHeight * kPitch));
}

// A picture larger than the pin's sample (the stream grew past the negotiated size) is cut to the sample:
// each frame fills the sample and nothing is written past it.
TEST(VideoDecodeTest, APictureLargerThanTheSampleIsCutToIt) {
    constexpr DWORD kSmallWidth = 96, kSmallHeight = 64, kSmallPitch = 192;
    capture::SourceBench bench(kSmallWidth, kSmallHeight, kSmallPitch);
    capture::Sink* sink = bench.addSink({MEDIASUBTYPE_UYVY});
    ASSERT_EQ(bench.connect(0, sink), S_OK);
    ASSERT_EQ(bench.run(), S_OK);
    const LONG sampleSize = sink->allocatorProperties().cbBuffer;
    ASSERT_EQ(sampleSize, static_cast<LONG>(kSmallPitch * kSmallHeight));
    KQ_AV_LiveContext live(nullptr, nullptr, nullptr);
    KQ_AV_VideoDecode decode(nullptr, bench.source_, &live);
    for (const streamfixture::Unit& unit : streamfixture::fixture().units())
        decode.Decode(unit.media.data(), static_cast<DWORD>(unit.media.size()), 20);
    const std::vector<capture::Sample> frames = sink->samples();
    ASSERT_FALSE(frames.empty()) << "720 x 576 frames still come out";
    for (const capture::Sample& frame : frames)
        EXPECT_EQ(frame.length, sampleSize);
}

// More than 200 refused delivery buffers in a row tell the main window, and a stop ends the retries.
TEST(VideoDecodeTest, StallTellsTheMainWindow) {
    platform::SetTimeScale(20);
    int stalls = 0;
    HWND window = platform::CreateMessageWindow([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        stalls += message == WM_AV_VIDEO_STALLED;
        return 0;
    });
    capture::SourceBench bench(kFrameWidth, kFrameHeight, kPitch); // not connected: no buffer ever
    KQ_AV_LiveContext live(nullptr, nullptr, window);
    ASSERT_EQ(live.AllocateInputRings(KQ_AV_LiveContext::kVideoRingSize, 0), S_OK);
    const std::atomic<bool> goOn{false};
    for (const streamfixture::Unit& unit : streamfixture::fixture().units())
        live.PushVideo(unit.media.data(), static_cast<DWORD>(unit.media.size()), goOn);
    live.SetAudioRunning(true);
    KQ_AV_VideoDecode decode(live.VideoInputRing(), bench.source_, &live);
    ASSERT_TRUE(decode.Start());
    EXPECT_TRUE(platform::PumpUntil([&] { return stalls >= 2; }, 200000));
    decode.Stop();
    DestroyWindow(window);
    platform::SetTimeScale(1);
}

} // namespace
