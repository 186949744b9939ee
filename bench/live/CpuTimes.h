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
    unsigned long long waits = 0; // voluntary context switches: how often it went to sleep
};

struct ProcessTimes {
    bool alive = false;
    double seconds = 0; // of the whole process, ended threads included
    std::vector<ThreadTime> threads;
};

ProcessTimes ReadProcessTimes(pid_t pid);

// CPU per second of wall time between two readings, in percent of one core: the whole process and each
// thread that lived through both readings, busiest first, with its waits per second.
struct ThreadUsage {
    ThreadTime thread; // the later reading
    double percent = 0;
    double waitsPerSecond = 0;
};
struct Usage {
    double percent = 0;
    std::vector<ThreadUsage> threads;
};
Usage UsageBetween(const ProcessTimes& before, const ProcessTimes& after, double wallSeconds);

} // namespace livebench
