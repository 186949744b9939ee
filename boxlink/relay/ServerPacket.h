// The 48-byte datagram exchanged with the relay server, little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct ServerPacket {
    char address[16] = {}; // dotted quad, NUL-terminated when shorter than the field
    std::uint32_t accept = 0;
    std::uint32_t portA = 0;
    std::uint32_t portB = 0;
    char deviceId[8] = {}; // at most 7 characters and the terminator
    std::uint32_t state = 0;

    static constexpr std::size_t kSize = 48;
    // Server states.
    static constexpr std::uint32_t kGoOn = 2; // first stage: wait for the box's data
    static constexpr std::uint32_t kRefused = 4;
    static constexpr std::uint32_t kWait = 262;   // second stage: ask again
    static constexpr std::uint32_t kClosing = 17; // the PC's closing answer

    std::array<std::uint8_t, kSize> Encode() const;
    // Reads a received datagram; a short one is taken as zero-filled.
    static ServerPacket Decode(const std::uint8_t* data, std::size_t size);

    // The address field up to its terminator or its end.
    std::string AddressText() const;
    void SetAddress(std::string_view dotted);
    // The device ID: at most 7 bytes are kept.
    void SetDeviceId(std::string_view id);
    bool SameDeviceId(const ServerPacket& other) const;
};
