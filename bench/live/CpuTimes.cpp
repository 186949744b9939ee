#include "bench/live/CpuTimes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace livebench {
namespace {

// utime and stime of a /proc/.../stat line; the comm field is in parentheses and may hold blanks.
bool parseStat(const std::string& line, std::string* name, double* seconds) {
    const auto open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    *name = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields after the comm start at 3 (state); utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && rest >> field; ++index) {
        if (index == 14)
            utime = std::stoull(field);
        else if (index == 15)
            stime = std::stoull(field);
    }
    *seconds = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
    return true;
}

bool readStat(const std::filesystem::path& path, std::string* name, double* seconds) {
    std::ifstream in(path);
    std::string line;
    return std::getline(in, line) && parseStat(line, name, seconds);
}

unsigned long long voluntarySwitches(const std::filesystem::path& status) {
    std::ifstream in(status);
    std::string key;
    unsigned long long value = 0;
    while (in >> key) {
        if (key == "voluntary_ctxt_switches:" && in >> value)
            return value;
    }
    return 0;
}

} // namespace

ProcessTimes ReadProcessTimes(pid_t pid) {
    ProcessTimes times;
    const std::filesystem::path process = "/proc/" + std::to_string(pid);
    std::string name;
    if (!readStat(process / "stat", &name, &times.seconds))
        return times;
    times.alive = true;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(process / "task", error)) {
        ThreadTime thread;
        if (readStat(task.path() / "stat", &thread.name, &thread.seconds)) {
            thread.tid = static_cast<pid_t>(std::stol(task.path().filename().string()));
            thread.waits = voluntarySwitches(task.path() / "status");
            times.threads.push_back(thread);
        }
    }
    return times;
}

Usage UsageBetween(const ProcessTimes& before, const ProcessTimes& after, double wallSeconds) {
    Usage usage;
    if (wallSeconds <= 0)
        return usage;
    usage.percent = 100 * (after.seconds - before.seconds) / wallSeconds;
    for (const ThreadTime& late : after.threads) {
        const auto early = std::find_if(before.threads.begin(), before.threads.end(),
                                        [&](const ThreadTime& t) { return t.tid == late.tid; });
        if (early != before.threads.end())
            usage.threads.push_back({late, 100 * (late.seconds - early->seconds) / wallSeconds,
                                     static_cast<double>(late.waits - early->waits) / wallSeconds});
    }
    std::stable_sort(usage.threads.begin(), usage.threads.end(),
                     [](const ThreadUsage& a, const ThreadUsage& b) { return a.percent > b.percent; });
    return usage;
}

} // namespace livebench
