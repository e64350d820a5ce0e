#pragma once

namespace toolkit::x11 {

// Whether an event read from an X connection through xcb (an xcb_generic_event_t) is a press
// or a release of the Num Lock key.
bool isNumLockKeyEvent(const void* xcbEvent);

}  // namespace toolkit::x11
