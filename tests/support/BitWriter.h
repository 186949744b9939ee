// Test support: writes H.264 syntax bit by bit (fixed-width fields, Exp-Golomb codes, trailing bits) and
// escapes a payload into a NAL unit, so that tests of the parsers and the decoder state their input field by
// field. Used by the H.264, media and box-link tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BitWriter {
public:
    // The low `count` bits of value, most significant first.
    void bits(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i)
            bit((value >> i) & 1);
    }
    void bit(uint32_t b) {
        if (used_ % 8 == 0)
            bytes_.push_back(0);
        if (b)
            bytes_.back() |= static_cast<uint8_t>(0x80 >> (used_ % 8));
        ++used_;
    }
    void flag(bool value) { bit(value ? 1 : 0); }
    void ue(uint32_t value) {
        const uint64_t code = uint64_t{value} + 1;
        int length = 0;
        while ((code >> length) > 1)
            ++length;
        bits(0, length);
        for (int i = length; i >= 0; --i)
            bit((code >> i) & 1);
    }
    void se(int32_t value) {
        ue(value > 0 ? 2 * static_cast<uint32_t>(value) - 1 : static_cast<uint32_t>(-2 * int64_t{value}));
    }
    void alignZero() {
        while (used_ % 8)
            bit(0);
    }
    // rbsp_stop_one_bit and the alignment after it.
    void trailing() {
        bit(1);
        alignZero();
    }
    bool aligned() const { return used_ % 8 == 0; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t used_ = 0;
};

// Appends the payload with 03 inserted wherever 00 00 is followed by a byte of 0 to 3.
inline void appendEscaped(std::vector<uint8_t>& out, const std::vector<uint8_t>& rbsp) {
    int zeros = 0;
    for (uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
}
