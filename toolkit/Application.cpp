#include "Application.h"

#include "Forms.h"
#include "Peers.h"
#include "RuntimeError.h"

namespace toolkit {

namespace {
std::string& currentTitle() {
    static std::string title;
    return title;
}
}  // namespace

Application::Application(int& argc, char** argv, std::string title) {
    currentTitle() = std::move(title);
    setWindowSystem(createWindowSystem(argc, argv));
    // Ending the program closes its windows the regular way, first loaded first, so each
    // stores what it stores when closed.
    windowSystem().endRequested = [] {
        invokeHandler([] {
            while (Forms.Count() > 0) {
                Form& first = Forms(0);
                Unload(first);
                if (Forms.Count() > 0 && &Forms(0) == &first) {
                    break;
                }
            }
        });
    };
}

Application::~Application() {
    setWindowSystem(nullptr);
}

int Application::run() {
    // Nothing to wait for when the start-up routine loaded no window (or it is closed again).
    return Forms.Count() == 0 ? 0 : windowSystem().runEventLoop();
}

const std::string& Application::title() {
    return currentTitle();
}

}  // namespace toolkit
