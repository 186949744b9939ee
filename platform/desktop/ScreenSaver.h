// Holding off the screen saver and display power saving while video plays, through the desktop's own
// mechanism: the freedesktop screen-saver inhibit (org.freedesktop.ScreenSaver) on the session bus where a
// session bus offers it, else the X11 screen-saver extension's suspend on $DISPLAY (which covers the
// screen saver and the display's power saving). Either hold also ends when the process does, since both
// belong to the inhibitor's own connection.
//
// Ownership and threads: the caller owns its inhibitor and calls it from one thread at a time; Hold and
// Release talk to the bus or the X server synchronously (with a bound) and return.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

class ScreenSaverInhibitor {
public:
    virtual ~ScreenSaverInhibitor() = default; // releases a hold
    // Holds the screen saver and display power saving off until Release; holding again changes nothing.
    // false when no mechanism took the hold (no session bus service and no X11 extension).
    virtual bool Hold() = 0;
    virtual void Release() = 0; // nothing when not held
};

// The desktop's inhibitor, naming the program and why it holds (for the desktop's list of inhibitors). It
// picks its mechanism at the first Hold.
std::unique_ptr<ScreenSaverInhibitor> MakeScreenSaverInhibitor(const std::string& program,
                                                               const std::string& reason);

// The two mechanisms on their own, for their tests: the freedesktop inhibit on the session bus at
// `address` (the D-Bus address form), and the X11 suspend on `display` (empty: $DISPLAY).
std::unique_ptr<ScreenSaverInhibitor> MakeBusScreenSaverInhibitor(const std::string& address,
                                                                  const std::string& program,
                                                                  const std::string& reason);
std::unique_ptr<ScreenSaverInhibitor> MakeX11ScreenSaverInhibitor(const std::string& display);

} // namespace platform
