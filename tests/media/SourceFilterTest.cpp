// The live source filter: its pins and types, the connection it accepts, buffer sizes and sample times.
#include "tests/support/CaptureSink.h"
#include "tests/support/TestFilters.h"

#include "media/SourceFilter.h"
#include "platform/com/Com.h"
#include "platform/dshow/Uuids.h"

#include <gtest/gtest.h>

#include <functional>

using platform::ComPtr;

namespace {

CMediaType videoType(const GUID& subtype, bool fixedSize = true) {
    return testfilters::videoType(subtype, 64, 64, 16, fixedSize ? 64 * 64 * 2 : 0);
}

CMediaType audioType(WORD channels, DWORD rate, WORD bits) {
    CMediaType type;
    type.SetType(&MEDIATYPE_Audio);
    type.SetSubtype(&MEDIASUBTYPE_PCM);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    auto* format = reinterpret_cast<WAVEFORMATEX*>(type.AllocFormatBuffer(sizeof(WAVEFORMATEX)));
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = channels;
    format->nSamplesPerSec = rate;
    format->wBitsPerSample = bits;
    format->nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format->nAvgBytesPerSec = rate * format->nBlockAlign;
    type.SetSampleSize(format->nBlockAlign);
    return type;
}

class SourceFilterTest : public ::testing::Test, public capture::SourceBench {};

TEST_F(SourceFilterTest, HasTwoNamedPins) {
    EXPECT_EQ(source_->GetPinCount(), 2);
    EXPECT_EQ(source_->GetPin(-1), nullptr);
    EXPECT_EQ(source_->GetPin(2), nullptr);
    EXPECT_STREQ(source_->GetPin(0)->Name(), L"Video Out");
    EXPECT_STREQ(source_->GetPin(1)->Name(), L"Audio Out");
    CLSID clsid{};
    source_->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_KqNetSource);
}

TEST_F(SourceFilterTest, VideoPinOffersFiveTypesOfItsSize) {
    struct Row {
        int position;
        GUID subtype;
        DWORD compression;
        WORD bitCount;
    };
    const Row rows[] = {
        {0, MEDIASUBTYPE_UYVY, MakeFourCC('U', 'Y', 'V', 'Y'), 16},
        {1, MEDIASUBTYPE_YUY2, MakeFourCC('Y', 'U', 'Y', '2'), 16},
        {2, MEDIASUBTYPE_RGB555, BI_RGB, 16},
        {3, MEDIASUBTYPE_YUYV, MakeFourCC('Y', 'U', 'Y', 'V'), 16},
        {4, GUID_NULL, BI_RGB, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.position);
        CMediaType type;
        ASSERT_EQ(source_->VideoPin()->GetMediaType(row.position, &type), S_OK);
        EXPECT_EQ(*type.Type(), MEDIATYPE_Video);
        EXPECT_EQ(*type.Subtype(), row.subtype);
        EXPECT_EQ(*type.FormatType(), FORMAT_VideoInfo);
        EXPECT_EQ(type.GetSampleSize(), capture::kPitch * capture::kHeight);
        EXPECT_FALSE(type.IsTemporalCompressed());
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format());
        EXPECT_EQ(info->bmiHeader.biWidth, static_cast<LONG>(capture::kWidth));
        EXPECT_EQ(info->bmiHeader.biHeight, static_cast<LONG>(capture::kHeight));
        EXPECT_EQ(info->bmiHeader.biCompression, row.compression);
        EXPECT_EQ(info->bmiHeader.biBitCount, row.bitCount);
    }
    CMediaType type;
    EXPECT_EQ(source_->VideoPin()->GetMediaType(5, &type), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(source_->VideoPin()->GetMediaType(-1, &type), E_INVALIDARG);
    EXPECT_EQ(source_->VideoPin()->GetMediaType(0, nullptr), E_POINTER);
    EXPECT_EQ(source_->AudioPin()->GetMediaType(0, &type), S_OK);
    EXPECT_EQ(source_->AudioPin()->GetMediaType(1, &type), VFW_S_NO_MORE_ITEMS);
}

