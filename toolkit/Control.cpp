#include "Control.h"

#include <cmath>

#include "Form.h"

namespace toolkit {

Control::Control(Form& owner, std::string_view name) : owner_(owner), name_(name) {
    owner_.addControl(this);
}

Control::~Control() {
    owner_.removeControl(this);
}

PixelRect Control::toPixels(const TwipsRect& twips) const {
    const double tppX = windowSystem().twipsPerPixelX();
    const double tppY = windowSystem().twipsPerPixelY();
    const auto px = [](float value, double perPixel) {
        return static_cast<int>(std::lround(value / perPixel));
    };
    return {px(twips.left, tppX), px(twips.top, tppY), px(twips.width, tppX),
            px(twips.height, tppY)};
}

}  // namespace toolkit
