#include "boxlink/Rc4.h"

#include <array>
#include <numeric>
#include <utility>

std::vector<BYTE> Rc4Crypt(std::string_view key, const BYTE* input, std::size_t n) {
    std::vector<BYTE> out(input, input + n);
    if (key.empty())
        return out;
    std::array<BYTE, 256> s;
    std::iota(s.begin(), s.end(), 0);
    unsigned j = 0;
    for (unsigned i = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<BYTE>(key[i % key.size()])) & 0xFF;
        std::swap(s[i], s[j]);
    }
    unsigned i = 0;
    j = 0;
    for (BYTE& b : out) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        b ^= s[(s[i] + s[j]) & 0xFF];
    }
    return out;
}
