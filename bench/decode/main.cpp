// bench_decode: frames per second of CPU time of our decoder (SSE2 and portable kernels, zero-copy output),
// libavcodec with one thread and OpenH264 on the same SD streams (x264 baseline: 720x576 25p at 1, 2, 4 and
// 8 Mbit/s, 720x288 50p; and the field stream the test box sends, looped), and the ratio of each peer to
// ours. Needs x264 and ffmpeg to make the streams. Not a test.
//
// bench_decode [frames [runs]]: each generated stream has `frames` pictures (250), the box stream is looped
// to at least as many; every decoder runs `runs` times (5) per stream, the decoders taking turns, and the
// best run of each counts, so that a burst of load on a shared machine hits them alike.
#include "bench/decode/Peers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Stream {
    const char* name;
    int width, height, fps, kbps;
};

const Stream kStreams[] = {
    {"720x576p25 1 Mbit/s", 720, 576, 25, 1000}, {"720x576p25 2 Mbit/s", 720, 576, 25, 2000},
    {"720x576p25 4 Mbit/s", 720, 576, 25, 4000}, {"720x576p25 8 Mbit/s", 720, 576, 25, 8000},
    {"720x288p50 4 Mbit/s", 720, 288, 50, 4000},
};

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> makeStream(const Stream& s, int frames, const fs::path& dir) {
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    const fs::path raw = dir / "src.yuv", out = dir / (size + "_" + std::to_string(s.kbps) + ".264");
    const std::string source = "testsrc2=size=1280x720:rate=" + std::to_string(s.fps) +
                               ",crop=" + std::to_string(s.width) + ":" + std::to_string(s.height) +
                               ":x='mod(n*6,500)':y='mod(n*3,400)'";
    const std::string make = "ffmpeg -v error -y -f lavfi -i \"" + source + "\" -frames:v " +
                             std::to_string(frames) + " -pix_fmt yuv420p -f rawvideo '" + raw.string() +
                             "' && x264 --quiet --profile baseline --preset medium --bitrate " +
                             std::to_string(s.kbps) + " --input-res " + size + " --fps " +
                             std::to_string(s.fps) + " -o '" + out.string() + "' '" + raw.string() +
                             "' 2>/dev/null";
    if (std::system(make.c_str()) != 0)
        return {};
    return readFile(out);
}

// The box's field stream (720x288 field pictures with the field-pair SEI, parameter sets and an IDR picture
// first), repeated until it holds at least `frames` pictures.
std::vector<uint8_t> loopBoxStream(int frames) {
    const std::vector<uint8_t> once = readFile(fs::path(VELOQ_FIXTURES_DIR) / "stream" / "video.264");
    const int pictures = once.empty() ? 0 : decodeOurs(once, 5);
    if (pictures == 0)
        return {};
    std::vector<uint8_t> looped;
    for (int n = 0; n < frames; n += pictures)
        looped.insert(looped.end(), once.begin(), once.end());
    return looped;
}

// CPU time of this thread (user and system): on a shared machine the time the thread waits for a core does
// not count against the decoder.
double cpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Decoder {
    std::function<int(const std::vector<uint8_t>&)> decode;
    double best = 0; // frames per second of CPU time
    int pictures = 0;
};

// One untimed run each (the first runs of a process pay for the page faults of its first large
// allocations, whichever decoder makes them), then `runs` rounds in which every decoder decodes once.
void measure(const std::vector<uint8_t>& stream, std::vector<Decoder>& decoders, int runs) {
    for (Decoder& d : decoders)
        d.decode(stream);
    for (int i = 0; i < runs; ++i) {
        for (Decoder& d : decoders) {
            const double start = cpuSeconds();
            d.pictures = d.decode(stream);
            d.best = std::max(d.best, d.pictures / (cpuSeconds() - start));
        }
    }
}

void report(const char* name, const std::vector<Decoder>& d) {
    std::printf("%-24s %10.1f %10.1f %10.1f %10.1f %9.2f %9.2f   (%d/%d/%d/%d pictures)\n", name, d[0].best,
                d[1].best, d[2].best, d[3].best, d[2].best / d[0].best, d[3].best / d[0].best, d[0].pictures,
                d[1].pictures, d[2].pictures, d[3].pictures);
    std::fflush(stdout);
}

std::vector<Decoder> decoders() {
    return {{[](const std::vector<uint8_t>& s) { return decodeOurs(s, 5); }},
            {[](const std::vector<uint8_t>& s) { return decodeOurs(s, 2); }},
            {decodeLibavcodec},
            {decodeOpenH264}};
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 250;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const fs::path dir = fs::temp_directory_path() / ("bench_decode_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::printf("%-24s %10s %10s %10s %10s %9s %9s\n", "stream", "ours", "portable", "libavcodec", "openh264",
                "lavc/ours", "o264/ours");
    for (const Stream& s : kStreams) {
        const std::vector<uint8_t> stream = makeStream(s, frames, dir);
        if (stream.empty()) {
            std::fprintf(stderr, "bench_decode: cannot make the streams (x264 and ffmpeg needed)\n");
            return 1;
        }
        std::vector<Decoder> d = decoders();
        measure(stream, d, runs);
        report(s.name, d);
    }
    fs::remove_all(dir);
    const std::vector<uint8_t> box = loopBoxStream(frames);
    if (box.empty()) {
        std::fprintf(stderr, "bench_decode: cannot read the box stream fixture\n");
        return 1;
    }
    std::vector<Decoder> d = decoders();
    measure(box, d, runs);
    report("box fields 720x288p50", d);
    return 0;
}
