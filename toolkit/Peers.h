#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Geometry.h"

// What a backend provides for the portable forms and controls. Portable code holds every
// property's value; a peer only mirrors it on screen and reports the user's actions.
namespace toolkit {

enum class ControlKind { CommandButton, PictureBox, CheckBox, Label, TextBox, Line };

struct ControlDescription {
    ControlKind kind = ControlKind::Label;
    std::string name;
    PixelRect rect;     // a Line's rect runs from (x, y) to (x + width, y + height)
    int tabIndex = -1;  // -1: takes no focus
    std::string caption;
    Font font;
    bool hasColours = false;
    Colour foreColor = 0;
    Colour backColor = 0;
    std::string picture;  // resource name of a fixed picture
    int value = 0;
    bool visible = true;
    bool multiLine = false;
    bool locked = false;
};

class ControlPeer {
  public:
    virtual ~ControlPeer() = default;
    virtual void setVisible(bool visible) = 0;
    virtual void setCaption(std::string_view caption) = 0;
    virtual void setValue(int value) = 0;

    std::function<void()> clicked;
    std::function<void()> doubleClicked;
};

class WindowPeer {
  public:
    virtual ~WindowPeer() = default;

    virtual std::unique_ptr<ControlPeer> createControl(const ControlDescription& description) = 0;
    // Called once every control exists: tab order and first focus.
    virtual void controlsCreated() = 0;

    // A system colour (vbButtonFace) is the desktop's, and follows a change of its theme.
    virtual void setBackColor(Colour colour) = 0;
    // The outer frame's top-left corner, in pixels.
    virtual void moveFrame(int x, int y) = 0;
    virtual void framePosition(int& x, int& y) const = 0;
    // False where the window system keeps a window's place from the program (a Wayland
    // compositor): moveFrame does nothing there and framePosition says nothing true.
    virtual bool knowsPlace() const { return true; }
    virtual void resizeClient(int width, int height) = 0;
    virtual void clientSize(int& width, int& height) const = 0;
    virtual int windowState() const = 0;
    virtual void setWindowState(int state) = 0;
    virtual WindowHandle handle() = 0;

    // Before it is shown: the window stays above its owner, and no other window of the
    // program takes input while it is shown.
    virtual void setModalOwner(WindowPeer& owner) = 0;
    virtual void show() = 0;

    std::function<void()> doubleClicked;
    std::function<void()> closeRequested;
    // Asked when the pointer rests on the window; empty: no tip.
    std::function<std::string()> toolTip;
};

class TimerPeer {
  public:
    virtual ~TimerPeer() = default;
    // Fires once, no earlier than the deadline (steady clock, nanoseconds).
    virtual void arm(long long deadlineNs) = 0;
    virtual void disarm() = 0;
};

struct WindowDesign;

class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    virtual std::unique_ptr<WindowPeer> createWindow(const WindowDesign& design) = 0;
    virtual std::unique_ptr<TimerPeer> createTimer(std::function<void()> fired) = 0;

    virtual double twipsPerPixelX() const = 0;
    virtual double twipsPerPixelY() const = 0;
    virtual std::vector<PixelRect> screens() const = 0;
    virtual char decimalSeparator() const = 0;

    virtual int runEventLoop() = 0;
    virtual void quitEventLoop() = 0;
    // Delivers events until stillOpen() is false; re-checked whenever modalStateChanged() runs.
    virtual void runModalLoop(const std::function<bool()>& stillOpen) = 0;
    virtual void modalStateChanged() = 0;

    virtual void messageBox(std::string_view title, std::string_view text, bool critical) = 0;

    // The system asks the program to end (a termination signal, the session ending).
    std::function<void()> endRequested;
};

WindowSystem& windowSystem();
void setWindowSystem(std::unique_ptr<WindowSystem> system);

// The backend's own window system, made by the one backend that CMake builds.
std::unique_ptr<WindowSystem> createWindowSystem(int& argc, char** argv);

long long steadyNowNs();

// The window system's decimal separator, or the C locale's before one exists.
char currentDecimalSeparator();

}  // namespace toolkit
