#include "AppFixture.h"

#include "app/FullScreenDlg.h"
#include "app/VideoBox.h"

#include <thread>

namespace {

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
    auto picture = std::make_shared<platform::dshow::VideoPicture>();
    picture->width = 64;
    picture->height = 32;
    picture->pixels = platform::dshow::PictureMemory(64 * 32);
    platform::dshow::VideoFrame frame;
    frame.picture = picture;
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
