#pragma once

#include <functional>
#include <memory>

#include "Control.h"

namespace toolkit {

// A control drawn in its form's client area: it keeps its design and its current values and
// mirrors the current ones on a peer while the form is loaded.
class VisualControl : public Control {
  public:
    VisualControl(Form& owner, std::string_view name, ControlKind kind, TwipsRect geometry,
                  int tabIndex);

  protected:
    void resetToDesign() override;
    void attach(WindowPeer& window) override;
    void detach() override;

    virtual void peerClicked() {}
    virtual void peerDoubleClicked() {}

    ControlDescription design_;
    ControlDescription state_;
    std::unique_ptr<ControlPeer> peer_;

  private:
    TwipsRect geometry_;
};

}  // namespace toolkit
