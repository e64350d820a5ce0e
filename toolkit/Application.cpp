#include "Application.h"

#include <cstdlib>

#include "Desktop.h"
#include "Forms.h"
#include "Peers.h"
#include "RuntimeError.h"
#include "Warning.h"

namespace toolkit {

namespace {

std::string& currentTitle() {
    static std::string title;
    return title;
}

bool alive = false;
bool endAsked = false;

// A window system that ends the process itself (Qt's X11 platform calls exit() once its
// connection breaks) would otherwise run the destructors of windows whose connection is gone.
void exitFromInside() {
    if (alive) {
        Application::windowSystemLost("the window system ended the program");
    }
}

}  // namespace

Application::Application(int& argc, char** argv, std::string title) {
    currentTitle() = std::move(title);
    setWindowSystem(createWindowSystem(argc, argv));
    alive = true;
    std::atexit(exitFromInside);
    // Ending the program closes its windows the regular way, first loaded first, so each
    // stores what it stores when closed.
    windowSystem().endRequested = [] {
        endAsked = true;
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
    alive = false;
    // While the event system still runs: the desktop may still be putting a question to the
    // user for the program's key presses, which is withdrawn as the program ends.
    setDesktop(nullptr);
    setWindowSystem(nullptr);
}

int Application::run() {
    // Nothing to wait for when the start-up routine loaded no window (or it is closed again).
    return Forms.Count() == 0 ? 0 : windowSystem().runEventLoop();
}

const std::string& Application::title() {
    return currentTitle();
}

bool Application::ending() {
    return endAsked;
}

void Application::windowSystemLost(std::string_view why) {
    static bool said = false;
    if (!said) {
        said = true;
        std::string line(why);
        if (line.ends_with('.')) {
            line.pop_back();
        }
        Warn(currentTitle() + ": " + line + "; the program ends.");
    }
    std::_Exit(1);
}

}  // namespace toolkit
