#pragma once

#include <string>

#include "../Geometry.h"

namespace toolkit::wayland {

// How a desktop portal is told which window its dialog belongs to, so that the desktop attaches
// the dialog to it and gives it the keyboard, by the portal's name for it: on XWayland the main
// window (the first loaded) as "x11:<XID>"; as the compositor's own Wayland window, the
// program's focused (else first shown) window as "wayland:<handle>", exported through
// xdg-foreign (zxdg_exporter_v2). Empty (no parent) when the program shows no window, or the
// compositor offers no exporter.
std::string portalParentWindow();

// The portal's name for an X11 window (XWayland's too): "x11:" and the XID in hex.
std::string x11ParentWindow(WindowHandle window);

}  // namespace toolkit::wayland
