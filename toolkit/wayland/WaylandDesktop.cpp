#include "WaylandDesktop.h"

#include <string>

#include "../RuntimeError.h"
#include "../ShellObject.h"
#include "../Warning.h"

namespace toolkit::wayland {

WaylandDesktop::WaylandDesktop(std::unique_ptr<Desktop> windows,
                               std::vector<std::unique_ptr<KeyRoute>> routes)
    : windows_(std::move(windows)), routes_(std::move(routes)) {
}

WaylandDesktop::~WaylandDesktop() {
    for (auto& route : routes_) {
        route->close();
    }
}

void WaylandDesktop::pressAndRelease(Key key) {
    KeyRoute& route = workingRoute();
    try {
        route.pressAndRelease(key);
    } catch (const RuntimeError&) {
        route.close();
        working_ = nullptr;
        throw;
    }
}

KeyRoute& WaylandDesktop::workingRoute() {
    if (working_ && working_->ready()) {
        return *working_;
    }
    if (working_) {
        // Lost since the last press, which a watcher of its connection has already reported.
        working_->close();
        working_ = nullptr;
    }
    std::string tried;
    for (auto& route : routes_) {
        try {
            route->open();
            working_ = route.get();
            if (route->asking()) {
                Warn("asking the desktop to allow key presses through " +
                     std::string(route->name()) + "; none is sent until it does");
                KeysAwaitingConsent();
            } else {
                Warn("key presses go to the compositor through " + std::string(route->name()));
            }
            return *working_;
        } catch (const RuntimeError& refusal) {
            route->close();
            tried += "\n- " + std::string(route->name()) + ": " + refusal.what();
        }
    }
    throw RuntimeError(
        5,
        "This desktop offers the program no way to send a key press. A Wayland compositor "
        "takes key presses only from the programs it allows, and presses sent through "
        "XWayland (XTest) reach X11 programs only, so they would not count as input.\n\n"
        "Tried:" +
            (tried.empty() ? std::string("\n- nothing: this build has no route") : tried) +
            "\n\nWhat you can do: allow the program to send input when the desktop asks (GNOME "
            "asks in a dialog: at every start of the program with version 1 of the desktop "
            "portal's remote desktop, as on Debian 12, and once with version 2, which keeps the "
            "answer; KDE Plasma 5.27 shows no dialog, only a notification and a tray item), on "
            "KDE Plasma run the installed program (KWin reads its "
            "permission from the installed .desktop file), use a compositor that offers a "
            "virtual keyboard (sway and the other wlroots compositors do), or log in to an X11 "
            "session.");
}

void WaylandDesktop::keysNoLongerSent() {
    if (working_) {
        working_->pulseStopped();
    }
}

WindowHandle WaylandDesktop::foregroundWindow() {
    return windows_->foregroundWindow();
}

long WaylandDesktop::setWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y,
                                  int cx, int cy, unsigned flags) {
    return windows_->setWindowPos(window, insertAfter, x, y, cx, cy, flags);
}

void WaylandDesktop::keepOffTaskbar(WindowHandle window) {
    windows_->keepOffTaskbar(window);
}

}  // namespace toolkit::wayland
