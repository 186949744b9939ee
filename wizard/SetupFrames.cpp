#include "wizard/SetupFrames.h"

#include "boxlink/Rc4.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kLoginUserLengthAt = 16;
constexpr std::size_t kLoginPasswordLengthAt = 33;
constexpr std::size_t kDdnsDomainAt = 16;
constexpr std::size_t kDdnsUserAt = 81;
constexpr std::size_t kDdnsPasswordAt = 114;
constexpr std::size_t kDdnsEnableAt = 176;

void putText(BYTE* at, std::size_t slot, std::string_view text) {
    std::memcpy(at, text.data(), std::min(slot, text.size()));
}

// A length byte and the text after it.
void putCounted(BYTE* at, std::size_t slot, std::string_view text) {
    const std::size_t n = std::min(slot, text.size());
    at[0] = static_cast<BYTE>(n);
    std::memcpy(at + 1, text.data(), n);
}

BoxControlFrame setupFrame(DWORD command) {
    BoxControlFrame frame;
    frame.SetU32(BoxControlFrame::kTypeAt, BoxControlFrame::kType);
    frame.SetU32(BoxControlFrame::kCommandAt, command);
    return frame;
}

// A login field enciphered from the start of the keystream, behind its length byte.
void putEnciphered(BoxControlFrame& frame, std::size_t at, std::size_t slot, std::string_view text) {
    const std::size_t n = std::min(slot, text.size());
    const std::vector<BYTE> enciphered = Rc4Crypt(kLoginKey, reinterpret_cast<const BYTE*>(text.data()), n);
    putCounted(frame.bytes.data() + at, slot,
               std::string_view(reinterpret_cast<const char*>(enciphered.data()), enciphered.size()));
}

} // namespace

void BoxNetworkSettings::SetLogin(std::string_view deviceId, std::string_view userName,
                                  std::string_view password) {
    putText(bytes.data() + kDeviceIdAt, kDeviceIdSlot, deviceId);
    putText(bytes.data() + kUserNameAt, kUserNameSlot + 1, userName);
    putText(bytes.data() + kPasswordAt, kPasswordSlot, password);
    putText(bytes.data() + kPasswordAgainAt, kPasswordSlot, password);
}

void BoxNetworkSettings::SetPppoe(std::string_view account, std::string_view password) {
    putText(bytes.data() + kPppoeAccountAt, kPppoeTextSlot, account);
    putText(bytes.data() + kPppoePasswordAt, kPppoeTextSlot, password);
}

void BoxNetworkSettings::SetAddresses(std::uint32_t address, std::uint32_t mask, std::uint32_t gateway,
                                      std::uint32_t dns) {
    // Network byte order is kept as it lies in memory.
    std::memcpy(bytes.data() + kAddressAt, &address, 4);
    std::memcpy(bytes.data() + kMaskAt, &mask, 4);
    std::memcpy(bytes.data() + kGatewayAt, &gateway, 4);
    std::memcpy(bytes.data() + kDnsAt, &dns, 4);
}

BoxControlFrame SetupLoginFrame(std::string_view userName, std::string_view password) {
    BoxControlFrame frame = setupFrame(BOX_CMD_SETUP_LOGIN);
    putEnciphered(frame, kLoginUserLengthAt, kUserNameSlot, userName);
    putEnciphered(frame, kLoginPasswordLengthAt, kPasswordSlot, password);
    return frame;
}

BoxControlFrame NetworkFrame(const BoxNetworkSettings& settings) {
    BoxControlFrame frame = setupFrame(BOX_CMD_SET_NETWORK);
    std::copy(settings.bytes.begin(), settings.bytes.end(),
              frame.bytes.begin() + BoxControlFrame::kPayloadAt);
    return frame;
}

BoxControlFrame DdnsFrame(DWORD provider, std::string_view domain, std::string_view userName,
                          std::string_view password, DWORD enable) {
    BoxControlFrame frame = setupFrame(BOX_CMD_SET_DDNS);
    frame.SetU32(BoxControlFrame::kValueAt, provider);
    putCounted(frame.bytes.data() + kDdnsDomainAt, kDdnsDomainSlot, domain);
    putCounted(frame.bytes.data() + kDdnsUserAt, kDdnsTextSlot, userName);
    putCounted(frame.bytes.data() + kDdnsPasswordAt, kDdnsTextSlot, password);
    frame.SetU32(kDdnsEnableAt, enable);
    return frame;
}

BoxControlFrame SetupCloseFrame() {
    return setupFrame(BOX_CMD_SETUP_CLOSE);
}

std::string LanProbe(std::string_view deviceId) {
    return std::string(deviceId) + "aaaa";
}

std::array<BYTE, 30> FactoryProbe(std::string_view deviceId) {
    std::array<BYTE, 30> probe{};
    const std::string text = LanProbe(deviceId);
    std::memcpy(probe.data(), text.data(), std::min(probe.size(), text.size()));
    return probe;
}

bool IsSearchReplyOf(const BYTE* reply, std::size_t length, std::string_view deviceId) {
    return length >= deviceId.size() && std::memcmp(reply, deviceId.data(), deviceId.size()) == 0;
}
