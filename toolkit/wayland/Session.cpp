#include "Session.h"

#include <string_view>

namespace toolkit::wayland {

bool isWaylandSession(const EnvironmentLookup& variable) {
    const char* display = variable("WAYLAND_DISPLAY");
    const char* type = variable("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::string_view(type) == "wayland");
}

}  // namespace toolkit::wayland
