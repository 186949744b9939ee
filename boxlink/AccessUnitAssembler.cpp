#include "boxlink/AccessUnitAssembler.h"

#include <cstring>

namespace {

bool assembledType(BYTE type) {
    return type == 1 || (type >= 5 && type <= 10);
}

constexpr BYTE kStartCode[4] = {0, 0, 0, 1};

} // namespace

AccessUnitAssembler::AccessUnitAssembler() : buffer_(new BYTE[4 + kBufferSize]) {}

std::span<const BYTE> AccessUnitAssembler::Push(const BYTE* body, DWORD length) {
    if (unitOut_)
        Settle(false);
    if (length <= 4 || !assembledType(body[4] & 0x1F))
        return {};
    // Start code plus NAL unit take length bytes: the 4-byte timestamp makes room for the start code.
    if (length > kBufferSize - fill_)
        Clear();
    if (length > kBufferSize)
        return {};
    std::memcpy(data() + fill_, kStartCode, sizeof kStartCode);
    std::memcpy(data() + fill_ + 4, body + 4, length - 4);
    fill_ += length;

    record_ = BitstreamRecord{data(), data() + fill_};
    if (VD_BITSTREAM_load_AU(&record_) != VD_AU_READY)
        return {};
    // The cutter starts at the front of the buffer, so the unit does too: its timestamp goes just before.
    std::memcpy(buffer_.get(), body, 4);
    unitOut_ = true;
    return {buffer_.get(), 4 + record_.unitLength};
}

void AccessUnitAssembler::Settle(bool keepRest) {
    if (!unitOut_)
        return;
    unitOut_ = false;
    const DWORD rest = static_cast<DWORD>(record_.end - record_.start);
    if (!keepRest || rest == 0) {
        Clear();
        return;
    }
    std::memmove(data(), record_.start, rest);
    fill_ = rest;
}

void AccessUnitAssembler::Clear() {
    fill_ = 0;
    unitOut_ = false;
}
