#include "tests/wayland/IdleWatcher.h"

#include <string>

namespace wayland_test {

IdleWatcher::IdleWatcher(WaylandSession& session, const std::filesystem::path& log,
                         int timeoutSeconds)
    : output_(log),
      process_(session.startClient({"swayidle", "-w", "timeout", std::to_string(timeoutSeconds),
                                    "echo idle", "resume", "echo resumed"},
                                   log)) {
}

}  // namespace wayland_test
