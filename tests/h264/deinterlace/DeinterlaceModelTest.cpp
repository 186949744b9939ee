// The deinterlacer against the per-pixel model, byte for byte, on random and structured field sequences,
// through several geometries (tight and padded strides, kernel tails of every length) and both kernel sets.
#include "DeinterlaceModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

namespace {

using Pair = std::array<Picture, 2>;
using Sequence = std::vector<Pair>;

// A textured progressive picture whose samples avoid mid grey, so the first pair is motion everywhere
// against the grey history; `shift` moves the texture right.
Picture texture(int w, int h, int shift, uint32_t seed) {
    Picture p(w, h);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const uint32_t k =
                static_cast<uint32_t>(c - shift) * 2654435761u ^ static_cast<uint32_t>(r) * 40503u ^ seed;
            p.luma(r, c) = static_cast<uint8_t>(150 + (k >> 13) % 106);
        }
    }
    for (size_t i = 0; i < p.u.size(); ++i) {
        p.u[i] = static_cast<uint8_t>(16 + (i * 7 + seed) % 200);
        p.v[i] = static_cast<uint8_t>(240 - (i * 11 + seed) % 200);
    }
    return p;
}

Picture randomPicture(int w, int h, std::mt19937& rng, int lo, int hi) {
    Picture p(w, h);
    std::uniform_int_distribution<int> d(lo, hi);
    for (auto* plane : {&p.y, &p.u, &p.v}) {
        for (auto& b : *plane) {
            b = static_cast<uint8_t>(d(rng));
        }
    }
    return p;
}

// Every sample of the picture moved by a random step in [-step, step], kept in 0 .. 255.
Picture jitter(Picture p, std::mt19937& rng, int step) {
    std::uniform_int_distribution<int> d(-step, step);
    for (auto& b : p.y) {
        b = static_cast<uint8_t>(std::clamp(b + d(rng), 0, 255));
    }
    return p;
}

struct SequenceCase {
    const char* name;
    std::function<Sequence(int w, int fh, std::mt19937& rng)> make;
};

const SequenceCase kSequences[] = {
    {"RandomFields",
     [](int w, int fh, std::mt19937& rng) {
         Sequence s;
         for (int i = 0; i < 6; ++i) {
             s.push_back({randomPicture(w, fh, rng, 0, 255), randomPicture(w, fh, rng, 0, 255)});
         }
         return s;
     }},
    // Few distinct values around grey: still from the first pair on (against the grey history), and the
    // three distances tie often.
    {"NarrowRandomFields",
     [](int w, int fh, std::mt19937& rng) {
         Sequence s;
         for (int i = 0; i < 12; ++i) {
             s.push_back({randomPicture(w, fh, rng, 126, 129), randomPicture(w, fh, rng, 126, 129)});
         }
         return s;
     }},
    // Block differences spread around the threshold: many decisions fall on either side of 50.
    {"NearThresholdNoise",
     [](int w, int fh, std::mt19937& rng) {
         const Picture base = texture(w, 2 * fh, 0, 7);
         Sequence s;
         for (int i = 0; i < 16; ++i) {
             s.push_back(splitFields(i < 2 ? base : jitter(base, rng, 12)));
         }
         return s;
     }},
    {"Still",
     [](int w, int fh, std::mt19937&) { return Sequence(11, splitFields(texture(w, 2 * fh, 0, 3))); }},
    // A texture moving three columns per pair over a still one; the seam is where the counters disagree.
    {"Motion",
     [](int w, int fh, std::mt19937&) {
         Sequence s;
         for (int i = 0; i < 12; ++i) {
             Picture p = texture(w, 2 * fh, 0, 5);
             const Picture moving = texture(w, 2 * fh, 3 * i, 9);
             for (int r = 0; r < p.height; ++r) {
                 for (int c = w / 3; c < w; ++c) {
                     p.luma(r, c) = moving.luma(r, c);
                 }
             }
             s.push_back(splitFields(p));
         }
         return s;
     }},
    // Still until woven, a burst of motion in a band, then still again until the band is woven once more.
    {"StillAfterMotion",
     [](int w, int fh, std::mt19937& rng) {
         const Picture base = texture(w, 2 * fh, 0, 11);
         Sequence s;
         for (int i = 0; i < 24; ++i) {
             Picture p = base;
             if (i == 10 || i == 11) {
                 for (int r = fh / 2; r < fh; ++r) {
                     for (int c = 0; c < w; ++c) {
                         p.luma(r, c) = static_cast<uint8_t>(rng());
                     }
                 }
             }
             s.push_back(splitFields(p));
         }
         return s;
     }},
    // Single samples moved by exactly 49 or 50, up and down, in either field of a pair.
    {"ExactThresholds",
     [](int w, int fh, std::mt19937&) {
         const Picture base = texture(w, 2 * fh, 0, 13);
         Sequence s(10, splitFields(base));
         const int deltas[] = {49, -49, 50, -50};
         for (int i = 0; i < 8; ++i) {
             Pair pair = splitFields(base);
             Picture& field = pair[i % 2];
             const int delta = deltas[(i / 2) % 4];
             for (int r = 1; r + 1 < fh; r += 2) {
                 for (int c = 3 + r % 5; c < w - 2; c += 9) {
                     field.luma(r, c) = static_cast<uint8_t>(std::clamp(field.luma(r, c) + delta, 0, 255));
                 }
             }
             s.push_back(pair);
             s.push_back(splitFields(base));
         }
         return s;
     }},
};

