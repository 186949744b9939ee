#include "tests/support/TestFilters.h"

#include "platform/com/Com.h"
#include "platform/dshow/Uuids.h"
#include "platform/dshow/VideoRendererHooks.h"
#include "platform/dshow/VideoSurface.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/WindowDc.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Messages.h"
#include "tests/support/FilterGraphSetup.h"
#include "tests/support/RgbModel.h"
#include "tests/support/fakes/HeadlessVideoSurface.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

using namespace testfilters;
using platform::ComPtr;
using platform::Query;

constexpr int kWidth = 16, kHeight = 8;

CMediaType picture(const GUID& subtype, int width = kWidth, int height = kHeight) {
    CMediaType t = videoType(subtype);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(t.Format());
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    vih->bmiHeader.biBitCount = 16;
    return t;
}

// A UYVY picture of one colour at the given pitch.
std::vector<BYTE> uyvy(int pitch, BYTE y, BYTE u, BYTE v) {
    std::vector<BYTE> bytes(static_cast<size_t>(pitch) * kHeight, 0xEE);
    for (int row = 0; row < kHeight; ++row)
        for (int x = 0; x < kWidth; x += 2) {
            BYTE* p = &bytes[static_cast<size_t>(row * pitch + 2 * x)];
            p[0] = u, p[1] = y, p[2] = v, p[3] = y;
        }
    return bytes;
}

class VideoRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        graph_ = MakeFilterGraph();
        ASSERT_TRUE(graph_);
        control_ = Query<IMediaControl>(graph_.Get(), IID_IMediaControl);
        window_ = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        platform::gdi::SetWindowClientSize(window_, 320, 240);
        platform::dshow::RegisterVideoSurface(window_, &surface_);
    }
    void TearDown() override {
        control_->Stop();
        platform::dshow::UnregisterVideoSurface(window_);
        DestroyWindow(window_);
        platform::dshow::SetVmr9CreationFails(false);
        platform::SetTimeScale(1.0);
    }
    // The VMR-9 fed by a source offering `type`, clipped to the test window.
    void build(const CMediaType& type, LONG bufferSize) {
        vmr_ = AddFilterOf(graph_.Get(), CLSID_VideoMixingRenderer9, L"Video Mixing Renderer 9");
        ASSERT_TRUE(vmr_);
        source_ = ComPtr<IBaseFilter>::Adopt(TestSource::make({{type}}));
        ASSERT_EQ(graph_->AddFilter(source_.Get(), L"source"), S_OK);
        pin()->bufferSize = bufferSize;
        windowless_ = Query<IVMRWindowlessControl9>(vmr_.Get(), IID_IVMRWindowlessControl9);
        ASSERT_TRUE(windowless_);
        ASSERT_EQ(windowless_->SetVideoClippingWindow(window_), S_OK);
        ComPtr<IPin> in;
        ASSERT_EQ(vmr_->FindPin(L"VMR Input0", in.ReleaseAndGetAddressOf()), S_OK);
        ASSERT_EQ(graph_->ConnectDirect(pin(), in.Get(), nullptr), S_OK);
    }
    TestSourcePin* pin() { return static_cast<TestSource*>(source_.Get())->pin(0); }

    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IBaseFilter> vmr_, source_;
    ComPtr<IVMRWindowlessControl9> windowless_;
    HWND window_ = nullptr;
    HeadlessVideoSurface surface_;
};

