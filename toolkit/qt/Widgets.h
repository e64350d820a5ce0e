#pragma once

// Qt widgets behind the toolkit's window and control peers.
//
// Implemented: sizable tool windows (small caption, close box only, no taskbar entry), frame
// placement and client size in pixels, background colour (vbButtonFace: the application
// palette's window colour, following the desktop's theme), icon, window state, native id,
// modal showing above an owner; CommandButton, PictureBox (sunken 2-pixel border; on X11 shown
// and hidden by the X server itself once its window is on screen), CheckBox
// (three states, the toolkit decides what a click does), Label, TextBox (read-only multi-line
// with wrapping), Line; fonts by name and point size, colours, tab order; double-clicks of the
// left button on the window, pictures and labels.
// Not implemented: resizing events, drag and drop, control arrays, runtime fonts changes.

#include <memory>

#include "../Peers.h"

namespace toolkit::qt {

std::unique_ptr<WindowPeer> createWindowPeer(const WindowDesign& design);

}  // namespace toolkit::qt