// Tight and padded (odd) strides; widths whose pair counts leave every tail length of the SIMD step.
const Geometry kGeometries[] = {
    tightGeometry(128, 4),         {136, 6, 149, 73, 143, 71},  {146, 8, 146, 80, 160, 73},
    {250, 10, 255, 125, 251, 126}, {132, 12, 132, 67, 133, 66},
};

using ModelParam = std::tuple<int, DeinterlaceKernelSet>;

class DeinterlaceModelTest : public ::testing::TestWithParam<ModelParam> {};

TEST_P(DeinterlaceModelTest, FramesMatchTheModel) {
    const SequenceCase& sc = kSequences[std::get<0>(GetParam())];
    if (!deinterlaceKernels(std::get<1>(GetParam()))) {
        GTEST_SKIP() << "kernel set not built for this processor";
    }
    for (const Geometry& g : kGeometries) {
        SCOPED_TRACE(testing::Message() << "width " << g.width << " field height " << g.fieldHeight);
        std::mt19937 rng(g.width * 31 + g.fieldHeight);
        DeinterlaceRunner runner(g, std::get<1>(GetParam()));
        ASSERT_TRUE(runner.ok());
        DeinterlaceModel model(g.width, g.fieldHeight);
        const Sequence seq = sc.make(g.width, g.fieldHeight, rng);
        for (size_t i = 0; i < seq.size(); ++i) {
            model.push(seq[i][0], 1);
            const Picture expected = model.push(seq[i][1], 2);
            const Picture got = runner.pair(seq[i][0], seq[i][1]);
            ASSERT_EQ(got.y, expected.y) << "luma of pair " << i;
            ASSERT_EQ(got.u, expected.u) << "U of pair " << i;
            ASSERT_EQ(got.v, expected.v) << "V of pair " << i;
        }
    }
}

// The order of kinds is not checked: repeated first or second fields build from the fields as they stand,
// and the chroma of whatever field came last (grey before the first).
TEST(DeinterlaceOrder, IrregularKindsFollowTheModel) {
    const Geometry g = {146, 8, 150, 77, 146, 73};
    for (DeinterlaceKernelSet set : {DeinterlaceKernelSet::Portable, DeinterlaceKernelSet::Sse2}) {
        if (!deinterlaceKernels(set)) {
            continue;
        }
        DeinterlaceRunner runner(g, set);
        ASSERT_TRUE(runner.ok());
        DeinterlaceModel model(g.width, g.fieldHeight);
        std::mt19937 rng(77);
        const Picture base = texture(g.width, g.fieldHeight, 0, 21);
        const int kinds[] = {2, 1, 2, 2, 2, 1, 1, 2, 1, 2, 2, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 2};
        for (size_t i = 0; i < std::size(kinds); ++i) {
            Picture field =
                i % 5 == 3 ? randomPicture(g.width, g.fieldHeight, rng, 0, 255) : jitter(base, rng, 6);
            for (auto& b : field.u) {
                b = static_cast<uint8_t>(rng());
            }
            const Picture expected = model.push(field, kinds[i]);
            ASSERT_EQ(runner.send(field, kinds[i]), DEINTERLACE_OK);
            if (kinds[i] == 2) {
                const Picture got = runner.frame();
                ASSERT_EQ(got.y, expected.y) << "call " << i;
                ASSERT_EQ(got.u, expected.u) << "call " << i;
                ASSERT_EQ(got.v, expected.v) << "call " << i;
            }
        }
    }
}

std::string modelName(const testing::TestParamInfo<ModelParam>& info) {
    return std::string(kSequences[std::get<0>(info.param)].name) + "_" +
           kernelSetName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Sequences, DeinterlaceModelTest,
                         testing::Combine(testing::Range(0, static_cast<int>(std::size(kSequences))),
                                          testing::Values(DeinterlaceKernelSet::Portable,
                                                          DeinterlaceKernelSet::Sse2)),
                         modelName);

} // namespace
