// Our deinterlacer (both kernel sets) beside libavfilter's yadif and bwdif, single-threaded, on the same
// fields of two generated 720x576 clips: fields per second, and the PSNR of the interpolated (odd) lines
// against the progressive picture the first field came from, after a warm-up of a few pairs.
#include "Clip.h"
#include "LavfiGraph.h"

#include "h264/deinterlace/Deinterlace.h"
#include "h264/deinterlace/DeinterlaceKernels.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

constexpr int kWidth = 720, kHeight = 576, kPairs = 40;
// Pairs left out of the PSNR: ours weaves still areas from the 9th pair on; the peers lag one frame.
constexpr int kWarmupPairs = 10;

struct Peer {
    const char* name;
    const char* chain;
};

const Peer kPeers[] = {
    {"yadif", "yadif=mode=send_frame:parity=tff:deint=all"},
    {"bwdif", "bwdif=mode=send_frame:parity=tff:deint=all"},
};

struct KernelSetName {
    const char* name;
    DeinterlaceKernelSet set;
};

const KernelSetName kOurs[] = {
    {"ours_sse2", DeinterlaceKernelSet::Sse2},
    {"ours_portable", DeinterlaceKernelSet::Portable},
};

// One handle and its output frame, as the live video thread uses it.
class Ours {
public:
    explicit Ours(DeinterlaceKernelSet set) : frame_(kWidth * kHeight * 3 / 2) {
        if (VD_InitDeinterlace(&handle_, kWidth, kHeight / 2, kWidth, kWidth / 2, kWidth, kWidth / 2) != 0 ||
            deinterlaceUseKernels(handle_, set) != 0) {
            std::fprintf(stderr, "deinterlace_bench: no deinterlacer\n");
            std::exit(1);
        }
    }
    ~Ours() { VD_ReleaseDeinterlace(handle_); }

    void pair(const std::array<Planes, 2>& fields) {
        for (int kind = 1; kind <= 2; ++kind) {
            const Planes& f = fields[kind - 1];
            VD_Deinterlace(handle_, y(), u(), v(), f.y.data(), f.u.data(), f.v.data(), kind);
        }
    }
    uint8_t* y() { return frame_.data(); }
    uint8_t* u() { return y() + kWidth * kHeight; }
    uint8_t* v() { return u() + kWidth * kHeight / 4; }

private:
    DeinterlaceState* handle_ = nullptr;
    std::vector<uint8_t> frame_;
};

double oursPsnr(const Clip& clip, DeinterlaceKernelSet set) {
    Ours ours(set);
    InterpolatedLinesPsnr psnr;
    for (size_t t = 0; t < clip.fields.size(); ++t) {
        ours.pair(clip.fields[t]);
        if (t >= kWarmupPairs) {
            psnr.add(ours.y(), kWidth, clip.pictures[2 * t]);
        }
    }
    return psnr.decibels();
}

double peerPsnr(const Clip& clip, const Peer& peer) {
    LavfiGraph graph(peer.chain, kWidth, kHeight);
    InterpolatedLinesPsnr psnr;
    FramePtr out(av_frame_alloc());
    const auto drain = [&] {
        while (graph.pull(out.get())) {
            const auto t = static_cast<size_t>(out->pts);
            if (t >= kWarmupPairs && t < clip.fields.size()) {
                psnr.add(out->data[0], out->linesize[0], clip.pictures[2 * t]);
            }
        }
    };
    for (size_t t = 0; t < clip.interlaced.size(); ++t) {
        clip.interlaced[t]->pts = static_cast<int64_t>(t);
        graph.push(clip.interlaced[t].get());
        drain();
    }
    graph.push(nullptr);
    drain();
    return psnr.decibels();
}

void report(benchmark::State& state, double psnr) {
    state.counters["fields/s"] =
        benchmark::Counter(2.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["PSNR_dB"] = psnr;
}

void benchOurs(benchmark::State& state, const Clip* clip, DeinterlaceKernelSet set, double psnr) {
    Ours ours(set);
    size_t t = 0;
    for (auto _ : state) {
        ours.pair(clip->fields[t]);
        benchmark::DoNotOptimize(ours.y()[kWidth]);
        t = (t + 1) % clip->fields.size();
    }
    report(state, psnr);
}

void benchPeer(benchmark::State& state, const Clip* clip, const Peer* peer, double psnr) {
    LavfiGraph graph(peer->chain, kWidth, kHeight);
    FramePtr out(av_frame_alloc());
    int64_t pts = 0;
    for (auto _ : state) {
        AVFrame* in = clip->interlaced[static_cast<size_t>(pts) % clip->interlaced.size()].get();
        in->pts = pts++;
        graph.push(in);
        while (graph.pull(out.get())) {
            benchmark::DoNotOptimize(out->data[0][0]);
        }
    }
    report(state, psnr);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    static const Clip clips[] = {
        makeClip("testsrc2", kWidth, kHeight, kPairs),
        makeClip("mandelbrot", kWidth, kHeight, kPairs),
    };
    for (const Clip& clip : clips) {
        for (const KernelSetName& k : kOurs) {
            if (!deinterlaceKernels(k.set)) {
                continue;
            }
            benchmark::RegisterBenchmark((std::string(k.name) + "/" + clip.name).c_str(), benchOurs, &clip,
                                         k.set, oursPsnr(clip, k.set));
        }
        for (const Peer& peer : kPeers) {
            benchmark::RegisterBenchmark((std::string(peer.name) + "/" + clip.name).c_str(), benchPeer, &clip,
                                         &peer, peerPsnr(clip, peer));
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
