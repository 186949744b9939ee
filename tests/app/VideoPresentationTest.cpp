// The presentation path as the program runs it, from the live source filter's "Video Out" pin through the
// video renderer to the main window's video box:
// - the pixels the window shows for a known frame equal the tests' model of the conversion, with and
//   without the on-screen display over the picture (bit for bit), what is drawn into the window shows over
//   the picture, and a larger picture comes to it at the size it is shown in;
// - over a hundred frames of one size nothing is allocated on the way to the window after the first one,
//   and the window's paint allocates no buffer of a picture row or more (the toolkit's own small objects
//   for each paint aside).
// Allocations are counted by this executable's own operator new.
#include "AppFixture.h"

#include "app/VideoBox.h"
#include "media/GraphHelpers.h"
#include "media/Osd.h"
#include "media/Player.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/WindowDc.h"
#include "platform/mfc/detail/WindowPart.h"
#include "tests/support/CaptureSink.h"
#include "tests/support/RgbModel.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Counted on the thread that set it, so the toolkit's and the other threads' work is not mixed in.
thread_local bool t_counting = false;
thread_local long t_allocations = 0;
thread_local std::size_t t_largest = 0;

void* counted(std::size_t size) {
    if (t_counting) {
        ++t_allocations;
        t_largest = std::max(t_largest, size);
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
    return counted(size);
}
void* operator new[](std::size_t size) {
    return counted(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return counted(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return counted(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// A picture of the video box's height whose width fits its client area at the scale 1.
constexpr int kWidth = 382, kHeight = 286, kPitch = 1024;

struct Counted {
    long allocations = 0;
    std::size_t largest = 0;
};

template <class F> Counted counting(F&& work) {
    t_allocations = 0;
    t_largest = 0;
    t_counting = true;
    work();
    t_counting = false;
    return {t_allocations, t_largest};
}

class VideoPresentationTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        start();
        box_ = &main->VideoBox();
    }
    void TearDown() override {
        bench_.reset();
        windowless_.Reset();
        AppFixture::TearDown();
    }

    // The live source filter's video pin sending pictures of this size to the VMR-9 on the video box, the
    // destination the picture's own size.
    void build(int width, int height, int pitch) {
        bench_ = std::make_unique<capture::SourceBench>(width, height, pitch);
        IGraphBuilder* graph = bench_->graph_.Get();
        ASSERT_EQ(AddFilterByClsid(graph, CLSID_VideoMixingRenderer9, L"Video Mixing Renderer 9"), S_OK);
        ASSERT_EQ(ConfigureVmrWindowless(graph, box_->m_hWnd), S_OK);
        IPin* in = nullptr;
        ASSERT_EQ(FindFilterPin(graph, L"Video Mixing Renderer 9", nullptr, 1, &in), S_OK);
        ASSERT_EQ(graph->ConnectDirect(bench_->source_->GetPin(0), in, nullptr), S_OK);
        ASSERT_EQ(
            FindGraphInterface(graph, IID_IVMRWindowlessControl9, windowless_.ReleaseAndGetVoidAddressOf()),
            S_OK);
        const RECT destination{0, 0, width, height};
        ASSERT_EQ(windowless_->SetVideoPosition(nullptr, &destination), S_OK);
        ASSERT_EQ(bench_->run(), S_OK);
    }

    // A UYVY frame of kWidth x kHeight whose bytes run through every value (out of the studio range too).
    static std::vector<BYTE> pattern(int frame) {
        std::vector<BYTE> rows(static_cast<size_t>(kPitch) * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < 2 * kWidth; ++x)
                rows[static_cast<size_t>(y * kPitch + x)] =
                    static_cast<BYTE>(x * 7 + y * 3 + frame * 11 + (x % 2) * 90);
        return rows;
    }
    static rgbmodel::Pixels expected(int frame) {
        return rgbmodel::fromPacked(pattern(frame).data(), kWidth, kHeight, kPitch, true);
    }
    // Delivers rows on the pin, due at once.
    void deliver(const std::vector<BYTE>& rows) {
        BYTE* data = nullptr;
        LONG size = 0;
        ASSERT_EQ(bench_->source_->GetVideoBuffer(&data, &size), S_OK);
        ASSERT_GE(size, static_cast<LONG>(rows.size()));
        std::copy(rows.begin(), rows.end(), data);
        bench_->source_->ResetRunningTimes();
        ASSERT_EQ(bench_->source_->DeliverVideo(1, static_cast<LONG>(rows.size())), S_OK);
    }
    void deliver(int frame) { deliver(pattern(frame)); }

    // What the window shows now, as the toolkit paints it.
    QImage shown() { return box_->part()->face->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // How many pixels the window shows otherwise than the model, and than the renderer's border colour in
    // the box's last column (the box is one pixel wider than the picture).
    int differences(const rgbmodel::Pixels& model) {
        const QImage image = shown();
        EXPECT_EQ(image.width(), kWidth + 1);
        EXPECT_EQ(image.height(), kHeight);
        if (image.width() != kWidth + 1 || image.height() != kHeight)
            return -1;
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            const auto* line = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
            for (int x = 0; x < kWidth; ++x)
                wrong += line[x] != model[static_cast<size_t>(y * kWidth + x)];
            wrong += line[kWidth] != 0xFF000000u;
        }
        return wrong;
    }

    KQ_UI_VideoBox* box_ = nullptr;
    std::unique_ptr<capture::SourceBench> bench_;
    platform::ComPtr<IVMRWindowlessControl9> windowless_;
};

// The texts of the display as the renderer's mixer bitmap takes them: drawn on black, the key colour.
std::vector<std::uint32_t> osdBitmap(KQ_AV_OSD& osd) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SetBkColor(dc, 0);
    osd.DrawItems(dc, kWidth, kHeight);
    SelectObject(dc, old);
    std::optional<platform::gdi::Dib> dib = platform::gdi::ReadBitmap(bitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return dib ? dib->pixels : std::vector<std::uint32_t>{};
}

TEST_F(VideoPresentationTest, TheWindowShowsTheModelsPixelsWithAndWithoutTheDisplay) {
    build(kWidth, kHeight, kPitch);
    KQ_AV_OSD osd;
    osd.SetGraph(bench_->graph_.Get());
    osd.AddItem(L"CH 12", OSD_TOP_LEFT, 3000, KQ_AV_Player::kGreen, 0);
    osd.AddItem(L"Record", OSD_LOWER_RIGHT, 1, KQ_AV_Player::kRed, 0);
    const std::vector<std::uint32_t> texts = osdBitmap(osd);
    ASSERT_EQ(texts.size(), static_cast<size_t>(kWidth * kHeight));
    ASSERT_GT(std::count_if(texts.begin(), texts.end(), [](std::uint32_t p) { return (p & 0xFFFFFF) != 0; }),
              100)
        << "the texts are there";

    const struct {
        const char* name;
        bool display;
    } cases[] = {{"without the display", false}, {"with the display", true}, {"after it", false}};
    for (int frame = 0; frame < 3; ++frame) {
        const auto& c = cases[frame];
        if (c.display)
            ASSERT_EQ(osd.DrawVmr(box_->m_hWnd), S_OK);
        else
            osd.DisableMixer();
        deliver(frame);
        EXPECT_EQ(differences(c.display ? rgbmodel::overlaid(expected(frame), texts, 0) : expected(frame)), 0)
            << c.name;
    }
}

// While the picture is paused the display is drawn into the window itself (its GDI layer), which the
// window shows over the picture until the layer is erased.
TEST_F(VideoPresentationTest, WhatIsDrawnIntoTheWindowShowsOverThePicture) {
    build(kWidth, kHeight, kPitch);
    deliver(0);
    rgbmodel::Pixels model = expected(0);
    HDC dc = GetDC(box_->m_hWnd);
    RECT block{10, 20, 50, 40};
    FillRect(dc, &block, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(box_->m_hWnd, dc);
    for (int y = 20; y < 40; ++y)
        for (int x = 10; x < 50; ++x)
            model[static_cast<size_t>(y * kWidth + x)] = 0xFFFFFFFFu;
    EXPECT_EQ(differences(model), 0);
    InvalidateRect(box_->m_hWnd, nullptr, TRUE);
    EXPECT_EQ(differences(expected(0)), 0) << "erased";
}

// A picture twice the size of the video rectangle comes from the renderer at the rectangle's size: each
// pixel the window shows is the colour of the block of two by two picture pixels under it.
TEST_F(VideoPresentationTest, APictureLargerThanTheBoxIsShownAtTheBoxsSize) {
    const int pitch = 4 * kWidth;
    build(2 * kWidth, 2 * kHeight, pitch);
    std::vector<BYTE> rows(static_cast<size_t>(pitch) * 2 * kHeight);
    rgbmodel::Pixels model;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) { // one pixel pair, the same in both rows of the block
            const BYTE luma = static_cast<BYTE>(x * 5 + y), u = static_cast<BYTE>(x + 3 * y),
                       v = static_cast<BYTE>(200 - x + y);
            for (int row = 2 * y; row < 2 * y + 2; ++row) {
                BYTE* pair = &rows[static_cast<size_t>(row * pitch + 4 * x)];
                pair[0] = u, pair[1] = luma, pair[2] = v, pair[3] = luma;
            }
            model.push_back(rgbmodel::pixel(luma, u, v));
        }
    deliver(rows);
    EXPECT_EQ(differences(model), 0);
}

// At the size the box shows, and at the live picture's size (720 x 576 at the probe's pitch), which the
// renderer brings down to the box's.
TEST_F(VideoPresentationTest, AHundredFramesOfOneSizeAllocateNothingOnTheWayToTheWindow) {
    const struct {
        const char* name;
        int width, height, pitch;
    } sizes[] = {{"the box's size", kWidth, kHeight, kPitch}, {"the live picture", 720, 576, 1536}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.name);
        build(size.width, size.height, size.pitch);
        const std::vector<BYTE> rows(static_cast<size_t>(size.pitch) * size.height, 0x80);
        deliver(rows); // the first frame sets up the renderer's pictures
        platform::mfc::PumpUiFor(50);
        for (const bool display : {false, true}) {
            SCOPED_TRACE(display ? "with the display" : "without it");
            KQ_AV_OSD osd;
            osd.SetGraph(bench_->graph_.Get());
            if (display) {
                osd.AddItem(L"Record", OSD_TOP_LEFT, 1, KQ_AV_Player::kRed, 0);
                ASSERT_EQ(osd.DrawVmr(box_->m_hWnd), S_OK);
                deliver(rows); // the display's runs are laid out for the picture once
            }
            Counted delivery, painting;
            for (int frame = 1; frame <= 100; ++frame) {
                const Counted d = counting([&] { deliver(rows); });
                // The window's repaint, as the toolkit's loop runs it.
                const Counted p = counting([&] { box_->part()->face->repaint(); });
                delivery.allocations += d.allocations;
                painting.largest = std::max(painting.largest, p.largest);
            }
            EXPECT_EQ(delivery.allocations, 0);
            EXPECT_LT(painting.largest, static_cast<size_t>(kWidth * 4)) << "a buffer of a row or more";
            osd.DisableMixer();
        }
        bench_.reset();
    }
}

} // namespace
