// The panes beside the main window against the test box: they stay docked however the window moves
// (dragged by its surface, moved by the window system, restored from maximised), never open off the work
// area, and the snapshot list opens beside the window, moves, and scales its preview smoothly. Maximised,
// the controls keep their distance from the corner their skin measures from.
#include "LiveApp.h"

#include "app/SnapDialog.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWindow>

namespace {

QRect rectOf(const CWnd& w) {
    RECT r;
    w.GetWindowRect(&r);
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

QRect workArea(const CWnd& w) {
    RECT r;
    w.GetWorkArea(&r);
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// A left-button drag of a window's surface from `local` by `by`, as the mouse does it.
void drag(QWidget* face, QPoint local, QPoint by) {
    const QPoint global = face->mapToGlobal(local);
    QMouseEvent down(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(face, &down);
    QMouseEvent move(QEvent::MouseMove, local + by, global + by, Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(face, &move);
    QMouseEvent up(QEvent::MouseButtonRelease, local + by, global + by, Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(face, &up);
}

class DockingTest : public LiveAppTest {
protected:
    QWidget* face(CWnd& w) { return w.part()->face; }
    // A pane that shows lies on the work area, one pixel beside the main window, top aligned with it.
    void expectDocked(CWnd& pane, const char* what) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(pane.IsWindowVisible());
        const QRect m = rectOf(*main);
        const QRect p = rectOf(pane);
        EXPECT_TRUE(workArea(*main).contains(p)) << "on the work area: " << p.x() << "," << p.y();
        EXPECT_TRUE(p.left() == m.right() + 2 || p.right() == m.left() - 2)
            << "beside: pane " << p.left() << ".." << p.right() << ", window " << m.left() << ".."
            << m.right();
        EXPECT_EQ(p.top(), m.top());
    }
    void settle() { platform::mfc::PumpUiFor(50); }
};

TEST_F(DockingTest, PanesStayDockedOnTheWorkAreaOnEveryMove) {
    startAndWatch();
    loginByAddress();
    ASSERT_EQ(state(), UI_STATE_CV_PLAY);
    const QRect work = workArea(*main);
    main->ToggleSidePane();
    settle();
    CWnd& remote = *app->m_pRemotePane;
    expectDocked(remote, "at the default position");
    EXPECT_EQ(rectOf(*main).topLeft(), QPoint(120, 80)) << "the window stays where the skin puts it";

    // Where the window goes, and how: the panes follow every move and keep to the work area.
    enum class Move { WindowSystem, Drag, LoginPaneToo, MaximiseAndRestore };
    struct Case {
        const char* name;
        Move move;
        QPoint to; // the window's top-left corner asked for (or the drag's distance)
    };
    const Case cases[] = {
        {"moved with room on the left", Move::WindowSystem, QPoint(300, 60)},
        {"moved to the left edge", Move::WindowSystem, QPoint(work.left(), 40)},
        {"dragged by its surface", Move::Drag, QPoint(150, 20)},
        {"moved to the right edge, login pane shown", Move::LoginPaneToo, QPoint(work.right() - 420, 30)},
        {"maximised and restored", Move::MaximiseAndRestore, QPoint(200, 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        switch (c.move) {
        case Move::WindowSystem:
        case Move::LoginPaneToo:
        case Move::MaximiseAndRestore:
            face(*main)->windowHandle()->setPosition(c.to); // as a window manager moves it
            break;
        case Move::Drag:
            drag(face(*main), QPoint(200, 150), c.to);
            break;
        }
        if (c.move == Move::LoginPaneToo)
            click(*main, IDC_BTN_POPUP_RIGHT);
        if (c.move == Move::MaximiseAndRestore) {
            const QRect before = rectOf(*main);
            click(*main, IDC_BTN_MAXIMIZE);
            settle();
            EXPECT_TRUE(work.contains(rectOf(remote))) << "maximised, the pane stays on the work area";
            click(*main, IDC_BTN_MAXIMIZE);
            settle();
            EXPECT_EQ(rectOf(*main), before) << "restored";
        }
        settle();
        EXPECT_TRUE(work.contains(rectOf(*main))) << "the group moved onto the work area";
        expectDocked(remote, "the remote pane");
        if (app->m_pLoginDlg->IsWindowVisible()) {
            expectDocked(*app->m_pLoginDlg, "the login pane");
            EXPECT_FALSE(rectOf(remote).intersects(rectOf(*app->m_pLoginDlg)));
        }
    }
}

TEST_F(DockingTest, TheSnapshotListOpensBesideTheWindowMovesAndScalesItsPreviewSmoothly) {
    startAndWatch();
    loginByAddress();
    ASSERT_TRUE(picturesArrive(20));
    app->m_config.m_snapPath = (temp / "snap").wstring();
    app->m_config.m_snapFormat = 0; // BMP: the preview is compared with the file's own pixels
    KQ_UI_SnapDialog& list = *app->m_pSnapDlg;
    // Where the list opens: beside the window where a side has room (the screen here is small), else
    // over the window's side with more room, below its title bar; always on the work area.
    struct Case {
        QPoint window;
        bool room;
    };
    for (const Case c : {Case{QPoint(0, 50), true}, Case{QPoint(120, 80), false}}) {
        SCOPED_TRACE(c.room ? "room beside" : "no room beside");
        list.ShowWindow(SW_HIDE);
        face(*main)->windowHandle()->setPosition(c.window);
        settle();
        click(*main, IDC_BTN_SNAP);
        settle();
        ASSERT_TRUE(list.IsWindowVisible());
        const QRect opened = rectOf(list);
        const QRect window = rectOf(*main);
        EXPECT_TRUE(workArea(*main).contains(opened));
        EXPECT_FALSE(opened.intersects(QRect(window.topLeft(), QSize(window.width(), 28))))
            << "its title bar";
        EXPECT_EQ(opened.intersects(window), !c.room);
        if (c.room)
            EXPECT_EQ(opened.top(), window.top());
    }
    ASSERT_EQ(list.Files().size(), 2u);
    const QRect opened = rectOf(list);
    drag(face(list), QPoint(20, face(list)->height() - 8), QPoint(-60, 40));
    EXPECT_EQ(rectOf(list).topLeft(), opened.topLeft() + QPoint(-60, 40)) << "moved by its surface";
    click(*main, IDC_BTN_SNAP);
    EXPECT_EQ(rectOf(list).topLeft(), opened.topLeft() + QPoint(-60, 40)) << "it stays where it was put";
    ASSERT_EQ(list.Files().size(), 3u);

    // The preview against the snapshot scaled by a smoothing filter and by whole pixels: it is the first.
    const QImage picture(QString::fromStdString(platform::NativePath(list.Files()[2]).string()));
    ASSERT_FALSE(picture.isNull());
    CWnd* preview = list.GetDlgItem(IDC_STATIC_STATUS);
    const QImage shown = preview->part()->face->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize size = picture.size().scaled(shown.size(), Qt::KeepAspectRatio);
    const QPoint at((shown.width() - size.width()) / 2, (shown.height() - size.height()) / 2);
    auto distance = [&](Qt::TransformationMode mode) {
        const QImage expected =
            picture.scaled(size, Qt::IgnoreAspectRatio, mode).convertToFormat(QImage::Format_RGB32);
        double sum = 0;
        for (int y = 1; y < size.height() - 1; ++y)
            for (int x = 1; x < size.width() - 1; ++x) {
                const QRgb a = shown.pixel(at.x() + x, at.y() + y);
                const QRgb b = expected.pixel(x, y);
                sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                       std::abs(qBlue(a) - qBlue(b));
            }
        return sum / (size.width() * size.height());
    };
    const double smooth = distance(Qt::SmoothTransformation);
    const double whole = distance(Qt::FastTransformation);
    EXPECT_LT(smooth, 3.0) << "the preview is the smoothed picture";
    EXPECT_LT(smooth * 2, whole);
}

// Maximised, each control keeps its distance from the corner its skin layout measures from, so the
// buttons of the bottom band's right half, the source button and the volume slider stay at the right edge.
TEST_F(DockingTest, MaximisedTheControlsKeepTheirPlaceFromTheirSkinCorner) {
    startAndWatch();
    loginByAddress();
    ASSERT_EQ(state(), UI_STATE_CV_PLAY);
    struct Control {
        int id;
        bool fromRight;  // its skin layout measures from the right edge, else from the left
        bool fromBottom; // from the bottom edge, else from the top
    };
    const Control controls[] = {
        {IDC_BTN_SNAP, true, true},      {IDC_BTN_OPEN, true, true},         {IDC_BTN_MTS, true, true},
        {IDC_BTN_PROPERTY, true, true},  {IDC_BTN_SOURCE, true, true},       {IDC_BTN_MUTE, true, true},
        {IDC_SLIDER_VOLUME, true, true}, {IDC_BTN_CLOSE, true, false},       {IDC_BTN_MAXIMIZE, true, false},
        {IDC_BTN_RECORD, false, true},   {IDC_BTN_POPUP_LEFT, false, false},
    };
    // The distance of each control from the edges its layout measures from.
    auto gaps = [&] {
        RECT client;
        main->GetClientRect(&client);
        std::vector<std::pair<int, int>> out;
        for (const Control& c : controls) {
            RECT r;
            main->GetDlgItem(c.id)->GetWindowRect(&r);
            main->ScreenToClient(&r);
            out.emplace_back(c.fromRight ? client.right - r.right : r.left,
                             c.fromBottom ? client.bottom - r.bottom : r.top);
        }
        return out;
    };
    const auto normal = gaps();
    click(*main, IDC_BTN_MAXIMIZE);
    settle();
    RECT client;
    main->GetClientRect(&client);
    ASSERT_GT(client.right, 408) << "maximised";
    const auto maximised = gaps();
    for (std::size_t i = 0; i < std::size(controls); ++i) {
        EXPECT_EQ(maximised[i].first, normal[i].first) << "across: " << controls[i].id;
        EXPECT_EQ(maximised[i].second, normal[i].second) << "down: " << controls[i].id;
    }
    click(*main, IDC_BTN_MAXIMIZE);
}

} // namespace
