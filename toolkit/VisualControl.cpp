#include "VisualControl.h"

#include "RuntimeError.h"

namespace toolkit {

VisualControl::VisualControl(Form& owner, std::string_view name, ControlKind kind,
                             TwipsRect geometry, int tabIndex)
    : Control(owner, name), geometry_(geometry) {
    design_.kind = kind;
    design_.name = std::string(name);
    design_.tabIndex = tabIndex;
    state_ = design_;
}

void VisualControl::resetToDesign() {
    state_ = design_;
}

void VisualControl::attach(WindowPeer& window) {
    ControlDescription description = state_;
    description.rect = toPixels(geometry_);
    peer_ = window.createControl(description);
    peer_->clicked = [this] { invokeHandler([this] { peerClicked(); }); };
    peer_->doubleClicked = [this] { invokeHandler([this] { peerDoubleClicked(); }); };
}

void VisualControl::detach() {
    peer_.reset();
}

}  // namespace toolkit
