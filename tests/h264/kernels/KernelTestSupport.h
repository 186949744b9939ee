// Shared by the kernel tests: the two kernel sets by name, a seeded generator, and clamps of the
// standard's formulas.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "h264/kernels/KernelTable.h"

namespace h264::test {

inline H264KernelTable kernelSet(const std::string& name) {
    H264KernelTable table{};
    if (name == "sse2")
        FillSse2Kernels(table);
    else
        FillPortableKernels(table);
    return table;
}

// Tests of a kernel against the standard's formula run once per set.
class KernelSetTest : public testing::TestWithParam<std::string> {
protected:
    H264KernelTable k = kernelSet(GetParam());
};

#define VELOQ_KERNEL_SETS(suite)                                                                             \
    INSTANTIATE_TEST_SUITE_P(Sets, suite, testing::Values("portable", "sse2"),                               \
                             [](const testing::TestParamInfo<std::string>& info) { return info.param; })

// Differential tests: the SSE2 set against the portable one on any input.
class KernelDiffTest : public testing::Test {
protected:
    H264KernelTable portable = kernelSet("portable");
    H264KernelTable sse2 = kernelSet("sse2");
};

// Input styles: uniform random, only the extremes (saturating), and small differences around a level
// (where the edge filters and the averages are active).
enum class Style { Random, Extremes, Smooth };

class Rng {
public:
    explicit Rng(uint32_t seed) : engine_(seed) {}
    int range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
    uint8_t byte() { return static_cast<uint8_t>(range(0, 255)); }
    uint8_t byte(Style style, int level) {
        switch (style) {
        case Style::Extremes:
            return range(0, 1) ? 255 : 0;
        case Style::Smooth:
            return static_cast<uint8_t>(std::clamp(level + range(-6, 6), 0, 255));
        default:
            return byte();
        }
    }
    void fill(uint8_t* p, int n, Style style = Style::Random) {
        const int level = range(0, 255);
        for (int i = 0; i < n; ++i)
            p[i] = byte(style, level);
    }
    int16_t value16() { return static_cast<int16_t>(range(-32768, 32767)); }

private:
    std::mt19937 engine_;
};

inline int clip1(int v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}
inline int clip3(int lo, int hi, int v) {
    return v < lo ? lo : v > hi ? hi : v;
}

template <typename T, std::size_t N> bool sameBytes(const T (&a)[N], const T (&b)[N]) {
    return std::memcmp(a, b, sizeof a) == 0;
}

} // namespace h264::test
