#include "tests/h264/kernels/KernelTestSupport.h"

namespace h264::test {
namespace {

// One inter macroblock ready to combine: predicted samples in the work buffers, residuals, weights.
struct Macroblock {
    LumaWorkBuffer luma;
    ChromaWorkBuffer cb, cr;
    LumaResidualBlock lumaResidual;
    ChromaResidualBlock cbResidual, crResidual;
    PredWeightTable weights;
    CombineContext context{};

    Macroblock() {
        context.lumaResidual = &lumaResidual;
        context.cbResidual = &cbResidual;
        context.crResidual = &crResidual;
        context.cb = &cb;
        context.cr = &cr;
        context.weights = &weights;
    }
    Macroblock(const Macroblock& other) : Macroblock() { copyFrom(other); }
    Macroblock& operator=(const Macroblock& other) {
        copyFrom(other);
        return *this;
    }

    void randomise(Rng& rng, Style style, bool anyResidual) {
        rng.fill(luma.bytes, LumaWorkBuffer::Size, style);
        rng.fill(cb.bytes, ChromaWorkBuffer::Size, style);
        rng.fill(cr.bytes, ChromaWorkBuffer::Size, style);
        for (int16_t* values : {lumaResidual.values, cbResidual.values, crResidual.values})
            for (int i = 0; i < (values == lumaResidual.values ? 256 : 64); ++i)
                values[i] = anyResidual ? rng.value16() : static_cast<int16_t>(rng.range(-300, 300));
        context.codedBlockPattern = rng.range(0, 47);
        for (auto& r : context.refIdx)
            r = static_cast<int8_t>(rng.range(0, 31));
        weights.lumaLog2Denom = rng.range(0, 7);
        weights.chromaLog2Denom = rng.range(0, 7);
        for (auto& w : weights.list0) {
            w.lumaWeight = rng.range(-128, 127);
            w.lumaOffset = rng.range(-128, 127);
            for (int c = 0; c < 2; ++c) {
                w.chromaWeight[c] = rng.range(-128, 127);
                w.chromaOffset[c] = rng.range(-128, 127);
            }
        }
    }

