#include "Line.h"

namespace toolkit {

Line::Line(Form& owner, std::string_view name, float x1, float y1, float x2, float y2)
    : VisualControl(owner, name, ControlKind::Line, TwipsRect{x1, y1, x2 - x1, y2 - y1}, -1) {
}

}  // namespace toolkit
