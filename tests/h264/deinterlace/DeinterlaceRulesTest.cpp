// The decision rules checked by hand-made cases: the direction chosen on ties and the motion threshold.
#include "DeinterlaceModel.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const DeinterlaceKernelSet kSets[] = {DeinterlaceKernelSet::Portable, DeinterlaceKernelSet::Sse2};

struct DirectionCase {
    const char* name;
    uint8_t above[3]; // first-field row j at columns c - 1, c, c + 1
    uint8_t below[3]; // row j + 1
    uint8_t expected;
};

// Distances: vertical |below[c] - above[c]|, first diagonal |below[c-1] - above[c+1]|, second
// |below[c+1] - above[c-1]|; every average rounds down.
const DirectionCase kDirections[] = {
    {"AllEqualKeepsVertical", {0, 10, 0}, {10, 20, 10}, 15},
    {"VerticalTiesFirstDiagonal", {0, 0, 30}, {40, 10, 50}, 5},
    {"VerticalTiesSecondDiagonal", {60, 0, 20}, {90, 10, 70}, 5},
    {"DiagonalsTieTakesFirst", {80, 0, 50}, {40, 100, 90}, 45},
    {"SecondBelowFirstBelowVertical", {10, 0, 40}, {60, 200, 15}, 12},
    {"FirstBelowSecondBelowVertical", {10, 0, 60}, {61, 200, 30}, 60},
    {"SecondBelowVerticalBelowFirst", {200, 100, 255}, {0, 110, 203}, 201},
    {"ZeroDistancesKeepVertical", {0, 30, 90}, {90, 30, 200}, 30},
    {"VerticalRoundsDown", {0, 255, 255}, {0, 254, 255}, 254},
};

// The first pair of a handle is motion everywhere when its fields are far from the grey history, so the
// line between first-field rows 1 and 2 is interpolated; the case is placed around column c of it.
TEST(DeinterlaceRules, DirectionOnTies) {
    const int w = 128;
    for (DeinterlaceKernelSet set : kSets) {
        if (!deinterlaceKernels(set)) {
            continue;
        }
        for (const DirectionCase& dc : kDirections) {
            for (int c : {2, 10, 11, 41, w - 3}) {
                SCOPED_TRACE(testing::Message() << kernelSetName(set) << " " << dc.name << " column " << c);
                DeinterlaceRunner runner(tightGeometry(w, 4), set);
                ASSERT_TRUE(runner.ok());
                Picture first(w, 4, 0);
                for (int k = 0; k < 3; ++k) {
                    first.luma(1, c - 1 + k) = dc.above[k];
                    first.luma(2, c - 1 + k) = dc.below[k];
                }
                const Picture frame = runner.pair(first, Picture(w, 4, 0));
                EXPECT_EQ(frame.luma(3, c), dc.expected);
            }
        }
    }
}

struct Change {
    int field; // 0 first, 1 second
    int col;
    int delta;
};

struct ThresholdCase {
    const char* name;
    std::vector<Change> changes; // all on field row 3
    bool motion;
};

const ThresholdCase kThresholds[] = {
    {"SecondFieldUp49", {{1, 20, 49}}, false},
    {"SecondFieldDown49", {{1, 21, -49}}, false},
    {"SecondFieldUp50", {{1, 20, 50}}, true},
    {"SecondFieldDown50", {{1, 21, -50}}, true},
    {"FirstFieldUp49", {{0, 20, 49}}, false},
    {"FirstFieldDown49", {{0, 20, -49}}, false},
    {"FirstFieldUp50", {{0, 21, 50}}, true},
    {"FirstFieldDown50", {{0, 20, -50}}, true},
    {"TwoSamplesSum50", {{1, 20, 25}, {1, 21, 25}}, true},
    {"TwoSamplesSum49", {{1, 20, 25}, {1, 21, 24}}, false},
    {"OppositeChangesCancel", {{1, 20, 50}, {1, 21, -50}}, false},
    {"BothFieldsBelowEach", {{0, 20, 30}, {1, 21, 30}}, false},
};

// A still picture (first field 60, second 200) woven everywhere after ten pairs; then one pair carries
// the changes on field row 3, which lies in the blocks of lines j = 2 and j = 3 at pair x = 20.
TEST(DeinterlaceRules, MotionThreshold) {
    const int w = 128, fh = 8;
    for (DeinterlaceKernelSet set : kSets) {
        if (!deinterlaceKernels(set)) {
            continue;
        }
        for (const ThresholdCase& tc : kThresholds) {
            SCOPED_TRACE(testing::Message() << kernelSetName(set) << " " << tc.name);
            DeinterlaceRunner runner(tightGeometry(w, fh), set);
            ASSERT_TRUE(runner.ok());
            const Picture first(w, fh, 60), second(w, fh, 200);
            for (int i = 0; i < 10; ++i) {
                runner.pair(first, second);
            }
            Picture changed[2] = {first, second};
            for (const Change& ch : tc.changes) {
                changed[ch.field].luma(3, ch.col) =
                    static_cast<uint8_t>(changed[ch.field].luma(3, ch.col) + ch.delta);
            }
            const Picture frame = runner.pair(changed[0], changed[1]);
            for (int j = 1; j <= fh - 2; ++j) {
                for (int c = 2; c < w - 2; ++c) {
                    const bool woven = !(tc.motion && (j == 2 || j == 3) && c / 2 == 10);
                    const uint8_t weave = changed[1].luma(j, c);
                    if (woven) {
                        ASSERT_EQ(frame.luma(2 * j + 1, c), weave) << "line " << j << " column " << c;
                    } else {
                        ASSERT_NE(frame.luma(2 * j + 1, c), weave) << "line " << j << " column " << c;
                    }
                }
            }
        }
    }
}

} // namespace
