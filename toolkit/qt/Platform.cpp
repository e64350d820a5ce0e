#include "Platform.h"

#include <QGuiApplication>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../Application.h"
#include "../RuntimeError.h"
#include "../wayland/Session.h"
#include "../x11/Connection.h"

namespace toolkit::qt {

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Empty when an X server answers at DISPLAY, else why not.
std::string xDisplayUnreachable() {
    const std::string display = variable("DISPLAY");
    if (display.empty()) {
        return "DISPLAY is not set";
    }
    try {
        x11::Connection::display();
        return {};
    } catch (const RuntimeError&) {
        return "no X server answers at DISPLAY=" + display;
    }
}

std::string compositorUnreachable() {
    if (variable("WAYLAND_DISPLAY").empty()) {
        return "WAYLAND_DISPLAY is not set";
    }
    return wayland::compositorUnreachable();
}

[[noreturn]] void noDisplay(std::string_view tried) {
    Application::windowSystemLost("no display to show the window on (" + std::string(tried) + ")");
}

}  // namespace

void choosePlatform() {
    const std::string chosen = variable("QT_QPA_PLATFORM");
    if (chosen == "xcb") {
        if (const std::string why = xDisplayUnreachable(); !why.empty()) {
            noDisplay("QT_QPA_PLATFORM=xcb asks for X11 alone, WAYLAND_DISPLAY is not tried; " +
                      why);
        }
        return;
    }
    if (chosen.starts_with("wayland")) {
        if (const std::string why = compositorUnreachable(); !why.empty()) {
            noDisplay("QT_QPA_PLATFORM=" + chosen +
                      " asks for Wayland alone, DISPLAY is not "
                      "tried; " +
                      why);
        }
        return;
    }
    if (!chosen.empty()) {
        return;
    }
    const std::string noX = xDisplayUnreachable();
    if (noX.empty()) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        return;
    }
    const std::string noWayland = compositorUnreachable();
    if (noWayland.empty()) {
        setenv("QT_QPA_PLATFORM", "wayland", 1);
        return;
    }
    noDisplay("X11: " + noX + "; Wayland: " + noWayland);
}

bool onNativeWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace toolkit::qt
