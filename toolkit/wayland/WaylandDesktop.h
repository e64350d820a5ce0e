#pragma once

#include <memory>
#include <vector>

#include "../Desktop.h"
#include "KeyRoute.h"

namespace toolkit::wayland {

// The desktop on a Wayland session. The foreground window and the stacking go to the desktop of
// the program's windows (X11 on XWayland, or NativeWindows where they are Wayland windows); key
// presses go to the compositor through the first route that works. Presses through XWayland would
// reach X11 programs only, and the compositor would not count them as input, so XTest is never one
// of the routes.
//
// The routes are tried at the first press, and again at the first press after a failure (the
// pulse stops on a failure, so that is at the next Start). The route in use is named on stderr.
class WaylandDesktop : public Desktop {
  public:
    WaylandDesktop(std::unique_ptr<Desktop> windows, std::vector<std::unique_ptr<KeyRoute>> routes);
    ~WaylandDesktop() override;
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    void pressAndRelease(Key key) override;
    WindowHandle foregroundWindow() override;
    long setWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx, int cy,
                      unsigned flags) override;
    void keepOffTaskbar(WindowHandle window) override;
    void keysNoLongerSent() override;

  private:
    KeyRoute& workingRoute();

    std::unique_ptr<Desktop> windows_;
    std::vector<std::unique_ptr<KeyRoute>> routes_;
    KeyRoute* working_ = nullptr;
};

}  // namespace toolkit::wayland
