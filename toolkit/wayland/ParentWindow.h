#pragma once

#include <string>

namespace toolkit::wayland {

// The parent a desktop portal's dialog is given, as the portal names windows: for the
// program's focused (else first shown) window when it is the compositor's own Wayland window,
// "wayland:<handle>" with the handle exported through xdg-foreign (zxdg_exporter_v2); empty
// (no parent) where the compositor offers no exporter or there is no such window.
std::string portalParentWindow();

}  // namespace toolkit::wayland
