#pragma once

#include <memory>
#include <vector>

#include "KeyRoute.h"

namespace toolkit::wayland {

// Every way of sending key presses to a compositor that this build knows, in the order they are
// tried: the wlroots virtual keyboard, then KWin's fake input, then the desktop portal's remote
// desktop. None is opened yet.
std::vector<std::unique_ptr<KeyRoute>> keyRoutes();

}  // namespace toolkit::wayland
