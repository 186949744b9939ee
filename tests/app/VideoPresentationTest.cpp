// The presentation path as the program runs it, from the live source filter's "Video Out" pin through the
// video renderer to the main window's video box:
// - the pixels the window shows for a known frame equal the tests' model of the conversion, with and
//   without the on-screen display over the picture (bit for bit), what is drawn into the window shows over
//   the picture, a larger picture comes to it at the size it is shown in, and a smaller one is scaled up;
// - over a hundred frames of one size nothing is allocated on the way to the window after the first one,
//   and the window's paint allocates no buffer of a picture row or more (the toolkit's own small objects
//   for each paint aside).
// Allocations are counted by this executable's own operator new.
#include "VideoPresentation.h"

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

// The window's pixels as the toolkit paints it (offscreen).
class VideoPresentationTest : public VideoPresentationFixture {
protected:
    std::optional<QImage> shown() override {
        return box_->part()->face->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(VideoPresentationTest, TheWindowShowsTheModelsPixelsWithAndWithoutTheDisplay) {
    showsTheModelsPixelsWithAndWithoutTheDisplay();
}

TEST_F(VideoPresentationTest, WhatIsDrawnIntoTheWindowShowsOverThePicture) {
    showsWhatIsDrawnIntoTheWindowOverThePicture();
}

TEST_F(VideoPresentationTest, APictureLargerThanTheBoxIsShownAtTheBoxsSize) {
    showsALargerPictureAtTheBoxsSize();
}

TEST_F(VideoPresentationTest, APictureOfHalfTheHeightIsShownAtTwiceItsSize) {
    showsAPictureOfHalfTheHeightAtTwiceItsSize();
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
