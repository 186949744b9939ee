#include "tests/support/testbox/WizardProgram.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>

namespace testbox {

namespace {

// A NUL-padded text of a fixed slot.
std::string padded(const Frame& f, std::size_t at, std::size_t width) {
    const auto* p = reinterpret_cast<const char*>(f.data() + at);
    return std::string(p, strnlen(p, width));
}

// A text behind its length byte, at most width bytes.
std::string counted(const Frame& f, std::size_t at, std::size_t width) {
    return std::string(reinterpret_cast<const char*>(f.data() + at + 1), std::min<std::size_t>(f[at], width));
}

std::string quad(const Frame& f, std::size_t at) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, f.data() + at, text, sizeof text);
    return text;
}

std::string network(const Frame& f) {
    constexpr std::size_t r = 16; // the settings record
    std::string line = "network settings for " + padded(f, r, 25) + ": ";
    switch (Get32(f.data() + r + 76)) {
    case 0:
        return line + "PPPoE, account " + padded(f, r + 80, 30) + ", password of " +
               std::to_string(padded(f, r + 110, 30).size()) + " characters";
    case 1:
        return line + "static address " + quad(f, r + 144) + ", mask " + quad(f, r + 148) + ", gateway " +
               quad(f, r + 152) + ", DNS " + quad(f, r + 156);
    case 2:
        return line + "DHCP";
    default:
        return line + "unknown mode " + std::to_string(Get32(f.data() + r + 76));
    }
}

std::string ddns(const Frame& f) {
    if (Get32(f.data() + 176) == 0)
        return "dynamic DNS off";
    return "dynamic DNS on: provider " + std::to_string(Get32(f.data() + 12)) + ", domain " +
           counted(f, 16, 64) + ", user " + counted(f, 81, 32) + ", password of " +
           std::to_string(counted(f, 114, 32).size()) + " characters";
}

} // namespace

std::string WizardHowTo(const WizardBox& box) {
    return "wizard box " + box.DeviceId() + " on " + box.Address() +
           "\nStart Quorra on this machine with:\n" +
           "  VELOQ_NET=loopback VELOQ_LAN_SEARCH_PORT=" + std::to_string(box.SearchPort()) +
           " VELOQ_WIZARD_CONTROL_PORT=" + std::to_string(box.ControlPort()) + "\nand type the device ID " +
           box.DeviceId() + " with any password.\n";
}

std::string DescribeWizardFrame(const WizardFrame& frame) {
    switch (frame.command) {
    case kSetupLogin:
        return "login";
    case kSetNetwork:
        return network(frame.bytes);
    case kSetDdns:
        return ddns(frame.bytes);
    case kSetupClose:
        return "close";
    default:
        return "command " + std::to_string(frame.command);
    }
}

} // namespace testbox
