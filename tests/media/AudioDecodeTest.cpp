// The live audio thread: opening FAAD2 on the first unit, the 8192-byte buffering, the published clock, the
// PCM it delivers, and frames in a form the audio pin cannot play.
#include "AacReference.h"
#include "tests/support/CaptureSink.h"

#include "media/AudioDecode.h"
#include "media/LiveContext.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "tests/support/fakes/StreamFixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes mediaUnit(DWORD timestamp, const Bytes& frame) {
    Bytes unit;
    streamfixture::appendLe(unit, timestamp, 4);
    unit.insert(unit.end(), frame.begin(), frame.end());
    return unit;
}

std::vector<Bytes> fixtureFrames(const char* file) {
    return aacref::adtsFrames(streamfixture::readFile(std::string(VELOQ_FIXTURES_DIR) + file));
}

const std::atomic<bool> kGoOn{false};

TEST(AudioDecodeTest, OpensOnTheFirstFrame) {
    const Bytes frame = fixtureFrames("/stream/audio.aac").at(0);
    Bytes tagged = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20};
    tagged.resize(30, 0);
    tagged.insert(tagged.end(), frame.begin(), frame.end());
    Bytes hugeTag = {'I', 'D', '3', 4, 0, 0, 0, 0, 0x7F, 0x7F};
    hugeTag.insert(hugeTag.end(), frame.begin(), frame.end());
    Bytes badRate = frame;
    badRate[2] = static_cast<uint8_t>((badRate[2] & 0xC3) | 0x3C);
    struct Row {
        const char* name;
        Bytes data;
        int result;
    };
    const Row rows[] = {
        {"ADTS frame", frame, 0},
        {"behind an ID3 tag", tagged, 0},
        {"ADTS header with a sampling index past the table", badRate, 1},
        {"a tag longer than the input buffer", hugeTag, 1},
        {"more than the input buffer", Bytes(KQ_AV_AudioDecode::kInputBufferSize + 1, 0xFF), 1},
    };
    for (const Row& row : rows) {
        KQ_AV_AudioDecode decode(nullptr, nullptr, nullptr);
        EXPECT_EQ(decode.OpenDecoder(row.data.data(), static_cast<DWORD>(row.data.size())), row.result)
            << row.name;
    }
}

class AudioThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetTimeScale(10);
        ASSERT_EQ(live_.AllocateInputRings(0, KQ_AV_LiveContext::kAudioRingSize), S_OK);
        sink_ = bench_.addSink({MEDIASUBTYPE_PCM});
        ASSERT_EQ(bench_.connect(1, sink_), S_OK);
        ASSERT_EQ(bench_.run(), S_OK);
    }
    void TearDown() override { platform::SetTimeScale(1); }

    // Pushes the frames as units 32 ms apart from `first` on.
    void push(const std::vector<Bytes>& frames, size_t from, size_t to, DWORD first = 500000) {
        for (size_t i = from; i < to; ++i) {
            const Bytes unit = mediaUnit(first + 32 * static_cast<DWORD>(i), frames[i]);
            live_.PushAudio(unit.data(), static_cast<DWORD>(unit.size()), kGoOn);
        }
    }
    DWORD queued() const { return live_.AudioInputRing()->UsedBytes(); }
    void waitUntilDrained() {
        for (int i = 0; i < 1000 && queued() > 0; ++i)
            Sleep(10);
    }

    capture::SourceBench bench_;
    capture::Sink* sink_ = nullptr;
    KQ_AV_LiveContext live_{nullptr, nullptr, nullptr};
};