TEST_F(VideoRendererTest, TakesUyvyAndYuy2WithVideoInfoAndOffersNothing) {
    ComPtr<IBaseFilter> vmr;
    ASSERT_EQ(CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               vmr.ReleaseAndGetVoidAddressOf()),
              S_OK);
    ComPtr<IPin> in;
    ASSERT_EQ(vmr->FindPin(L"VMR Input0", in.ReleaseAndGetAddressOf()), S_OK);
    CMediaType noFormat = picture(MEDIASUBTYPE_UYVY);
    noFormat.SetFormatType(&FORMAT_None);
    CMediaType audio = picture(MEDIASUBTYPE_UYVY);
    audio.SetType(&MEDIATYPE_Audio);
    const struct {
        const char* name;
        CMediaType type;
        HRESULT expected;
    } cases[] = {{"UYVY", picture(MEDIASUBTYPE_UYVY), S_OK},
                 {"YUY2", picture(MEDIASUBTYPE_YUY2), S_OK},
                 {"RGB565", picture(MEDIASUBTYPE_RGB565), S_FALSE},
                 {"YUYV", picture(MEDIASUBTYPE_YUYV), S_FALSE},
                 {"no VideoInfo", noFormat, S_FALSE},
                 {"audio", audio, S_FALSE},
                 {"zero width", picture(MEDIASUBTYPE_UYVY, 0, 8), S_FALSE},
                 {"odd width", picture(MEDIASUBTYPE_UYVY, 15, 8), S_FALSE}};
    for (const auto& c : cases)
        EXPECT_EQ(in->QueryAccept(&c.type), c.expected) << c.name;
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(in->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
    AM_MEDIA_TYPE* none = nullptr;
    ULONG fetched = 9;
    EXPECT_EQ(types->Next(1, &none, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}

TEST_F(VideoRendererTest, InterfaceSetsFollowTheClassAndTheCreationHook) {
    const struct {
        const char* name;
        const CLSID* clsid;
        bool nine;
    } cases[] = {{"VMR-9", &CLSID_VideoMixingRenderer9, true},
                 {"VMR-7", &CLSID_VideoMixingRenderer, false},
                 {"default renderer", &CLSID_VideoRendererDefault, false}};
    for (const auto& c : cases) {
        ComPtr<IBaseFilter> vmr;
        ASSERT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   vmr.ReleaseAndGetVoidAddressOf()),
                  S_OK)
            << c.name;
        EXPECT_EQ(bool(Query<IVMRWindowlessControl9>(vmr.Get(), IID_IVMRWindowlessControl9)), c.nine)
            << c.name;
        EXPECT_EQ(bool(Query<IVMRMixerBitmap9>(vmr.Get(), IID_IVMRMixerBitmap9)), c.nine) << c.name;
        EXPECT_EQ(bool(Query<IVMRWindowlessControl>(vmr.Get(), IID_IVMRWindowlessControl)), !c.nine)
            << c.name;
        EXPECT_EQ(bool(Query<IVMRFilterConfig>(vmr.Get(), IID_IVMRFilterConfig)), !c.nine) << c.name;
        CLSID clsid{};
        vmr->GetClassID(&clsid);
        EXPECT_EQ(clsid, *c.clsid) << c.name;
    }
    // Mixer streams give input pins (before anything connects).
    ComPtr<IBaseFilter> vmr7;
    CoCreateInstance(CLSID_VideoMixingRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     vmr7.ReleaseAndGetVoidAddressOf());
    auto config = Query<IVMRFilterConfig>(vmr7.Get(), IID_IVMRFilterConfig);
    ASSERT_EQ(config->SetNumberOfStreams(4), S_OK);
    ComPtr<IPin> fourth;
    EXPECT_EQ(vmr7->FindPin(L"VMR Input3", fourth.ReleaseAndGetAddressOf()), S_OK);

    platform::dshow::SetVmr9CreationFails(true);
    void* out = nullptr;
    EXPECT_EQ(
        CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &out),
        E_FAIL);
    EXPECT_EQ(
        CoCreateInstance(CLSID_VideoMixingRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &out),
        S_OK);
    static_cast<IBaseFilter*>(out)->Release();
}

