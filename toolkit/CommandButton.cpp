#include "CommandButton.h"

namespace toolkit {

CommandButton::CommandButton(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
                             std::string_view caption)
    : VisualControl(owner, name, ControlKind::CommandButton, geometry, tabIndex) {
    design_.caption = std::string(caption);
    state_ = design_;
}

void CommandButton::setCaption(std::string_view caption) {
    state_.caption = std::string(caption);
    if (peer_) {
        peer_->setCaption(caption);
    }
}

void CommandButton::peerClicked() {
    if (Click) {
        Click();
    }
}

}  // namespace toolkit
