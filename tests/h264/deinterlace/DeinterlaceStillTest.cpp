// A still progressive SD picture split into fields: what the frames show pair after pair, and how one change
// of the picture restarts the count where it happened.
#include "DeinterlaceModel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr int kW = 720, kFh = 288, kH = 2 * kFh;

// Non-flat and away from mid grey, so the first pair counts as motion everywhere against the grey history.
Picture source(uint32_t seed) {
    Picture p(kW, kH);
    for (int r = 0; r < kH; ++r) {
        for (int c = 0; c < kW; ++c) {
            p.luma(r, c) = static_cast<uint8_t>(150 + ((c * 7 + r * 13) ^ (c * r + seed)) % 100);
        }
    }
    for (size_t i = 0; i < p.u.size(); ++i) {
        p.u[i] = static_cast<uint8_t>(i * 3 + seed);
        p.v[i] = static_cast<uint8_t>(i * 5 + seed);
    }
    return p;
}

// Rows the first field gives (every even row, and the two outer odd rows and the outer columns as copies
// of the line above) and the doubled chroma of the first field.
void expectFirstFieldParts(const Picture& frame, const Picture& src, const Picture& firstField) {
    for (int r = 0; r < kH; r += 2) {
        ASSERT_EQ(0, std::memcmp(&frame.y[r * kW], &src.y[r * kW], kW)) << "even row " << r;
    }
    ASSERT_EQ(0, std::memcmp(&frame.y[1 * kW], &src.y[0], kW)) << "row 1";
    ASSERT_EQ(0, std::memcmp(&frame.y[(kH - 1) * kW], &src.y[(kH - 2) * kW], kW)) << "last row";
    for (int r = 3; r <= kH - 3; r += 2) {
        for (int c : {0, 1, kW - 2, kW - 1}) {
            ASSERT_EQ(frame.luma(r, c), src.luma(r - 1, c)) << "row " << r << " column " << c;
        }
    }
    const int cw = kW / 2;
    for (int r = 0; r < kFh; ++r) {
        ASSERT_EQ(0, std::memcmp(&frame.u[r * cw], &firstField.u[(r / 2) * cw], cw)) << "U row " << r;
        ASSERT_EQ(0, std::memcmp(&frame.v[r * cw], &firstField.v[(r / 2) * cw], cw)) << "V row " << r;
    }
}

// Interior pixels of the odd rows 3 .. kH - 3 that differ from the source: woven ones do not.
template <typename Pred> int differingInterior(const Picture& frame, const Picture& src, Pred inRegion) {
    int n = 0;
    for (int r = 3; r <= kH - 3; r += 2) {
        for (int c = 2; c < kW - 2; ++c) {
            if (inRegion(r, c) && frame.luma(r, c) != src.luma(r, c)) {
                ++n;
            }
        }
    }
    return n;
}

class DeinterlaceStillTest : public testing::TestWithParam<DeinterlaceKernelSet> {};

TEST_P(DeinterlaceStillTest, WeavesFromTheNinthPairAndRestartsWhereThePictureChanged) {
    if (!deinterlaceKernels(GetParam())) {
        GTEST_SKIP() << "kernel set not built for this processor";
    }
    DeinterlaceRunner runner({kW, kFh, 768, 384, kW, kW / 2}, GetParam());
    ASSERT_TRUE(runner.ok());
    const Picture before = source(1);
    // A patch darkened by 100: every sample in it changes by at least the threshold, in one direction.
    Picture after = before;
    const int top = 101, bottom = 170, left = 203, right = 390;
    for (int r = top; r <= bottom; ++r) {
        for (int c = left; c <= right; ++c) {
            after.luma(r, c) = static_cast<uint8_t>(after.luma(r, c) - 100);
        }
    }
    // The interpolated line 2j + 1 decides over field rows j and j + 1, i.e. picture rows 2j .. 2j + 3.
    const auto disturbed = [&](int r, int c) {
        const int j = (r - 1) / 2;
        const int x = c & ~1;
        return 2 * j + 3 >= top && 2 * j <= bottom && x + 1 >= left && x <= right;
    };
    const auto everywhere = [](int, int) { return true; };
    const auto undisturbed = [&](int r, int c) { return !disturbed(r, c); };

    for (int pair = 1; pair <= 20; ++pair) {
        SCOPED_TRACE(testing::Message() << "pair " << pair);
        const Picture& src = pair <= 12 ? before : after;
        const auto fields = splitFields(src);
        const Picture frame = runner.pair(fields[0], fields[1]);
        expectFirstFieldParts(frame, src, fields[0]);
        if (pair <= 8) {
            EXPECT_GT(differingInterior(frame, src, everywhere), 0) << "woven before its time";
        } else if (pair <= 12) {
            EXPECT_EQ(differingInterior(frame, src, everywhere), 0);
        } else if (pair <= 20) {
            // The change is motion at pair 13; its pairs count 1 .. 7 up to pair 20 and weave at 21.
            EXPECT_EQ(differingInterior(frame, src, undisturbed), 0);
            EXPECT_GT(differingInterior(frame, src, disturbed), 0) << "woven before its time";
        }
    }
    const auto fields = splitFields(after);
    EXPECT_EQ(differingInterior(runner.pair(fields[0], fields[1]), after, everywhere), 0) << "pair 21";
}

INSTANTIATE_TEST_SUITE_P(KernelSets, DeinterlaceStillTest,
                         testing::Values(DeinterlaceKernelSet::Portable, DeinterlaceKernelSet::Sse2),
                         [](const auto& info) { return std::string(kernelSetName(info.param)); });

} // namespace