    // The four calls of one macroblock, quadrants in order.
    void combine(PredCombineKernel kernel) {
        for (int q = 0; q < 4; ++q) {
            const int chroma = (q / 2) * 32 + (q % 2) * 4;
            const CombineRequest request{luma.bytes + 64 * q, cb.bytes + chroma, cr.bytes + chroma, q};
            kernel(&request, &context);
        }
    }

private:
    void copyFrom(const Macroblock& o) {
        luma = o.luma, cb = o.cb, cr = o.cr;
        lumaResidual = o.lumaResidual, cbResidual = o.cbResidual, crResidual = o.crResidual;
        weights = o.weights;
        context.codedBlockPattern = o.context.codedBlockPattern;
        std::memcpy(context.refIdx, o.context.refIdx, 4);
    }
};

int weightedSample(int p, int w, int o, int d) {
    return clip1((d >= 1 ? (p * w + (1 << (d - 1))) >> d : p * w) + o);
}

// The standard's reconstruction of the macroblock: optional explicit weighting, then the residual where
// the pattern has it (summed in 16 bits, as the kernels' lanes hold it).
Macroblock model(const Macroblock& in, bool weighted) {
    Macroblock out = in;
    const int cbp = in.context.codedBlockPattern;
    const auto reconstruct = [](int p, int residual, bool coded) {
        return static_cast<uint8_t>(coded ? clip1(static_cast<int16_t>(p + residual)) : p);
    };
    for (int i = 0; i < 256; ++i) {
        const int q = i / 64;
        const ExplicitWeight& w = in.weights.list0[in.context.refIdx[q]];
        int p = in.luma.bytes[i];
        if (weighted)
            p = weightedSample(p, w.lumaWeight, w.lumaOffset, in.weights.lumaLog2Denom);
        out.luma.bytes[i] = reconstruct(p, in.lumaResidual.values[i], (cbp >> q) & 1);
    }
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 64; ++i) {
            const int q = (i / 32) * 2 + (i % 8) / 4;
            const ExplicitWeight& w = in.weights.list0[in.context.refIdx[q]];
            int p = (c ? in.cr : in.cb).bytes[i];
            if (weighted)
                p = weightedSample(p, w.chromaWeight[c], w.chromaOffset[c], in.weights.chromaLog2Denom);
            const int residual = (c ? in.crResidual : in.cbResidual).values[i];
            (c ? out.cr : out.cb).bytes[i] = reconstruct(p, residual, cbp >= 16);
        }
    return out;
}

void expectSameSamples(const Macroblock& a, const Macroblock& b, const std::string& what) {
    for (int i = 0; i < LumaWorkBuffer::Size; ++i)
        ASSERT_EQ(a.luma.bytes[i], b.luma.bytes[i]) << what << " luma " << i;
    for (int i = 0; i < ChromaWorkBuffer::Size; ++i) {
        ASSERT_EQ(a.cb.bytes[i], b.cb.bytes[i]) << what << " cb " << i;
        ASSERT_EQ(a.cr.bytes[i], b.cr.bytes[i]) << what << " cr " << i;
    }
}

using PredCombineTest = KernelSetTest;

TEST_P(PredCombineTest, UnweightedEntriesAddTheResidualWhereThePatternSaysSo) {
    Rng rng(40);
    for (int entry : {0, 1, 4, 8, 9})
        for (int iteration = 0; iteration < 300; ++iteration) {
            Macroblock mb;
            mb.randomise(rng, static_cast<Style>(iteration % 3), iteration % 2);
            if (iteration < 48)
                mb.context.codedBlockPattern = iteration;
            const Macroblock expected = model(mb, false);
            mb.combine((*k.predCombine)[entry]);
            expectSameSamples(mb, expected, "entry " + std::to_string(entry));
        }
}

TEST_P(PredCombineTest, ExplicitWeightingMatchesTheStandard) {
    Rng rng(41);
    for (int iteration = 0; iteration < 2000; ++iteration) {
        Macroblock mb;
        mb.randomise(rng, static_cast<Style>(iteration % 3), iteration % 2);
        const Macroblock expected = model(mb, true);
        mb.combine((*k.predCombine)[5]);
        expectSameSamples(mb, expected, "iteration " + std::to_string(iteration));
    }
}

TEST_P(PredCombineTest, DefaultWeightsGiveTheUnweightedSamples) {
    Rng rng(42);
    for (int iteration = 0; iteration < 200; ++iteration) {
        Macroblock mb;
        mb.randomise(rng, static_cast<Style>(iteration % 3), iteration % 2);
        for (auto& w : mb.weights.list0) {
            w = {1 << mb.weights.lumaLog2Denom, 0, {}, {}};
            for (int c = 0; c < 2; ++c)
                w.chromaWeight[c] = 1 << mb.weights.chromaLog2Denom;
        }
        Macroblock plain = mb;
        mb.combine((*k.predCombine)[5]);
        plain.combine((*k.predCombine)[1]);
        expectSameSamples(mb, plain, "iteration " + std::to_string(iteration));
    }
}

struct SampleCase {
    int prediction, residual, denom, weight, offset, expected;
};

TEST_P(PredCombineTest, SingleSampleCases) {
    const SampleCase cases[] = {
        {250, 10, -1, 0, 0, 255},                         // unweighted: clamps high
        {3, -10, -1, 0, 0, 0},                            // unweighted: clamps low
        {100, 0, 5, -1, 0, 0},                            // (-100 + 16) >> 5 = -3, clamped
        {200, 0, 5, 64, 10, 255},                         // 400 + 10 clamps before the residual
        {200, -10, 5, 64, 10, 245}, {7, 3, 0, 3, -5, 19}, // denominator 0: p * w + o
    };
    for (const SampleCase& c : cases) {
        Macroblock mb;
        Rng rng(43);
        mb.randomise(rng, Style::Random, false);
        mb.context.codedBlockPattern = 0x2F;
        std::fill(std::begin(mb.luma.bytes), std::end(mb.luma.bytes), static_cast<uint8_t>(c.prediction));
        std::fill(std::begin(mb.lumaResidual.values), std::end(mb.lumaResidual.values),
                  static_cast<int16_t>(c.residual));
        mb.weights.lumaLog2Denom = c.denom < 0 ? 0 : c.denom;
        for (auto& w : mb.weights.list0)
            w.lumaWeight = c.weight, w.lumaOffset = c.offset;
        mb.combine((*k.predCombine)[c.denom < 0 ? 1 : 5]);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(mb.luma.bytes[i], c.expected)
                << "prediction " << c.prediction << " weight " << c.weight;
    }
}

VELOQ_KERNEL_SETS(PredCombineTest);

using PredCombineDiffTest = KernelDiffTest;

TEST_F(PredCombineDiffTest, Sse2EqualsPortableAfterEachMacroblock) {
    Rng rng(44);
    for (int iteration = 0; iteration < 3000; ++iteration) {
        Macroblock a;
        a.randomise(rng, static_cast<Style>(iteration % 3), iteration % 2);
        Macroblock b = a;
        const int entry = iteration % 2 ? 1 : 5;
        a.combine((*portable.predCombine)[entry]);
        b.combine((*sse2.predCombine)[entry]);
        expectSameSamples(a, b, "entry " + std::to_string(entry));
    }
}

} // namespace
} // namespace h264::test
