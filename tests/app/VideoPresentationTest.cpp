// The presentation path as the program runs it, from the live source filter's "Video Out" pin through the
// video renderer to the main window's video box:
// - the pixels the window shows for a known frame equal the tests' model of the conversion, with and
//   without the on-screen display over the picture (bit for bit);
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
#include "platform/mfc/detail/WindowPart.h"
#include "tests/media/CaptureSink.h"
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
        bench_ = std::make_unique<capture::SourceBench>(kWidth, kHeight, kPitch);
        IGraphBuilder* graph = bench_->graph_.Get();
        ASSERT_EQ(AddFilterByClsid(graph, CLSID_VideoMixingRenderer9, L"Video Mixing Renderer 9"), S_OK);
        ASSERT_EQ(ConfigureVmrWindowless(graph, box_->m_hWnd), S_OK);
        IPin* in = nullptr;
        ASSERT_EQ(FindFilterPin(graph, L"Video Mixing Renderer 9", nullptr, 1, &in), S_OK);
        ASSERT_EQ(graph->ConnectDirect(bench_->source_->GetPin(0), in, nullptr), S_OK);
        ASSERT_EQ(
            FindGraphInterface(graph, IID_IVMRWindowlessControl9, windowless_.ReleaseAndGetVoidAddressOf()),
            S_OK);
        const RECT destination{0, 0, kWidth, kHeight};
        ASSERT_EQ(windowless_->SetVideoPosition(nullptr, &destination), S_OK);
        ASSERT_EQ(bench_->run(), S_OK);
    }
    void TearDown() override {
        bench_.reset();
        windowless_.Reset();
        AppFixture::TearDown();
    }

    // A UYVY frame whose bytes run through every value (out of the studio range too), due at once.
    void deliver(int frame) {
        BYTE* data = nullptr;
        LONG size = 0;
        ASSERT_EQ(bench_->source_->GetVideoBuffer(&data, &size), S_OK);
        ASSERT_GE(size, kPitch * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < 2 * kWidth; ++x)
                data[y * kPitch + x] = static_cast<BYTE>(x * 7 + y * 3 + frame * 11 + (x % 2) * 90);
        bench_->source_->ResetRunningTimes();
        ASSERT_EQ(bench_->source_->DeliverVideo(1, kPitch * kHeight), S_OK);
    }
    rgbmodel::Pixels expected(int frame) {
        std::vector<BYTE> rows(static_cast<size_t>(kPitch) * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < 2 * kWidth; ++x)
                rows[static_cast<size_t>(y * kPitch + x)] =
                    static_cast<BYTE>(x * 7 + y * 3 + frame * 11 + (x % 2) * 90);
        return rgbmodel::fromPacked(rows.data(), kWidth, kHeight, kPitch, true);
    }
    // What the window shows now, as the toolkit paints it.
    QImage shown() { return box_->part()->face->grab().toImage().convertToFormat(QImage::Format_RGB32); }

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
        const rgbmodel::Pixels model =
            c.display ? rgbmodel::overlaid(expected(frame), texts, 0) : expected(frame);
        const QImage image = shown();
        ASSERT_EQ(image.width(), kWidth + 1) << "the box is one pixel wider than the picture";
        ASSERT_EQ(image.height(), kHeight);
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            const auto* line = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
            for (int x = 0; x < kWidth; ++x)
                wrong += line[x] != model[static_cast<size_t>(y * kWidth + x)];
            wrong += line[kWidth] != 0xFF000000u; // the renderer's border colour beside the picture
        }
        EXPECT_EQ(wrong, 0) << c.name;
    }
}

TEST_F(VideoPresentationTest, AHundredFramesOfOneSizeAllocateNothingOnTheWayToTheWindow) {
    deliver(0); // the first frame sets up the renderer's pictures
    platform::mfc::PumpUiFor(50);
    for (const bool display : {false, true}) {
        KQ_AV_OSD osd;
        osd.SetGraph(bench_->graph_.Get());
        if (display) {
            osd.AddItem(L"Record", OSD_TOP_LEFT, 1, KQ_AV_Player::kRed, 0);
            ASSERT_EQ(osd.DrawVmr(box_->m_hWnd), S_OK);
            deliver(0); // the display's runs are laid out for the picture once
        }
        Counted delivery, painting;
        for (int frame = 1; frame <= 100; ++frame) {
            const Counted d = counting([&] { deliver(frame); });
            // The window's repaint, as the toolkit's loop runs it.
            const Counted p = counting([&] { box_->part()->face->repaint(); });
            delivery.allocations += d.allocations;
            painting.largest = std::max(painting.largest, p.largest);
        }
        EXPECT_EQ(delivery.allocations, 0) << (display ? "with" : "without") << " the display";
        EXPECT_LT(painting.largest, static_cast<size_t>(kWidth * 4))
            << "a buffer of a picture row or more in the paint " << (display ? "with" : "without")
            << " the display";
        osd.DisableMixer();
    }
}

} // namespace
