#include "TextBox.h"

namespace toolkit {

TextBox::TextBox(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
                 std::string_view text, Font font, bool multiLine, bool locked)
    : VisualControl(owner, name, ControlKind::TextBox, geometry, tabIndex) {
    design_.caption = std::string(text);
    design_.font = font;
    design_.multiLine = multiLine;
    design_.locked = locked;
    state_ = design_;
}

}  // namespace toolkit
