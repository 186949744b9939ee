// bench_live: what live view costs. Runs the test box (streaming the fixture: 720x288 field pictures at 50 a
// second with AAC), our program's live view of it and, in the same run and on the same virtual X display,
// ffplay playing the same fixture (muxed with its sound, fields woven and deinterlaced with bwdif, one
// frame per field pair as ours, in a window of our video area's size, drawn by SDL's software renderer),
// both with sound to SDL's dummy driver. After a warm-up it measures the CPU time per second of both
// programs over the same wall-clock window (from /proc: the whole process and each thread, with how often
// each thread went to sleep) and prints them; the last line is for scripts:
//   live view: ours X.X % of one core, ffplay Y.Y %, ratio Z.ZZ
// Needs Xvfb, ffmpeg and ffplay. Not a test: `make bench-live`.
//
//   bench_live [--seconds S] [--warmup S] [--dist DIR] [--testbox PATH] [--fixtures DIR]
#include "bench/live/CpuTimes.h"
#include "bench/live/LiveViewRun.h"
#include "bench/live/Processes.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace livebench;

namespace {

constexpr double kFixtureSeconds = 1.6; // one loop of the stream fixture
constexpr int kStartMs = 60000;         // for the login and the first pictures, on a loaded machine

struct Options {
    double seconds = 20;
    double warmup = 5;
    fs::path dist = VELOQ_DIST_DIR;
    fs::path testbox = fs::path(VELOQ_TOOLS_DIR) / "testbox";
    fs::path fixtures = fs::path(VELOQ_FIXTURES_DIR) / "stream";
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i], value = argv[i + 1];
        if (flag == "--seconds")
            o.seconds = std::atof(value.c_str());
        else if (flag == "--warmup")
            o.warmup = std::atof(value.c_str());
        else if (flag == "--dist")
            o.dist = value;
        else if (flag == "--testbox")
            o.testbox = value;
        else if (flag == "--fixtures")
            o.fixtures = value;
        else
            return false;
    }
    return argc % 2 == 1 && o.seconds > 0 && o.warmup >= 0;
}

std::string quoted(const fs::path& p) {
    return "'" + p.string() + "'";
}

// The fixture muxed with its sound, then looped for long enough that ffplay never reaches the end (the raw
// streams cannot be looped as they are read).
bool makeFfplayFile(const Options& o, const fs::path& file) {
    const fs::path once = file.parent_path() / "once.mkv";
    const int loops = static_cast<int>(std::ceil((o.seconds + o.warmup + 60) / kFixtureSeconds));
    const std::string mux = "ffmpeg -nostdin -v error -y -framerate 50 -i " +
                            quoted(o.fixtures / "video.264") + " -i " + quoted(o.fixtures / "audio.aac") +
                            " -c copy " + quoted(once);
    const std::string loop = "ffmpeg -nostdin -v error -y -stream_loop " + std::to_string(loops) + " -i " +
                             quoted(once) + " -c copy " + quoted(file);
    return std::system(mux.c_str()) == 0 && std::system(loop.c_str()) == 0;
}

// A runnable folder of our own: this program beside copies of the settings and the skins of the build's.
bool makeRunFolder(const fs::path& dist, const fs::path& folder) {
    std::error_code e;
    fs::copy_file("/proc/self/exe", folder / "bench_live", e);
    if (!e)
        fs::copy(dist / "Setup", folder / "Setup", fs::copy_options::recursive, e);
    if (!e)
        fs::create_directory_symlink(fs::absolute(dist / "skins"), folder / "skins", e);
    if (!e)
        fs::create_directory_symlink(fs::absolute(dist / "res"), folder / "res", e);
    if (!e)
        fs::create_directory(folder / "UserData", e);
    if (e)
        std::fprintf(stderr, "bench-live: the run folder: %s\n", e.message().c_str());
    return !e;
}

// The environment line the test box prints: VELOQ_NET=loopback and its ports.
std::map<std::string, std::string> boxEnvironment(Child& box) {
    std::map<std::string, std::string> environment;
    while (auto line = box.ReadLine(kStartMs)) {
        if (line->find("VELOQ_NET=loopback") == std::string::npos)
            continue;
        std::istringstream words(*line);
        std::string word;
        while (words >> word)
            if (const auto equals = word.find('='); equals != std::string::npos)
                environment[word.substr(0, equals)] = word.substr(equals + 1);
        break;
    }
    return environment;
}

std::string loadAverage() {
    double load[3] = {};
    return getloadavg(load, 3) == 3 ? std::to_string(load[0]).substr(0, 5) : "?";
}

