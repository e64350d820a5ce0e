#include "Session.h"

#include <wayland-client.h>

#include <cstdlib>
#include <string_view>

namespace toolkit::wayland {

bool isWaylandSession(const EnvironmentLookup& variable) {
    const char* display = variable("WAYLAND_DISPLAY");
    const char* type = variable("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::string_view(type) == "wayland");
}

std::string compositorUnreachable() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    const std::string where = std::string("WAYLAND_DISPLAY=") + (name ? name : "");
    // libwayland would say so on stderr itself, in a line of its own.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if ((!name || *name != '/') && (!runtime || !*runtime)) {
        return "XDG_RUNTIME_DIR is not set, so " + where + " cannot be found";
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        return "no compositor answers at " + where;
    }
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_display_disconnect(display);
    return answered ? std::string() : "the compositor at " + where + " refused the connection";
}

}  // namespace toolkit::wayland