TEST_F(VideoRendererTest, PresentsTheFrameAtThePitchItsLengthTells) {
    const int pitch = 64; // wider than 2 x 16, as a surface pitch
    build(picture(MEDIASUBTYPE_UYVY), pitch * kHeight);
    const RECT destination{10, 20, 170, 100};
    ASSERT_EQ(windowless_->SetVideoPosition(nullptr, &destination), S_OK);
    windowless_->SetBorderColor(RGB(1, 2, 3));
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_EQ(pin()->deliver(0, 1, uyvy(pitch, 0x80, 0x40, 0xC0)), S_OK); // due at once
    ASSERT_EQ(surface_.presented(), 1);
    const auto shown = surface_.last();
    ASSERT_TRUE(shown.picture);
    EXPECT_EQ(shown.picture->width, kWidth);
    EXPECT_EQ(shown.picture->height, kHeight);
    // Every row from its own place: the padding between the rows shows nowhere.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(shown.picture->at(x, y), rgbmodel::pixel(0x80, 0x40, 0xC0)) << x << ", " << y;
    EXPECT_EQ(shown.destination.left, 10);
    EXPECT_EQ(shown.destination.bottom, 100);
    EXPECT_EQ(shown.source.right, kWidth);
    EXPECT_EQ(shown.border, RGB(1, 2, 3));
    LONG w = 0, h = 0;
    EXPECT_EQ(windowless_->GetNativeVideoSize(&w, &h, nullptr, nullptr), S_OK);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);

    // A sample shorter than its picture is not shown.
    ASSERT_EQ(pin()->deliver(1, 2, std::vector<BYTE>(20, 0)), S_OK);
    EXPECT_EQ(surface_.presented(), 1);

    // Repainting shows the current frame again; another window's surface takes over when it is the
    // clipping window.
    HeadlessVideoSurface other;
    HWND full = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    platform::dshow::RegisterVideoSurface(full, &other);
    ASSERT_EQ(windowless_->SetVideoClippingWindow(full), S_OK);
    EXPECT_EQ(windowless_->RepaintVideo(full, nullptr), S_OK);
    EXPECT_EQ(other.presented(), 1);
    EXPECT_EQ(surface_.presented(), 1);
    platform::dshow::UnregisterVideoSurface(full);
    EXPECT_EQ(windowless_->RepaintVideo(full, nullptr), S_OK);
    EXPECT_EQ(other.presented(), 1); // unregistered: nothing more reaches it
    DestroyWindow(full);
}

TEST_F(VideoRendererTest, Yuy2RowsAreTwiceTheWidth) {
    build(picture(MEDIASUBTYPE_YUY2), 4096);
    ASSERT_EQ(control_->Run(), S_OK);
    std::vector<BYTE> rows(4096, 0x80); // luma 20 + 10 y in row y, neutral chroma, 2 x 16 bytes a row
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            rows[static_cast<size_t>(y * 2 * kWidth + 2 * x)] = static_cast<BYTE>(20 + 10 * y);
    ASSERT_EQ(pin()->deliver(0, 1, rows), S_OK);
    const auto shown = surface_.last();
    for (int y = 0; y < kHeight; ++y)
        EXPECT_EQ(shown.picture->at(kWidth - 1, y), rgbmodel::pixel(20 + 10 * y, 0x80, 0x80)) << y;
}

