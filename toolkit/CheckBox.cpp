#include "CheckBox.h"

#include "RuntimeError.h"

namespace toolkit {

CheckBox::CheckBox(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
                   std::string_view caption, int value)
    : VisualControl(owner, name, ControlKind::CheckBox, geometry, tabIndex) {
    design_.caption = std::string(caption);
    design_.value = value;
    state_ = design_;
}

void CheckBox::setValue(int value) {
    if (value < vbUnchecked || value > vbGrayed) {
        throw RuntimeError(380, "Invalid property value");
    }
    if (value == state_.value) {
        return;
    }
    state_.value = value;
    if (peer_) {
        peer_->setValue(value);
    }
    if (Click) {
        Click();
    }
}

// A click ticks an unticked or greyed box and unticks a ticked one.
void CheckBox::peerClicked() {
    setValue(state_.value == vbChecked ? vbUnchecked : vbChecked);
}

}  // namespace toolkit
