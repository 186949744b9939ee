#include "platform/mfc/detail/X11Pictures.h"

#include <QGuiApplication>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

// Last: Xlib's macros clash with the toolkit's names.
#include <X11/Xlib.h>

namespace platform::mfc {
namespace {

template <class T> struct Reply {
    T* value;
    ~Reply() { std::free(value); }
    T* operator->() const { return value; }
    explicit operator bool() const { return value != nullptr; }
};

bool onUnixSocket(xcb_connection_t* connection) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(xcb_get_file_descriptor(connection), reinterpret_cast<sockaddr*>(&address), &length) ==
               0 &&
           address.ss_family == AF_UNIX;
}

// Whether the server maps memory files: MIT-SHM 1.2, and a trial attachment of one that it accepts.
bool mapsMemoryFiles(xcb_connection_t* connection) {
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    if (!shm || !shm->present || !onUnixSocket(connection))
        return false;
    const Reply<xcb_shm_query_version_reply_t> version{
        xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr)};
    if (!version || (version->major_version < 2 && version->minor_version < 2))
        return false; // memory files come with 1.2
    const int fd = memfd_create("video picture trial", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    if (ftruncate(fd, 4096) != 0) {
        close(fd);
        return false;
    }
    const std::uint32_t segment = xcb_generate_id(connection);
    xcb_generic_error_t* error =
        xcb_request_check(connection, xcb_shm_attach_fd_checked(connection, segment, fd, 1)); // takes fd
    if (error) {
        std::free(error);
        return false;
    }
    xcb_shm_detach(connection, segment);
    return true;
}

// Whether the visual is one whose 32-bit pixels are 0x..RRGGBB in this process's byte order.
bool writesPixelsAsTheyAre(const xcb_setup_t* setup, std::uint8_t depth, xcb_visualid_t visual) {
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || (depth != 24 && depth != 32))
        return false;
    bool thirtyTwoBits = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        thirtyTwoBits |= f.data->depth == depth && f.data->bits_per_pixel == 32;
    if (!thirtyTwoBits)
        return false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
            if (d.data->depth != depth)
                continue;
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                if (v.data->visual_id == visual)
                    return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xFF0000 &&
                           v.data->green_mask == 0xFF00 && v.data->blue_mask == 0xFF;
        }
    return false;
}

xcb_rectangle_t rectangle(LONG left, LONG top, LONG right, LONG bottom) {
    return xcb_rectangle_t{static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                           static_cast<std::uint16_t>(right - left),
                           static_cast<std::uint16_t>(bottom - top)};
}

constexpr int kLargestSide = 32767; // X coordinates are 16-bit
// How long a put waits for the server to have read the picture before: normally it has, long before the
// next picture; a server that takes longer than this is stuck, and the toolkit paints meanwhile.
constexpr auto kAnswerWait = std::chrono::milliseconds(500);

} // namespace

X11Pictures* X11Pictures::Get() {
    static X11Pictures* const output = []() -> X11Pictures* {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11 || !x11->display())
            return nullptr;
        xcb_connection_t* connection = xcb_connect(DisplayString(x11->display()), nullptr);
        if (xcb_connection_has_error(connection) || !mapsMemoryFiles(connection)) {
            xcb_disconnect(connection);
            return nullptr;
        }
        return new X11Pictures(connection); // kept for the life of the process, as the toolkit's display
    }();
    return output;
}

X11Pictures::X11Pictures(xcb_connection_t* connection) : connection_(connection) {}

bool X11Pictures::awaitAnswer() {
    takeAnswers();
    const auto until = std::chrono::steady_clock::now() + kAnswerWait;
    while (sent_) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd server{xcb_get_file_descriptor(connection_), POLLIN, 0};
        if (left.count() <= 0 || poll(&server, 1, static_cast<int>(left.count())) <= 0 ||
            xcb_connection_has_error(connection_))
            return false;
        takeAnswers();
    }
    return true;
}

void X11Pictures::takeAnswers() {
    while (xcb_generic_event_t* answer = xcb_poll_for_event(connection_)) {
        const std::uint32_t sequence = answer->full_sequence;
        std::free(answer);
        if (sent_ && static_cast<std::int32_t>(sequence - sent_->sequence) >= 0)
            sent_.reset();
    }
}

const X11Pictures::Target& X11Pictures::targetFor(std::uint32_t window) {
    if (const auto it = targets_.find(window); it != targets_.end())
        return it->second;
    Target target;
    const Reply<xcb_get_geometry_reply_t> geometry{
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr)};
    const Reply<xcb_get_window_attributes_reply_t> attributes{xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr)};
    if (geometry && attributes &&
        writesPixelsAsTheyAre(xcb_get_setup(connection_), geometry->depth, attributes->visual)) {
        target.usable = true;
        target.depth = geometry->depth;
        target.gc = xcb_generate_id(connection_);
        const std::uint32_t noExposures = 0;
        xcb_create_gc(connection_, target.gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    }
    return targets_[window] = target;
}

