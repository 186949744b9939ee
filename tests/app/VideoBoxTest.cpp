#include "AppFixture.h"

#include "app/FullScreenDlg.h"
#include "app/VideoBox.h"

#include <thread>

namespace {

std::uint32_t rgb(int r, int g, int b) {
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
           static_cast<std::uint32_t>(b);
}

TEST(PackedYuvTest, BothByteOrdersConvertAtTheirPitch) {
    // Two pixel pairs in a row, with four bytes of padding per row; black/white, then red-ish.
    const std::uint8_t uyvy[2][12] = {{128, 16, 128, 235, 90, 81, 240, 81, 0xEE, 0xEE, 0xEE, 0xEE},
                                      {128, 126, 128, 126, 128, 16, 128, 16, 0xEE, 0xEE, 0xEE, 0xEE}};
    std::uint8_t yuy2[2][12];
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < 12; i += 4) {
            yuy2[row][i] = uyvy[row][i + 1];
            yuy2[row][i + 1] = uyvy[row][i];
            yuy2[row][i + 2] = uyvy[row][i + 3];
            yuy2[row][i + 3] = uyvy[row][i + 2];
        }
    for (bool isUyvy : {true, false}) {
        std::uint32_t out[8] = {};
        ASSERT_TRUE(PackedYuvToRgb(isUyvy ? &uyvy[0][0] : &yuy2[0][0], sizeof uyvy, 4, 2, 12, isUyvy, out));
        EXPECT_EQ(out[0], rgb(0, 0, 0));
        EXPECT_EQ(out[1], rgb(255, 255, 255));
        EXPECT_EQ(out[2] & 0xFF0000u, 0xFF0000u); // red
        EXPECT_LT(out[2] & 0xFFFFu, 0x0808u);
        EXPECT_EQ(out[4], rgb(128, 128, 128)); // second row: grey, then black
        EXPECT_EQ(out[5], rgb(128, 128, 128));
        EXPECT_EQ(out[6], rgb(0, 0, 0));
    }
}

TEST(PackedYuvTest, RowsAndSizesThatDoNotFitAreRefused) {
    std::vector<std::uint8_t> frame(10 * 3, 128); // odd width: rows of two pairs (8 bytes), 10 bytes apart
    std::uint32_t out[9] = {};
    EXPECT_TRUE(PackedYuvToRgb(frame.data(), frame.size(), 3, 3, 10, true, out));
    EXPECT_TRUE(PackedYuvToRgb(frame.data(), 28, 3, 3, 10, true, out)); // the last row needs no padding
    EXPECT_FALSE(PackedYuvToRgb(frame.data(), 27, 3, 3, 10, true, out));
    EXPECT_FALSE(PackedYuvToRgb(frame.data(), frame.size(), 3, 3, 6, true, out)); // pitch below a row
    EXPECT_FALSE(PackedYuvToRgb(frame.data(), frame.size(), 0, 3, 8, true, out));
    EXPECT_FALSE(PackedYuvToRgb(frame.data(), frame.size(), 5000, 1, 10000, true, out));
    EXPECT_FALSE(PackedYuvToRgb(nullptr, 0, 3, 3, 8, true, out));
}

TEST(VideoRectTest, TheRenderersDestinationIsFittedWithItsShape) {
    EXPECT_EQ(KQ_UI_VideoBox::VideoRect(RECT{0, 0, 320, 240}, 640, 360), CRect(80, 0, 560, 360));
    EXPECT_EQ(KQ_UI_VideoBox::VideoRect(RECT{0, 0, 383, 286}, 383, 286), CRect(0, 0, 383, 286));
    EXPECT_EQ(KQ_UI_VideoBox::VideoRect(RECT{0, 0, 160, 90}, 320, 240), CRect(0, 30, 320, 210));
    EXPECT_EQ(KQ_UI_VideoBox::VideoRect(RECT{}, 320, 240), CRect(0, 0, 320, 240));
}

class VideoBoxTest : public AppFixture {};

TEST_F(VideoBoxTest, TheRenderersFramesReachTheMainBoxAndInFullScreenTheFullScreenBox) {
    start();
    setState(UI_STATE_TV_PLAY);
    std::vector<std::uint8_t> rows(132 * 31 + 128, 128);
    platform::dshow::VideoFrame frame;
    frame.fourcc = 0x32595559; // YUY2
    frame.width = 64;
    frame.height = 32;
    frame.pitch = 132; // a little more than 2 x width
    frame.data = rows.data();
    frame.source = RECT{0, 0, 64, 32};
    frame.destination = RECT{0, 0, 383, 286};
    const HWND video = main->VideoBox().m_hWnd;
    std::thread renderer([&] { EXPECT_TRUE(platform::dshow::PresentToWindow(video, frame)); });
    renderer.join();
    EXPECT_TRUE(main->VideoBox().HasFrame());
    main->VideoBox().Clear();
    click(*main, 40002); // full screen
    ASSERT_TRUE(app->m_pFullScreenDlg->IsActive());
    EXPECT_TRUE(platform::dshow::PresentToWindow(video, frame));
    EXPECT_FALSE(main->VideoBox().HasFrame());
    app->m_pFullScreenDlg->Leave();
    EXPECT_TRUE(platform::dshow::PresentToWindow(video, frame));
    EXPECT_TRUE(main->VideoBox().HasFrame());
    platform::mfc::PumpUiFor(20);
    main.reset(); // the box goes: no surface for its handle any more
    EXPECT_FALSE(platform::dshow::PresentToWindow(video, frame));
}

} // namespace
