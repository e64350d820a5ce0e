#include "Label.h"

namespace toolkit {

Label::Label(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
             std::string_view caption, Font font, Colour foreColor, Colour backColor)
    : VisualControl(owner, name, ControlKind::Label, geometry, tabIndex) {
    design_.caption = std::string(caption);
    design_.font = font;
    design_.hasColours = true;
    design_.foreColor = foreColor;
    design_.backColor = backColor;
    state_ = design_;
}

void Label::setCaption(std::string_view caption) {
    state_.caption = std::string(caption);
    if (peer_) {
        peer_->setCaption(caption);
    }
}

void Label::peerDoubleClicked() {
    if (DblClick) {
        DblClick();
    }
}

}  // namespace toolkit
