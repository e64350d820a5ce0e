#include "NumLockEvents.h"

#include <xcb/xcb.h>

#include "../RuntimeError.h"
#include "Connection.h"

namespace toolkit::x11 {

bool isNumLockKeyEvent(const void* xcbEvent) {
    const auto* event = static_cast<const xcb_generic_event_t*>(xcbEvent);
    const int type = event->response_type & 0x7F;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
        return false;
    }
    // Press and release events have the same layout.
    const auto* key = static_cast<const xcb_key_press_event_t*>(xcbEvent);
    try {
        return key->detail != 0 && key->detail == Connection::numLockKeyCode();
    } catch (const RuntimeError&) {
        return false;
    }
}

}  // namespace toolkit::x11
