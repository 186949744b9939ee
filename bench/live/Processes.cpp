#include "bench/live/Processes.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace livebench {
namespace {

constexpr int kGraceMs = 3000;

std::vector<std::string> mergedEnvironment(const std::map<std::string, std::string>& over) {
    std::map<std::string, std::string> all;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto equals = entry.find('=');
        if (equals != std::string::npos)
            all[entry.substr(0, equals)] = entry.substr(equals + 1);
    }
    for (const auto& [key, value] : over)
        all[key] = value;
    std::vector<std::string> out;
    for (const auto& [key, value] : all)
        out.push_back(key + "=" + value);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

bool reaped(pid_t pid, int waitMs) {
    for (int waited = 0;; waited += 20) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return true;
        if (waited >= waitMs)
            return false;
        usleep(20000); // the grace time of a stopping child, not a loop of the measured programs
    }
}

} // namespace

Child::Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
             bool readOutput) {
    std::vector<std::string> args = argv;
    std::vector<std::string> env = mergedEnvironment(environment);
    std::vector<char*> argp = pointers(args), envp = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (readOutput) {
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int result = posix_spawnp(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (readOutput) {
        close(pipeFds[1]);
        output_ = pipeFds[0];
    }
    if (result != 0) {
        std::fprintf(stderr, "bench-live: cannot start %s: %s\n", argv[0].c_str(), std::strerror(result));
        pid_ = -1;
    }
}

Child::~Child() {
    Stop();
    if (output_ >= 0)
        close(output_);
}

std::optional<std::string> Child::ReadLine(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (output_ < 0 || left <= 0)
            return std::nullopt;
        pollfd fd{output_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left)) <= 0)
            continue;
        char bytes[512];
        const ssize_t n = read(output_, bytes, sizeof bytes);
        if (n <= 0)
            return std::nullopt;
        pending_.append(bytes, static_cast<size_t>(n));
    }
}

void Child::Stop() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    if (!reaped(pid_, kGraceMs)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

VirtualDisplay::VirtualDisplay(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server_.emplace(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                             screen, "-nolisten", "tcp"},
                    std::map<std::string, std::string>{}, false);
    close(fds[1]);
    // Xvfb writes its display number and then a newline to the descriptor once it accepts clients; it
    // stops when the pipe is closed before the newline.
    std::string number;
    pollfd fd{fds[0], POLLIN, 0};
    char c = 0;
    while (server_->Started() && number.size() < 16 && poll(&fd, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 &&
           c != '\n')
        number += c;
    if (c == '\n' && !number.empty())
        display_ = ":" + number;
    close(fds[0]);
}

} // namespace livebench
