// bench_decode: frames per second of CPU time of our decoder (SSE2 and portable kernels, zero-copy output),
// libavcodec with one thread and OpenH264 on the same SD streams (x264 baseline: 720x576 25p at 2, 4 and
// 8 Mbit/s, 720x288 50p), and the ratio of each peer to ours. Needs x264 and ffmpeg to make the streams.
// Not a test.
#include "bench/decode/Peers.h"

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
    {"720x576p25 2 Mbit/s", 720, 576, 25, 2000},
    {"720x576p25 4 Mbit/s", 720, 576, 25, 4000},
    {"720x576p25 8 Mbit/s", 720, 576, 25, 8000},
    {"720x288p50 4 Mbit/s", 720, 288, 50, 4000},
};

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
    std::ifstream in(out, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// CPU time of this thread (user and system): on a shared machine the time the thread waits for a core does
// not count against the decoder.
double cpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Best of `repeat` runs, in frames per second of CPU time, after one untimed run: the first runs of a
// process pay for the page faults of its first large allocations, whichever decoder makes them.
double measure(const std::function<int()>& decode, int repeat, int* pictures) {
    decode();
    double best = 0;
    for (int i = 0; i < repeat; ++i) {
        const double start = cpuSeconds();
        *pictures = decode();
        best = std::max(best, *pictures / (cpuSeconds() - start));
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 250;
    const int repeat = argc > 2 ? std::atoi(argv[2]) : 3;
    const fs::path dir = fs::temp_directory_path() / ("bench_decode_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::printf("%-22s %10s %10s %10s %10s %9s %9s\n", "stream", "ours", "portable", "libavcodec", "openh264",
                "lavc/ours", "o264/ours");
    for (const Stream& s : kStreams) {
        const std::vector<uint8_t> stream = makeStream(s, frames, dir);
        if (stream.empty()) {
            std::fprintf(stderr, "bench_decode: cannot make the streams (x264 and ffmpeg needed)\n");
            return 1;
        }
        int n[4];
        const double ours = measure([&] { return decodeOurs(stream, 5); }, repeat, &n[0]);
        const double portable = measure([&] { return decodeOurs(stream, 2); }, repeat, &n[1]);
        const double lavc = measure([&] { return decodeLibavcodec(stream); }, repeat, &n[2]);
        const double o264 = measure([&] { return decodeOpenH264(stream); }, repeat, &n[3]);
        std::printf("%-22s %10.1f %10.1f %10.1f %10.1f %9.2f %9.2f   (%d/%d/%d/%d pictures)\n", s.name, ours,
                    portable, lavc, o264, lavc / ours, o264 / ours, n[0], n[1], n[2], n[3]);
    }
    fs::remove_all(dir);
    return 0;
}
