#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/desktop/ChildProcess.h"
#include "tests/desktop/XDisplay.h"

namespace desktop_test {

inline constexpr const char* mainWindowName = "       PULSEWARD";
inline constexpr const char* messageBoxName = "FERN-BADGER-PULSEWARD";
inline constexpr const char* settingsFileName = "FERN-BADGER-PULSEWARD.ini";
// What the program says on stderr at its first pulse on X11.
inline constexpr std::string_view x11RouteLine = "key presses go to the X server through XTest";

// One run of the program on a display, with the given settings folder ($XDG_CONFIG_HOME).
// The run is killed with its process group when the object goes, unless it has ended.
class PulsewardRun {
  public:
    struct Paths {
        std::filesystem::path program;
        std::filesystem::path configHome;
        std::filesystem::path runtimeDir;
        std::filesystem::path log;
        std::map<std::string, std::string> environment = {};  // set for this run only
        std::vector<std::string> arguments = {};
    };
    PulsewardRun(XDisplay& x, const Paths& paths);

    pid_t pid() const { return process_.pid(); }
    bool running() { return process_.running(); }
    // "still running", or how it ended.
    std::string state() {
        return process_.running() ? "still running" : describeStatus(*process_.status());
    }
    std::optional<int> waitForExit(std::chrono::milliseconds limit) {
        return process_.waitForExit(limit);
    }

    // A top-level window of this run with the exact name, if the window manager lists one.
    std::optional<WindowId> findWindow(const std::string& name);
    // The main window once the window manager shows it (mapped, normal state, framed), or
    // nothing when it does not appear in time or the program ends.
    std::optional<WindowId> waitForMainWindow(
        std::chrono::milliseconds limit = std::chrono::milliseconds(15000));

  private:
    XDisplay& x_;
    ChildProcess process_;
};

// The environment of a run on the display: Qt's own variables and any session bus of the test
// program's are not passed on, so that parallel tests never find each other's running copies;
// a test that wants a bus names its own in the run's environment.
std::vector<std::string> programEnvironment(const std::string& displayName,
                                            const PulsewardRun::Paths& paths);

}  // namespace desktop_test
