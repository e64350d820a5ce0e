#pragma once

#include <memory>

#include "../Desktop.h"

namespace toolkit::x11 {

// The desktop on X11: key presses through XTest, stacking through the window manager. On a
// Wayland session it keeps the stacking only (see wayland/Desktop.cpp).
std::unique_ptr<Desktop> createDesktop();

}  // namespace toolkit::x11
