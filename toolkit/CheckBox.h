#pragma once

#include <functional>
#include <string_view>

#include "VisualControl.h"

namespace toolkit {

constexpr int vbUnchecked = 0;
constexpr int vbChecked = 1;
constexpr int vbGrayed = 2;

// Every change of Value, by the user or by the program, raises Click before the assignment
// returns; assigning the current value raises nothing.
class CheckBox : public VisualControl {
  public:
    CheckBox(Form& owner, std::string_view name, TwipsRect geometry, int tabIndex,
             std::string_view caption, int value);

    int Value() const { return state_.value; }
    void setValue(int value);

    std::function<void()> Click;

  protected:
    void peerClicked() override;
};

}  // namespace toolkit
