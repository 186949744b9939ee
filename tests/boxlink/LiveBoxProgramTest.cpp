// The test box program as the demo runs it: started on ephemeral ports, logged in to by IP 127.0.0.1,
// streaming the fixture in a loop; it ends when its standard input closes.
#include "platform/win32/ClockHooks.h"
#include "tests/boxlink/LiveBoxRig.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace livebox;

// The program with pipes on its standard input and output; killed and reaped if the test ends early.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        const std::string path = std::string(VELOQ_TOOLS_DIR) + "/testbox";
        args.insert(args.begin(), path);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        closeInput();
        if (output_ >= 0)
            ::close(output_);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return pid_ > 0; }

    // One line of its output; false at its end or after the real-time limit.
    bool readLine(std::string& line, std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (const std::size_t n = buffer_.find('\n'); n != std::string::npos) {
                line = buffer_.substr(0, n);
                buffer_.erase(0, n + 1);
                return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd fd{output_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char bytes[512];
            const ssize_t got = ::read(output_, bytes, sizeof bytes);
            if (got <= 0)
                return false;
            buffer_.append(bytes, static_cast<std::size_t>(got));
        }
    }

    // Closes its input and waits for its exit: the exit code, or -1.
    int finish() {
        closeInput();
        int status = 0;
        const pid_t pid = pid_;
        pid_ = -1;
        if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
            return -1;
        return WEXITSTATUS(status);
    }

private:
    void closeInput() {
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
    }

    pid_t pid_ = -1;
    int input_ = -1, output_ = -1;
    std::string buffer_;
};

class ScaledClock {
public:
    explicit ScaledClock(double scale) { platform::SetTimeScale(scale); }
    ~ScaledClock() { platform::SetTimeScale(1); }
};

TEST(LiveBoxProgram, LogInByAddressAndWatchTheLoopedStream) {
    ScaledClock clock(10);
    Program program({"--time-scale", "10", "--lan-search-port", "0", "--lan-control-port", "0",
                     "--lan-stream-port", "0", "--direct-control-port", "0", "--direct-stream-port", "0"});
    ASSERT_TRUE(program.started());
    std::map<std::string, std::uint16_t> ports;
    std::string line;
    while (ports.size() < 5 && program.readLine(line)) {
        std::istringstream fields(line);
        std::string name;
        unsigned port = 0;
        if (fields >> name >> port && port > 0 && port < 65536)
            ports[name] = static_cast<std::uint16_t>(port);
    }
    ASSERT_EQ(ports.size(), 5u) << "last line: " << line;

    platform::NetEnvironment env = platform::LoopbackNetEnvironment();
    env.lanSearchPort = ports["lan-search"];
    env.lanSearchLocalPort = 0;
    env.lanControlPort = ports["lan-control"];
    env.lanStreamPort = ports["lan-stream"];
    env.directControlPort = ports["direct-control"];
    env.directStreamPort = ports["direct-stream"];
    {
        LiveRig rig(env);
        ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
        const std::size_t perLoop = loopedVideo(streamfixture::fixture(), 1).size();
        ASSERT_TRUE(rig.sink().WaitVideo(perLoop + perLoop / 2, kWait));
        EXPECT_TRUE(looped(rig.sink().Video(), Kind::Video));
    }

    ASSERT_EQ(program.finish(), 0);
    std::string last;
    while (program.readLine(line))
        last = line;
    EXPECT_NE(last.find(" frames received"), std::string::npos) << last;
    EXPECT_NE(last.rfind("0 frames", 0), 0u) << last;
}

} // namespace
