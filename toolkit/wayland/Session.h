#pragma once

#include <functional>
#include <string>

namespace toolkit::wayland {

// Looks up an environment variable: nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// A Wayland session names its compositor in WAYLAND_DISPLAY, or says what it is in
// XDG_SESSION_TYPE. An empty value counts as unset.
bool isWaylandSession(const EnvironmentLookup& variable);

// Empty when the compositor named by WAYLAND_DISPLAY takes a connection and answers on it, else
// why not: none listens there, or it refused the connection.
std::string compositorUnreachable();

}  // namespace toolkit::wayland
