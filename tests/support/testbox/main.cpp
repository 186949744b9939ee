// The test box as a program: a box on 127.0.0.1 that a person (or a test) logs in to from the program,
// streaming the fixture live (LiveBox.h). It prints its ports and how to log in, and runs until SIGINT or
// SIGTERM, or until its standard input ends when that is a terminal or a pipe. With --wizard it is the box
// as the setup wizard meets it (WizardProgram.h), on the LAN search and control ports, and prints what the
// wizard sets.
//
//   testbox [--wizard] [--id DEVICEID] [--fixtures DIR] [--time-scale S] [--lan-search-port N]
//           [--lan-control-port N] [--lan-stream-port N] [--direct-control-port N] [--direct-stream-port N]
//
// The ports default to VELOQ_LAN_SEARCH_PORT, VELOQ_LAN_CONTROL_PORT, VELOQ_LAN_STREAM_PORT,
// VELOQ_DIRECT_CONTROL_PORT and VELOQ_DIRECT_STREAM_PORT, and without those to the box's own ports;
// 0 lets the system pick one. --time-scale runs the box's clock faster (tests).
#include "tests/support/testbox/LiveBox.h"
#include "tests/support/testbox/WizardProgram.h"

#include "platform/net/NetEnvironmentVariables.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct PortFlag {
    const char* flag;
    const char* variable;
    std::uint16_t testbox::Options::*port;
    const char* label;
};

const PortFlag kPorts[] = {
    {"--lan-search-port", "VELOQ_LAN_SEARCH_PORT", &testbox::Options::lanSearchPort, "lan-search"},
    {"--lan-control-port", "VELOQ_LAN_CONTROL_PORT", &testbox::Options::lanControlPort, "lan-control"},
    {"--lan-stream-port", "VELOQ_LAN_STREAM_PORT", &testbox::Options::lanStreamPort, "lan-stream"},
    {"--direct-control-port", "VELOQ_DIRECT_CONTROL_PORT", &testbox::Options::directControlPort,
     "direct-control"},
    {"--direct-stream-port", "VELOQ_DIRECT_STREAM_PORT", &testbox::Options::directStreamPort,
     "direct-stream"},
};

struct Settings {
    testbox::Options box;
    std::string fixtures = VELOQ_FIXTURES_DIR "/stream";
    double timeScale = 1;
    bool wizard = false;
};

int usage(const std::string& problem) {
    std::fprintf(stderr, "testbox: %s\n", problem.c_str());
    return 2;
}

// The environment's ports first, flags over them; false with the problem.
bool parse(int argc, char** argv, Settings& s, std::string& problem) {
    std::vector<std::string> problems;
    const platform::NetEnvironment env = platform::NetEnvironmentFromVariables(&problems);
    if (!problems.empty()) {
        problem = problems.front();
        return false;
    }
    for (const PortFlag& p : kPorts)
        for (const platform::NetPortVariable& v : platform::NetPortVariables())
            if (std::strcmp(v.name, p.variable) == 0)
                s.box.*p.port = env.*v.port;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--wizard") {
            s.wizard = true;
            continue;
        }
        if (i + 1 >= argc) {
            problem = flag + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        bool known = false;
        for (const PortFlag& p : kPorts)
            if (flag == p.flag) {
                known = true;
                if (!platform::ParsePortText(value, s.box.*p.port)) {
                    problem = flag + " " + value + ": not a port number";
                    return false;
                }
            }
        if (known)
            continue;
        if (flag == "--id") {
            if (value.empty()) {
                problem = "--id needs a device ID";
                return false;
            }
            s.box.deviceId = value;
        } else if (flag == "--fixtures") {
            s.fixtures = value;
        } else if (flag == "--time-scale") {
            char* end = nullptr;
            s.timeScale = std::strtod(value.c_str(), &end);
            if (*end != '\0' || !(s.timeScale > 0)) {
                problem = "--time-scale " + value + ": not a positive number";
                return false;
            }
        } else {
            problem = "unknown option " + flag;
            return false;
        }
    }
    return true;
}

void printHowToLogIn(const testbox::TestBox& box, const std::string& deviceId) {
    const std::uint16_t ports[] = {box.LanSearchPort(), box.LanControlPort(), box.LanStreamPort(),
                                   box.DirectControlPort(), box.DirectStreamPort()};
    std::printf("testbox %s on 127.0.0.1\n", deviceId.c_str());
    for (std::size_t i = 0; i < std::size(kPorts); ++i)
        std::printf("%s %u\n", kPorts[i].label, ports[i]);
    std::printf("Start Veloq on this machine with:\n  VELOQ_NET=loopback");
    for (std::size_t i = 0; i < std::size(kPorts); ++i)
        std::printf(" %s=%u", kPorts[i].variable, ports[i]);
    std::printf("\nLog in by IP 127.0.0.1 with any user name and password, or by ID %sWXYZ (any four more "
                "letters or digits).\n",
                deviceId.c_str());
    std::fflush(stdout);
}

// Blocks until SIGINT or SIGTERM, or the end of a standard input that is a terminal or a pipe.
void waitForTheEnd(int signals) {
    struct stat in {};
    const bool watchInput = isatty(0) || (fstat(0, &in) == 0 && S_ISFIFO(in.st_mode));
    pollfd fds[2] = {{signals, POLLIN, 0}, {0, POLLIN, 0}};
    for (;;) {
        if (poll(fds, watchInput ? 2 : 1, -1) < 0)
            continue;
        if (fds[0].revents)
            return;
        if (fds[1].revents) {
            char bytes[256];
            if (::read(0, bytes, sizeof bytes) <= 0)
                return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    std::string problem;
    if (!parse(argc, argv, settings, problem))
        return usage(problem);
    platform::SetTimeScale(settings.timeScale);

    // Blocked before the box's threads start, so that they inherit the mask and the signals reach signalfd.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    const int signals = signalfd(-1, &mask, SFD_CLOEXEC);

    try {
        if (settings.wizard) {
            testbox::WizardBox box({.deviceId = settings.box.deviceId,
                                    .searchPort = settings.box.lanSearchPort,
                                    .controlPort = settings.box.lanControlPort});
            box.OnFrame([](const testbox::WizardFrame& frame) {
                std::printf("%s\n", testbox::DescribeWizardFrame(frame).c_str());
                std::fflush(stdout);
            });
            std::printf("%s", testbox::WizardHowTo(box).c_str());
            std::fflush(stdout);
            waitForTheEnd(signals);
            return 0;
        }
        const std::shared_ptr<const testbox::LiveRecords> stream =
            testbox::LiveRecords::Load(settings.fixtures);
        testbox::TestBox box(settings.box);
        testbox::ScriptLiveBox(box, settings.box.deviceId, stream);
        printHowToLogIn(box, settings.box.deviceId);
        waitForTheEnd(signals);
        std::printf("%zu frames received\n", box.Frames().size());
    } catch (const std::exception& e) {
        return usage(e.what());
    }
    return 0;
}
