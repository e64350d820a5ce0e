#pragma once

#include <functional>

namespace toolkit::wayland {

// Looks up an environment variable: nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// A Wayland session names its compositor in WAYLAND_DISPLAY, or says what it is in
// XDG_SESSION_TYPE. An empty value counts as unset.
bool isWaylandSession(const EnvironmentLookup& variable);

}  // namespace toolkit::wayland
