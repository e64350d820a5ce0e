#pragma once

#include <functional>
#include <string>

#include "VisualControl.h"

namespace toolkit {

class CommandButton : public VisualControl {
  public:
    CommandButton(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
                  std::string_view caption = {});

    const std::string& Caption() const { return state_.caption; }
    void setCaption(std::string_view caption);

    std::function<void()> Click;

  protected:
    void peerClicked() override;
};

}  // namespace toolkit
