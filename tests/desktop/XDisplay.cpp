#include "tests/desktop/XDisplay.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <thread>

namespace desktop_test {

namespace {

// Windows of other processes come and go while we look at them; a request about a window that
// has just gone is not an error of the test.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

// One property's raw data, freed with the object.
class Property {
  public:
    Property(Display* display, Window window, Atom property, Atom type) {
        int status = XGetWindowProperty(display, window, property, 0, 1L << 20, False, type, &type_,
                                        &format_, &count_, &remaining_, &data_);
        if (status != Success) {
            data_ = nullptr;
            count_ = 0;
        }
    }
    ~Property() {
        if (data_) {
            XFree(data_);
        }
    }
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;

    bool is(Atom type, int format) const { return data_ && type_ == type && format_ == format; }
    unsigned long count() const { return count_; }
    // Format 32 data comes as longs on the client side.
    const long* longs() const { return reinterpret_cast<const long*>(data_); }
    const char* chars() const { return reinterpret_cast<const char*>(data_); }

  private:
    Atom type_ = None;
    int format_ = 0;
    unsigned long count_ = 0;
    unsigned long remaining_ = 0;
    unsigned char* data_ = nullptr;
};

void sendToRoot(Display* display, Window window, Atom type, const std::vector<long>& data) {
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = type;
    message.xclient.format = 32;
    for (std::size_t i = 0; i < data.size() && i < 5; ++i) {
        message.xclient.data.l[i] = data[i];
    }
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
}

// The source indication for requests from pagers and other tools acting for the user.
constexpr long pagerSource = 2;

}  // namespace

XDisplay::XDisplay(const std::string& name) : name_(name) {
    XSetErrorHandler(ignoreError);
    int major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
    display_ = XkbOpenDisplay(name.c_str(), nullptr, nullptr, &major, &minor, &reason);
    if (!display_) {
        throw std::runtime_error("cannot open the X display " + name);
    }
}

XDisplay::~XDisplay() {
    XCloseDisplay(display_);
}

unsigned long XDisplay::atom(const char* name) {
    return XInternAtom(display_, name, False);
}

void XDisplay::flush() {
    XSync(display_, False);
}

bool XDisplay::hasExtension(const char* extension) {
    int opcode = 0, event = 0, error = 0;
    return XQueryExtension(display_, extension, &opcode, &event, &error);
}

bool XDisplay::windowManagerRunning() {
    if (XGetSelectionOwner(display_, atom("WM_S0")) == None) {
        return false;
    }
    Property check(display_, DefaultRootWindow(display_), atom("_NET_SUPPORTING_WM_CHECK"),
                   XA_WINDOW);
    return check.is(XA_WINDOW, 32) && check.count() == 1;
}

bool XDisplay::windowManagerSupports(const char* atomName) {
    const auto supported =
        atomListProperty(WindowId(DefaultRootWindow(display_)), "_NET_SUPPORTED");
    return std::find(supported.begin(), supported.end(), atomName) != supported.end();
}

bool XDisplay::windowManagerManagesNewWindow(std::chrono::milliseconds limit) {
    const Window probe =
        XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
    XMapWindow(display_, probe);
    flush();
    const auto end = std::chrono::steady_clock::now() + limit;
    bool managed = false;
    while (!(managed = wmState(WindowId(probe)).has_value()) &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XDestroyWindow(display_, probe);
    flush();
    return managed;
}

std::vector<WindowId> XDisplay::rootWindowList(const char* property) {
    Property list(display_, DefaultRootWindow(display_), atom(property), XA_WINDOW);
    std::vector<WindowId> result;
    if (list.is(XA_WINDOW, 32)) {
        for (unsigned long i = 0; i < list.count(); ++i) {
            result.push_back(WindowId(list.longs()[i]));
        }
    }
    return result;
}

std::vector<WindowId> XDisplay::clientList() {
    return rootWindowList("_NET_CLIENT_LIST");
}

std::vector<WindowId> XDisplay::stackingOrder() {
    return rootWindowList("_NET_CLIENT_LIST_STACKING");
}

std::optional<WindowId> XDisplay::activeWindow() {
    const auto active = rootWindowList("_NET_ACTIVE_WINDOW");
    if (active.size() == 1 && active[0] != None) {
        return active[0];
    }
    return std::nullopt;
}

std::optional<WindowId> XDisplay::transientFor(WindowId window) {
    Window owner = None;
    if (XGetTransientForHint(display_, Window(window), &owner) && owner != None) {
        return WindowId(owner);
    }
    return std::nullopt;
}

std::optional<std::string> XDisplay::textProperty(WindowId window, const char* property) {
    Property text(display_, Window(window), atom(property), AnyPropertyType);
    if (text.is(XA_STRING, 8) || text.is(atom("UTF8_STRING"), 8)) {
        return std::string(text.chars(), text.count());
    }
    return std::nullopt;
}

std::vector<std::string> XDisplay::atomListProperty(WindowId window, const char* property) {
    Property list(display_, Window(window), atom(property), XA_ATOM);
    std::vector<std::string> result;
    if (list.is(XA_ATOM, 32)) {
        for (unsigned long i = 0; i < list.count(); ++i) {
            char* name = XGetAtomName(display_, Atom(list.longs()[i]));
            result.push_back(name ? name : "");
            if (name) {
                XFree(name);
            }
        }
    }
    return result;
}

std::vector<long> XDisplay::cardinalProperty(WindowId window, const char* property) {
    Property list(display_, Window(window), atom(property), XA_CARDINAL);
    std::vector<long> result;
    if (list.is(XA_CARDINAL, 32)) {
        result.assign(list.longs(), list.longs() + list.count());
    }
    return result;
}

std::optional<long> XDisplay::wmState(WindowId window) {
    const Atom wmStateAtom = atom("WM_STATE");
    Property state(display_, Window(window), wmStateAtom, wmStateAtom);
    if (state.is(wmStateAtom, 32) && state.count() >= 1) {
        return state.longs()[0];
    }
    return std::nullopt;
}

std::optional<pid_t> XDisplay::windowPid(WindowId window) {
    const auto pid = cardinalProperty(window, "_NET_WM_PID");
    if (pid.size() == 1) {
        return pid_t(pid[0]);
    }
    return std::nullopt;
}

bool XDisplay::isViewable(WindowId window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display_, Window(window), &attributes) &&
           attributes.map_state == IsViewable;
}

std::optional<Point> XDisplay::clientOrigin(WindowId window) {
    int x = 0, y = 0;
    Window child = None;
    if (!XTranslateCoordinates(display_, Window(window), DefaultRootWindow(display_), 0, 0, &x, &y,
                               &child)) {
        return std::nullopt;
    }
    return Point{x, y};
}

std::optional<Point> XDisplay::clientSize(WindowId window) {
    Window root = None;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display_, Window(window), &root, &x, &y, &width, &height, &border, &depth)) {
        return std::nullopt;
    }
    return Point{int(width), int(height)};
}

