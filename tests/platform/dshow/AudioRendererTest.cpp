#include "tests/support/TestFilters.h"

#include "platform/com/Com.h"
#include "platform/dshow/Uuids.h"
#include "platform/win32/Clock.h"
#include "tests/support/FilterGraphSetup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace testfilters;
using platform::ComPtr;
using platform::Query;

CMediaType pcm(WORD channels, DWORD rate, WORD bits, WORD tag = WAVE_FORMAT_PCM) {
    CMediaType t;
    t.SetType(&MEDIATYPE_Audio);
    t.SetSubtype(&MEDIASUBTYPE_PCM);
    t.SetFormatType(&FORMAT_WaveFormatEx);
    WAVEFORMATEX w{tag,  channels, rate, rate * channels * bits / 8, static_cast<WORD>(channels * bits / 8),
                   bits, 0};
    t.SetFormat(reinterpret_cast<const BYTE*>(&w), sizeof w);
    t.SetSampleSize(w.nBlockAlign);
    return t;
}

class AudioRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        graph_ = MakeFilterGraph();
        ASSERT_TRUE(graph_);
        control_ = Query<IMediaControl>(graph_.Get(), IID_IMediaControl);
        renderer_ = AddFilterOf(graph_.Get(), CLSID_DSoundRender, L"Default DirectSound Device");
        ASSERT_TRUE(renderer_);
        clock_ = Query<IReferenceClock>(renderer_.Get(), IID_IReferenceClock);
        ASSERT_TRUE(clock_);
    }
    void TearDown() override { control_->Stop(); }
    TestSourcePin* connect(const CMediaType& type, LONG bufferSize) {
        source_ = ComPtr<IBaseFilter>::Adopt(TestSource::make({{type}}));
        graph_->AddFilter(source_.Get(), L"source");
        TestSourcePin* pin = static_cast<TestSource*>(source_.Get())->pin(0);
        pin->bufferSize = bufferSize;
        ComPtr<IPin> in;
        EXPECT_EQ(renderer_->FindPin(L"Audio Input pin (rendered)", in.ReleaseAndGetAddressOf()), S_OK);
        EXPECT_EQ(graph_->ConnectDirect(pin, in.Get(), nullptr), S_OK);
        return pin;
    }
    REFERENCE_TIME now() {
        REFERENCE_TIME t = 0;
        clock_->GetTime(&t);
        return t;
    }
    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IBaseFilter> renderer_, source_;
    ComPtr<IReferenceClock> clock_;
};

TEST_F(AudioRendererTest, TakesAnyPcmRateAndChannelCountIn8Or16Bits) {
    ComPtr<IPin> in;
    ASSERT_EQ(renderer_->FindPin(L"Audio Input pin (rendered)", in.ReleaseAndGetAddressOf()), S_OK);
    CMediaType video = pcm(2, 32000, 16);
    video.SetType(&MEDIATYPE_Video);
    const struct {
        const char* name;
        CMediaType type;
        HRESULT expected;
    } cases[] = {{"32 kHz stereo 16-bit", pcm(2, 32000, 16), S_OK},
                 {"8 kHz mono 8-bit", pcm(1, 8000, 8), S_OK},
                 {"48 kHz 6 channels", pcm(6, 48000, 16), S_OK},
                 {"24-bit", pcm(2, 48000, 24), S_FALSE},
                 {"9 channels", pcm(9, 48000, 16), S_FALSE},
                 {"not PCM", pcm(2, 32000, 16, 3), S_FALSE},
                 {"video", video, S_FALSE}};
    for (const auto& c : cases)
        EXPECT_EQ(in->QueryAccept(&c.type), c.expected) << c.name;
}

TEST_F(AudioRendererTest, ReceiveKeepsTheSampleWhileMoreThanTheLeadIsQueued) {
    // 32 kHz stereo: 128000 bytes a second; 20 ms samples of 2560 bytes; the lead is 150 ms.
    TestSourcePin* pin = connect(pcm(2, 32000, 16), 2560);
    ASSERT_EQ(control_->Pause(), S_OK); // a paused device does not drain
    std::atomic<int> delivered{0};
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        for (int i = 0; i < 50 && !done; ++i) {
            if (pin->deliver(i * 200000, (i + 1) * 200000, std::vector<BYTE>(2560, 0)) != S_OK)
                break;
            ++delivered;
        }
    });
    Sleep(300);
    // Samples are taken until the queue holds more than 150 ms (8 x 20 ms), then one waits.
    EXPECT_EQ(delivered, 8);
    const REFERENCE_TIME before = now();
    ASSERT_EQ(control_->Run(), S_OK); // playing drains the queue in real time: the feeder goes on
    while (delivered < 12)
        Sleep(10);
    EXPECT_GT(now(), before);
    done = true;
    control_->Stop(); // lets a waiting Receive go
    feeder.join();
}

TEST_F(AudioRendererTest, ClockNeverGoesBackAndCompletionWaitsForTheLastSound) {
    ComPtr<IMediaEventEx> events = Query<IMediaEventEx>(graph_.Get(), IID_IMediaEventEx);
    TestSourcePin* pin = connect(pcm(1, 8000, 16), 1600); // 100 ms per sample
    REFERENCE_TIME last = now();
    auto advances = [&] {
        const REFERENCE_TIME t = now();
        const bool ok = t >= last;
        last = t;
        return ok;
    };
    ASSERT_EQ(control_->Run(), S_OK);
    EXPECT_TRUE(advances());
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(pin->deliver(i * 1000000, (i + 1) * 1000000, std::vector<BYTE>(1600, 0)), S_OK);
    EXPECT_TRUE(advances());
    ASSERT_EQ(control_->Pause(), S_OK);
    EXPECT_TRUE(advances());
    Sleep(50);
    EXPECT_TRUE(advances());
    ASSERT_EQ(control_->Run(), S_OK);
    Sleep(50);
    EXPECT_TRUE(advances());
    EXPECT_GT(last, 0);

    std::thread end([&] { pin->DeliverEndOfStream(); }); // returns once the queue is heard
    LONG code = 0;
    LONG_PTR p1, p2;
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 5000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    end.join();
    control_->Stop();
    EXPECT_TRUE(advances());
}

TEST_F(AudioRendererTest, VolumeInHundredthsOfADecibelThroughTheGraph) {
    auto audio = Query<IBasicAudio>(graph_.Get(), IID_IBasicAudio);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->put_Volume(-10000), S_OK);
    EXPECT_EQ(audio->put_Volume(-2994), S_OK);
    LONG volume = 0;
    EXPECT_EQ(audio->get_Volume(&volume), S_OK);
    EXPECT_EQ(volume, -2994);
    EXPECT_EQ(audio->put_Volume(1), E_INVALIDARG);
    EXPECT_EQ(audio->put_Volume(-10001), E_INVALIDARG);
    graph_->RemoveFilter(renderer_.Get());
    EXPECT_EQ(audio->put_Volume(0), E_NOTIMPL); // no audio renderer in the graph
}

} // namespace
