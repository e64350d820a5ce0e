#include "tests/desktop/PulsewardRun.h"

#include <thread>

namespace desktop_test {

std::vector<std::string> programEnvironment(const std::string& displayName,
                                            const PulsewardRun::Paths& paths) {
    // Qt's own variables (platform, scaling, font dpi) would change what is measured here.
    std::map<std::string, std::string> environment = {
        {"DISPLAY", displayName},
        {"QT_QPA_PLATFORM", "xcb"},
        {"XDG_CONFIG_HOME", paths.configHome.string()},
        {"XDG_RUNTIME_DIR", paths.runtimeDir.string()}};
    environment.insert(paths.environment.begin(), paths.environment.end());
    return environmentWith(environment, {"QT_", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"});
}

namespace {

SpawnOptions programOptions(const std::string& displayName, const PulsewardRun::Paths& paths) {
    std::vector<std::string> argv = {paths.program.string()};
    argv.insert(argv.end(), paths.arguments.begin(), paths.arguments.end());
    return {argv, programEnvironment(displayName, paths), paths.log};
}

}  // namespace

PulsewardRun::PulsewardRun(XDisplay& x, const Paths& paths)
    : x_(x), process_(programOptions(x.name(), paths)) {
}

std::optional<WindowId> PulsewardRun::findWindow(const std::string& name) {
    for (const WindowId window : x_.clientList()) {
        const auto pid = x_.windowPid(window);
        if (x_.textProperty(window, "WM_NAME") == name && (!pid || *pid == process_.pid())) {
            return window;
        }
    }
    return std::nullopt;
}

std::optional<WindowId> PulsewardRun::waitForMainWindow(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end && process_.running()) {
        const auto window = findWindow(mainWindowName);
        if (window && x_.isViewable(*window) && x_.wmState(*window) == normalState &&
            x_.frameExtents(*window)) {
            return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

}  // namespace desktop_test
