#include "boxlink/relay/ServerPacket.h"

#include <algorithm>
#include <cstring>

namespace {

void putU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

} // namespace

std::array<std::uint8_t, ServerPacket::kSize> ServerPacket::Encode() const {
    std::array<std::uint8_t, kSize> bytes{};
    std::memcpy(bytes.data(), address, sizeof address);
    putU32(&bytes[20], accept);
    putU32(&bytes[24], portA);
    putU32(&bytes[28], portB);
    std::memcpy(&bytes[32], deviceId, sizeof deviceId);
    putU32(&bytes[40], state);
    return bytes;
}

ServerPacket ServerPacket::Decode(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, kSize> bytes{};
    std::memcpy(bytes.data(), data, std::min(size, kSize));
    ServerPacket p;
    std::memcpy(p.address, bytes.data(), sizeof p.address);
    p.accept = getU32(&bytes[20]);
    p.portA = getU32(&bytes[24]);
    p.portB = getU32(&bytes[28]);
    std::memcpy(p.deviceId, &bytes[32], sizeof p.deviceId);
    p.state = getU32(&bytes[40]);
    return p;
}

std::string ServerPacket::AddressText() const {
    return std::string(address, ::strnlen(address, sizeof address));
}

void ServerPacket::SetAddress(std::string_view dotted) {
    std::memset(address, 0, sizeof address);
    std::memcpy(address, dotted.data(), std::min(dotted.size(), sizeof address - 1));
}

void ServerPacket::SetDeviceId(std::string_view id) {
    std::memset(deviceId, 0, sizeof deviceId);
    std::memcpy(deviceId, id.data(), std::min(id.size(), sizeof deviceId - 1));
}

bool ServerPacket::SameDeviceId(const ServerPacket& other) const {
    return ::strncmp(deviceId, other.deviceId, sizeof deviceId) == 0;
}