std::uint32_t X11Pictures::segmentFor(const std::shared_ptr<const platform::dshow::VideoPicture>& picture) {
    std::erase_if(segments_, [this](const auto& entry) {
        if (!entry.second.picture.expired())
            return false;
        if (entry.second.id)
            xcb_shm_detach(connection_, entry.second.id);
        return true;
    });
    if (const auto it = segments_.find(picture.get()); it != segments_.end())
        return it->second.id;
    Segment segment{picture, 0};
    const int fd = fcntl(picture->pixels.Descriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd >= 0) {
        const std::uint32_t id = xcb_generate_id(connection_);
        // Once per picture (they are made once per size): the server's answer is waited for.
        if (xcb_generic_error_t* error =
                xcb_request_check(connection_, xcb_shm_attach_fd_checked(connection_, id, fd, 1)))
            std::free(error);
        else
            segment.id = id;
    }
    segments_[picture.get()] = segment;
    return segment.id;
}

bool X11Pictures::Put(std::uint32_t window, const WindowPicture& shown, int width, int height) {
    const platform::dshow::VideoPicture* picture = shown.picture.get();
    if (!window || !picture || picture->pixels.Descriptor() < 0 || picture->width <= 0 ||
        picture->height <= 0 || picture->width > kLargestSide || picture->height > kLargestSide ||
        width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
        return false;
    RECT source = shown.source;
    if (source.left >= source.right || source.top >= source.bottom)
        source = RECT{0, 0, picture->width, picture->height};
    const RECT& target = shown.target;
    if (source.left < 0 || source.top < 0 || source.right > picture->width ||
        source.bottom > picture->height || target.right - target.left != source.right - source.left ||
        target.bottom - target.top != source.bottom - source.top)
        return false; // scaled: the toolkit paints it
    // The part of the target inside the client area.
    const RECT inside{std::max<LONG>(target.left, 0), std::max<LONG>(target.top, 0),
                      std::min<LONG>(target.right, width), std::min<LONG>(target.bottom, height)};
    if (inside.left >= inside.right || inside.top >= inside.bottom)
        return false;

    std::lock_guard lock(mutex_);
    if (xcb_connection_has_error(connection_)) {
        sent_.reset();
        return false;
    }
    if (!awaitAnswer())
        return false; // the server is stuck: the toolkit shows this one
    const Target& out = targetFor(window);
    const std::uint32_t segment = out.usable ? segmentFor(shown.picture) : 0;
    if (!segment)
        return false;

    // The fill colour in the bands around the picture: above, below, left and right of it.
    const xcb_rectangle_t bands[] = {rectangle(0, 0, width, inside.top),
                                     rectangle(0, inside.bottom, width, height),
                                     rectangle(0, inside.top, inside.left, inside.bottom),
                                     rectangle(inside.right, inside.top, width, inside.bottom)};
    xcb_rectangle_t fills[4];
    std::uint32_t count = 0;
    for (const xcb_rectangle_t& band : bands)
        if (band.width > 0 && band.height > 0)
            fills[count++] = band;
    if (count) {
        const std::uint32_t pixel = 0xFF000000u | static_cast<std::uint32_t>(GetRValue(shown.fill)) << 16 |
                                    static_cast<std::uint32_t>(GetGValue(shown.fill)) << 8 |
                                    GetBValue(shown.fill);
        xcb_change_gc(connection_, out.gc, XCB_GC_FOREGROUND, &pixel);
        xcb_poly_fill_rectangle(connection_, window, out.gc, count, fills);
    }
    const xcb_void_cookie_t put = xcb_shm_put_image(
        connection_, window, out.gc, static_cast<std::uint16_t>(picture->width),
        static_cast<std::uint16_t>(picture->height),
        static_cast<std::uint16_t>(source.left + inside.left - target.left),
        static_cast<std::uint16_t>(source.top + inside.top - target.top),
        static_cast<std::uint16_t>(inside.right - inside.left),
        static_cast<std::uint16_t>(inside.bottom - inside.top), static_cast<std::int16_t>(inside.left),
        static_cast<std::int16_t>(inside.top), out.depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 1, segment, 0);
    xcb_flush(connection_);
    sent_ = Sent{put.sequence, shown.picture};
    return true;
}

void X11Pictures::Forget(std::uint32_t window) {
    std::lock_guard lock(mutex_);
    const auto it = targets_.find(window);
    if (it == targets_.end())
        return;
    if (it->second.gc)
        xcb_free_gc(connection_, it->second.gc);
    targets_.erase(it);
    xcb_flush(connection_);
}

} // namespace platform::mfc
