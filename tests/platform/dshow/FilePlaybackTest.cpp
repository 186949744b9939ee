#include "tests/support/TestFilters.h"

#include "platform/com/Com.h"
#include "platform/dshow/AvcSamples.h"
#include "platform/dshow/Uuids.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Text.h"
#include "tests/support/FilterGraphSetup.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testfilters;
using platform::ComPtr;
using platform::Query;

// An input pin that takes H.264 video and keeps the bytes of every sample.
class H264Sink;
class H264SinkPin final : public CBaseInputPin {
public:
    H264SinkPin(H264Sink* filter, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override {
        return *type->Subtype() == MEDIASUBTYPE_H264 && *type->FormatType() == FORMAT_VideoInfo ? S_OK
                                                                                                : S_FALSE;
    }
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;

private:
    H264Sink* sink_;
};

class H264Sink final : public RendererFilter {
public:
    static H264Sink* make() {
        auto* f = new H264Sink;
        f->AddRef();
        return f;
    }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }

    std::mutex mutex;
    std::vector<std::vector<BYTE>> samples;
    std::vector<REFERENCE_TIME> starts;
    std::vector<bool> sync;

private:
    H264Sink() : RendererFilter(L"H264Sink", nullptr, &lock_, GUID_NULL), pin_(this, &lock_) {}
    CCritSec lock_;
    H264SinkPin pin_;
};

H264SinkPin::H264SinkPin(H264Sink* filter, CCritSec* lock)
    : CBaseInputPin(L"H264SinkPin", filter, lock, nullptr, L"In"), sink_(filter) {}

HRESULT H264SinkPin::Receive(IMediaSample* sample) {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK)
        return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    REFERENCE_TIME start = 0, stop = 0;
    sample->GetTime(&start, &stop);
    std::lock_guard lock(sink_->mutex);
    sink_->samples.emplace_back(data, data + sample->GetActualDataLength());
    sink_->starts.push_back(start);
    sink_->sync.push_back(sample->IsSyncPoint() == S_OK);
    return S_OK;
}

HRESULT H264SinkPin::EndOfStream() {
    return sink_->NotifyEvent(EC_COMPLETE, S_OK,
                              reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(sink_)));
}

std::wstring fixture(const char* name) {
    return platform::FromUtf8(std::string(VELOQ_FIXTURES_DIR) + "/media/" + name);
}

class FilePlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        graph_ = MakeFilterGraph();
        ASSERT_TRUE(graph_);
        control_ = Query<IMediaControl>(graph_.Get(), IID_IMediaControl);
        events_ = Query<IMediaEventEx>(graph_.Get(), IID_IMediaEventEx);
        demux_ = AddFilterOf(graph_.Get(), CLSID_KqMp4Demux, L"KQ MP4 DeMux");
        source_ = AddFilterOf(graph_.Get(), CLSID_AsyncReader, L"File Source Filter");
    }
    void TearDown() override { control_->Stop(); }
    HRESULT load(const std::wstring& path) {
        auto file = Query<IFileSourceFilter>(source_.Get(), IID_IFileSourceFilter);
        const HRESULT loaded = file->Load(path.c_str(), nullptr);
        const HRESULT connected = graph_->ConnectDirect(PinOf(source_.Get(), L"Output").Get(),
                                                        PinOf(demux_.Get(), L"Input").Get(), nullptr);
        return FAILED(loaded) ? loaded : connected;
    }
    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEventEx> events_;
    ComPtr<IBaseFilter> demux_, source_;
};

TEST_F(FilePlaybackTest, DemultiplexerOffersTheTracksUnderTheirTrackNumbers) {
    ASSERT_EQ(load(fixture("clip.mp4")), S_OK);
    ComPtr<IPin> video = PinOf(demux_.Get(), L"Video 1"), audio = PinOf(demux_.Get(), L"Audio 2");
    ASSERT_TRUE(video);
    ASSERT_TRUE(audio);
    AM_MEDIA_TYPE* type = nullptr;
    ComPtr<IEnumMediaTypes> types;
    video->EnumMediaTypes(types.ReleaseAndGetAddressOf());
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    EXPECT_EQ(type->subtype, MEDIASUBTYPE_H264);
    EXPECT_EQ(type->formattype, FORMAT_VideoInfo);
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
    EXPECT_EQ(vih->bmiHeader.biWidth, 176);
    EXPECT_EQ(vih->bmiHeader.biHeight, 144);
    EXPECT_EQ(vih->AvgTimePerFrame, 400000);
    DeleteMediaType(type);
    audio->EnumMediaTypes(types.ReleaseAndGetAddressOf());
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    EXPECT_EQ(type->subtype, MEDIASUBTYPE_RAW_AAC1);
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
    EXPECT_EQ(wave->nSamplesPerSec, 32000u);
    EXPECT_EQ(wave->nChannels, 2);
    ASSERT_GE(wave->cbSize, 2); // the AudioSpecificConfig follows: AAC-LC (object type 2)
    EXPECT_EQ(reinterpret_cast<const BYTE*>(wave + 1)[0] >> 3, 2);
    DeleteMediaType(type);
    auto seeking = Query<IMediaSeeking>(demux_.Get(), IID_IMediaSeeking);
    LONGLONG duration = 0;
    ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration), 10000000.0, 500000.0);
}

TEST_F(FilePlaybackTest, FilesThatAreMissingOrNotMp4AreRefused) {
    EXPECT_EQ(load(fixture("absent.mp4")), static_cast<HRESULT>(0x80070002u));
    EXPECT_FALSE(PinOf(demux_.Get(), L"Video 1"));
    EXPECT_TRUE(FAILED(load(fixture("make-fixtures.sh"))));
    EXPECT_FALSE(PinOf(demux_.Get(), L"Video 1"));
}

