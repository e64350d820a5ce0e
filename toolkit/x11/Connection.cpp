#include "Connection.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>
#include <optional>
#include <string>

#include "../RuntimeError.h"

namespace toolkit::x11 {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

std::unique_ptr<Display, DisplayCloser> shared;
std::optional<bool> xTest;
bool unsent = false;
ErrorTrap* innermostTrap = nullptr;
int (*previousHandler)(Display*, XErrorEvent*) = nullptr;

}  // namespace

// Installed for the whole process, since Xlib has only one handler: the errors of other
// connections (Qt's own, for one) go on to the handler that was there before.
int countError(Display* display, XErrorEvent* error) {
    if (display != shared.get()) {
        return previousHandler ? previousHandler(display, error) : 0;
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
        auto* handler = XSetErrorHandler(countError);
        if (handler != countError) {
            previousHandler = handler;
        }
        // Looked up now, while the program starts, so that the first pulse is as quick as
        // every later one.
        xTest.reset();
        hasXTest();
        numLockKeyCode();
    }
    return shared.get();
}

unsigned Connection::numLockKeyCode() {
    // Xlib keeps the keyboard map; the lookup is a search in memory.
    return XKeysymToKeycode(display(), XK_Num_Lock);
}

// An X server's extensions stay what they are for as long as a connection to it lasts, so
// XTest is asked for once per connection: the question is a round trip to the server.
bool Connection::hasXTest() {
    if (!xTest) {
        int event = 0, error = 0, major = 0, minor = 0;
        xTest = XTestQueryExtension(display(), &event, &error, &major, &minor) != False;
    }
    return *xTest;
}

void Connection::flushLater() {
    unsent = true;
}

void Connection::flush() {
    if (unsent && shared) {
        XFlush(shared.get());
    }
    unsent = false;
}

void Connection::close() {
    shared.reset();
    xTest.reset();
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
