// The Veloq program: the network environment from the variables (VELOQ_NET=loopback and the port
// variables point it at a box on this machine), the application object with the program's services, run
// by the framework's loop, and at the end the removal of the router mappings that are left.
#include "app/ProgramBoxClient.h"
#include "app/ProgramPlayer.h"
#include "app/VeloqApp.h"
#include "boxlink/upnp/MyUPnP.h"
#include "dialogs/SetSheet.h"
#include "platform/net/NetEnvironmentVariables.h"

#include <cstdio>

namespace {

constexpr DWORD kUpnpShutdownMs = 3000;

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> problems;
    platform::SetNetEnvironment(platform::NetEnvironmentFromVariables(&problems));
    for (const std::string& problem : problems)
        std::fprintf(stderr, "Veloq: %s\n", problem.c_str());

    int result = 0;
    {
        AppServices services;
        services.makeBoxClient = [](KQ_AppConfig& config) {
            return std::make_unique<ProgramBoxClient>(config);
        };
        services.makePlayer = [](KQ_AppConfig& config) { return std::make_unique<ProgramPlayer>(config); };
        services.makePower = [] { return std::make_unique<SystemPower>(); };
        services.openSettings = OpenSettingsSheet;
        KQ_UI_VeloqApp app(std::move(services));
        result = app.Run(argc, argv);
    }
    TheUPnP().Shutdown(kUpnpShutdownMs);
    return result;
}
