#pragma once

#include "../Desktop.h"

namespace toolkit::wayland {

// The window side of the desktop where the program's windows are the compositor's own Wayland
// windows (no X display answered). Wayland tells no program which window is in front and lets
// none keep its window above others, so there is no foreground window and the topmost band is
// not there: a request for it does nothing, and the first one says so on stderr. Key presses
// are not this object's: WaylandDesktop sends them through its key routes.
class NativeWindows : public Desktop {
  public:
    void pressAndRelease(Key key) override;
    WindowHandle foregroundWindow() override { return 0; }
    long setWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx, int cy,
                      unsigned flags) override;
    // A tool window is no taskbar entry of its own there already.
    void keepOffTaskbar(WindowHandle) override {}

  private:
    bool said_ = false;
};

}  // namespace toolkit::wayland
