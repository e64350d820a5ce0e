#include "NativeWindows.h"

#include "../RuntimeError.h"
#include "../Warning.h"

namespace toolkit::wayland {

void NativeWindows::pressAndRelease(Key) {
    throw RuntimeError(5, "Key presses go through the compositor's key routes.");
}

long NativeWindows::setWindowPos(WindowHandle, WindowHandle insertAfter, int, int, int, int,
                                 unsigned) {
    if (insertAfter == HWND_TOPMOST && !said_) {
        said_ = true;
        Warn(
            "Always On Top does nothing on a Wayland window: Wayland lets no program keep its "
            "window above others (it works where the window is on XWayland or X11)");
    }
    return 0;
}

}  // namespace toolkit::wayland
