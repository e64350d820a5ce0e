#include "KeyEventFilter.h"

#include "../x11/KeyEvents.h"

namespace toolkit::qt {

bool KeyEventFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    if (x11::isNumLockKeyEvent(message)) {
        return true;
    }
    if (keysCarryState) {
        x11::markKeyEventSelfContained(message);
    }
    return false;
}

}  // namespace toolkit::qt
