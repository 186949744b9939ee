// MD5 digests of decoded pictures (RFC 1321), for comparing output with a reference decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Md5 {
public:
    Md5();
    void update(const uint8_t* data, size_t size);
    std::string hexDigest(); // finishes the digest; the object is spent afterwards

private:
    void block(const uint8_t* data);
    uint32_t state_[4];
    uint64_t length_ = 0;
    uint8_t buffer_[64] = {};
};