// Threads below 0.05 % that rarely wake are left out.
void printUsage(const char* title, const Usage& usage) {
    std::printf("%s: %.1f %% of one core\n  %7s  %-16s %7s %9s\n", title, usage.percent, "thread", "name",
                "CPU", "waits/s");
    for (const ThreadUsage& t : usage.threads)
        if (t.percent >= 0.05 || t.waitsPerSecond >= 20)
            std::printf("  %7d  %-16s %5.1f %% %9.0f\n", t.thread.tid, t.thread.name.c_str(), t.percent,
                        t.waitsPerSecond);
}

int runBench(const Options& o) {
    char pattern[] = "/tmp/bench-live-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const fs::path work = pattern;
    struct Cleanup {
        fs::path path;
        ~Cleanup() { fs::remove_all(path); }
    } cleanup{work};

    const fs::path movie = work / "fixture.mkv";
    if (!makeFfplayFile(o, movie)) {
        std::fprintf(stderr, "bench-live: ffmpeg could not mux the fixture\n");
        return 1;
    }
    fs::create_directory(work / "run");
    if (!makeRunFolder(o.dist, work / "run"))
        return 1;
    VirtualDisplay display(1280, 1024);
    if (display.Display().empty()) {
        std::fprintf(stderr, "bench-live: Xvfb did not start\n");
        return 1;
    }
    Child box({o.testbox.string(), "--lan-search-port", "0", "--lan-control-port", "0", "--lan-stream-port",
               "0", "--direct-control-port", "0", "--direct-stream-port", "0"},
              {}, true);
    std::map<std::string, std::string> ours = boxEnvironment(box);
    if (ours.empty()) {
        std::fprintf(stderr, "bench-live: the test box did not start\n");
        return 1;
    }
    ours["DISPLAY"] = display.Display();
    ours["QT_QPA_PLATFORM"] = "xcb";
    ours["SDL_AUDIODRIVER"] = "dummy";
    Child veloq({(work / "run" / "bench_live").string(), "--run-live-view"}, ours, true);
    int width = 0, height = 0;
    while (auto line = veloq.ReadLine(kStartMs))
        if (std::sscanf(line->c_str(), "live %d %d", &width, &height) == 2)
            break;
    if (width <= 0 || height <= 0) {
        std::fprintf(stderr, "bench-live: our live view did not start\n");
        return 1;
    }
    Child ffplay(
        {"ffplay", "-hide_banner", "-loglevel", "error", "-loop", "0", "-x", std::to_string(width), "-y",
         std::to_string(height), "-vf", "weave=first_field=top,bwdif=mode=send_frame", movie.string()},
        {{"DISPLAY", display.Display()}, {"SDL_AUDIODRIVER", "dummy"}, {"SDL_RENDER_DRIVER", "software"}},
        false);
    if (!ffplay.Started())
        return 1;

    const std::string loadBefore = loadAverage();
    std::this_thread::sleep_for(std::chrono::duration<double>(o.warmup));
    const auto start = std::chrono::steady_clock::now();
    const ProcessTimes ours0 = ReadProcessTimes(veloq.Pid()), theirs0 = ReadProcessTimes(ffplay.Pid());
    std::this_thread::sleep_for(std::chrono::duration<double>(o.seconds));
    const ProcessTimes ours1 = ReadProcessTimes(veloq.Pid()), theirs1 = ReadProcessTimes(ffplay.Pid());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ours1.alive || !theirs1.alive) {
        std::fprintf(stderr, "bench-live: %s ended during the measurement\n",
                     ours1.alive ? "ffplay" : "ours");
        return 1;
    }
    const Usage oursUsage = UsageBetween(ours0, ours1, wall),
                theirUsage = UsageBetween(theirs0, theirs1, wall);

    std::printf("bench-live: %.0f s measured after %.0f s of warm-up; load average %s before, %s after (%ld "
                "cores)\n",
                wall, o.warmup, loadBefore.c_str(), loadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("the stream: 720x288 fields at 50 a second with AAC; the video area %dx%d\n", width, height);
    printUsage("ours", oursUsage);
    printUsage("ffplay", theirUsage);
    const double ratio = theirUsage.percent > 0 ? oursUsage.percent / theirUsage.percent : 0;
    std::printf("live view: ours %.1f %% of one core, ffplay %.1f %%, ratio %.2f\n", oursUsage.percent,
                theirUsage.percent, ratio);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--run-live-view") == 0)
        return RunLiveView();
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench_live [--seconds S] [--warmup S] [--dist DIR] [--testbox PATH] "
                             "[--fixtures DIR]\n");
        return 2;
    }
    return runBench(options);
}
