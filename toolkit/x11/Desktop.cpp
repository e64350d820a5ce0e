// Desktop services on X11.
//
// Implemented: the key pulse through the XTest extension (press and release, processed by the
// server before it returns: one round trip per pulse); the foreground window from the root
// window's _NET_ACTIVE_WINDOW; the topmost band as EWMH _NET_WM_STATE_ABOVE requests to the
// window manager, raising a window that enters it, without moving, resizing, mapping or
// activating anything; no taskbar or pager entry for our tool windows.
// Not implemented: keys other than Num Lock; stacking relative to a given window.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>
#include <optional>
#include <string>

#include "../Desktop.h"
#include "../RuntimeError.h"

namespace toolkit {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// X errors from our own requests are counted here instead of ending the process.
int xErrors = 0;
int countError(Display*, XErrorEvent*) {
    ++xErrors;
    return 0;
}

class ErrorTrap {
  public:
    ErrorTrap() : previous_(XSetErrorHandler(countError)) { xErrors = 0; }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    bool failed(Display* display) const {
        XSync(display, False);
        return xErrors != 0;
    }

  private:
    int (*previous_)(Display*, XErrorEvent*);
};

class X11Desktop : public Desktop {
  public:
    void pressAndRelease(Key) override {
        Display* display = connection();
        if (!hasXTest(display)) {
            throw RuntimeError(5,
                               "The X server has no XTest extension, so no key press can "
                               "be sent.");
        }
        const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
        if (numLock == 0) {
            throw RuntimeError(5, "The keyboard map has no Num Lock key.");
        }
        ErrorTrap trap;
        const bool sent = XTestFakeKeyEvent(display, numLock, True, CurrentTime) &&
                          XTestFakeKeyEvent(display, numLock, False, CurrentTime);
        if (!sent || trap.failed(display)) {
            throw RuntimeError(5, "The X server refused the Num Lock key press.");
        }
    }

    WindowHandle foregroundWindow() override {
        Display* display = connection();
        const Atom activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        ErrorTrap trap;
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
        return trap.failed(display) ? 0 : result;
    }

    long setWindowPos(WindowHandle window, WindowHandle insertAfter, int, int, int, int,
                      unsigned) override {
        if (window == 0) {
            return 0;
        }
        Display* display = connection();
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
        ErrorTrap trap;
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &message);
        if (enter) {
            // A restack request to the window manager: raises without activating.
            XRaiseWindow(display, static_cast<Window>(window));
        }
        return trap.failed(display) ? 0 : 1;
    }

    void keepOffTaskbar(WindowHandle window) override {
        if (window == 0) {
            return;
        }
        Display* display = connection();
        // Set on the unmapped window, which the window manager reads when it maps it.
        const Atom states[] = {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                               XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
        ErrorTrap trap;
        XChangeProperty(display, static_cast<Window>(window),
                        XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeAppend,
                        reinterpret_cast<const unsigned char*>(states), 2);
        trap.failed(display);
    }

  private:
    Display* connection() {
        if (!display_) {
            display_.reset(XOpenDisplay(nullptr));
            if (!display_) {
                const char* name = XDisplayName(nullptr);
                throw RuntimeError(5, std::string("Cannot connect to the X display \"") +
                                          (name ? name : "") + "\".");
            }
            hasXTest_.reset();
            // Looked up now, while the program starts, so that the first pulse is as quick
            // as every later one.
            hasXTest(display_.get());
            XKeysymToKeycode(display_.get(), XK_Num_Lock);
        }
        return display_.get();
    }

    // An X server's extensions stay what they are for as long as a connection to it lasts, so
    // XTest is asked for once per connection: the question is a round trip to the server.
    bool hasXTest(Display* display) {
        if (!hasXTest_) {
            int event = 0, error = 0, major = 0, minor = 0;
            hasXTest_ = XTestQueryExtension(display, &event, &error, &major, &minor) != False;
        }
        return *hasXTest_;
    }

    std::unique_ptr<Display, DisplayCloser> display_;
    std::optional<bool> hasXTest_;
};

}  // namespace

std::unique_ptr<Desktop> createDesktop() {
    return std::make_unique<X11Desktop>();
}

}  // namespace toolkit
