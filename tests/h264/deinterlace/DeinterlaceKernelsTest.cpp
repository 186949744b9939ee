// SIMD line kernels against the portable one, in the manner of checkasm: the same random rows, counters and
// output through both, every pair count up to a few SIMD steps plus the SD one, compared byte for byte.
#include "h264/deinterlace/DeinterlaceKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace {

// One line's inputs: eight field rows of exactly the width the kernel may read (sanitizers catch more).
struct LineBuffers {
    std::vector<uint8_t> rows[8];
    std::vector<uint8_t> counters, out;

    LineSources sources() const {
        return {{rows[0].data(), rows[1].data()},
                {rows[2].data(), rows[3].data()},
                {rows[4].data(), rows[5].data()},
                {rows[6].data(), rows[7].data()}};
    }
};

using Fill = std::function<void(LineBuffers&, std::mt19937&)>;

struct InputCase {
    const char* name;
    Fill fill;
};

uint8_t byteIn(std::mt19937& rng, int lo, int hi) {
    return static_cast<uint8_t>(std::uniform_int_distribution<int>(lo, hi)(rng));
}

void fillRows(LineBuffers& b, std::mt19937& rng, int lo, int hi) {
    for (auto& row : b.rows) {
        for (auto& v : row) {
            v = byteIn(rng, lo, hi);
        }
    }
}

const InputCase kInputs[] = {
    {"Uniform", [](LineBuffers& b, std::mt19937& rng) { fillRows(b, rng, 0, 255); }},
    {"Saturating",
     [](LineBuffers& b, std::mt19937& rng) {
         for (auto& row : b.rows) {
             for (auto& v : row) {
                 v = rng() % 2 ? 255 : 0;
             }
         }
     }},
    // Few values: distances tie, averages are odd sums.
    {"Narrow", [](LineBuffers& b, std::mt19937& rng) { fillRows(b, rng, 0, 3); }},
    // The previous pair close to the current one: block differences around the threshold.
    {"NearThreshold",
     [](LineBuffers& b, std::mt19937& rng) {
         fillRows(b, rng, 0, 255);
         for (int f = 0; f < 2; ++f) {
             for (int r = 0; r < 2; ++r) {
                 auto& previous = b.rows[4 + 2 * f + r];
                 const auto& current = b.rows[2 * f + r];
                 for (size_t i = 0; i < previous.size(); ++i) {
                     previous[i] =
                         static_cast<uint8_t>(std::clamp(current[i] + byteIn(rng, 0, 26) - 13, 0, 255));
                 }
             }
         }
     }},
};

void PrintTo(const InputCase& c, std::ostream* os) {
    *os << c.name;
}

class DeinterlaceKernelsTest : public testing::TestWithParam<InputCase> {};

TEST_P(DeinterlaceKernelsTest, Sse2MatchesPortable) {
    const DeinterlaceKernels* simd = deinterlaceKernels(DeinterlaceKernelSet::Sse2);
    if (!simd) {
        GTEST_SKIP() << "no SSE2 kernels on this processor";
    }
    const DeinterlaceKernels* portable = deinterlaceKernels(DeinterlaceKernelSet::Portable);
    std::mt19937 rng(1234);
    std::vector<int> pairCounts;
    for (int n = 1; n <= 48; ++n) {
        pairCounts.push_back(n);
    }
    pairCounts.push_back(720 / 2 - 2);
    for (int pairs : pairCounts) {
        for (int round = 0; round < 8; ++round) {
            SCOPED_TRACE(testing::Message() << pairs << " pairs, round " << round);
            const size_t width = 2 * static_cast<size_t>(pairs) + 4;
            LineBuffers b;
            for (auto& row : b.rows) {
                row.resize(width - 1); // the kernel never reads the last column
            }
            GetParam().fill(b, rng);
            // Any counter byte value, odd columns included: those belong to no pair and stay as they are.
            b.counters.resize(width);
            b.out.resize(width);
            for (size_t i = 0; i < width; ++i) {
                b.counters[i] = static_cast<uint8_t>(round % 2 ? rng() % 8 : rng());
                b.out[i] = static_cast<uint8_t>(rng());
            }
            LineBuffers viaPortable = b;
            const LineSources src = b.sources();
            portable->interpolateLine(viaPortable.out.data(), viaPortable.counters.data(), src, pairs);
            simd->interpolateLine(b.out.data(), b.counters.data(), src, pairs);
            ASSERT_EQ(b.out, viaPortable.out);
            ASSERT_EQ(b.counters, viaPortable.counters);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, DeinterlaceKernelsTest, testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
