#pragma once

#include <string>

#include "VisualControl.h"

namespace toolkit {

// Display text; multi-line boxes wrap. Locked boxes can be selected and copied, not edited.
class TextBox : public VisualControl {
  public:
    TextBox(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
            std::string_view text, Font font, bool multiLine, bool locked);

    const std::string& Text() const { return state_.caption; }
};

}  // namespace toolkit
