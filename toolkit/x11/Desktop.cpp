// Desktop services on X11.
//
// Implemented: the key pulse through the XTest extension (press and release; the server is
// waited for only when our own window will get them back); the foreground window from the root
// window's _NET_ACTIVE_WINDOW; the topmost band as EWMH _NET_WM_STATE_ABOVE requests to the
// window manager, raising a window that enters it, without moving, resizing, mapping or
// activating anything; no taskbar or pager entry for our tool windows; one line on stderr naming
// the route at the first pulse, as on a Wayland session.
// Not implemented: keys other than Num Lock; stacking relative to a given window.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <memory>

#include "Desktop.h"

#include "../RuntimeError.h"
#include "../Warning.h"
#include "Connection.h"

namespace toolkit {

using x11::Connection;
using x11::ErrorTrap;

namespace {

class X11Desktop : public Desktop {
  public:
    void pressAndRelease(Key) override {
        Display* display = Connection::display();
        if (!Connection::hasXTest()) {
            throw RuntimeError(5,
                               "The X server has no XTest extension, so no key press can "
                               "be sent.");
        }
        const unsigned numLock = Connection::numLockKeyCode();
        if (numLock == 0) {
            throw RuntimeError(5, "The keyboard map has no Num Lock key.");
        }
        const bool sent = XTestFakeKeyEvent(display, numLock, True, CurrentTime) &&
                          XTestFakeKeyEvent(display, numLock, False, CurrentTime);
        if (!sent) {
            throw RuntimeError(5, "The X server refused the Num Lock key press.");
        }
        if (Connection::programHasFocus()) {
            // The press and release come back to our window as key events. Waiting for the
            // server lets them arrive while the program is awake, instead of waking it again.
            Connection::roundTrip();
        } else {
            // Waiting would cost a wake-up each pulse. A refusal arrives later as an error,
            // which the socket's watcher or the next press reports.
            Connection::send();
        }
        Connection::reportReadErrors();
        if (!routeNamed_) {
            Warn("key presses go to the X server through XTest");
            routeNamed_ = true;
        }
    }

    WindowHandle foregroundWindow() override {
        Display* display = Connection::display();
        const Atom activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        ErrorTrap trap(display);
        const int status =
            XGetWindowProperty(display, DefaultRootWindow(display), activeWindow, 0, 1, False,
                               XA_WINDOW, &type, &format, &count, &remaining, &data);
        WindowHandle result = 0;
        if (status == Success && data && type == XA_WINDOW && format == 32 && count == 1) {
            result = static_cast<WindowHandle>(*reinterpret_cast<unsigned long*>(data));
        }
        if (data) {
            XFree(data);
        }
        return trap.failed() ? 0 : result;
    }

    long setWindowPos(WindowHandle window, WindowHandle insertAfter, int, int, int, int,
                      unsigned) override {
        if (window == 0) {
            return 0;
        }
        Display* display = Connection::display();
        const bool enter = insertAfter == HWND_TOPMOST;
        constexpr long removeState = 0, addState = 1, normalSource = 1;
        XEvent message{};
        message.xclient.type = ClientMessage;
        message.xclient.window = static_cast<Window>(window);
        message.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
        message.xclient.format = 32;
        message.xclient.data.l[0] = enter ? addState : removeState;
        message.xclient.data.l[1] =
            static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
        message.xclient.data.l[2] = 0;
        message.xclient.data.l[3] = normalSource;
        ErrorTrap trap(display);
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &message);
        if (enter) {
            // A restack request to the window manager: raises without activating.
            XRaiseWindow(display, static_cast<Window>(window));
        }
        return trap.failed() ? 0 : 1;
    }

    void keepOffTaskbar(WindowHandle window) override {
        if (window == 0) {
            return;
        }
        Display* display = Connection::display();
        // Set on the unmapped window, which the window manager reads when it maps it.
        const Atom states[] = {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                               XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
        ErrorTrap trap(display);
        XChangeProperty(display, static_cast<Window>(window),
                        XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeAppend,
                        reinterpret_cast<const unsigned char*>(states), 2);
        trap.failed();
    }

  private:
    bool routeNamed_ = false;
};

}  // namespace

namespace x11 {

std::unique_ptr<Desktop> createDesktop() {
    return std::make_unique<X11Desktop>();
}

}  // namespace x11

}  // namespace toolkit