TEST_F(SourceFilterTest, AcceptsOnlyTheTypesItPacks) {
    struct Row {
        const char* name;
        CMediaType type;
        HRESULT video;
    };
    CMediaType audio = audioType(2, 32000, 16);
    const Row rows[] = {
        {"UYVY", videoType(MEDIASUBTYPE_UYVY), S_OK},
        {"YUY2", videoType(MEDIASUBTYPE_YUY2), S_OK},
        {"YUYV", videoType(MEDIASUBTYPE_YUYV), S_OK},
        {"YVYU: chroma swapped", videoType(MEDIASUBTYPE_YVYU), E_INVALIDARG},
        {"RGB565", videoType(MEDIASUBTYPE_RGB565), E_INVALIDARG},
        {"RGB555", videoType(MEDIASUBTYPE_RGB555), E_INVALIDARG},
        {"variable size", videoType(MEDIASUBTYPE_UYVY, false), E_INVALIDARG},
        {"audio", audio, E_INVALIDARG},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(source_->VideoPin()->CheckMediaType(&row.type), row.video);
    }
    struct AudioRow {
        WORD channels;
        DWORD rate;
        WORD bits;
        HRESULT expected;
    };
    for (const AudioRow& row : {AudioRow{2, 32000, 16, S_OK}, AudioRow{1, 32000, 16, E_INVALIDARG},
                                AudioRow{2, 44100, 16, E_INVALIDARG}, AudioRow{2, 32000, 8, E_INVALIDARG}}) {
        const CMediaType type = audioType(row.channels, row.rate, row.bits);
        EXPECT_EQ(source_->AudioPin()->CheckMediaType(&type), row.expected)
            << row.channels << " " << row.rate;
    }
    const CMediaType video = videoType(MEDIASUBTYPE_UYVY);
    EXPECT_EQ(source_->AudioPin()->CheckMediaType(&video), E_INVALIDARG);
}

// The packing follows the type the renderer accepted, not the last one the pin proposed.
TEST_F(SourceFilterTest, SubtypeCodeComesFromTheAcceptedConnection) {
    struct Row {
        const char* name;
        std::vector<GUID> accepted;
        std::vector<CMediaType> offered;
        HRESULT connection;
        int code;
    };
    const Row rows[] = {
        {"UYVY first", {MEDIASUBTYPE_UYVY, MEDIASUBTYPE_YUY2}, {}, S_OK, VIDEO_SUBTYPE_UYVY},
        {"YUY2 only", {MEDIASUBTYPE_YUY2}, {}, S_OK, VIDEO_SUBTYPE_YUY2},
        {"YUYV only", {MEDIASUBTYPE_YUYV}, {}, S_OK, VIDEO_SUBTYPE_YUYV},
        {"renderer offers YUY2",
         {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_UYVY},
         {videoType(MEDIASUBTYPE_YUY2)},
         S_OK,
         VIDEO_SUBTYPE_YUY2},
        {"RGB only", {MEDIASUBTYPE_RGB555, MEDIASUBTYPE_RGB565}, {videoType(MEDIASUBTYPE_RGB565)}, -1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        capture::SourceBench bench;
        KQ_AV_SourceFilter* source = bench.source_;
        const HRESULT hr = bench.connect(0, bench.addSink(row.accepted, row.offered));
        if (row.connection == S_OK) {
            ASSERT_EQ(hr, S_OK);
            EXPECT_EQ(source->VideoSubtypeCode(), row.code);
            AM_MEDIA_TYPE connected{};
            ASSERT_EQ(source->VideoPin()->ConnectionMediaType(&connected), S_OK);
            const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(connected.pbFormat);
            EXPECT_EQ(info->bmiHeader.biWidth, static_cast<LONG>(capture::kWidth));
            EXPECT_EQ(info->bmiHeader.biHeight, static_cast<LONG>(capture::kHeight));
            FreeMediaType(connected);
        } else {
            EXPECT_TRUE(FAILED(hr));
            EXPECT_FALSE(source->VideoPin()->IsConnected());
        }
    }
}

TEST_F(SourceFilterTest, OneBufferPerPin) {
    capture::Sink* video = addSink({MEDIASUBTYPE_UYVY});
    capture::Sink* audio = addSink({MEDIASUBTYPE_PCM});
    ASSERT_EQ(connect(0, video), S_OK);
    ASSERT_EQ(connect(1, audio), S_OK);
    EXPECT_EQ(video->allocatorProperties().cBuffers, 1);
    EXPECT_EQ(video->allocatorProperties().cbBuffer, static_cast<LONG>(capture::kPitch * capture::kHeight));
    EXPECT_EQ(audio->allocatorProperties().cBuffers, 1);
    EXPECT_EQ(audio->allocatorProperties().cbBuffer, 128000);
}

TEST_F(SourceFilterTest, SamplesRunOnByTheirDurations) {
    capture::Sink* video = addSink({MEDIASUBTYPE_UYVY});
    capture::Sink* audio = addSink({MEDIASUBTYPE_PCM});
    ASSERT_EQ(connect(0, video), S_OK);
    ASSERT_EQ(connect(1, audio), S_OK);
    ASSERT_EQ(run(), S_OK);

    BYTE* data = nullptr;
    LONG size = 0;
    EXPECT_EQ(source_->DeliverVideo(40, 16), E_FAIL) << "no sample held";
    for (int duration : {0, 25, 1}) {
        ASSERT_EQ(source_->GetVideoBuffer(&data, &size), S_OK);
        EXPECT_EQ(size, static_cast<LONG>(capture::kPitch * capture::kHeight));
        ASSERT_EQ(source_->DeliverVideo(duration, 1440), S_OK);
    }
    for (int duration : {0, 2001, 20}) {
        ASSERT_EQ(source_->GetAudioBuffer(&data, &size), 1);
        ASSERT_EQ(source_->DeliverAudio(duration, 4096), S_OK);
    }
    ASSERT_EQ(source_->GetVideoBuffer(&data, &size), S_OK);
    EXPECT_EQ(source_->DeliverVideo(40, size + 1), VFW_E_BUFFER_OVERFLOW) << "longer than the sample";

    const std::vector<capture::Sample> frames = video->samples();
    ASSERT_EQ(frames.size(), 3u);
    const REFERENCE_TIME videoEdges[] = {0, 400000, 650000, 660000};
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].start, videoEdges[i]);
        EXPECT_EQ(frames[i].stop, videoEdges[i + 1]);
        EXPECT_EQ(frames[i].length, 1440);
    }
    const std::vector<capture::Sample> sound = audio->samples();
    ASSERT_EQ(sound.size(), 3u);
    const REFERENCE_TIME audioEdges[] = {0, 320000, 640000, 840000};
    for (size_t i = 0; i < sound.size(); ++i) {
        EXPECT_EQ(sound[i].start, audioEdges[i]);
        EXPECT_EQ(sound[i].stop, audioEdges[i + 1]);
    }

    source_->ResetRunningTimes();
    ASSERT_EQ(source_->GetVideoBuffer(&data, &size), S_OK);
    ASSERT_EQ(source_->DeliverVideo(40, 16), S_OK);
    EXPECT_EQ(video->samples().back().start, 0);
}

