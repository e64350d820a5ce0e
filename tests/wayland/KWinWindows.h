#pragma once

#include <string>
#include <vector>

#include "tests/wayland/WaylandSession.h"

namespace wayland_test {

// A window as KWin sees it. KWin stacks X11 and Wayland windows together, which nothing on
// XWayland shows (_NET_CLIENT_LIST_STACKING names the X11 ones only).
struct KWinWindow {
    std::string resourceClass;  // WM_CLASS's class, or the Wayland window's app id
    int stackingOrder = -1;     // higher is nearer the top
    bool keepAbove = false;
    bool active = false;
};

// KWin sessions only: KWin's windows, printed to its log by a script loaded over the session's
// bus. Throws std::runtime_error when KWin does not run the script.
std::vector<KWinWindow> kwinWindows(const WaylandSession& session);

}  // namespace wayland_test
