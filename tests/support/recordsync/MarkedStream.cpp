#include "tests/support/recordsync/MarkedStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace recordsync {

namespace {

namespace fs = std::filesystem;

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Holds an exclusive lock on a file while it lives.
class FileLock {
public:
    explicit FileLock(const fs::path& path) : fd_(::open(path.c_str(), O_CREAT | O_RDWR, 0644)) {
        if (fd_ >= 0)
            ::flock(fd_, LOCK_EX);
    }
    ~FileLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

} // namespace

MarkedStream MakeMarkedStream(const std::string& name, const std::vector<std::string>& segments) {
    MarkedStream stream;
    if (std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null && "
                    "command -v x264 >/dev/null") != 0) {
        stream.toolsMissing = true;
        stream.problem = "ffmpeg, ffprobe or x264 is not installed";
        return stream;
    }
    const fs::path work = VELOQ_RECORD_SYNC_WORK_DIR;
    const fs::path script = fs::path(VELOQ_SOURCE_DIR) / "tools/make-fixtures/make-marked-stream.sh";
    std::error_code ignored;
    fs::create_directories(work, ignored);
    const fs::path folder = work / name;
    stream.folder = folder.string();

    std::string command = shellQuoted(script.string()) + " " + shellQuoted(stream.folder);
    for (const std::string& segment : segments)
        command += " " + shellQuoted(segment);
    // What the folder was made from: this command and the script itself.
    const std::string recipe = command + "\n" + readText(script);
    const FileLock lock(work / (name + ".lock"));
    if (readText(folder / "recipe") == recipe) {
        stream.made = true;
        return stream;
    }
    fs::remove_all(folder, ignored);
    const std::string run =
        "STREAM_FIXTURE=" + shellQuoted(std::string(VELOQ_TOOLS_DIR) + "/stream-fixture") + " " + command +
        " >" + shellQuoted((work / (name + ".log")).string()) + " 2>&1";
    if (std::system(run.c_str()) != 0) {
        stream.problem = "make-marked-stream.sh failed: " + readText(work / (name + ".log"));
        return stream;
    }
    std::ofstream(folder / "recipe", std::ios::binary) << recipe;
    stream.made = true;
    return stream;
}

} // namespace recordsync
