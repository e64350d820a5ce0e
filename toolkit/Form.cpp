#include "Form.h"

#include <algorithm>
#include <cmath>

#include "Control.h"
#include "Desktop.h"
#include "Forms.h"
#include "Peers.h"
#include "RuntimeError.h"
#include "Timer.h"

namespace toolkit {

namespace {

int toPixels(float twips, double twipsPerPixel) {
    // Far beyond any screen, but still a pixel count that the window system can take.
    constexpr double limit = 1e6;
    return static_cast<int>(std::lround(std::clamp(twips / twipsPerPixel, -limit, limit)));
}

}  // namespace

Form::Form(WindowDesign design) : design_(std::move(design)) {
}

Form::~Form() {
    if (loaded_) {
        unload();
    }
}

void Form::addControl(Control* control) {
    controls_.push_back(control);
}

void Form::removeControl(Control* control) {
    std::erase(controls_, control);
}

void Form::load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    Forms.loaded_.push_back(this);

    backColor_ = design_.hasBackColor ? design_.backColor : vbButtonFace;
    const double tppX = windowSystem().twipsPerPixelX();
    const double tppY = windowSystem().twipsPerPixelY();
    width_ = {design_.clientWidth + frameWidthTwips, toPixels(design_.clientWidth, tppX)};
    height_ = {design_.clientHeight + frameHeightTwips, toPixels(design_.clientHeight, tppY)};
    left_ = {};
    top_ = {};
    for (Control* control : controls_) {
        control->resetToDesign();
    }

    peer_ = windowSystem().createWindow(design_);
    peer_->setBackColor(backColor_);
    peer_->resizeClient(width_.pixels, height_.pixels);
    peer_->doubleClicked = [this] { invokeHandler([this] { Form_DblClick(); }); };
    peer_->closeRequested = [this] { invokeHandler([this] { Unload(*this); }); };
    peer_->toolTip = [this] { return ToolTipText ? ToolTipText() : std::string(); };
    for (Control* control : controls_) {
        control->attach(*peer_);
    }
    peer_->controlsCreated();

    Form_Load();
}

void Form::unload() {
    for (Control* control : controls_) {
        control->detach();
    }
    peer_.reset();
    loaded_ = false;
    std::erase(Forms.loaded_, this);
}

void Form::Show() {
    load();
    if (peer_) {
        keepOffTaskbar();
        peer_->show();
    }
}

void Form::keepOffTaskbar() {
    try {
        desktop().keepOffTaskbar(peer_->handle());
    } catch (const RuntimeError&) {
        // Without a desktop connection the window still works; it only shows in the taskbar.
    }
}

void Form::Show(int modal, Form& owner) {
    load();
    if (!peer_) {
        return;
    }
    if (modal != vbModal || !owner.peer_) {
        Show();
        return;
    }
    peer_->setModalOwner(*owner.peer_);
    keepOffTaskbar();
    peer_->show();
    runEventEndWork();  // the rest of this event waits for the user
    OutsideTick outside;
    NestedEventLoop nested;
    windowSystem().runModalLoop([this] { return loaded_; });
}

float Form::readAxis(const Axis& axis, int pixels, double twipsPerPixel, float frameTwips) const {
    return pixels == axis.pixels ? axis.twips
                                 : static_cast<float>(pixels * twipsPerPixel) + frameTwips;
}

bool Form::placeKnown() const {
    return !peer_ || peer_->knowsPlace();
}

float Form::Left() const {
    if (!placeKnown()) {
        return left_.twips;
    }
    int x = 0, y = 0;
    peer_->framePosition(x, y);
    return readAxis(left_, x, windowSystem().twipsPerPixelX());
}

float Form::Top() const {
    if (!placeKnown()) {
        return top_.twips;
    }
    int x = 0, y = 0;
    peer_->framePosition(x, y);
    return readAxis(top_, y, windowSystem().twipsPerPixelY());
}

float Form::Width() const {
    if (!peer_) {
        return width_.twips;
    }
    int width = 0, height = 0;
    peer_->clientSize(width, height);
    return readAxis(width_, width, windowSystem().twipsPerPixelX(), frameWidthTwips);
}

float Form::Height() const {
    if (!peer_) {
        return height_.twips;
    }
    int width = 0, height = 0;
    peer_->clientSize(width, height);
    return readAxis(height_, height, windowSystem().twipsPerPixelY(), frameHeightTwips);
}

void Form::setLeft(float twips) {
    left_ = {twips, toPixels(twips, windowSystem().twipsPerPixelX())};
    if (peer_) {
        int x = 0, y = 0;
        peer_->framePosition(x, y);
        peer_->moveFrame(left_.pixels, y);
    }
}

void Form::setTop(float twips) {
    top_ = {twips, toPixels(twips, windowSystem().twipsPerPixelY())};
    if (peer_) {
        int x = 0, y = 0;
        peer_->framePosition(x, y);
        peer_->moveFrame(x, top_.pixels);
    }
}

void Form::setWidth(float twips) {
    const int client =
        std::max(1, toPixels(twips - frameWidthTwips, windowSystem().twipsPerPixelX()));
    width_ = {twips, client};
    if (peer_) {
        int width = 0, height = 0;
        peer_->clientSize(width, height);
        peer_->resizeClient(client, height);
    }
}

void Form::setHeight(float twips) {
    const int client =
        std::max(1, toPixels(twips - frameHeightTwips, windowSystem().twipsPerPixelY()));
    height_ = {twips, client};
    if (peer_) {
        int width = 0, height = 0;
        peer_->clientSize(width, height);
        peer_->resizeClient(width, client);
    }
}

void Form::setBackColor(Colour colour) {
    backColor_ = colour;
    if (peer_) {
        peer_->setBackColor(colour);
    }
}

int Form::WindowState() const {
    return peer_ ? peer_->windowState() : vbNormal;
}

void Form::setWindowState(int state) {
    if (peer_) {
        peer_->setWindowState(state);
    }
}

WindowHandle Form::hWnd() const {
    return peer_ ? peer_->handle() : 0;
}

bool Form::isOnSomeScreen() const {
    const double tppX = windowSystem().twipsPerPixelX();
    const double tppY = windowSystem().twipsPerPixelY();
    const PixelRect outer{toPixels(Left(), tppX), toPixels(Top(), tppY),
                          std::max(1, toPixels(Width(), tppX)),
                          std::max(1, toPixels(Height(), tppY))};
    const auto screens = windowSystem().screens();
    return std::any_of(screens.begin(), screens.end(),
                       [&](const PixelRect& screen) { return screen.intersects(outer); });
}

}  // namespace toolkit