std::optional<FrameExtents> XDisplay::frameExtents(WindowId window) {
    const auto extents = cardinalProperty(window, "_NET_FRAME_EXTENTS");
    if (extents.size() != 4) {
        return std::nullopt;
    }
    return FrameExtents{int(extents[0]), int(extents[1]), int(extents[2]), int(extents[3])};
}

std::optional<Point> XDisplay::framePosition(WindowId window) {
    const auto origin = clientOrigin(window);
    const auto extents = frameExtents(window);
    if (!origin || !extents) {
        return std::nullopt;
    }
    return Point{origin->x - extents->left, origin->y - extents->top};
}

bool XDisplay::numLockOn() {
    int index = 0;
    Bool on = False;
    if (!XkbGetNamedIndicator(display_, atom("Num Lock"), &index, &on, nullptr, nullptr)) {
        throw std::runtime_error("the keyboard of " + name_ + " has no Num Lock indicator");
    }
    return on;
}

Point XDisplay::screenSize() {
    const int screen = DefaultScreen(display_);
    return {DisplayWidth(display_, screen), DisplayHeight(display_, screen)};
}

Image XDisplay::grab(const Rect& area) {
    const Point screen = screenSize();
    const int left = std::clamp(area.x, 0, screen.x);
    const int top = std::clamp(area.y, 0, screen.y);
    const int right = std::clamp(area.x + area.width, 0, screen.x);
    const int bottom = std::clamp(area.y + area.height, 0, screen.y);
    Image result;
    if (right <= left || bottom <= top) {
        return result;
    }
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), left, top,
                              unsigned(right - left), unsigned(bottom - top), AllPlanes, ZPixmap);
    if (!image) {
        return result;
    }
    const Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
    const auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0) {
            return 0;
        }
        const unsigned long value = (pixel & mask) >> std::countr_zero(mask);
        const unsigned long maximum = mask >> std::countr_zero(mask);
        return int(value * 255 / maximum);
    };
    result.width = right - left;
    result.height = bottom - top;
    result.pixels.reserve(std::size_t(result.width * result.height));
    for (int y = 0; y < result.height; ++y) {
        for (int x = 0; x < result.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            result.pixels.push_back({channel(pixel, visual->red_mask),
                                     channel(pixel, visual->green_mask),
                                     channel(pixel, visual->blue_mask)});
        }
    }
    XDestroyImage(image);
    return result;
}

void XDisplay::moveFrameTo(WindowId window, int x, int y) {
    // Gravity 0: the window's own; with its north-west gravity x, y place the frame's corner.
    constexpr long xGiven = 1L << 8, yGiven = 1L << 9;
    sendToRoot(display_, Window(window), atom("_NET_MOVERESIZE_WINDOW"),
               {xGiven | yGiven | (pagerSource << 12), x, y, 0, 0});
    flush();
}

void XDisplay::closeWindow(WindowId window) {
    sendToRoot(display_, Window(window), atom("_NET_CLOSE_WINDOW"), {CurrentTime, pagerSource});
    flush();
}

void XDisplay::setAbove(WindowId window, bool above) {
    constexpr long removeState = 0, addState = 1;
    sendToRoot(display_, Window(window), atom("_NET_WM_STATE"),
               {above ? addState : removeState, long(atom("_NET_WM_STATE_ABOVE")), 0, pagerSource});
    flush();
}

void XDisplay::activate(WindowId window) {
    sendToRoot(display_, Window(window), atom("_NET_ACTIVE_WINDOW"), {pagerSource, CurrentTime, 0});
    flush();
}

void XDisplay::iconify(WindowId window) {
    // WM_CHANGE_STATE to IconicState, as ICCCM asks of a client or a tool.
    XIconifyWindow(display_, Window(window), DefaultScreen(display_));
    flush();
}

}  // namespace desktop_test