// The renderer converts into pictures of its own, reused once no surface holds them: one that a surface
// keeps is never written again, and with every picture held a frame is let go rather than drawn over one.
TEST_F(VideoRendererTest, PicturesAreReusedButNeverOneThatIsStillHeld) {
    build(picture(MEDIASUBTYPE_UYVY), 2 * kWidth * kHeight);
    ASSERT_EQ(control_->Run(), S_OK);
    std::vector<std::shared_ptr<const platform::dshow::VideoPicture>> kept;
    std::set<const platform::dshow::VideoPicture*> distinct;
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(pin()->deliver(0, 1, uyvy(2 * kWidth, static_cast<BYTE>(20 + i), 0x80, 0x80)), S_OK);
        distinct.insert(surface_.last().picture.get());
    }
    EXPECT_EQ(distinct.size(), 2u) << "the surface holds one while the next is converted";
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(pin()->deliver(0, 1, uyvy(2 * kWidth, static_cast<BYTE>(100 + i), 0x80, 0x80)), S_OK);
        kept.push_back(surface_.last().picture);
    }
    ASSERT_EQ(surface_.presented(), 14);
    ASSERT_EQ(pin()->deliver(0, 1, uyvy(2 * kWidth, 200, 0x80, 0x80)), S_OK);
    EXPECT_EQ(surface_.presented(), 14) << "all four pictures are held";
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(kept[static_cast<size_t>(i)]->at(0, 0), rgbmodel::pixel(100 + i, 0x80, 0x80)) << i;
    kept.clear();
    ASSERT_EQ(pin()->deliver(0, 1, uyvy(2 * kWidth, 200, 0x80, 0x80)), S_OK);
    EXPECT_EQ(surface_.presented(), 15);
    EXPECT_EQ(surface_.last().picture->at(0, 0), rgbmodel::pixel(200, 0x80, 0x80));
}

TEST_F(VideoRendererTest, ReceiveWaitsUntilDueAndWhilePausedUntilRunStopOrFlush) {
    platform::SetTimeScale(20.0);
    build(picture(MEDIASUBTYPE_UYVY), 2 * kWidth * kHeight);
    const auto frame = uyvy(2 * kWidth, 0x50, 0x80, 0x80);

    // Paused: the first sample waits for Run.
    ASSERT_EQ(control_->Pause(), S_OK);
    HRESULT delivered = E_FAIL;
    std::thread feeder([&] { delivered = pin()->deliver(0, 1, frame); });
    Sleep(400);
    EXPECT_EQ(surface_.presented(), 0);
    ASSERT_EQ(control_->Run(), S_OK);
    feeder.join();
    EXPECT_EQ(delivered, S_OK);
    EXPECT_EQ(surface_.presented(), 1);

    // Running: a sample due in 1.5 s of stream time waits that long; a late one is shown at once.
    REFERENCE_TIME now = 0;
    static_cast<CBaseFilter*>(static_cast<TestSource*>(source_.Get()))->StreamTime(now);
    const DWORD before = GetTickCount();
    ASSERT_EQ(pin()->deliver(now + 15000000, now + 15400000, frame), S_OK);
    EXPECT_GE(GetTickCount() - before, 1400u);
    EXPECT_EQ(surface_.presented(), 2);
    ASSERT_EQ(pin()->deliver(0, 1, frame), S_OK); // late: shown without waiting

    // A sample far in the future is let go by a flush, and by Stop.
    std::thread flushed([&] { delivered = pin()->deliver(now + 600000000, now + 600000001, frame); });
    Sleep(200);
    ComPtr<IPin> in;
    vmr_->FindPin(L"VMR Input0", in.ReleaseAndGetAddressOf());
    in->BeginFlush();
    flushed.join();
    in->EndFlush();
    EXPECT_EQ(delivered, S_FALSE);
    EXPECT_EQ(surface_.presented(), 3);

    std::thread waiting([&] { delivered = pin()->deliver(now + 600000000, now + 600000001, frame); });
    Sleep(200);
    control_->Stop();
    waiting.join();
    EXPECT_EQ(delivered, VFW_E_WRONG_STATE);
    EXPECT_EQ(surface_.presented(), 3);
    EXPECT_EQ(surface_.last().picture->at(0, 0), 0xFF4B4B4Bu); // luma 0x50 with neutral chroma
}

