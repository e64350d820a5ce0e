#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Xlib's own name for its connection; the X headers stay out of here, since their macros
// (None, Bool, Status, ...) clash with other code.
typedef struct _XDisplay Display;

namespace desktop_test {

using WindowId = unsigned long;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb&) const = default;
};

// A piece of the screen as it is shown.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // row by row
    Rgb at(int x, int y) const { return pixels[std::size_t(y * width + x)]; }
};

struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

// WM_STATE values.
constexpr long withdrawnState = 0;
constexpr long normalState = 1;
constexpr long iconicState = 3;

// A client connection to an X server, for looking at it from outside the program under test
// and for asking its window manager to do things, as a user or a pager would.
class XDisplay {
  public:
    // Throws std::runtime_error when the display cannot be opened.
    explicit XDisplay(const std::string& name);
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    const std::string& name() const { return name_; }
    bool hasExtension(const char* extension);
    // Whether a window manager owns WM_S0 and has announced itself on the root window.
    bool windowManagerRunning();
    bool windowManagerSupports(const char* atomName);
    // Whether the window manager takes on a new window within the limit. One that has only just
    // announced itself may still miss windows mapped before it is ready for them.
    bool windowManagerManagesNewWindow(std::chrono::milliseconds limit);

    // Top-level client windows, as the window manager lists them.
    std::vector<WindowId> clientList();
    // The same, bottom to top as the window manager stacks them.
    std::vector<WindowId> stackingOrder();
    std::optional<WindowId> activeWindow();
    std::optional<WindowId> transientFor(WindowId window);
    // The text of a STRING or UTF8_STRING property.
    std::optional<std::string> textProperty(WindowId window, const char* property);
    std::vector<std::string> atomListProperty(WindowId window, const char* property);
    std::vector<long> cardinalProperty(WindowId window, const char* property);
    std::optional<long> wmState(WindowId window);
    std::optional<pid_t> windowPid(WindowId window);
    bool isViewable(WindowId window);

    // The client area's top-left in root coordinates, and its size.
    std::optional<Point> clientOrigin(WindowId window);
    std::optional<Point> clientSize(WindowId window);  // x: width, y: height
    std::optional<FrameExtents> frameExtents(WindowId window);
    // The top-left of the window manager's frame: the client's origin less the frame extents.
    std::optional<Point> framePosition(WindowId window);

    // The Num Lock indicator of the core keyboard.
    bool numLockOn();
    // What the screen shows in the rectangle (root coordinates), clipped to the screen.
    Image grab(const Rect& area);
    Point screenSize();

    // Requests to the window manager.
    void moveFrameTo(WindowId window, int x, int y);
    void closeWindow(WindowId window);
    void iconify(WindowId window);
    // Puts the window into the always-on-top band or takes it out (_NET_WM_STATE_ABOVE).
    void setAbove(WindowId window, bool above);
    // Makes it the active window, as a pager would.
    void activate(WindowId window);

  private:
    unsigned long atom(const char* name);
    std::vector<WindowId> rootWindowList(const char* property);
    void flush();

    std::string name_;
    Display* display_ = nullptr;
};

}  // namespace desktop_test
