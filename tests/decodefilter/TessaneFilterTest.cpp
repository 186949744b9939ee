// "KQ Video Decode" alone: its interfaces, the input types it takes, the output types it offers and their
// order, the buffers it asks for, the pitch it learns, how an output sample takes the input's properties,
// and its trace lines.
#include "DecodeFilterFixture.h"
#include "TestSample.h"

#include "decodefilter/TessaneFilterHooks.h"
#include "platform/win32/DebugOutput.h"
#include "tests/support/PictureReference.h"

#include <iconv.h>

#include <string>
#include <vector>

namespace {

using platform::ComPtr;

TEST_F(DecodeFilterFixture, InterfacesPinsAndThePropertyPage) {
    TessaneFilter& filter = make();
    EXPECT_EQ(filter.NonDelegatingQueryInterface(IID_ITessane, nullptr), E_POINTER);
    ComPtr<ITessane> tessane;
    ASSERT_EQ(object_->QueryInterface(IID_ITessane, tessane.ReleaseAndGetVoidAddressOf()), S_OK);
    EXPECT_EQ(tessane->Reserved1(nullptr), S_OK);
    EXPECT_EQ(tessane->Reserved2(nullptr, nullptr), S_OK);
    EXPECT_EQ(tessane->Reserved3(), S_OK);
    ComPtr<IBaseFilter> back;
    EXPECT_EQ(tessane->QueryInterface(IID_IBaseFilter, back.ReleaseAndGetVoidAddressOf()), S_OK);
    EXPECT_EQ(back.Get(), object_.Get());

    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(object_->QueryInterface(IID_ISpecifyPropertyPages, pages.ReleaseAndGetVoidAddressOf()), S_OK);
    EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);
    CAUUID list{};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u);
    EXPECT_EQ(list.pElems[0], platform::MakeGuid("7974D845-92BE-4E6E-B964-38BAEA37C0BD"));
    CoTaskMemFree(list.pElems);

    void* none = nullptr;
    EXPECT_EQ(object_->QueryInterface(IID_IMediaSeeking, &none), E_NOINTERFACE);
    CLSID clsid{};
    ASSERT_EQ(object_->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, platform::MakeGuid("7CD26C67-3858-46B4-9A46-2426537AB81B"));
    EXPECT_EQ(std::wstring(filter.GetPin(0)->Name()), L"Input");
    EXPECT_EQ(std::wstring(filter.GetPin(1)->Name()), L"Output");
}

