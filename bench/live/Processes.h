// The programs the benchmark runs beside itself: started with an environment of their own, their standard
// output read line by line where asked, stopped (SIGTERM, then SIGKILL after a grace time) and reaped by
// their owner.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace livebench {

class Child {
public:
    // argv[0] is the program (looked up on PATH when it holds no slash). The environment is this process's
    // with `environment` laid over it. Output not read goes to this process's standard error.
    Child(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
          bool readOutput);
    ~Child(); // stops the program when it still runs
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // The next line of its output, waiting at most timeoutMs; none at the end of the output or the time.
    std::optional<std::string> ReadLine(int timeoutMs);
    void Stop();

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
};

// A virtual X server on a display number of its own; empty display when it did not start.
class VirtualDisplay {
public:
    VirtualDisplay(int width, int height);
    const std::string& Display() const { return display_; }

private:
    std::optional<Child> server_;
    std::string display_;
};

} // namespace livebench