// A 16 x 8 memory bitmap: black (the key) with a white block at columns 4..7 of rows 0..3.
struct OverlayDc {
    OverlayDc() {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
        old = SelectObject(dc, bitmap);
        RECT all{0, 0, kWidth, kHeight}, block{4, 0, 8, 4};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        FillRect(dc, &block, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~OverlayDc() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // The whole DC over the whole picture, opaque, black keyed out.
    VMR9AlphaBitmap keyedBlack() const {
        return {VMR9AlphaBitmap_hDC | VMR9AlphaBitmap_SrcColorKey,
                dc,
                nullptr,
                RECT{0, 0, kWidth, kHeight},
                NORMALIZEDRECT{0, 0, 1, 1},
                1.0f,
                RGB(0, 0, 0),
                0};
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

TEST_F(VideoRendererTest, MixerBitmapIsCopiedKeyedAndBlendedUntilDisabled) {
    build(picture(MEDIASUBTYPE_UYVY), 2 * kWidth * kHeight);
    auto mixer = Query<IVMRMixerBitmap9>(vmr_.Get(), IID_IVMRMixerBitmap9);
    ASSERT_TRUE(mixer);
    OverlayDc overlay;
    VMR9AlphaBitmap params = overlay.keyedBlack();
    ASSERT_EQ(mixer->SetAlphaBitmap(&params), S_OK);
    // Copied: later drawing into the DC changes nothing.
    RECT all{0, 0, kWidth, kHeight};
    FillRect(overlay.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    ASSERT_EQ(control_->Run(), S_OK);
    const int pitch = 2 * kWidth;
    ASSERT_EQ(pin()->deliver(0, 1, uyvy(pitch, 0x20, 0x80, 0x80)), S_OK);
    const std::uint32_t dark = rgbmodel::pixel(0x20, 0x80, 0x80);
    auto shown = [&](int x, int y) { return surface_.last().picture->at(x, y); };
    EXPECT_EQ(shown(4, 0), 0xFFFFFFFFu); // under the white block
    EXPECT_EQ(shown(7, 3), 0xFFFFFFFFu);
    EXPECT_EQ(shown(3, 0), dark); // key pixels leave the picture alone
    EXPECT_EQ(shown(4, 4), dark);

    VMR9AlphaBitmap current{};
    ASSERT_EQ(mixer->GetAlphaBitmapParameters(&current), S_OK);
    EXPECT_EQ(current.dwFlags & VMR9AlphaBitmap_Disable, 0u);
    EXPECT_EQ(current.clrSrcKey, RGB(0, 0, 0));
    current.dwFlags = VMR9AlphaBitmap_Disable;
    ASSERT_EQ(mixer->UpdateAlphaBitmapParameters(&current), S_OK);
    windowless_->RepaintVideo(window_, nullptr); // a repaint shows the frame as it is now: no bitmap
    EXPECT_EQ(shown(4, 0), dark);
    EXPECT_EQ(mixer->UpdateAlphaBitmapParameters(&params), E_INVALIDARG); // disabled: no bitmap to move
    params.pDDS = &params;
    EXPECT_EQ(mixer->SetAlphaBitmap(&params), E_INVALIDARG); // surfaces are not taken
}

// A frame is shown as things are when it is due: a mixer bitmap set and a source part chosen while it
// waits (here for Run) both show in its picture.
TEST_F(VideoRendererTest, WhatChangesWhileAFrameWaitsShowsInIt) {
    build(picture(MEDIASUBTYPE_UYVY), 2 * kWidth * kHeight);
    auto mixer = Query<IVMRMixerBitmap9>(vmr_.Get(), IID_IVMRMixerBitmap9);
    ASSERT_TRUE(mixer);
    std::vector<BYTE> frame = uyvy(2 * kWidth, 0x20, 0x80, 0x80);
    for (int row = 0; row < kHeight; ++row) // the right half brighter
        for (int x = kWidth / 2; x < kWidth; ++x)
            frame[static_cast<size_t>(row * 2 * kWidth + 2 * x + 1)] = 0x90;
    ASSERT_EQ(control_->Pause(), S_OK);
    HRESULT delivered = E_FAIL;
    std::thread feeder([&] { delivered = pin()->deliver(0, 1, frame); });
    Sleep(200);
    ASSERT_EQ(surface_.presented(), 0);
    OverlayDc overlay; // white at columns 4..7 of rows 0..3 of the picture shown
    VMR9AlphaBitmap params = overlay.keyedBlack();
    ASSERT_EQ(mixer->SetAlphaBitmap(&params), S_OK);
    const RECT rightHalf{kWidth / 2, 0, kWidth, kHeight}, destination{0, 0, kWidth / 2, kHeight};
    ASSERT_EQ(windowless_->SetVideoPosition(&rightHalf, &destination), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    feeder.join();
    ASSERT_EQ(delivered, S_OK);
    ASSERT_EQ(surface_.presented(), 1);
    const auto shown = surface_.last().picture;
    ASSERT_TRUE(shown);
    ASSERT_EQ(shown->width, kWidth / 2);
    const std::uint32_t bright = rgbmodel::pixel(0x90, 0x80, 0x80);
    const rgbmodel::Pixels model(static_cast<size_t>(kWidth / 2 * kHeight), bright);
    std::vector<std::uint32_t> bitmap(static_cast<size_t>(kWidth / 2 * kHeight), 0);
    for (int y = 0; y < kHeight / 2; ++y) // the bitmap's columns 4..7 of 16 land on 2..3 of 8
        for (int x = 2; x < 4; ++x)
            bitmap[static_cast<size_t>(y * kWidth / 2 + x)] = 0xFFFFFF;
    const rgbmodel::Pixels expected = rgbmodel::overlaid(model, bitmap, 0);
    rgbmodel::Pixels pixels;
    for (int y = 0; y < shown->height; ++y)
        for (int x = 0; x < shown->width; ++x)
            pixels.push_back(shown->at(x, y));
    EXPECT_EQ(pixels, expected);
}

TEST_F(VideoRendererTest, CurrentImageIsA32BitBottomUpDib) {
    build(picture(MEDIASUBTYPE_UYVY), 2 * kWidth * kHeight);
    BYTE* dib = nullptr;
    EXPECT_EQ(windowless_->GetCurrentImage(&dib), E_FAIL); // no frame yet
    ASSERT_EQ(control_->Run(), S_OK);
    std::vector<BYTE> frame = uyvy(2 * kWidth, 235, 128, 128); // white...
    for (int x = 0; x < kWidth; x += 2) {                      // ...with a black top row
        frame[static_cast<size_t>(2 * x + 1)] = 16;
        frame[static_cast<size_t>(2 * x + 3)] = 16;
    }
    ASSERT_EQ(pin()->deliver(0, 1, frame), S_OK);
    ASSERT_EQ(windowless_->GetCurrentImage(&dib), S_OK);
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, kWidth);
    EXPECT_EQ(header.biHeight, kHeight);
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(header.biSizeImage, static_cast<DWORD>(kWidth * kHeight * 4));
    std::uint32_t first, last;
    std::memcpy(&first, dib + 40, 4);                             // bottom row
    std::memcpy(&last, dib + 40 + (kHeight - 1) * kWidth * 4, 4); // top row
    EXPECT_EQ(first & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(last & 0xFFFFFF, 0u);
    CoTaskMemFree(dib);
}

} // namespace

// The frame the renderer keeps for repaints and the current image is the one received, byte for byte,
// whatever its length: what a repaint shows and what GetCurrentImage returns match the picture shown as
// it came, for lengths below, at and past whole blocks of 64 bytes.
TEST_F(VideoRendererTest, RepaintAndCurrentImageShowTheWholeFrameReceived) {
    const struct { int width, height; } sizes[] = {{6, 3}, {16, 2}, {18, 5}, {34, 7}, {48, 9}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        TearDown();
        SetUp();
        const int pitch = 2 * size.width;
        build(picture(MEDIASUBTYPE_UYVY, size.width, size.height), pitch * size.height);
        ASSERT_EQ(control_->Run(), S_OK);
        std::vector<BYTE> frame(static_cast<size_t>(pitch * size.height));
        for (size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<BYTE>(16 + (i * 37) % 220);
        ASSERT_EQ(pin()->deliver(0, 1, frame), S_OK);
        const rgbmodel::Pixels expected =
            rgbmodel::fromPacked(frame.data(), size.width, size.height, pitch, true);
        const auto pixelsOf = [&](const platform::dshow::VideoPicture& p) {
            rgbmodel::Pixels out;
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x)
                    out.push_back(p.at(x, y));
            return out;
        };
        ASSERT_TRUE(surface_.last().picture);
        EXPECT_EQ(pixelsOf(*surface_.last().picture), expected);

        const int shown = surface_.presented();
        EXPECT_EQ(windowless_->RepaintVideo(window_, nullptr), S_OK);
        ASSERT_EQ(surface_.presented(), shown + 1);
        EXPECT_EQ(pixelsOf(*surface_.last().picture), expected);

        BYTE* dib = nullptr;
        ASSERT_EQ(windowless_->GetCurrentImage(&dib), S_OK);
        rgbmodel::Pixels image;
        for (int y = size.height - 1; y >= 0; --y) // bottom-up
            for (int x = 0; x < size.width; ++x) {
                std::uint32_t p;
                std::memcpy(&p, dib + 40 + (y * size.width + x) * 4, 4);
                image.push_back(p | 0xFF000000u);
            }
        CoTaskMemFree(dib);
        EXPECT_EQ(image, expected);
    }
}

// The renderer keeps the sample it showed for repaints and the current image, in a buffer its allocator
// has to spare: the producer still gets the buffer it asked for at once, and what it writes there shows
// nowhere. Stop hands the kept sample back (the producer then has both buffers), and the frame still shows.
TEST_F(VideoRendererTest, TheKeptFrameLeavesTheProducerItsBufferAndOutlastsStop) {
    const int pitch = 2 * kWidth;
    build(picture(MEDIASUBTYPE_UYVY), pitch * kHeight);
    std::vector<BYTE> frame(static_cast<size_t>(pitch * kHeight));
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<BYTE>(16 + (i * 29) % 220);
    const rgbmodel::Pixels expected = rgbmodel::fromPacked(frame.data(), kWidth, kHeight, pitch, true);
    const auto shows = [&](const char* when) {
        const int before = surface_.presented();
        ASSERT_EQ(windowless_->RepaintVideo(window_, nullptr), S_OK);
        ASSERT_EQ(surface_.presented(), before + 1) << when;
        rgbmodel::Pixels repainted;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                repainted.push_back(surface_.last().picture->at(x, y));
        EXPECT_EQ(repainted, expected) << when;
        BYTE* dib = nullptr;
        ASSERT_EQ(windowless_->GetCurrentImage(&dib), S_OK) << when;
        rgbmodel::Pixels image;
        for (int y = kHeight - 1; y >= 0; --y) // bottom-up
            for (int x = 0; x < kWidth; ++x) {
                std::uint32_t p;
                std::memcpy(&p, dib + 40 + (y * kWidth + x) * 4, 4);
                image.push_back(p | 0xFF000000u);
            }
        CoTaskMemFree(dib);
        EXPECT_EQ(image, expected) << when;
    };
    const auto scribbled = [&] {
        IMediaSample* sample = nullptr;
        if (pin()->GetDeliveryBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT) != S_OK)
            return ComPtr<IMediaSample>();
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        std::memset(data, 0xEB, static_cast<size_t>(pitch * kHeight)); // white, were it shown
        return ComPtr<IMediaSample>::Adopt(sample);
    };

    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_EQ(pin()->deliver(0, 1, frame), S_OK);
    {
        const ComPtr<IMediaSample> next = scribbled();
        ASSERT_TRUE(next) << "the producer waits for the renderer's kept sample";
        shows("while running");
    }
    ASSERT_EQ(control_->Stop(), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    const ComPtr<IMediaSample> first = scribbled(), second = scribbled();
    EXPECT_TRUE(first && second) << "after Stop the renderer holds no sample";
    shows("after Stop");
}
