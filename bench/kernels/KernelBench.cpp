// Single-kernel timings of both sets, entry by entry: bench_kernels [--benchmark_filter=qpel]
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "h264/kernels/KernelTable.h"

namespace h264 {
namespace {

// Inputs of every family, random but fixed, with residuals and thresholds of real streams.
struct Inputs {
    alignas(16) uint8_t plane[64 * 32];
    alignas(16) uint8_t edge[2][64];
    int16_t coefficients[16];
    LumaWorkBuffer luma;
    ChromaWorkBuffer cb, cr;
    LumaResidualBlock lumaResidual;
    ChromaResidualBlock cbResidual, crResidual;
    PredWeightTable weights{};
    CombineContext context{};

    Inputs() {
        std::mt19937 rng(1);
        const auto smooth = [&](uint8_t* p, int n) {
            for (int i = 0; i < n; ++i)
                p[i] = static_cast<uint8_t>(100 + rng() % 12);
        };
        smooth(plane, sizeof plane);
        smooth(&edge[0][0], sizeof edge);
        smooth(luma.bytes, LumaWorkBuffer::Size);
        smooth(cb.bytes, ChromaWorkBuffer::Size);
        smooth(cr.bytes, ChromaWorkBuffer::Size);
        for (auto& c : coefficients)
            c = static_cast<int16_t>(static_cast<int>(rng() % 400) - 200);
        for (int16_t* r : {lumaResidual.values, cbResidual.values, crResidual.values})
            for (int i = 0; i < (r == lumaResidual.values ? 256 : 64); ++i)
                r[i] = static_cast<int16_t>(static_cast<int>(rng() % 40) - 20);
        for (int i = 292; i < 299; ++i)
            luma.bytes[i] = 1;
        context = {47, {0, 0, 0, 0}, &lumaResidual, &cbResidual, &crResidual, &cb, &cr, &weights};
        weights.lumaLog2Denom = weights.chromaLog2Denom = 5;
        for (auto& w : weights.list0)
            w = {40, 3, {30, 31}, {-2, 2}};
    }
};

Inputs& inputs() {
    static Inputs in;
    return in;
}

H264KernelTable set(bool simd) {
    H264KernelTable table;
    if (simd)
        FillSse2Kernels(table);
    else
        FillPortableKernels(table);
    return table;
}

template <typename Body> void add(const std::string& name, Body body) {
    for (bool simd : {false, true}) {
        const H264KernelTable k = set(simd);
        benchmark::RegisterBenchmark((name + (simd ? "/sse2" : "/portable")).c_str(),
                                     [k, body](benchmark::State& state) {
                                         Inputs& in = inputs();
                                         for (auto _ : state) {
                                             body(k, in);
                                             benchmark::ClobberMemory();
                                         }
                                     });
    }
}

void registerAll() {
    add("transform", [](const H264KernelTable& k, Inputs& in) {
        alignas(16) int16_t out[32];
        k.inverseTransform4x4(in.coefficients, out);
        benchmark::DoNotOptimize(out);
    });
    const uint8_t tc0[4] = {1, 2, 3, 4};
    add("deblock/luma_normal", [tc0](const H264KernelTable& k, Inputs& in) {
        k.filterLumaEdgeNormal(in.edge[0], in.edge[1], 0x28282828, 8, tc0);
    });
    add("deblock/luma_strong", [](const H264KernelTable& k, Inputs& in) {
        k.filterLumaEdgeStrong(in.edge[0], in.edge[1], 0x28282828, 8);
    });
    add("deblock/chroma_normal", [tc0](const H264KernelTable& k, Inputs& in) {
        k.filterChromaEdgesNormal(in.edge[0], in.edge[0] + 32, in.edge[1], in.edge[1] + 32, 0x28282828, 8,
                                  tc0, 8);
    });
    add("movers/store_luma",
        [](const H264KernelTable& k, Inputs& in) { k.storeLumaMacroblock(in.plane, &in.luma, 64); });
    add("movers/gather_columns", [](const H264KernelTable& k, Inputs& in) {
        alignas(16) uint8_t out[64];
        k.gatherEdgeColumns(in.plane, in.plane + 8 * 64, out, 64);
        benchmark::DoNotOptimize(out);
    });
    for (int mode = 0; mode < 9; ++mode)
        add("intra4x4/" + std::to_string(mode), [mode](const H264KernelTable& k, Inputs& in) {
            for (int block = 0; block < 16; ++block)
                (*k.intra4x4)[mode](block, &in.luma, &in.lumaResidual, 15);
        });
    for (int mode = 0; mode < 4; ++mode) {
        add("intra16x16/" + std::to_string(mode), [mode](const H264KernelTable& k, Inputs& in) {
            (*k.intra16x16)[mode](&in.luma, &in.lumaResidual);
        });
        add("intra_chroma/" + std::to_string(mode), [mode](const H264KernelTable& k, Inputs& in) {
            (*k.intraChroma)[mode](&in.luma, &in.cb, &in.cr, &in.cbResidual, &in.crResidual, 1);
        });
    }
    const std::pair<const char*, const LumaQpelKernels * H264KernelTable::*> shapes[] = {
        {"4x4", &H264KernelTable::lumaQpel4x4},
        {"4x8", &H264KernelTable::lumaQpel4x8},
        {"8x16", &H264KernelTable::lumaQpel8x16}};
    for (auto [name, table] : shapes)
        for (int index = 0; index < 16; ++index)
            add(std::string("qpel") + name + "/" + std::to_string(index),
                [table, index](const H264KernelTable& k, Inputs& in) {
                    InterPredBlock block{};
                    block.lumaSource = in.plane + 3;
                    block.lumaStride = 64;
                    block.lumaDestination = in.luma.bytes;
                    (*(k.*table))[index](&block);
                });
    for (int width : {4, 8})
        for (int kase = 0; kase < 4; ++kase)
            add("chroma_mc" + std::to_string(width) + "/" + std::to_string(kase),
                [width, kase](const H264KernelTable& k, Inputs& in) {
                    InterPredBlock block{};
                    block.cbSource = in.plane;
                    block.crSource = in.plane + 16;
                    block.chromaStride = 64;
                    block.xFracC = kase & 1 ? 3 : 0;
                    block.yFracC = kase & 2 ? 5 : 0;
                    block.cbDestination = in.cb.bytes;
                    block.crDestination = in.cr.bytes;
                    (*(width == 4 ? k.chromaMc4 : k.chromaMc8))[kase](&block);
                });
    for (int entry : {1, 5})
        add("combine/" + std::to_string(entry), [entry](const H264KernelTable& k, Inputs& in) {
            for (int q = 0; q < 4; ++q) {
                const int chroma = (q / 2) * 32 + (q % 2) * 4;
                const CombineRequest request{in.luma.bytes + 64 * q, in.cb.bytes + chroma,
                                             in.cr.bytes + chroma, q};
                (*k.predCombine)[entry](&request, &in.context);
            }
        });
}

} // namespace
} // namespace h264

int main(int argc, char** argv) {
    h264::registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