// A length the sample cannot hold is refused on either pin: nothing is delivered, the sample goes back to
// the allocator (the next one can be had), and the running time stays where it was.
TEST_F(SourceFilterTest, ALengthPastTheSampleIsRefused) {
    capture::Sink* video = addSink({MEDIASUBTYPE_UYVY});
    capture::Sink* audio = addSink({MEDIASUBTYPE_PCM});
    ASSERT_EQ(connect(0, video), S_OK);
    ASSERT_EQ(connect(1, audio), S_OK);
    ASSERT_EQ(run(), S_OK);
    struct Pin {
        const char* name;
        capture::Sink* sink;
        std::function<bool(BYTE**, LONG*)> take;
        std::function<HRESULT(LONG)> deliver;
        std::function<LONGLONG()> time;
    };
    const Pin pins[] = {
        {"video", video, [&](BYTE** d, LONG* n) { return source_->GetVideoBuffer(d, n) == S_OK; },
         [&](LONG length) { return source_->DeliverVideo(40, length); },
         [&] { return source_->VideoRunningTime(); }},
        {"audio", audio, [&](BYTE** d, LONG* n) { return source_->GetAudioBuffer(d, n) == 1; },
         [&](LONG length) { return source_->DeliverAudio(32, length); },
         [&] { return source_->AudioRunningTime(); }},
    };
    for (const Pin& pin : pins) {
        SCOPED_TRACE(pin.name);
        BYTE* data = nullptr;
        LONG size = 0;
        const LONG held = pin.sink->allocatorProperties().cbBuffer;
        for (LONG length : {held + 1, held + 4096, LONG{-1}}) {
            ASSERT_TRUE(pin.take(&data, &size));
            EXPECT_EQ(size, held);
            EXPECT_EQ(pin.deliver(length), VFW_E_BUFFER_OVERFLOW) << length;
        }
        EXPECT_TRUE(pin.sink->samples().empty());
        EXPECT_EQ(pin.time(), 0);
        ASSERT_TRUE(pin.take(&data, &size)) << "the refused sample went back";
        ASSERT_EQ(pin.deliver(size), S_OK) << "a full sample is fine";
        ASSERT_EQ(pin.sink->samples().size(), 1u);
        EXPECT_EQ(pin.sink->samples()[0].length, size);
    }
}

TEST_F(SourceFilterTest, NoBufferWhileUnconnectedOrStopped) {
    BYTE* data = nullptr;
    LONG size = 0;
    EXPECT_TRUE(FAILED(source_->GetVideoBuffer(&data, &size)));
    EXPECT_EQ(source_->GetAudioBuffer(&data, &size), 0);
    capture::Sink* video = addSink({MEDIASUBTYPE_UYVY});
    ASSERT_EQ(connect(0, video), S_OK);
    EXPECT_TRUE(FAILED(source_->GetVideoBuffer(&data, &size))) << "stopped: nothing committed";
}

} // namespace