TEST_F(FilePlaybackTest, PlaysToTheEndThroughTheAudioDecoderAndSeeks) {
    ASSERT_EQ(load(fixture("clip.mp4")), S_OK);
    ComPtr<IBaseFilter> decoder = AddFilterOf(graph_.Get(), CLSID_KqAudioDecode, L"KQ Audio Decode");
    ComPtr<IBaseFilter> sound = AddFilterOf(graph_.Get(), CLSID_DSoundRender, L"Default DirectSound Device");
    ComPtr<IBaseFilter> sink = ComPtr<IBaseFilter>::Adopt(H264Sink::make());
    ASSERT_EQ(graph_->AddFilter(sink.Get(), L"sink"), S_OK);
    ASSERT_EQ(graph_->Render(PinOf(demux_.Get(), L"Video 1").Get()), S_OK);
    ASSERT_EQ(graph_->Render(PinOf(demux_.Get(), L"Audio 2").Get()), S_OK); // through "KQ Audio Decode"
    EXPECT_TRUE(PinOf(decoder.Get(), L"Output"));
    AM_MEDIA_TYPE pcm{};
    ASSERT_EQ(PinOf(decoder.Get(), L"Output")->ConnectionMediaType(&pcm), S_OK);
    EXPECT_EQ(pcm.subtype, MEDIASUBTYPE_PCM);
    EXPECT_EQ(reinterpret_cast<const WAVEFORMATEX*>(pcm.pbFormat)->nSamplesPerSec, 32000u);
    FreeMediaType(pcm);

    ASSERT_EQ(control_->Run(), S_OK);
    LONG code = 0;
    LONG_PTR p1, p2;
    ASSERT_EQ(events_->GetEvent(&code, &p1, &p2, 10000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE); // once the video sink and the sound have both finished
    auto* h264 = static_cast<H264Sink*>(sink.Get());
    {
        std::lock_guard lock(h264->mutex);
        ASSERT_EQ(h264->samples.size(), 25u);
        // Annex B with 4-byte start codes, the parameter sets before the first picture.
        const auto& first = h264->samples.front();
        ASSERT_GT(first.size(), 8u);
        EXPECT_EQ(std::vector<BYTE>(first.begin(), first.begin() + 5), (std::vector<BYTE>{0, 0, 0, 1, 0x67}));
        EXPECT_TRUE(h264->sync[0]);
        EXPECT_TRUE(h264->sync[10]);
        EXPECT_FALSE(h264->sync[1]);
        EXPECT_EQ(h264->starts[1] - h264->starts[0], 400000);
        h264->samples.clear();
        h264->starts.clear();
        h264->sync.clear();
    }

    // A seek to 0.5 s while running restarts at the key frame before it (picture 10 at 0.4 s).
    auto seeking = Query<IMediaSeeking>(graph_.Get(), IID_IMediaSeeking);
    LONGLONG position = 5000000;
    ASSERT_EQ(seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame,
                                    nullptr, AM_SEEKING_NoPositioning),
              S_OK);
    ASSERT_EQ(events_->GetEvent(&code, &p1, &p2, 10000), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    std::lock_guard lock(h264->mutex);
    ASSERT_EQ(h264->samples.size(), 15u);
    EXPECT_TRUE(h264->sync[0]);
    EXPECT_EQ(h264->starts[0], 4000000 - 5000000); // times count from the position sought
}

TEST(AvcSamplesTest, ParameterSetsAndLengthPrefixedUnitsBecomeAnnexB) {
    platform::dshow::AvcConfig config;
    const std::vector<std::uint8_t> avcC = {1, 0x42, 0xC0, 0x1E, 0xFF, 0xE1, 0, 2, 0x67, 0xAA, 1, 0, 1, 0x68};
    ASSERT_TRUE(platform::dshow::ParseAvcConfig(avcC, &config));
    EXPECT_EQ(config.lengthSize, 4);
    EXPECT_EQ(config.parameterSets, (std::vector<std::uint8_t>{0, 0, 0, 1, 0x67, 0xAA, 0, 0, 0, 1, 0x68}));
    struct Case {
        const char* name;
        std::vector<std::uint8_t> record;
    };
    const Case bad[] = {{"version 0", {0, 0x42, 0xC0, 0x1E, 0xFF, 0xE1, 0, 2, 0x67, 0xAA, 1, 0, 1, 0x68}},
                        {"set past the end", {1, 0x42, 0xC0, 0x1E, 0xFF, 0xE1, 0, 9, 0x67, 0xAA}},
                        {"no picture set count", {1, 0x42, 0xC0, 0x1E, 0xFF, 0xE1, 0, 1, 0x67}},
                        {"too short", {1, 0x42}}};
    for (const Case& c : bad)
        EXPECT_FALSE(platform::dshow::ParseAvcConfig(c.record, &config)) << c.name;

    std::vector<std::uint8_t> out;
    EXPECT_TRUE(
        platform::dshow::AppendAnnexB(std::vector<std::uint8_t>{0, 2, 0x65, 0x88, 0, 1, 0x06}, 2, &out));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0, 0, 1, 0x65, 0x88, 0, 0, 0, 1, 0x06}));
    out.clear();
    EXPECT_FALSE(platform::dshow::AppendAnnexB(std::vector<std::uint8_t>{0, 0, 0, 9, 0x65}, 4, &out));
    EXPECT_FALSE(platform::dshow::AppendAnnexB(std::vector<std::uint8_t>{0, 0, 0}, 4, &out));
    EXPECT_TRUE(out.empty());
}

} // namespace
