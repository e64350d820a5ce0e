#pragma once

#include "VisualControl.h"

namespace toolkit {

// A straight line in the default line colour and width, from (x1, y1) to (x2, y2) in twips.
class Line : public VisualControl {
  public:
    Line(Form& owner, std::string_view name, float x1, float y1, float x2, float y2);
};

}  // namespace toolkit
