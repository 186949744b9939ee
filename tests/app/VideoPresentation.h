// The presentation path as the program runs it, from the live source filter's "Video Out" pin through the
// video renderer to the main window's video box: the fixture that delivers known frames and counts the
// pixels the window shows otherwise than the tests' model. How the window's pixels are read (the toolkit's
// picture of it, or the X server's) is the test's.
#pragma once

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

#include <QImage>

#include <optional>

// A picture of the video box's height whose width fits its client area at the scale 1.
constexpr int kWidth = 382, kHeight = 286, kPitch = 1024;

class VideoPresentationFixture : public AppFixture {
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

    // What the window shows now, at the box's client size; none when it cannot be read.
    virtual std::optional<QImage> shown() = 0;
    // Whether the test reads the pixel of the box at x, y (not under a window over it).
    virtual bool seen(int, int) const { return true; }

    // How many pixels the window shows otherwise than the model (kWidth x kHeight at the top left), and
    // than the renderer's border colour in the box's last column (the box is one pixel wider than the
    // picture).
    virtual int differences(const rgbmodel::Pixels& model) {
        const std::optional<QImage> image = shown();
        if (!image)
            return -1;
        EXPECT_EQ(image->width(), kWidth + 1);
        EXPECT_EQ(image->height(), kHeight);
        if (image->width() != kWidth + 1 || image->height() != kHeight)
            return -1;
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            const auto* line = reinterpret_cast<const std::uint32_t*>(image->constScanLine(y));
            for (int x = 0; x <= kWidth; ++x)
                if (seen(x, y))
                    wrong +=
                        line[x] != (x < kWidth ? model[static_cast<size_t>(y * kWidth + x)] : 0xFF000000u);
        }
        return wrong;
    }

    // The texts of the display as the renderer's mixer bitmap takes them: drawn on black, the key colour.
    static std::vector<std::uint32_t> osdBitmap(KQ_AV_OSD& osd) {
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

    // The tests both ways of reading the window run.
    void showsTheModelsPixelsWithAndWithoutTheDisplay() {
        build(kWidth, kHeight, kPitch);
        KQ_AV_OSD osd;
        osd.SetGraph(bench_->graph_.Get());
        osd.AddItem(L"CH 12", OSD_TOP_LEFT, 3000, KQ_AV_Player::kGreen, 0);
        osd.AddItem(L"Record", OSD_LOWER_RIGHT, 1, KQ_AV_Player::kRed, 0);
        const std::vector<std::uint32_t> texts = osdBitmap(osd);
        ASSERT_EQ(texts.size(), static_cast<size_t>(kWidth * kHeight));
        ASSERT_GT(
            std::count_if(texts.begin(), texts.end(), [](std::uint32_t p) { return (p & 0xFFFFFF) != 0; }),
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
            EXPECT_EQ(
                differences(c.display ? rgbmodel::overlaid(expected(frame), texts, 0) : expected(frame)), 0)
                << c.name;
        }
    }

    // While the picture is paused the display is drawn into the window itself (its GDI layer), which the
    // window shows over the picture until the layer is erased.
    void showsWhatIsDrawnIntoTheWindowOverThePicture() {
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
    void showsALargerPictureAtTheBoxsSize() {
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

    // A picture of half the box's height is shown scaled up to it, centred: each picture pixel as a block
    // of two by two, the border colour at both sides.
    void showsAPictureOfHalfTheHeightAtTwiceItsSize() {
        const int width = 190, height = kHeight / 2, pitch = 2 * width;
        build(width, height, pitch);
        std::vector<BYTE> rows(static_cast<size_t>(pitch) * height);
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<BYTE>(i * 13 + i / pitch * 5);
        const rgbmodel::Pixels picture = rgbmodel::fromPacked(rows.data(), width, height, pitch, true);
        rgbmodel::Pixels model(static_cast<size_t>(kWidth) * kHeight, 0xFF000000u);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 1; x <= 2 * width; ++x) // (383 - 380) / 2 = 1 column of border on the left
                model[static_cast<size_t>(y * kWidth + x)] =
                    picture[static_cast<size_t>(y / 2 * width + (x - 1) / 2)];
        deliver(rows);
        EXPECT_EQ(differences(model), 0);
    }

    KQ_UI_VideoBox* box_ = nullptr;
    std::unique_ptr<capture::SourceBench> bench_;
    platform::ComPtr<IVMRWindowlessControl9> windowless_;
};
