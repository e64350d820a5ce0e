#include "about_dialog/FERN_BADGER_PULSEWARD_ABOUT.h"
#include "app/CommandLine.h"
#include "app/Module1.h"
#include "app/PulsewardSettings.h"
#include "app/RemoteControl.h"
#include "toolkit/Application.h"
#include "toolkit/RuntimeError.h"

int main(int argc, char** argv) {
    pulseward::CommandLine::Request request;
    if (const auto status = pulseward::CommandLine::read(argc, argv, request)) {
        return *status;
    }
    if (const auto status = pulseward::RemoteControl::handOver(request)) {
        return *status;
    }
    toolkit::Application application(argc, argv,
                                     std::string(pulseward::PulsewardSettings::appName));
    if (const auto status = pulseward::RemoteControl::becomeRunningCopy(request)) {
        return *status;
    }
    toolkit::invokeHandler(pulseward::Module1::Main);
    toolkit::invokeHandler([&] { pulseward::RemoteControl::carryOut(request); });
    const int result = application.run();
    pulseward::aboutDialog().reset();
    pulseward::Module1::mainWindow.reset();
    return result;
}
