#include "platform/desktop/ScreenSaver.h"
#include "platform/desktop/ScreenSaverHooks.h"

#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

std::mutex g_factoryMutex;
ScreenSaverFactory g_factory;

// The desktop's mechanism, looked for at each Hold until one takes it: the session bus's service first.
class DesktopInhibitor final : public ScreenSaverInhibitor {
public:
    DesktopInhibitor(std::string program, std::string reason)
        : program_(std::move(program)), reason_(std::move(reason)) {}

    bool Hold() override {
        if (chosen_)
            return chosen_->Hold();
        // Only a session bus that is there: no bus is started for this (an X11 session may autolaunch one).
        if (const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS"); bus && *bus) {
            auto inhibitor = MakeBusScreenSaverInhibitor(bus, program_, reason_);
            if (inhibitor->Hold()) {
                chosen_ = std::move(inhibitor);
                return true;
            }
        }
        auto inhibitor = MakeX11ScreenSaverInhibitor("");
        if (!inhibitor->Hold())
            return false;
        chosen_ = std::move(inhibitor);
        return true;
    }
    void Release() override {
        if (chosen_)
            chosen_->Release();
    }

private:
    std::string program_;
    std::string reason_;
    std::unique_ptr<ScreenSaverInhibitor> chosen_;
};

} // namespace

std::unique_ptr<ScreenSaverInhibitor> MakeScreenSaverInhibitor(const std::string& program,
                                                               const std::string& reason) {
    {
        std::lock_guard lock(g_factoryMutex);
        if (g_factory)
            return g_factory(program, reason);
    }
    return std::make_unique<DesktopInhibitor>(program, reason);
}

void SetScreenSaverFactory(ScreenSaverFactory factory) {
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

} // namespace platform