TEST_F(AudioThreadTest, BuffersThenDeliversFaadsOwnPcm) {
    const std::vector<Bytes> frames = fixtureFrames("/stream/audio.aac");
    ASSERT_GE(frames.size(), 40u);
    size_t first = 0; // records of 4 + timestamp + frame, rounded up to 4 bytes
    while (queued() + 12 + frames[first].size() <= KQ_AV_AudioDecode::kHysteresisBytes)
        push(frames, first, first + 1), ++first;

    KQ_AV_AudioDecode decode(&live_, bench_.source_, live_.AudioInputRing());
    ASSERT_TRUE(decode.Start());
    Sleep(200); // twenty passes of the thread
    EXPECT_FALSE(live_.AudioRunning()) << queued() << " bytes are not enough";
    EXPECT_TRUE(sink_->samples().empty());

    push(frames, first, frames.size());
    const std::vector<Bytes> expected = aacref::decode(frames);
    ASSERT_TRUE(sink_->waitFor(expected.size()));
    decode.Stop();

    const std::vector<capture::Sample> samples = sink_->samples();
    ASSERT_EQ(samples.size(), expected.size()) << "the first frame gives no samples";
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(samples[i].bytes, expected[i]) << "frame " << i + 1;
        EXPECT_EQ(samples[i].stop - samples[i].start, 320000) << "32 ms apart";
    }
    EXPECT_EQ(live_.AudioClock(), 500000 + 32 * static_cast<DWORD>(frames.size() - 1));
    EXPECT_EQ(live_.AudioInputRing()->UsedBytes(), 0u);
}

// The pin plays 32000 Hz stereo only: other frames are dropped, and the thread still keeps the clock.
TEST_F(AudioThreadTest, DropsFramesOfAnotherForm) {
    const std::vector<Bytes> frames = fixtureFrames("/live/mono44100.aac");
    ASSERT_GE(frames.size(), 8u);
    DWORD first = 500000;
    for (; queued() <= 2 * KQ_AV_AudioDecode::kHysteresisBytes; first += 1000)
        push(frames, 0, frames.size(), first);
    KQ_AV_AudioDecode decode(&live_, bench_.source_, live_.AudioInputRing());
    ASSERT_TRUE(decode.Start());
    waitUntilDrained();
    decode.Stop();
    EXPECT_EQ(queued(), 0u);
    EXPECT_EQ(live_.AudioClock(), first - 1000 + 32 * static_cast<DWORD>(frames.size() - 1));
    EXPECT_TRUE(sink_->samples().empty());
}

// When FAAD2 cannot be opened on the first unit the thread decodes nothing for the rest of the live view,
// yet goes on reading the units and publishing their times, so video keeps its clock.
TEST_F(AudioThreadTest, AFailedOpenDeliversNothingAndKeepsTheClock) {
    std::vector<Bytes> frames = fixtureFrames("/stream/audio.aac");
    ASSERT_GE(frames.size(), 40u);
    frames[0][2] = static_cast<uint8_t>((frames[0][2] & 0xC3) | 0x3C); // a sampling index past the table
    ASSERT_EQ(KQ_AV_AudioDecode(nullptr, nullptr, nullptr)
                  .OpenDecoder(frames[0].data(), static_cast<DWORD>(frames[0].size())),
              1);
    push(frames, 0, frames.size());
    KQ_AV_AudioDecode decode(&live_, bench_.source_, live_.AudioInputRing());
    ASSERT_TRUE(decode.Start());
    // Audio counts as running while units are there (once the ring is empty it no longer does).
    bool ran = false;
    for (int i = 0; i < 1000 && queued() > 0; ++i) {
        ran = ran || live_.AudioRunning();
        Sleep(10);
    }
    decode.Stop();
    EXPECT_EQ(queued(), 0u);
    EXPECT_TRUE(ran);
    EXPECT_EQ(live_.AudioClock(), 500000 + 32 * static_cast<DWORD>(frames.size() - 1));
    EXPECT_TRUE(sink_->samples().empty());
}

// A thread waiting for a sample the renderer does not give back ends when stopped.
TEST_F(AudioThreadTest, StopEndsTheWaitForASample) {
    ASSERT_EQ(bench_.stop(), S_OK); // no sample can be had
    const std::vector<Bytes> frames = fixtureFrames("/stream/audio.aac");
    push(frames, 0, frames.size());
    KQ_AV_AudioDecode decode(&live_, bench_.source_, live_.AudioInputRing());
    ASSERT_TRUE(decode.Start());
    for (int i = 0; i < 200 && !live_.AudioRunning(); ++i)
        Sleep(10);
    Sleep(50);
    decode.Stop();
    EXPECT_TRUE(live_.AudioRunning());
    EXPECT_TRUE(sink_->samples().empty());
}

} // namespace
