#include "ParentWindow.h"

#include <cstdio>

#include "../Forms.h"

namespace toolkit::wayland {

std::string portalParentWindow() {
    if (Forms.Count() == 0) {
        return {};
    }
    // The windows are on XWayland.
    const WindowHandle window = Forms(0).hWnd();
    return window ? x11ParentWindow(window) : std::string();
}

std::string x11ParentWindow(WindowHandle window) {
    char text[32];
    std::snprintf(text, sizeof text, "x11:%llx", static_cast<unsigned long long>(window));
    return text;
}

}  // namespace toolkit::wayland
