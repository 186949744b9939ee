// The X11 screen-saver extension (1.1): ScreenSaverSuspend holds off the screen saver and the display's
// power saving for as long as the client that asked is connected, so the inhibitor keeps its own
// connection to the X server while it lives.
#include "platform/desktop/ScreenSaver.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace platform {
namespace {

class X11Inhibitor final : public ScreenSaverInhibitor {
public:
    explicit X11Inhibitor(std::string display) : name_(std::move(display)) {}
    ~X11Inhibitor() override {
        Release();
        if (display_)
            XCloseDisplay(display_);
    }

    bool Hold() override {
        if (held_)
            return true;
        if (!connect())
            return false;
        XScreenSaverSuspend(display_, True);
        XSync(display_, False);
        held_ = true;
        return true;
    }

    void Release() override {
        if (!held_)
            return;
        held_ = false;
        XScreenSaverSuspend(display_, False);
        XSync(display_, False);
    }

private:
    bool connect() {
        if (display_)
            return true;
        display_ = XOpenDisplay(name_.empty() ? nullptr : name_.c_str());
        if (!display_)
            return false;
        int event = 0, error = 0, major = 0, minor = 0;
        if (!XScreenSaverQueryExtension(display_, &event, &error) ||
            !XScreenSaverQueryVersion(display_, &major, &minor) || major < 1 || (major == 1 && minor < 1)) {
            XCloseDisplay(display_);
            display_ = nullptr;
        }
        return display_ != nullptr;
    }

    std::string name_;
    Display* display_ = nullptr;
    bool held_ = false;
};

} // namespace

std::unique_ptr<ScreenSaverInhibitor> MakeX11ScreenSaverInhibitor(const std::string& display) {
    return std::make_unique<X11Inhibitor>(display);
}

} // namespace platform
