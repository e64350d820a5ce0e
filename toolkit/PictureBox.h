#pragma once

#include <functional>
#include <string_view>

#include "VisualControl.h"

namespace toolkit {

// A fixed picture in a 2-pixel sunken border; the box is sized to the picture.
class PictureBox : public VisualControl {
  public:
    PictureBox(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
               std::string_view picture);

    bool Visible() const { return state_.visible; }
    void setVisible(bool visible);

    std::function<void()> DblClick;

  protected:
    void peerDoubleClicked() override;
};

}  // namespace toolkit
