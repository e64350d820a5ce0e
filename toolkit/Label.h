#pragma once

#include <functional>
#include <string>

#include "VisualControl.h"

namespace toolkit {

class Label : public VisualControl {
  public:
    Label(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
          std::string_view caption, Font font, Colour foreColor, Colour backColor);

    const std::string& Caption() const { return state_.caption; }
    void setCaption(std::string_view caption);

    std::function<void()> DblClick;

  protected:
    void peerDoubleClicked() override;
};

}  // namespace toolkit
