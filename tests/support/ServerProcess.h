// Test support: a program of the test's own (Xvfb, dbus-daemon) whose first line of output, or of the
// descriptor it is told to write to, says where it listens; stopped and reaped at the end.
#pragma once

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

class ServerProcess {
public:
    static constexpr int kStartMs = 20000; // generous: the wait ends as soon as the program is ready

    // `fdArgument`: the argument position that takes the number of the descriptor to write to; -1 for its
    // standard output.
    ServerProcess(std::vector<std::string> argv, int fdArgument) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (fdArgument < 0)
            posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        else
            argv[static_cast<size_t>(fdArgument)] = std::to_string(fds[1]);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        // Read to the newline; the program may end when the pipe closes before it.
        pollfd fd{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&fd, 1, kStartMs) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
            line_ += c;
        out_ = fds[0];
    }
    ~ServerProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    const std::string& Line() const { return line_; }

    static bool Installed(const char* program) {
        return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string line_;
};

// An X server of the test's own: its display name, empty when it did not start.
class TestXServer {
public:
    TestXServer()
        : server_({"Xvfb", "-displayfd", "", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"}, 2) {}
    std::string Display() const { return server_.Line().empty() ? std::string() : ":" + server_.Line(); }

private:
    ServerProcess server_;
};
