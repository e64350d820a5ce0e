#include "PictureBox.h"

namespace toolkit {

PictureBox::PictureBox(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
                       std::string_view picture)
    : VisualControl(owner, name, ControlKind::PictureBox, geometry, tabIndex) {
    design_.picture = std::string(picture);
    state_ = design_;
}

void PictureBox::setVisible(bool visible) {
    state_.visible = visible;
    if (peer_) {
        peer_->setVisible(visible);
    }
}

void PictureBox::peerDoubleClicked() {
    if (DblClick) {
        DblClick();
    }
}

}  // namespace toolkit
