#include "Connection.h"

#include <X11/XKBlib.h>
#include <X11/Xmd.h>
#include <X11/extensions/xtestproto.h>
#include <X11/keysym.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "../Application.h"
#include "../RuntimeError.h"

namespace toolkit::x11 {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

std::unique_ptr<Display, DisplayCloser> shared;
std::optional<bool> xTest;
int xTestOpcode = 0;
std::optional<unsigned> numLock;
int xkbEventBase = -1;
bool pressRefused = false;
bool unsent = false;
std::function<void(int)> socketOpened;
std::function<void()> socketClosing;
std::function<bool()> focusQuery;
ErrorTrap* innermostTrap = nullptr;
int (*previousHandler)(Display*, XErrorEvent*) = nullptr;

}  // namespace

// Installed for the whole process, since Xlib has only one handler: the errors of other
// connections (Qt's own, for one) go on to the handler that was there before.
int countError(Display* display, XErrorEvent* error) {
    if (display != shared.get()) {
        return previousHandler ? previousHandler(display, error) : 0;
    }
    if (xTestOpcode != 0 && error->request_code == xTestOpcode &&
        error->minor_code == X_XTestFakeInput) {
        pressRefused = true;
    }
    ErrorTrap* trap = innermostTrap;
    if (trap && error->serial >= trap->firstSerial_) {
        ++trap->errors_;
    }
    return 0;
}

Display* Connection::display() {
    if (!shared) {
        shared.reset(XOpenDisplay(nullptr));
        if (!shared) {
            const char* name = XDisplayName(nullptr);
            throw RuntimeError(
                5, std::string("Cannot connect to the X display \"") + (name ? name : "") + "\".");
        }
        takeErrorHandlers();
        // Looked up now, while the program starts, so that the first pulse is as quick as
        // every later one.
        xTest.reset();
        numLock.reset();
        hasXTest();
        numLockKeyCode();
        // With XKB, Xlib takes the server's map news in itself and queues no MappingNotify;
        // asked for, they come to us as XKB map notifications.
        int opcode = 0, eventBase = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
        const bool xkb =
            XkbQueryExtension(shared.get(), &opcode, &eventBase, &error, &major, &minor);
        xkbEventBase = xkb ? eventBase : -1;
        if (xkb) {
            XkbSelectEvents(shared.get(), XkbUseCoreKbd, XkbMapNotifyMask, XkbMapNotifyMask);
        }
        if (socketOpened) {
            socketOpened(ConnectionNumber(shared.get()));
        }
    }
    return shared.get();
}

// Kept until the server reports a change of the keyboard map: the search goes through the
// whole map Xlib keeps, pages of memory that each pulse would touch again.
unsigned Connection::numLockKeyCode() {
    Display* open = display();
    if (!numLock) {
        numLock = XKeysymToKeycode(open, XK_Num_Lock);
    }
    return *numLock;
}

// An X server's extensions stay what they are for as long as a connection to it lasts, so
// XTest is asked for once per connection: the question is a round trip to the server.
bool Connection::hasXTest() {
    if (!xTest) {
        int event = 0, error = 0;
        xTest = XQueryExtension(display(), "XTEST", &xTestOpcode, &event, &error) != False;
        if (!*xTest) {
            xTestOpcode = 0;
        }
    }
    return *xTest;
}

void Connection::takeErrorHandlers() {
    auto* handler = XSetErrorHandler(countError);
    if (handler != countError) {
        previousHandler = handler;
    }
    XSetIOErrorHandler([](Display*) -> int {
        Application::windowSystemLost("the connection to the X display was lost");
    });
}

void Connection::flushLater() {
    unsent = true;
}

void Connection::flush() {
    if (unsent) {
        send();
    }
}

void Connection::send() {
    if (shared) {
        XFlush(shared.get());
    }
    unsent = false;
}

void Connection::roundTrip() {
    if (shared) {
        XSync(shared.get(), False);
    }
    unsent = false;
}

void Connection::setFocusQuery(std::function<bool()> programHasFocus) {
    focusQuery = std::move(programHasFocus);
}

bool Connection::programHasFocus() {
    return focusQuery && focusQuery();
}

void Connection::readPending() {
    if (shared) {
        XEventsQueued(shared.get(), QueuedAfterReading);
    }
    reportReadErrors();
}

void Connection::reportReadErrors() {
    Display* open = shared.get();
    if (!open) {
        return;
    }
    // Keyboard map changes, after which the Num Lock key is looked for again.
    while (QLength(open) > 0) {
        XEvent event;
        XNextEvent(open, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            numLock.reset();
        } else if (xkbEventBase >= 0 && event.type == xkbEventBase) {
            numLock.reset();
        }
    }
    if (pressRefused) {
        pressRefused = false;
        throw RuntimeError(5, "The X server refused the Num Lock key press.");
    }
}

void Connection::watchSocket(std::function<void(int)> opened, std::function<void()> closing) {
    socketOpened = std::move(opened);
    socketClosing = std::move(closing);
    if (shared && socketOpened) {
        socketOpened(ConnectionNumber(shared.get()));
    }
}

void Connection::close() {
    if (shared && socketClosing) {
        socketClosing();
    }
    shared.reset();
    xTest.reset();
    xTestOpcode = 0;
    numLock.reset();
    xkbEventBase = -1;
    pressRefused = false;
    unsent = false;
}

ErrorTrap::ErrorTrap(Display* display)
    : display_(display), outer_(innermostTrap), firstSerial_(NextRequest(display)) {
    innermostTrap = this;
}

ErrorTrap::~ErrorTrap() {
    innermostTrap = outer_;
}

bool ErrorTrap::failed() {
    XSync(display_, False);
    unsent = false;
    return errors_ != 0;
}

}  // namespace toolkit::x11
