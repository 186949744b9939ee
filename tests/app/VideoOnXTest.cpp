// The presentation path on an X server of the test's own (Xvfb), as a user sees it: the pixels are read
// back from the screen. There a picture shown at its own size goes from the renderer's thread straight to
// the video box's own X window, past the toolkit; a scaled one, or one with something drawn into the
// window over it, the toolkit paints. Either way the window shows the model's pixels, the controls over
// the box's edges stay above the picture, and a box uncovered again shows the newest picture. Skipped where
// Xvfb is not installed.
#include "VideoPresentation.h"

#include "tests/support/ServerProcess.h"

#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

constexpr auto kShowTime = std::chrono::seconds(10); // each wait ends as soon as the screen shows it

// The toolkit stays on the display it first opened: one server for the test process.
const std::string& display() {
    static const TestXServer server;
    static const std::string name = server.Display();
    return name;
}

template <class F> bool eventually(F&& done) {
    for (const auto until = std::chrono::steady_clock::now() + kShowTime;
         std::chrono::steady_clock::now() < until;) {
        platform::mfc::PumpUiFor(10);
        if (done())
            return true;
    }
    return false;
}

// Counts the paints of a widget.
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

class VideoOnXTest : public VideoPresentationFixture {
protected:
    void SetUp() override {
        if (!ServerProcess::Installed("Xvfb"))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_FALSE(display().empty()) << "Xvfb did not start";
        setenv("DISPLAY", display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        VideoPresentationFixture::SetUp();
        ASSERT_TRUE(main && box_);
        face_ = box_->part()->face;
        ASSERT_TRUE(eventually([&] { return face_->windowHandle() && face_->windowHandle()->isExposed(); }))
            << "the video box is shown in a window of its own";
        connection_ = xcb_connect(display().c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(connection_));
        noteControlsOver();
    }
    // The controls over the box's edges: its siblings after it in the stacking order.
    void noteControlsOver() {
        over_ = QRegion();
        const QObjectList siblings = face_->parentWidget()->children();
        for (auto it = siblings.begin() + siblings.indexOf(face_) + 1; it != siblings.end(); ++it)
            if (auto* sibling = qobject_cast<QWidget*>(*it);
                sibling && !sibling->isWindow() && sibling->isVisible())
                over_ += QRegion(sibling->geometry().translated(-face_->pos()));
        over_ &= QRegion(face_->rect());
    }
    void TearDown() override {
        if (connection_)
            xcb_disconnect(connection_);
        VideoPresentationFixture::TearDown();
    }

    // The screen's pixels at the video box, as 0xFFRRGGBB.
    std::optional<QImage> shown() override {
        const QPoint at = face_->mapToGlobal(QPoint(0, 0));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<std::int16_t>(at.x()),
                          static_cast<std::int16_t>(at.y()), static_cast<std::uint16_t>(face_->width()),
                          static_cast<std::uint16_t>(face_->height()), ~0u),
            nullptr);
        if (!reply)
            return std::nullopt;
        QImage image(face_->width(), face_->height(), QImage::Format_RGB32);
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply));
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = 0xFF000000u | pixels[static_cast<size_t>(y * image.width() + x)];
        }
        std::free(reply);
        return image;
    }
    bool seen(int x, int y) const override { return !over_.contains(QPoint(x, y)); }
    // What the screen comes to show, the toolkit's loop running meanwhile.
    int differences(const rgbmodel::Pixels& model) override {
        int wrong = -1;
        eventually([&] { return (wrong = VideoPresentationFixture::differences(model)) == 0; });
        return wrong;
    }
    // The screen's pixels under the controls over the box's edges.
    std::vector<std::uint32_t> overTheEdges() {
        std::vector<std::uint32_t> pixels;
        if (const std::optional<QImage> image = shown())
            for (const QRect& r : over_)
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x)
                        pixels.push_back(image->pixel(x, y));
        return pixels;
    }

    QWidget* face_ = nullptr;
    QRegion over_;
    xcb_connection_t* connection_ = nullptr;
};

TEST_F(VideoOnXTest, TheWindowShowsTheModelsPixelsWithAndWithoutTheDisplay) {
    showsTheModelsPixelsWithAndWithoutTheDisplay();
}

TEST_F(VideoOnXTest, WhatIsDrawnIntoTheWindowShowsOverThePicture) {
    showsWhatIsDrawnIntoTheWindowOverThePicture();
}

TEST_F(VideoOnXTest, APictureLargerThanTheBoxIsShownAtTheBoxsSize) {
    showsALargerPictureAtTheBoxsSize();
}

TEST_F(VideoOnXTest, APictureOfHalfTheHeightIsShownAtTwiceItsSize) {
    showsAPictureOfHalfTheHeightAtTwiceItsSize();
}

// Pictures at the box's size reach the screen while the toolkit paints nothing, and a control over the
// box's edge shows as it did before the video came.
TEST_F(VideoOnXTest, PicturesReachTheScreenWithoutTheToolkitAndUnderTheControlsOverTheEdges) {
    CWnd* tab = main->GetDlgItem(IDC_BTN_POPUP_RIGHT); // beside the box's right edge: moved over it
    ASSERT_TRUE(tab);
    CRect place;
    tab->GetWindowRect(&place);
    main->ScreenToClient(&place);
    tab->MoveWindow(place.left - 6, place.top, place.Width(), place.Height(), TRUE);
    platform::mfc::PumpUiFor(50);
    noteControlsOver();
    ASSERT_FALSE(over_.isEmpty());
    build(kWidth, kHeight, kPitch);
    const std::vector<std::uint32_t> edges = overTheEdges();
    deliver(0);
    ASSERT_EQ(differences(expected(0)), 0);
    PaintCount count(face_);
    for (int frame = 1; frame <= 50; ++frame) {
        deliver(frame);
        platform::mfc::PumpUiFor(2);
    }
    EXPECT_EQ(differences(expected(50)), 0);
    EXPECT_EQ(count.paints, 0);
    EXPECT_EQ(overTheEdges(), edges);
}

// The toolkit's own copy of the box is older than the pictures put past it: a box that another window
// covered shows the newest picture once uncovered.
TEST_F(VideoOnXTest, AnUncoveredBoxShowsTheNewestPicture) {
    build(kWidth, kHeight, kPitch);
    deliver(0);
    ASSERT_EQ(differences(expected(0)), 0);
    deliver(1);
    ASSERT_EQ(differences(expected(1)), 0);
    QWidget cover;
    cover.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    cover.setGeometry(QRect(face_->mapToGlobal(QPoint(0, 0)), face_->size()));
    cover.setStyleSheet("background: white");
    cover.show();
    ASSERT_TRUE(eventually([&] { return VideoPresentationFixture::differences(expected(1)) > kWidth; }))
        << "covered";
    cover.hide();
    EXPECT_EQ(differences(expected(1)), 0);
}

} // namespace
