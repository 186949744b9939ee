// What the wizard sends to a box: the three setup commands and the close command in control frames (type
// 12, sequence 0, checksum 0), the network settings record that the network command carries whole, and
// the two search probes. Texts are bytes of the ANSI code page; one longer than its slot is cut at the
// slot (the pages refuse such texts before they get here).
#pragma once

#include "boxlink/BoxControlFrame.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

enum SetupCommand : DWORD {
    BOX_CMD_SETUP_LOGIN = 2101,
    BOX_CMD_SET_NETWORK = 2102,
    BOX_CMD_SET_DDNS = 2103,
    BOX_CMD_SETUP_CLOSE = BOX_CMD_LOGOUT,
};

enum NetMode : DWORD {
    NET_MODE_PPPOE = 0,
    NET_MODE_STATIC = 1,
    NET_MODE_DHCP = 2,
};

// Room of each text, in bytes.
constexpr std::size_t kDeviceIdSlot = 25;
constexpr std::size_t kUserNameSlot = 16; // the login frame's room (the record has 17)
constexpr std::size_t kPasswordSlot = 17;
constexpr std::size_t kPppoeTextSlot = 30;
constexpr std::size_t kDdnsDomainSlot = 64;
constexpr std::size_t kDdnsTextSlot = 32; // user name and password

// The 160-byte record of the network command (frame bytes 16..175), little-endian, texts NUL-padded.
struct BoxNetworkSettings {
    static constexpr std::size_t kSize = 160;
    static constexpr std::size_t kDeviceIdAt = 0;
    static constexpr std::size_t kUserNameAt = 25;
    static constexpr std::size_t kPasswordAt = 42;
    static constexpr std::size_t kPasswordAgainAt = 59;
    static constexpr std::size_t kModeAt = 76;
    static constexpr std::size_t kPppoeAccountAt = 80;
    static constexpr std::size_t kPppoePasswordAt = 110;
    static constexpr std::size_t kAddressAt = 144;
    static constexpr std::size_t kMaskAt = 148;
    static constexpr std::size_t kGatewayAt = 152;
    static constexpr std::size_t kDnsAt = 156;

    std::array<BYTE, kSize> bytes{};

    void SetLogin(std::string_view deviceId, std::string_view userName, std::string_view password);
    void SetMode(DWORD mode) { StoreU32(bytes.data() + kModeAt, mode); }
    void SetPppoe(std::string_view account, std::string_view password);
    // Addresses in network byte order.
    void SetAddresses(std::uint32_t address, std::uint32_t mask, std::uint32_t gateway, std::uint32_t dns);
};

BoxControlFrame SetupLoginFrame(std::string_view userName, std::string_view password);
BoxControlFrame NetworkFrame(const BoxNetworkSettings& settings);
// provider is the number the box knows the provider by (the page's list index + 1).
BoxControlFrame DdnsFrame(DWORD provider, std::string_view domain, std::string_view userName,
                          std::string_view password, DWORD enable);
BoxControlFrame SetupCloseFrame();

// The LAN probe: the device ID and "aaaa", without a terminator.
std::string LanProbe(std::string_view deviceId);
// The factory-address probe: the LAN probe in a zero-filled 30-byte buffer, all of which is sent.
std::array<BYTE, 30> FactoryProbe(std::string_view deviceId);
// A search reply is the box's when it begins with the device ID.
bool IsSearchReplyOf(const BYTE* reply, std::size_t length, std::string_view deviceId);
