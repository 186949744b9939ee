// The freedesktop screen-saver inhibit: Inhibit(program, reason) on org.freedesktop.ScreenSaver answers a
// cookie that UnInhibit takes back. The desktop drops the hold itself when the connection that took it
// closes, so the connection is a private one of the inhibitor's, kept while it lives.
#include "platform/desktop/ScreenSaver.h"

#include <dbus/dbus.h>

#include <cstdint>

namespace platform {
namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kPath = "/org/freedesktop/ScreenSaver";
constexpr int kReplyMs = 2000;

class BusInhibitor final : public ScreenSaverInhibitor {
public:
    BusInhibitor(std::string address, std::string program, std::string reason)
        : address_(std::move(address)), program_(std::move(program)), reason_(std::move(reason)) {
        dbus_threads_init_default(); // the inhibitor may be called from one thread, then another
    }
    ~BusInhibitor() override {
        Release();
        if (connection_) {
            dbus_connection_close(connection_);
            dbus_connection_unref(connection_);
        }
    }

    bool Hold() override {
        if (held_)
            return true;
        if (!connect())
            return false;
        const char* program = program_.c_str();
        const char* reason = reason_.c_str();
        DBusMessage* reply = call("Inhibit", [&](DBusMessage* m) {
            return dbus_message_append_args(m, DBUS_TYPE_STRING, &program, DBUS_TYPE_STRING, &reason,
                                            DBUS_TYPE_INVALID);
        });
        dbus_uint32_t cookie = 0;
        held_ = reply && dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &cookie, DBUS_TYPE_INVALID);
        if (reply)
            dbus_message_unref(reply);
        cookie_ = cookie;
        return held_;
    }

    void Release() override {
        if (!held_)
            return;
        held_ = false;
        const dbus_uint32_t cookie = cookie_;
        DBusMessage* reply = call("UnInhibit", [&](DBusMessage* m) {
            return dbus_message_append_args(m, DBUS_TYPE_UINT32, &cookie, DBUS_TYPE_INVALID);
        });
        if (reply)
            dbus_message_unref(reply);
    }

private:
    bool connect() {
        if (connection_)
            return true;
        DBusError error;
        dbus_error_init(&error);
        connection_ = dbus_connection_open_private(address_.c_str(), &error);
        if (connection_ && !dbus_bus_register(connection_, &error)) {
            dbus_connection_close(connection_);
            dbus_connection_unref(connection_);
            connection_ = nullptr;
        }
        dbus_error_free(&error);
        if (connection_)
            dbus_connection_set_exit_on_disconnect(connection_, FALSE);
        return connection_ != nullptr;
    }

    // The method's reply, or null for an error answer, a time-out or arguments that could not be added.
    template <class Arguments> DBusMessage* call(const char* method, Arguments arguments) {
        DBusMessage* message = dbus_message_new_method_call(kService, kPath, kService, method);
        if (!message)
            return nullptr;
        DBusMessage* reply = nullptr;
        if (arguments(message)) {
            DBusError error;
            dbus_error_init(&error);
            reply = dbus_connection_send_with_reply_and_block(connection_, message, kReplyMs, &error);
            dbus_error_free(&error);
        }
        dbus_message_unref(message);
        return reply;
    }

    std::string address_;
    std::string program_;
    std::string reason_;
    DBusConnection* connection_ = nullptr;
    bool held_ = false;
    std::uint32_t cookie_ = 0;
};

} // namespace

std::unique_ptr<ScreenSaverInhibitor> MakeBusScreenSaverInhibitor(const std::string& address,
                                                                  const std::string& program,
                                                                  const std::string& reason) {
    return std::make_unique<BusInhibitor>(address, program, reason);
}

} // namespace platform
