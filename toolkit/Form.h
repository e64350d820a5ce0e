#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Geometry.h"

namespace toolkit {

class Control;
class WindowPeer;

struct WindowDesign {
    std::string caption;
    float clientWidth = 0;  // twips
    float clientHeight = 0;
    bool hasBackColor = false;  // false: vbButtonFace, the desktop's own
    Colour backColor = 0;
    std::string icon;
};

constexpr int vbModal = 1;
constexpr int vbNormal = 0;
constexpr int vbMinimized = 1;
constexpr int vbMaximized = 2;

// A window of a form class. Both of ours are sizable tool windows: a small caption, a sizing
// frame, a close box only and no taskbar entry, whose frame adds 120 twips across and 360 down.
class Form {
  public:
    static constexpr float frameWidthTwips = 120;
    static constexpr float frameHeightTwips = 360;

    explicit Form(WindowDesign design);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    void Show();
    void Show(int modal, Form& owner);
    bool isLoaded() const { return loaded_; }

    // Left and Top read back what was set where the window system keeps the window's place to
    // itself; a form stores the place only where placeKnown() says it is the window's own.
    bool placeKnown() const;
    float Left() const;
    void setLeft(float twips);
    float Top() const;
    void setTop(float twips);
    float Width() const;
    void setWidth(float twips);
    float Height() const;
    void setHeight(float twips);
    Colour BackColor() const { return backColor_; }
    void setBackColor(Colour colour);
    int WindowState() const;
    void setWindowState(int state);
    WindowHandle hWnd() const;
    const std::string& Caption() const { return design_.caption; }

    // Whether any part of the outer rectangle lies on some screen.
    bool isOnSomeScreen() const;

    // The window's tip, asked for each time the pointer rests on it (so it can tell a time that
    // runs); empty: none.
    std::function<std::string()> ToolTipText;

  protected:
    virtual void Form_Load() {}
    virtual void Form_Unload(int& cancel) { (void)cancel; }
    virtual void Form_DblClick() {}

  private:
    friend class Control;
    friend void Unload(Form& form);

    void load();
    void unload();
    void keepOffTaskbar();
    void addControl(Control* control);
    void removeControl(Control* control);

    // A geometry value keeps the twips it was set to while the window stays on the pixel that
    // value gave, so reading it back returns exactly what was stored.
    struct Axis {
        float twips = 0;
        int pixels = 0;
    };
    float readAxis(const Axis& axis, int pixels, double twipsPerPixel, float frameTwips = 0) const;

    WindowDesign design_;
    std::vector<Control*> controls_;
    std::unique_ptr<WindowPeer> peer_;
    bool loaded_ = false;
    Colour backColor_ = 0;
    Axis left_, top_, width_, height_;
};

}  // namespace toolkit
