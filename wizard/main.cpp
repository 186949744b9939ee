// The Quorra program: the network environment from the variables (VELOQ_NET=loopback and the port
// variables point it at a box on this machine), then the wizard's application object.
#include "platform/net/NetEnvironmentVariables.h"
#include "wizard/QuorraApp.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::vector<std::string> problems;
    platform::SetNetEnvironment(platform::NetEnvironmentFromVariables(&problems));
    for (const std::string& problem : problems)
        std::fprintf(stderr, "Quorra: %s\n", problem.c_str());
    CQuorraApp app;
    return app.Run(argc, argv);
}
