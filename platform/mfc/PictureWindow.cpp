#include "platform/mfc/PictureWindow.h"

#include "platform/gdi/WindowDc.h"
#include "platform/mfc/detail/Faces.h"
#include "platform/mfc/detail/X11Pictures.h"

#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QSocketNotifier>
#include <QWindow>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>
#include <unordered_map>

namespace platform::mfc {

struct PictureState {
    ~PictureState() {
        if (wake >= 0)
            close(wake);
        if (xWindow)
            X11Pictures::Get()->Forget(xWindow);
    }
    std::mutex mutex;
    WindowPicture shown;       // guarded by mutex
    std::uint32_t xWindow = 0; // guarded: the face's native X window, where pictures go past the toolkit
    int width = 0, height = 0; // guarded: the face's size then
    int wake = -1;             // an eventfd the UI thread watches
    std::atomic<bool> pending{false};
};

namespace {

// On X, a picture window's face has a native window of its own, into which the pictures go straight
// (X11Pictures); the windows over its edges stay above it, since the toolkit then gives its siblings native
// windows too. This keeps the state's note of that window and of the face's size, and has the toolkit
// repaint the face when the window system exposes it: the toolkit's own copy of it is older than the
// pictures put past it.
class NativeFaceWatch : public QObject {
public:
    NativeFaceWatch(QWidget* face, std::weak_ptr<PictureState> state)
        : QObject(face), face_(face), state_(std::move(state)) {
        face->installEventFilter(this);
        face->setAttribute(Qt::WA_NativeWindow);
        note();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (watched == face_ && (type == QEvent::WinIdChange || type == QEvent::Resize))
            note();
        else if (watched == window_ && type == QEvent::Expose)
            face_->update();
        return false;
    }

private:
    void note() {
        const std::shared_ptr<PictureState> state = state_.lock();
        if (!state)
            return;
        if (QWindow* window = face_->windowHandle(); window && window != window_) {
            if (window_)
                window_->removeEventFilter(this);
            window_ = window;
            window->installEventFilter(this);
        }
        const auto id = static_cast<std::uint32_t>(face_->internalWinId());
        std::lock_guard lock(state->mutex);
        if (state->xWindow && state->xWindow != id)
            X11Pictures::Get()->Forget(state->xWindow);
        state->xWindow = face_->devicePixelRatioF() == 1.0 ? id : 0; // puts are in device pixels
        state->width = face_->width();
        state->height = face_->height();
    }

    QWidget* face_;
    std::weak_ptr<PictureState> state_;
    QPointer<QWindow> window_;
};

std::mutex g_mutex;
std::unordered_map<HWND, std::weak_ptr<PictureState>> g_windows;

QRect toQRect(const RECT& r) {
    return QRect(static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
                 static_cast<int>(r.bottom - r.top));
}

} // namespace

BOOL ShowPictures(CWnd& window) {
    WindowPart* p = window.part();
    if (!p || !p->face)
        return FALSE;
    if (p->pictures)
        return TRUE;
    auto state = std::make_shared<PictureState>();
    state->wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (state->wake < 0)
        return FALSE;
    // The notifier is the face's child: it goes with the face, before the state closes the descriptor.
    auto* notifier = new QSocketNotifier(state->wake, QSocketNotifier::Read, p->face);
    QPointer<QWidget> face = p->face;
    std::weak_ptr<PictureState> weak = state;
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [weak, face] {
        const std::shared_ptr<PictureState> s = weak.lock();
        if (!s)
            return;
        std::uint64_t wakes = 0;
        if (read(s->wake, &wakes, sizeof wakes) < 0 && errno != EAGAIN)
            return;
        s->pending = false;
        if (face)
            face->update();
    });
    p->face->setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted: nothing behind shows
    if (X11Pictures::Get())
        new NativeFaceWatch(p->face, state); // the face's child
    p->pictures = state;
    {
        std::lock_guard lock(g_mutex);
        std::erase_if(g_windows, [](const auto& entry) { return entry.second.expired(); });
        g_windows[p->hwnd] = state;
    }
    p->face->update();
    return TRUE;
}

BOOL SetWindowPicture(HWND window, const WindowPicture& picture) {
    std::shared_ptr<PictureState> state;
    {
        std::lock_guard lock(g_mutex);
        const auto it = g_windows.find(window);
        if (it == g_windows.end())
            return FALSE;
        state = it->second.lock();
    }
    if (!state)
        return FALSE;
    {
        std::lock_guard lock(state->mutex);
        state->shown = picture;
        // Stored and put under one lock, so that the window ends with the picture stored last.
        if (state->xWindow && platform::gdi::LayerIsClear(window) &&
            X11Pictures::Get()->Put(state->xWindow, picture, state->width, state->height))
            return TRUE;
    }
    if (!state->pending.exchange(true)) {
        const std::uint64_t one = 1;
        if (write(state->wake, &one, sizeof one) < 0)
            state->pending = false;
    }
    return TRUE;
}

void PaintPictures(PictureState& state, QWidget& face, HWND hwnd) {
    WindowPicture shown;
    {
        std::lock_guard lock(state.mutex);
        shown = state.shown;
    }
    QPainter painter(&face);
    const QRect all = face.rect();
    const QColor fill = ToColor(shown.fill);
    const platform::dshow::VideoPicture* picture = shown.picture.get();
    const QRect target = toQRect(shown.target) & all;
    if (!picture || target.isEmpty()) {
        painter.fillRect(all, fill);
    } else {
        // The bands around the target: above, below, and left and right of it.
        painter.fillRect(QRect(all.left(), all.top(), all.width(), target.top() - all.top()), fill);
        painter.fillRect(QRect(all.left(), target.bottom() + 1, all.width(), all.bottom() - target.bottom()),
                         fill);
        painter.fillRect(QRect(all.left(), target.top(), target.left() - all.left(), target.height()), fill);
        painter.fillRect(
            QRect(target.right() + 1, target.top(), all.right() - target.right(), target.height()), fill);
        const QImage image(reinterpret_cast<const uchar*>(picture->pixels.get()), picture->width,
                           picture->height, picture->width * 4, QImage::Format_RGB32);
        const QRect source = toQRect(shown.source).isEmpty() ? image.rect() : toQRect(shown.source);
        painter.drawImage(toQRect(shown.target), image, source);
    }
    if (!platform::gdi::LayerIsClear(hwnd))
        platform::gdi::ReadLayer(hwnd, [&](const std::uint32_t* pixels, int w, int h) {
            const QImage layer(reinterpret_cast<const uchar*>(pixels), w, h, w * 4, QImage::Format_ARGB32);
            painter.drawImage(0, 0, layer);
        });
}

} // namespace platform::mfc
