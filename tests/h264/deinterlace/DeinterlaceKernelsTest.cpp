// SIMD line kernels against the portable one, in the manner of checkasm: the same random planes, counters and
// output through both, every pair count up to a few SIMD steps plus the SD one and runs of one to a few
// lines (each line's row differences carry over to the next), compared byte for byte.
#include "h264/deinterlace/DeinterlaceKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace {

// The inputs of a run of lines: four field planes of exactly the rows and columns the kernel may read
// (sanitizers catch more), their counters, the plane the new field is copied to, and an output with a gap
// between its lines.
struct LineBuffers {
    std::vector<uint8_t> rows[4];
    std::vector<uint8_t> counters, f2Store, out;
    ptrdiff_t stride = 0;
    ptrdiff_t outStride = 0;

    FieldPlanes planes() {
        return {rows[0].data(),  rows[1].data(), rows[2].data(), rows[3].data(),
                counters.data(), f2Store.data(), stride};
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
             auto& previous = b.rows[2 + f];
             const auto& current = b.rows[f];
             for (size_t i = 0; i < previous.size(); ++i) {
                 previous[i] = static_cast<uint8_t>(std::clamp(current[i] + byteIn(rng, 0, 26) - 13, 0, 255));
             }
         }
     }},
    // Runs of columns, a few pairs to a few steps long, still (the previous pair as the current one, counters
    // near the weave count) or moving: steps that weave throughout, interpolate throughout, or mix.
    {"StillRuns",
     [](LineBuffers& b, std::mt19937& rng) {
         fillRows(b, rng, 0, 255);
         const size_t columns = static_cast<size_t>(b.stride);
         bool still = true;
         for (size_t c = 0, runEnd = 0; c < columns; ++c) {
             if (c == runEnd) {
                 still = rng() % 3 != 0;
                 runEnd = c + 2 * byteIn(rng, 1, 24);
             }
             for (size_t i = c; still && i < b.rows[0].size(); i += columns) {
                 b.rows[2][i] = b.rows[0][i];
                 b.rows[3][i] = b.rows[1][i];
             }
             for (size_t i = c; still && c % 2 == 0 && i < b.counters.size(); i += columns) {
                 b.counters[i] = byteIn(rng, kStillCount - 2, kStillCount - 1);
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
            const int lines = 1 + round % 4;
            SCOPED_TRACE(testing::Message() << pairs << " pairs, " << lines << " lines, round " << round);
            const size_t width = 2 * static_cast<size_t>(pairs) + 4;
            LineBuffers b;
            b.stride = static_cast<ptrdiff_t>(width) + round % 3;
            b.outStride = static_cast<ptrdiff_t>(width) + 5;
            // Rows j .. j + lines; the kernel never reads the last column of the last row.
            const size_t planeBytes = static_cast<size_t>(b.stride) * lines + width - 1;
            for (auto& plane : b.rows) {
                plane.resize(planeBytes);
            }
            // Any count at the even columns; the odd ones, which belong to no pair, are zero and must stay
            // so.
            b.counters.resize(static_cast<size_t>(b.stride) * (lines - 1) + width);
            // Two frame lines per field row: the row as it stands and the line below it.
            b.out.resize(static_cast<size_t>(b.outStride) * (2 * lines - 1) + width);
            for (size_t i = 0; i < b.counters.size(); ++i) {
                const bool pairColumn = i % static_cast<size_t>(b.stride) % 2 == 0;
                b.counters[i] = pairColumn ? static_cast<uint8_t>(round % 2 ? rng() % 8 : rng()) : 0;
            }
            // Bytes the copy of the new field must leave alone keep their random values.
            b.f2Store.resize(planeBytes + 1);
            for (auto& s : b.f2Store) {
                s = static_cast<uint8_t>(rng());
            }
            for (auto& o : b.out) {
                o = static_cast<uint8_t>(rng());
            }
            GetParam().fill(b, rng);
            LineBuffers viaPortable = b;
            portable->interpolateLines(viaPortable.out.data(), b.outStride, viaPortable.planes(), lines,
                                       pairs);
            simd->interpolateLines(b.out.data(), b.outStride, b.planes(), lines, pairs);
            ASSERT_EQ(b.out, viaPortable.out);
            ASSERT_EQ(b.counters, viaPortable.counters);
            ASSERT_EQ(b.f2Store, viaPortable.f2Store);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, DeinterlaceKernelsTest, testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
