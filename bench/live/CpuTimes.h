// CPU time of a process and of each of its threads, from /proc: user plus system time, in seconds.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace livebench {

struct ThreadTime {
    pid_t tid = 0;
    std::string name; // the thread's comm: its own name, or the program's when it has none
    double seconds = 0;
};

struct ProcessTimes {
    bool alive = false;
    double seconds = 0; // of the whole process, ended threads included
    std::vector<ThreadTime> threads;
};

ProcessTimes ReadProcessTimes(pid_t pid);

// CPU per second of wall time between two readings, in percent of one core: the whole process and each
// thread that lived through both readings, busiest first.
struct Usage {
    double percent = 0;
    std::vector<std::pair<ThreadTime, double>> threads; // the later reading, and its percent
};
Usage UsageBetween(const ProcessTimes& before, const ProcessTimes& after, double wallSeconds);

} // namespace livebench
