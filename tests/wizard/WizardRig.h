// What the wizard's tests stand on: the time scale, a wizard box on loopback, and the environment that
// points the wizard at it with a fake address service (a Wi-Fi adapter, two Ethernet adapters and one of
// another kind; the box hangs on the last Ethernet adapter). The factory address and the temporary PC
// address are loopback addresses too, so nothing ever leaves this machine.
#pragma once

#include "tests/support/fakes/FakeAddressService.h"
#include "tests/support/testbox/WizardBox.h"

#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

inline constexpr char kFactoryBox[] = "127.0.0.100";
inline constexpr char kTemporaryPc[] = "127.0.0.200";
inline constexpr DWORD kBoxAdapterIndex = 5;

inline std::uint32_t Ip(const char* text) {
    std::uint32_t a = 0;
    platform::ParseIpv4(text, a);
    return a;
}

inline std::shared_ptr<fakes::FakeAddressService> MakeAddressService() {
    using platform::Adapter;
    return std::make_shared<fakes::FakeAddressService>(std::vector<Adapter>{
        {"wlan0", 2, platform::kAdapterWireless, {{Ip("10.0.0.7"), Ip("255.255.255.0")}}, 0},
        {"eth0", 3, platform::kAdapterEthernet, {{Ip("192.168.1.20"), Ip("255.255.255.0")}}, 0},
        {"eth1", kBoxAdapterIndex, platform::kAdapterEthernet, {}, 0},
        {"usb0", 6, platform::kAdapterOther, {}, 0}});
}

// The environment of a box: its ports and search address, the fake address service, the factory and
// temporary addresses.
inline platform::NetEnvironment WizardEnvironment(const testbox::WizardBox& box,
                                                  std::shared_ptr<fakes::FakeAddressService> addresses) {
    platform::NetEnvironment env = box.Environment();
    env.addressService = std::move(addresses);
    env.factoryBoxAddress = kFactoryBox;
    env.temporaryPcAddress = kTemporaryPc;
    env.temporaryPcMask = "255.255.255.0";
    return env;
}

// The scaled clock runs five times faster: a 2-second wait takes 400 ms, which a box on loopback answers
// well within also on a loaded machine.
class WizardTest : public ::testing::Test {
protected:
    WizardTest() { platform::SetTimeScale(5.0); }
    ~WizardTest() override { platform::SetTimeScale(1.0); }
};

// Waits in real time, bounded generously.
template <class Pred> bool WaitReal(Pred done, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
