// The 188-byte little-endian control frame that carries every request to the box and every reply from
// it, the command codes, and the byte-order helpers of the box's records.
#pragma once

#include "platform/win32/Types.h"

#include <array>
#include <cstddef>
#include <cstring>

enum BoxCommand : DWORD {
    BOX_CMD_LOGIN = 0xFDFD2001,
    BOX_CMD_LOGOUT = 0xFDFD2002,
    BOX_CMD_STOP_SCAN = 0xFDFD2007,
    BOX_CMD_SET_SOURCE = 0xFDFD2010,
    BOX_CMD_SET_CHANNEL = 0xFDFD2011,
    BOX_CMD_START_SCAN = 0xFDFD2012,
    BOX_CMD_GET_CHANNEL_TABLE = 0xFDFD2013,
    BOX_CMD_SET_PICTURE = 0xFDFD2018,
    BOX_CMD_KEEP_ALIVE = 0xFDFD2019,
    BOX_CMD_ADD_USER = 0xFDFD2030,
    BOX_CMD_GET_USERS = 0xFDFD2031,
    BOX_CMD_CHANGE_PASSWORD = 0xFDFD2032,
    BOX_CMD_DELETE_USER = 0xFDFD2033,
    BOX_CMD_BEGIN_IR_LEARNING = 0xFDFD2080,
    BOX_CMD_END_IR_LEARNING = 0xFDFD2081,
    BOX_CMD_LEARN_IR_KEY = 0xFDFD2082,
    BOX_CMD_SEND_IR_KEY = 0xFDFD2083,
    BOX_CMD_GET_IR_DATA = 0xFDFD2084,
    BOX_CMD_PUT_IR_DATA = 0xFDFD2085,
    BOX_CMD_SET_VIDEO_QUALITY = 0xFDFD2090,
    BOX_CMD_FIRMWARE_UPDATE = 0xFDFD2093,
    BOX_CMD_SET_TRANSPORT_PORT = 0xFDFD2094,
    BOX_CMD_SET_COUNTRY = 0xFDFD2095,
    BOX_CMD_SET_BOX_TIME = 0xFDFD20A0,
    BOX_CMD_SET_TIME_ZONE = 0xFDFD20A1,
    BOX_CMD_GET_BOX_INFO = 0xFDFD20A2,
    BOX_CMD_ADD_BOX_TASK = 0xFDFD20A3,
    BOX_CMD_DELETE_BOX_TASK = 0xFDFD20A4,
    BOX_CMD_UPDATE_BOX_TASK = 0xFDFD20A5,
    BOX_CMD_GET_FILE_LIST = 0xFDFD20B0,
    BOX_CMD_REQUEST_FILE = 0xFDFD20B1,
    BOX_CMD_START_FILE_TRANSFER = 0xFDFD20B2,
    BOX_CMD_ABORT_FILE_TRANSFER = 0xFDFD20B3,
    BOX_CMD_DELETE_BOX_FILE = 0xFDFD20B4,
};

// The confirmation value of a login that takes over another user's login.
constexpr BYTE BOX_LOGIN_CONFIRMED = 251;

inline DWORD LoadU32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}
inline WORD LoadU16(const BYTE* p) {
    return static_cast<WORD>(p[0] | p[1] << 8);
}
inline void StoreU32(BYTE* p, DWORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}
inline void StoreU16(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

struct BoxControlFrame {
    static constexpr std::size_t kSize = 188;
    static constexpr DWORD kType = 12;
    // Field offsets.
    static constexpr std::size_t kTypeAt = 0;
    static constexpr std::size_t kSequenceAt = 4;
    static constexpr std::size_t kCommandAt = 8;
    static constexpr std::size_t kValueAt = 12;
    static constexpr std::size_t kPayloadAt = 16; // 160 bytes, to 175
    static constexpr std::size_t kPayloadEnd = 176;
    static constexpr std::size_t kValue2At = 176;
    static constexpr std::size_t kValue3At = 180;
    static constexpr std::size_t kChecksumAt = 184; // u32 whose high half stays 0

    std::array<BYTE, kSize> bytes{};

    DWORD U32(std::size_t at) const { return LoadU32(bytes.data() + at); }
    void SetU32(std::size_t at, DWORD v) { StoreU32(bytes.data() + at, v); }

    DWORD type() const { return U32(kTypeAt); }
    DWORD sequence() const { return U32(kSequenceAt); }
    DWORD command() const { return U32(kCommandAt); }
    DWORD value() const { return U32(kValueAt); }
    DWORD value2() const { return U32(kValue2At); }
    DWORD value3() const { return U32(kValue3At); }

    // Computes the checksum over the frame and stores it; the last thing done to a frame before it is sent.
    void Seal();
};

// The checksum of a frame: the 94 little-endian u16 words summed with bytes 184..187 taken as 0, folded
// twice (the second fold adds the carry without masking), complemented, low 16 bits.
WORD BoxFrameChecksum(const BYTE* frame);
