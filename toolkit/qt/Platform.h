#pragma once

namespace toolkit::qt {

// Picks Qt's platform before the application object exists: X11 (XWayland on a Wayland
// session) where an X display answers, as a window there can be placed and kept on top; else
// the Wayland compositor itself; else the program ends with one line on stderr and status 1,
// where Qt would abort with a core dump. A platform the user chose (QT_QPA_PLATFORM) is kept,
// and ends the program the same way when its display does not answer.
void choosePlatform();

// Whether the windows are the compositor's own Wayland windows, whose place no program may read
// or set and which no program may keep above others.
bool onNativeWayland();

}  // namespace toolkit::qt
