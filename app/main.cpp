#include "about_dialog/FERN_BADGER_PULSEWARD_ABOUT.h"
#include "app/CommandLine.h"
#include "app/Module1.h"
#include "app/PulsewardSettings.h"
#include "toolkit/Application.h"
#include "toolkit/RuntimeError.h"

int main(int argc, char** argv) {
    if (const auto status = pulseward::CommandLine::read(argc, argv)) {
        return *status;
    }
    toolkit::Application application(argc, argv,
                                     std::string(pulseward::PulsewardSettings::appName));
    toolkit::invokeHandler(pulseward::Module1::Main);
    const int result = application.run();
    pulseward::aboutDialog().reset();
    pulseward::Module1::mainWindow.reset();
    return result;
}
