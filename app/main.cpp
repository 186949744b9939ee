// The Veloq program: the application object with the program's services, run by the framework's loop.
#include "app/ProgramBoxClient.h"
#include "app/VeloqApp.h"

int main(int argc, char** argv) {
    AppServices services;
    services.makeBoxClient = [](KQ_AppConfig& config) { return std::make_unique<ProgramBoxClient>(config); };
    services.makePower = [] { return std::make_unique<SystemPower>(); };
    KQ_UI_VeloqApp app(std::move(services));
    return app.Run(argc, argv);
}
