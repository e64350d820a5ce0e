#pragma once

#include <memory>

#include "Geometry.h"

namespace toolkit {

enum class Key { NumLock };

inline const WindowHandle HWND_TOPMOST = static_cast<WindowHandle>(-1);
inline const WindowHandle HWND_NOTOPMOST = static_cast<WindowHandle>(-2);
constexpr unsigned SWP_NOSIZE = 0x1;
constexpr unsigned SWP_NOMOVE = 0x2;

// Services of the desktop as a whole: synthetic keys for every application, the foreground
// window and the stacking of windows.
class Desktop {
  public:
    virtual ~Desktop() = default;
    // One press and release for the whole system; throws RuntimeError saying why it failed.
    virtual void pressAndRelease(Key key) = 0;
    // 0 when no window is in the foreground.
    virtual WindowHandle foregroundWindow() = 0;
    // insertAfter is HWND_TOPMOST or HWND_NOTOPMOST; nonzero when the request was sent.
    virtual long setWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx,
                              int cy, unsigned flags) = 0;
    // For a window not yet shown: no taskbar or pager entry, where the window system does not
    // already follow that from the window's kind.
    virtual void keepOffTaskbar(WindowHandle window) = 0;
    // No press follows until the next pressAndRelease(): a desktop that is asking the user to
    // allow them withdraws the question.
    virtual void keysNoLongerSent() {}
};

Desktop& desktop();
// The desktop if one has been made, else nullptr; nothing is made for the asking.
Desktop* desktopIfMade();
void setDesktop(std::unique_ptr<Desktop> services);
std::unique_ptr<Desktop> createDesktop();

// The two stacking calls as the forms make them. Neither fails: without a desktop the
// foreground is 0 and a request does nothing and returns 0.
WindowHandle GetForegroundWindow();
long SetWindowPos(WindowHandle window, WindowHandle insertAfter, int x, int y, int cx, int cy,
                  unsigned flags);

}  // namespace toolkit
