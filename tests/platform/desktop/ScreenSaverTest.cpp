// The screen-saver hold through the desktop's mechanisms themselves: the freedesktop inhibit on a session
// bus of the test's own (a dbus-daemon with a stand-in for the desktop's service on it), the X11
// extension on an Xvfb of the test's own, and the choice between them. Skipped where dbus-daemon or Xvfb
// is not installed.
#include "platform/desktop/ScreenSaver.h"
#include "tests/support/ServerProcess.h"

#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Last: its macros (None, Status, ...) would clash with the names of the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace {

constexpr int kStartMs = ServerProcess::kStartMs;

// The desktop's screen-saver service as the test's stand-in on the bus: answers Inhibit with cookies 1, 2,
// ... and keeps the calls it got.
class StandInService {
public:
    explicit StandInService(const std::string& address) {
        DBusError error;
        dbus_error_init(&error);
        connection_ = dbus_connection_open_private(address.c_str(), &error);
        if (connection_ && dbus_bus_register(connection_, &error) &&
            dbus_bus_request_name(connection_, "org.freedesktop.ScreenSaver", DBUS_NAME_FLAG_DO_NOT_QUEUE,
                                  &error) == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
            dbus_connection_add_filter(connection_, &StandInService::filter, this, nullptr);
            thread_ = std::thread([this] {
                while (!stop_ && dbus_connection_read_write_dispatch(connection_, 50)) {
                }
            });
        }
        dbus_error_free(&error);
    }
    ~StandInService() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (connection_) {
            dbus_connection_close(connection_);
            dbus_connection_unref(connection_);
        }
    }
    bool Running() const { return thread_.joinable(); }
    std::vector<std::string> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    static DBusHandlerResult filter(DBusConnection* connection, DBusMessage* message, void* self) {
        auto* service = static_cast<StandInService*>(self);
        const char* program = nullptr;
        const char* reason = nullptr;
        dbus_uint32_t cookie = 0;
        std::string call;
        DBusMessage* reply = nullptr;
        if (dbus_message_is_method_call(message, "org.freedesktop.ScreenSaver", "Inhibit") &&
            dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &program, DBUS_TYPE_STRING, &reason,
                                  DBUS_TYPE_INVALID)) {
            cookie = ++service->cookie_;
            call = "Inhibit " + std::string(program) + " / " + reason + " -> " + std::to_string(cookie);
            reply = dbus_message_new_method_return(message);
            dbus_message_append_args(reply, DBUS_TYPE_UINT32, &cookie, DBUS_TYPE_INVALID);
        } else if (dbus_message_is_method_call(message, "org.freedesktop.ScreenSaver", "UnInhibit") &&
                   dbus_message_get_args(message, nullptr, DBUS_TYPE_UINT32, &cookie, DBUS_TYPE_INVALID)) {
            call = "UnInhibit " + std::to_string(cookie);
            reply = dbus_message_new_method_return(message);
        } else {
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        }
        {
            std::lock_guard lock(service->mutex_);
            service->calls_.push_back(call);
        }
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    DBusConnection* connection_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    dbus_uint32_t cookie_ = 0;
};

class ScreenSaverBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ServerProcess::Installed("dbus-daemon"))
            GTEST_SKIP() << "dbus-daemon is not installed";
        bus_ =
            std::make_unique<ServerProcess>(std::vector<std::string>{"dbus-daemon", "--session", "--nofork",
                                                                     "--nopidfile", "--print-address"},
                                            -1);
        ASSERT_FALSE(bus_->Line().empty()) << "the bus did not start";
    }
    std::unique_ptr<ServerProcess> bus_;
};

TEST_F(ScreenSaverBusTest, TheHoldIsTheServicesInhibitAndItsReleaseTheUnInhibitOfTheCookie) {
    StandInService service(bus_->Line());
    ASSERT_TRUE(service.Running());
    {
        auto inhibitor = platform::MakeBusScreenSaverInhibitor(bus_->Line(), "Veloq", "Playing video");
        EXPECT_TRUE(inhibitor->Hold());
        EXPECT_TRUE(inhibitor->Hold()) << "held already: no second inhibit";
        inhibitor->Release();
        inhibitor->Release();
        EXPECT_TRUE(inhibitor->Hold());
    } // and its end releases it
    EXPECT_EQ(service.Calls(),
              (std::vector<std::string>{"Inhibit Veloq / Playing video -> 1", "UnInhibit 1",
                                        "Inhibit Veloq / Playing video -> 2", "UnInhibit 2"}));
}

TEST_F(ScreenSaverBusTest, WithoutTheServiceOnTheBusNothingIsHeld) {
    auto inhibitor = platform::MakeBusScreenSaverInhibitor(bus_->Line(), "Veloq", "Playing video");
    EXPECT_FALSE(inhibitor->Hold());
    auto nowhere =
        platform::MakeBusScreenSaverInhibitor("unix:path=/nonexistent/bus", "Veloq", "Playing video");
    EXPECT_FALSE(nowhere->Hold());
}

// The program's inhibitor takes the session bus's service where the environment names a bus.
TEST_F(ScreenSaverBusTest, TheDesktopsInhibitorTakesTheSessionBusFirst) {
    StandInService service(bus_->Line());
    ASSERT_TRUE(service.Running());
    setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Line().c_str(), 1);
    auto inhibitor = platform::MakeScreenSaverInhibitor("Veloq", "Playing video");
    EXPECT_TRUE(inhibitor->Hold());
    inhibitor->Release();
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_EQ(service.Calls().size(), 2u);
}

// The X server's screen saver, set to come on after one second of idleness: held off, it stays off; let
// go, or when the holder is gone, it comes on.
TEST(ScreenSaverX11Test, TheSuspendKeepsTheServersScreenSaverOffUntilReleased) {
    if (!ServerProcess::Installed("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    const TestXServer xvfb;
    const std::string display = xvfb.Display();
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    Display* observer = XOpenDisplay(display.c_str());
    ASSERT_TRUE(observer);
    XSetScreenSaver(observer, 1, 0, DontPreferBlanking, AllowExposures);
    const auto saverOn = [&] {
        XScreenSaverInfo info{};
        XScreenSaverQueryInfo(observer, DefaultRootWindow(observer), &info);
        return info.state == ScreenSaverOn;
    };
    const auto comesOn = [&] {
        for (auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs);
             std::chrono::steady_clock::now() < until;
             std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            if (saverOn())
                return true;
        return false;
    };
    const auto reset = [&] {
        XForceScreenSaver(observer, ScreenSaverReset);
        XSync(observer, False);
    };
    ASSERT_TRUE(comesOn()) << "the server's screen saver works";

    auto inhibitor = platform::MakeX11ScreenSaverInhibitor(display);
    reset();
    ASSERT_TRUE(inhibitor->Hold());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // past its one second
    EXPECT_FALSE(saverOn()) << "held off";
    inhibitor->Release();
    EXPECT_TRUE(comesOn()) << "released";

    reset();
    ASSERT_TRUE(inhibitor->Hold());
    inhibitor.reset();
    EXPECT_TRUE(comesOn()) << "the holder is gone";
    XCloseDisplay(observer);

    EXPECT_FALSE(platform::MakeX11ScreenSaverInhibitor(":4095")->Hold()) << "no such display";
}

} // namespace
