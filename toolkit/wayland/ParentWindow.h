#pragma once

#include <string>

#include "../Geometry.h"

namespace toolkit::wayland {

// How a desktop portal is told which window its dialog belongs to, so that the desktop attaches
// the dialog to it and gives it the keyboard: the program's main window (the first loaded), by
// the portal's name for it. Empty when the program shows no window.
std::string portalParentWindow();

// The portal's name for an X11 window (XWayland's too): "x11:" and the XID in hex.
std::string x11ParentWindow(WindowHandle window);

}  // namespace toolkit::wayland