// Only H.264 video with a VideoInfo block of a size the decoder gives is taken: the size comes from a file.
TEST_F(DecodeFilterFixture, InputTypesAndTheirSizes) {
    TessaneFilter& filter = make();
    EXPECT_EQ(filter.CheckInputType(nullptr), E_POINTER);
    struct Row {
        const char* name;
        CMediaType type;
        HRESULT result;
    };
    CMediaType wave = h264Type(720, 576);
    wave.SetFormatType(&FORMAT_WaveFormatEx);
    CMediaType yuy2 = h264Type(720, 576);
    yuy2.SetSubtype(&MEDIASUBTYPE_YUY2);
    CMediaType audio = h264Type(720, 576);
    audio.SetType(&MEDIATYPE_Audio);
    CMediaType shortBlock = h264Type(720, 576);
    shortBlock.ReallocFormatBuffer(sizeof(VIDEOINFOHEADER) - 1);
    const Row rows[] = {
        {"the box's frame", h264Type(720, 576), S_OK},
        {"a small picture", h264Type(176, 144), S_OK},
        {"a format other than VideoInfo", wave, VFW_E_TYPE_NOT_ACCEPTED},
        {"another subtype", yuy2, VFW_E_TYPE_NOT_ACCEPTED},
        {"audio", audio, VFW_E_TYPE_NOT_ACCEPTED},
        {"a VideoInfo block cut short", shortBlock, VFW_E_TYPE_NOT_ACCEPTED},
        {"wider than 45 macroblocks", h264Type(736, 576), VFW_E_TYPE_NOT_ACCEPTED},
        {"taller than 36 macroblocks", h264Type(720, 592), VFW_E_TYPE_NOT_ACCEPTED},
        {"no width", h264Type(0, 576), VFW_E_TYPE_NOT_ACCEPTED},
        {"a negative height", h264Type(720, -576), VFW_E_TYPE_NOT_ACCEPTED},
        {"a height past 32 bits", h264Type(0x40000000, 0x40000000), VFW_E_TYPE_NOT_ACCEPTED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(filter.CheckInputType(&row.type), row.result);
        CMediaType out;
        out.SetFormatType(&FORMAT_VideoInfo);
        EXPECT_EQ(filter.CheckTransform(&row.type, &out), row.result);
    }
    const CMediaType good = h264Type(720, 576);
    CMediaType noFormat;
    EXPECT_EQ(filter.CheckTransform(&good, &noFormat), E_INVALIDARG)
        << "the output's format is not VideoInfo";
    EXPECT_EQ(filter.CheckTransform(&good, nullptr), E_POINTER);
    EXPECT_EQ(filter.CheckTransform(nullptr, &good), E_POINTER);
}

// UYVY, then YUY2, then an uncompressed VideoInfo type, each of the input's size.
TEST_F(DecodeFilterFixture, OutputTypesInTheirOrder) {
    CMediaType type;
    EXPECT_EQ(make().GetMediaType(0, &type), E_UNEXPECTED) << "before the input is connected";
    const CMediaType input = h264Type(720, 576);
    TessaneFilter& filter = make(&input);
    EXPECT_EQ(filter.GetMediaType(0, nullptr), E_POINTER);
    EXPECT_EQ(filter.GetMediaType(-1, &type), E_INVALIDARG);
    EXPECT_EQ(filter.GetMediaType(3, &type), VFW_S_NO_MORE_ITEMS);

    struct Row {
        GUID subtype;
        DWORD compression;
        WORD bits;
        DWORD image;
    };
    const Row rows[] = {
        {MEDIASUBTYPE_UYVY, MakeFourCC('U', 'Y', 'V', 'Y'), 16, 720 * 576 * 2},
        {MEDIASUBTYPE_YUY2, MakeFourCC('Y', 'U', 'Y', '2'), 16, 720 * 576 * 2},
        {GUID_NULL, 0, 0, 0},
    };
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(filter.GetPin(1)->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
    for (const Row& row : rows) {
        AM_MEDIA_TYPE* offered = nullptr;
        ASSERT_EQ(types->Next(1, &offered, nullptr), S_OK);
        EXPECT_EQ(offered->majortype, MEDIATYPE_Video);
        EXPECT_EQ(offered->subtype, row.subtype);
        EXPECT_EQ(offered->formattype, FORMAT_VideoInfo);
        EXPECT_TRUE(offered->bTemporalCompression);
        EXPECT_EQ(offered->bFixedSizeSamples, row.image != 0);
        if (row.image) {
            EXPECT_EQ(offered->lSampleSize, row.image);
        }
        ASSERT_EQ(offered->cbFormat, sizeof(VIDEOINFOHEADER));
        const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(offered->pbFormat);
        EXPECT_EQ(vih->bmiHeader.biSize, 40u);
        EXPECT_EQ(vih->bmiHeader.biWidth, 720);
        EXPECT_EQ(vih->bmiHeader.biHeight, 576);
        EXPECT_EQ(vih->bmiHeader.biPlanes, 1);
        EXPECT_EQ(vih->bmiHeader.biCompression, row.compression);
        EXPECT_EQ(vih->bmiHeader.biBitCount, row.bits);
        EXPECT_EQ(vih->bmiHeader.biSizeImage, row.image);
        EXPECT_EQ(vih->rcSource.right, 0);
        EXPECT_EQ(vih->rcTarget.bottom, 0);
        DeleteMediaType(offered);
    }
    AM_MEDIA_TYPE* more = nullptr;
    EXPECT_EQ(types->Next(1, &more, nullptr), S_FALSE);
}

// One buffer of the input's sample size (737,280 bytes when the input's samples vary or are under 1024
// bytes), but never less than a picture of the announced size at the pitch nor more than that needs.
TEST_F(DecodeFilterFixture, OutputBuffersHoldAPictureAtThePitch) {
    struct Row {
        const char* name;
        LONG width, height;
        ULONG sampleSize;
        LONG buffer;
    };
    const Row rows[] = {
        {"variable samples, small picture", 176, 144, 0, 737280},
        {"samples under 1024 bytes", 176, 144, 1000, 737280},
        {"the input's own sample size", 176, 144, 300000, 300000},
        {"samples under a picture", 176, 144, 2000, 384 * 144},
        {"the box's frame at a pitch of 1472", 720, 576, 0, 1472 * 576},
        {"huge input samples buy nothing", 720, 576, 0x7FFFFFF0, 1472 * 576},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CMediaType input = h264Type(row.width, row.height, row.sampleSize);
        make(&input);
        EXPECT_EQ(bufferSize(), row.buffer);
        EXPECT_EQ(filter_->Decoder()->Pitch(), static_cast<DWORD>((2 * row.width + 63) / 64 * 64));
        source_->pin(0)->Disconnect();
        filter_->GetPin(0)->Disconnect();
    }

    ALLOCATOR_PROPERTIES request{};
    EXPECT_EQ(make().DecideBufferSize(nullptr, &request), E_POINTER);
    auto allocator = platform::ComPtr<IMemAllocator>();
    platform::QueryNew(new CMemAllocator(L"test", nullptr, nullptr), IID_IMemAllocator,
                       allocator.ReleaseAndGetVoidAddressOf());
    EXPECT_EQ(filter_->DecideBufferSize(allocator.Get(), &request), E_UNEXPECTED) << "input not connected";
}

// An allocator that grants less than asked makes the buffer decision fail.
class StingyAllocator final : public platform::SingleInterface<IMemAllocator, IID_IMemAllocator> {
public:
    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
        *actual = *request;
        actual->cbBuffer = request->cbBuffer - 1;
        return S_OK;
    }
    HRESULT GetProperties(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT Commit() override { return E_NOTIMPL; }
    HRESULT Decommit() override { return E_NOTIMPL; }
    HRESULT GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override { return E_NOTIMPL; }
    HRESULT ReleaseBuffer(IMediaSample*) override { return E_NOTIMPL; }
};

TEST_F(DecodeFilterFixture, AnAllocatorGrantingLessFailsTheDecision) {
    const CMediaType input = h264Type(720, 576);
    make(&input);
    auto* stingy = new StingyAllocator;
    stingy->AddRef();
    ALLOCATOR_PROPERTIES request{};
    EXPECT_EQ(filter_->DecideBufferSize(stingy, &request), E_FAIL);
    stingy->Release();
}

// The pitch the probe answers, learnt once: 0, a failure code or more than 10240 give 2048, and a pitch
// under a picture row is raised to it.
TEST_F(DecodeFilterFixture, ThePitchRule) {
    struct Row {
        const char* name;
        platform::ddraw::ProbeHook probe;
        DWORD pitch;
    };
    const Row rows[] = {
        {"the probe's own answer", {}, 1472}, {"0", {0, 0u}, 2048},
        {"-1", {0, 0xFFFFFFFFu}, 2048},       {"20000", {0, 20000u}, 2048},
        {"10240", {0, 10240u}, 10240},        {"no surface (-9)", {-21, std::nullopt}, 2048},
        {"under a row", {0, 100u}, 1440},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        platform::ddraw::SetProbeHook(row.probe);
        Tessane decoder;
        EXPECT_EQ(decoder.LearnPitch(720, 576), row.pitch);
        platform::ddraw::SetProbeHook({0, 4096u});
        EXPECT_EQ(decoder.LearnPitch(352, 288), row.pitch) << "learnt once";
    }
}

// The recorder fixture's pictures (96 x 64 frames), one input each.
const std::vector<picref::Bytes>& frameInputs() {
    static const std::vector<picref::Bytes> units =
        picref::accessUnits(picref::readFile(std::string(VELOQ_FIXTURES_DIR) + "/recorder/stream.264"));
    return units;
}

// Times and media times pass only when both ends are known; the flags pass as they are; the output never
// takes the input's (H.264) media type. A picture comes out at the input after its own.
TEST_F(DecodeFilterFixture, AnOutputSampleTakesTheInputsProperties) {
    const CMediaType input = h264Type(96, 64);
    struct Row {
        const char* name;
        HRESULT timeResult;
        bool flags;
        bool copied;
    };
    const Row rows[] = {{"both times, every flag", S_OK, true, true},
                        {"a start without a stop", VFW_S_NO_STOP_TIME, false, false},
                        {"no times", VFW_E_SAMPLE_TIME_NOT_SET, true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TessaneFilter& filter = make(&input);
        TestSample first(frameInputs()[0]), nothing(64 * 1024);
        EXPECT_EQ(filter.Transform(&first, &nothing), S_FALSE) << "nothing has come out yet";
        TestSample in(frameInputs()[1]), out(64 * 1024);
        in.setTimes(row.timeResult, 400000, 800000);
        in.mediaTimeResult = row.timeResult;
        in.sync = in.preroll = in.discontinuity = row.flags;
        CMediaType label = input;
        in.SetMediaType(&label);
        out.sync = out.preroll = out.discontinuity = !row.flags;
        ASSERT_EQ(filter.Transform(&in, &out), S_OK);
        REFERENCE_TIME start = 0, stop = 0;
        EXPECT_EQ(out.GetTime(&start, &stop) == S_OK, row.copied);
        if (row.copied) {
            EXPECT_EQ(start, 400000);
            EXPECT_EQ(stop, 800000);
        }
        LONGLONG mediaStart = 0, mediaStop = 0;
        EXPECT_EQ(out.GetMediaTime(&mediaStart, &mediaStop) == S_OK, row.copied);
        EXPECT_EQ(out.IsSyncPoint() == S_OK, row.flags);
        EXPECT_EQ(out.IsPreroll() == S_OK, row.flags);
        EXPECT_EQ(out.IsDiscontinuity() == S_OK, row.flags);
        AM_MEDIA_TYPE* type = nullptr;
        EXPECT_EQ(out.GetMediaType(&type), S_FALSE) << "no H.264 label on a packed picture";
        EXPECT_EQ(out.GetActualDataLength(), 192 * 64) << "UYVY rows at the pitch of a 96-pixel surface";
        source_->pin(0)->Disconnect();
        filter.GetPin(0)->Disconnect();
    }
}

// Without its decoder object (its allocation failed) the filter delivers nothing at all.
TEST_F(DecodeFilterFixture, WithoutADecoderObjectNothingIsDelivered) {
    SetTessaneDecoderAllocationFails(true);
    const CMediaType input = h264Type(96, 64);
    TessaneFilter& filter = make(&input);
    SetTessaneDecoderAllocationFails(false);
    ASSERT_EQ(filter.Decoder(), nullptr);
    for (size_t i = 0; i < 3; ++i) {
        TestSample in(frameInputs()[i]), out(64 * 1024);
        in.setTimes(S_OK, 0, 1);
        EXPECT_EQ(filter.Transform(&in, &out), S_FALSE) << i;
    }
    EXPECT_EQ(bufferSize(), 737280);
    CMediaType type;
    EXPECT_EQ(filter.GetMediaType(1, &type), S_OK);
}

// The trace lines go to the debug output as the system wrote them, the destructor's in GBK.
TEST_F(DecodeFilterFixture, TraceLines) {
    std::vector<std::string> lines;
    platform::SetDebugOutputSink([&](std::string_view bytes) { lines.emplace_back(bytes); });
    const CMediaType input = h264Type(720, 576);
    make(&input);
    bufferSize();
    choose(0);
    object_.Reset();
    source_->pin(0)->Disconnect();
    source_.Reset();
    filter_ = nullptr;
    platform::SetDebugOutputSink(nullptr);

    const std::string utf8 =
        "\xE8\xA7\x86\xE9\xA2\x91\xE8\xA7\xA3\xE7\xA0\x81 Filter "
        "\xE6\x9E\x90\xE6\x9E\x84\xE5\x87\xBD\xE6\x95\xB0TessaneFilter::~TessaneFilter\n";
    std::string gbk(utf8.size(), '\0');
    iconv_t cd = iconv_open("GBK", "UTF-8");
    char* from = const_cast<char*>(utf8.data());
    char* to = gbk.data();
    size_t left = utf8.size(), room = gbk.size();
    ASSERT_NE(iconv(cd, &from, &left, &to, &room), static_cast<size_t>(-1));
    iconv_close(cd);
    gbk.resize(gbk.size() - room);
    const std::vector<std::string> expected = {
        "Tessane::Initialize(void)\n",
        "TessaneFilter::CheckInputType(const CMediaType *mtIn)\n",
        "TessaneFilter::DecideBufferSize(IMemAllocator *pAlloc,ALLOCATOR_PROPERTIES *pProperties)\n",
        "TessaneFilter::GetMediaType(int iPosition, CMediaType *pMediaType)\n",
        gbk,
        "Tessane::Uninitialize(void)\n",
    };
    std::vector<std::string> seen;
    for (const std::string& line : lines)
        if (seen.empty() || seen.back() != line)
            seen.push_back(line);
    EXPECT_EQ(seen, expected);
}

} // namespace
